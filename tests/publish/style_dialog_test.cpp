#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <memory>

#include "common/ui_text.h"
#include "core/temp_folder.h"
#include "core/text_file.h"
#include "main_window/sdimain.h"
#include "publish/html_set.h"
#include "publish/style.h"
#include "publish/style_select.h"
#include "uikit/editor_font.h"
#include "uikit/gui_harness.h"
#include "uikit/gui_test_main.h"

namespace {

std::string CrLf(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

// A style file in the written layout with the given format and flag lines.
std::string HandMadeStyle(const char* year, const char* month, const char* day, const char* weekday,
                          const char* useTitle, const char* useBody) {
    return CrLf({"[STYLE]",     year,          month,
                 day,           weekday,       "[DATE_TITLE]",
                 "a1",          "a2",          "a3",
                 "a4",          "a5",          "a6",
                 "[HEAD]",      "h",           "[MID]",
                 "m",           "[FOOT]",      "f",
                 "[DIARY_TOP]", "t",           "[DIARY_BOTTOM]",
                 "b",           "[USE_TITLE]", useTitle,
                 "[USE_DIARY]", useBody});
}

}  // namespace

class StyleDialogTest : public QObject {
    Q_OBJECT

private:
    GuiHarness h_;
    std::unique_ptr<Diary> diary_;  // outlives its window
    std::unique_ptr<TSDIAppForm> main_;
    TPagesDlg* pages_ = nullptr;
    TStyleSelectForm* select_ = nullptr;

    std::filesystem::path styleFolder() const { return h_.folder() / "style"; }
    std::filesystem::path styleFile(const std::string& name) const {
        return styleFolder() / (name + ".style");
    }
    std::filesystem::path trash() const { return h_.folder() / "xdg" / "Trash"; }

    template <typename T>
    T* page(const char* name) const {
        return Child<T>(pages_, name);
    }
    template <typename T>
    T* list(const char* name) const {
        return Child<T>(select_, name);
    }
    QListWidget* listBox() const { return list<QListWidget>("ListBox1"); }
    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < listBox()->count(); ++i)
            names << listBox()->item(i)->text();
        return names;
    }
    QStringList styleFiles() const {
        QStringList names;
        for (const auto& entry : std::filesystem::directory_iterator(styleFolder()))
            names << QString::fromStdString(entry.path().filename().string());
        names.sort();
        return names;
    }

    void load(const QString& name, bool fromFile = true) {
        std::string error;
        QVERIFY2(pages_->LoadStyle(name, fromFile, &error), error.c_str());
    }

    void typeInto(QWidget* field, const QString& text) {
        field->setFocus();
        QTest::keyClicks(field, text);
    }

    void retypeName(const QString& name) {
        auto* edit = page<QLineEdit>("Edit7");
        edit->selectAll();
        typeInto(edit, name);
    }

    void clickOk() { QTest::mouseClick(page<QPushButton>("OKBtn"), Qt::LeftButton); }

    // The settings dialog shown as the selection dialog shows it, but without blocking.
    void openPages() {
        pages_->open();
        QVERIFY(pages_->isVisible());
    }

    // Answers the modal dialog the next action opens: `fill` runs inside it.
    template <typename Fill>
    void whenDialogOpens(QDialog* dialog, Fill fill) {
        QTimer::singleShot(0, dialog, [dialog, fill] {
            QTRY_VERIFY(dialog->isVisible());
            fill();
        });
    }

    void openList() {
        Child<QAction>(main_.get(), "HTMLS1")->trigger();
        QVERIFY(select_->isVisible());
    }

    void selectListed(const QString& name) {
        const QList<QListWidgetItem*> items = listBox()->findItems(name, Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        listBox()->setCurrentItem(items.first());
    }

    void copyDemo(const std::string& name) {
        std::filesystem::copy_file(styleFile("demo"), styleFile(name));
    }

private slots:
    void init() {
        h_.setUp();
        // Deleted styles go to a trash of the test's own, never the user's.
        qputenv("XDG_DATA_HOME", QFile::encodeName(FromPath(h_.folder() / "xdg")));
        main_.reset();
        diary_ = std::make_unique<Diary>(h_.folder());
        main_ = std::make_unique<TSDIAppForm>(*diary_);
        // The lists here are about the styles a test makes; only demo.style is kept of the
        // built-in ones (the main window's test covers modern.style).
        std::filesystem::remove(h_.folder() / "style" / "modern.style");
        pages_ = new TPagesDlg(main_.get(), main_.get());
        select_ = new TStyleSelectForm(main_.get(), main_.get(), pages_);
        TSDIAppForm::Windows windows;
        windows.styleSelectForm = [this] { return select_; };
        main_->setWindows(windows);
        main_->show();
    }

    void cleanup() {
        if (main_ && main_->isVisible())
            main_->close();
        main_.reset();
        qunsetenv("XDG_DATA_HOME");
        h_.tearDown();
    }

    // --- the settings dialog --------------------------------------------------------------

    void settingsDialogControls() {
        QCOMPARE(pages_->windowTitle(), QStringLiteral("HTML設定"));
        QCOMPARE(pages_->size(), QSize(550, 493));
        QCOMPARE(pages_->pos(), QPoint(main_->x(), main_->y() + 120));
        QVERIFY(pages_->isModal());
        QCOMPARE(page<QLabel>("Label5")->text(), QStringLiteral("出力スタイル名"));
        QCOMPARE(page<QLabel>("Label6")->text(),
                 QStringLiteral("( \\ / : , ; * ? \" < > | は使えません)"));
        auto* tabs = page<QTabWidget>("PageControl1");
        QCOMPARE(tabs->count(), 4);
        const char* sheets[] = {"TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4"};
        const char* captions[] = {"出力ファイルのヘッダ", "日付・題名", "日記の間",
                                  "出力ファイルのフッタ"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(tabs->widget(i), page<QWidget>(sheets[i]));
            QCOMPARE(tabs->tabText(i), QString::fromUtf8(captions[i]));
        }
        const QStringList years = {"半角4桁(2000)", "半角2桁(00)"};
        const QStringList months = {"半角（0を含む)", "半角(0含まず)", "英語短(APR)",
                                    "英語長(April)", "日本語(卯月)"};
        const QStringList days = {"半角(0を含む)", "半角(0含まず)"};
        const QStringList weekdays = {"漢字(日)", "英語短(mon)", "英語長(Monday)"};
        const std::pair<const char*, QStringList> boxes[] = {{"ComboBox2", years},
                                                             {"ComboBox3", months},
                                                             {"ComboBox4", days},
                                                             {"ComboBox5", weekdays}};
        for (const auto& [name, items] : boxes) {
            auto* box = page<QComboBox>(name);
            QVERIFY(box->isEditable());
            QStringList shown;
            for (int i = 0; i < box->count(); ++i)
                shown << box->itemText(i);
            QCOMPARE(shown, items);
        }
        for (const auto& [name, caption] : {std::pair{"Label10", "(年)のスタイル"},
                                            {"Label8", "(月)のスタイル"},
                                            {"Label11", "(日)のスタイル"},
                                            {"Label9", "(曜日)のスタイル"},
                                            {"Label1", "(年)"},
                                            {"Label2", "(月)"},
                                            {"Label3", "(日)"},
                                            {"Label12", "(曜日)"},
                                            {"Label4", "(題名)"}})
            QCOMPARE(page<QLabel>(name)->text(), QString::fromUtf8(caption));
        QCOMPARE(page<QCheckBox>("CheckBox1")->text(), QStringLiteral("日付・題名を使用する"));
        QCOMPARE(page<QCheckBox>("CheckBox2")->text(), QStringLiteral("日記本文を使用する"));
        QVERIFY(page<QCheckBox>("CheckBox1")->isChecked());
        QVERIFY(page<QCheckBox>("CheckBox2")->isChecked());
        QCOMPARE(page<QGroupBox>("GroupBox1")->title(), QStringLiteral("日付・題名"));
        QCOMPARE(page<QGroupBox>("GroupBox2")->title(), QStringLiteral("日記本文の上"));
        QCOMPARE(page<QGroupBox>("GroupBox3")->title(), QStringLiteral("日記本文の下"));
        QCOMPARE(page<QPushButton>("OKBtn")->text(), QStringLiteral("OK"));
        QVERIFY(page<QPushButton>("OKBtn")->isDefault());
        QCOMPARE(page<QPushButton>("CancelBtn")->text(), QStringLiteral("キャンセル"));
        const QFont editorFont = EditorFont(main_->editorFontSize());
        for (const char* name : {"Memo1", "Memo2", "Memo3", "Memo4", "Memo5"})
            QCOMPARE(page<QPlainTextEdit>(name)->font(), editorFont);
        for (const char* name : {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6"})
            QCOMPARE(page<QLineEdit>(name)->font(), editorFont);
        QCOMPARE(page<QLineEdit>("Edit7")->font(), pages_->font());
    }

    void loadingTheDefaultStyleFillsEveryField() {
        load(QStringLiteral("demo"));
        QCOMPARE(page<QLineEdit>("Edit7")->text(), QStringLiteral("demo"));
        QVERIFY(!page<QLineEdit>("Edit7")->isModified());
        for (const char* name : {"ComboBox2", "ComboBox3", "ComboBox4", "ComboBox5"})
            QCOMPARE(page<QComboBox>(name)->currentIndex(), 0);
        const char* affixes[][2] = {{"Edit1", ""},
                                    {"Edit2", "/"},
                                    {"Edit3", "/"},
                                    {"Edit4", "&nbsp;("},
                                    {"Edit5", ")&nbsp;&nbsp;"},
                                    {"Edit6", ""}};
        for (const auto& [name, text] : affixes)
            QCOMPARE(page<QLineEdit>(name)->text(), QString::fromUtf8(text));
        const QString head = page<QPlainTextEdit>("Memo1")->toPlainText();
        QVERIFY(head.startsWith(QStringLiteral("<html>\n<head>\n")));
        QVERIFY(head.contains(QStringLiteral("\n<b>Tavo 2.41 Demoスタイル</b>\n")));
        QVERIFY(head.endsWith(QStringLiteral("\n<br clear=\"all\"><hr size=1 noshade>")));
        QCOMPARE(page<QPlainTextEdit>("Memo2")->toPlainText(),
                 QStringLiteral("<br clear=\"all\">&nbsp;<br>&nbsp;<br>"));
        QVERIFY(page<QPlainTextEdit>("Memo3")->toPlainText().endsWith(
            QStringLiteral("</div>\n</div></body>\n</html>")));
        QCOMPARE(
            page<QPlainTextEdit>("Memo4")->toPlainText(),
            QStringLiteral("<b><-year->.<-month->.<-day-> (<-week->)&nbsp;&nbsp;<-title-></b>\n"
                           "<div style=\"margin-left:20px;\">"));
        QCOMPARE(
            page<QPlainTextEdit>("Memo5")->toPlainText(),
            QStringLiteral("</div>\n<div align=\"right\"><a href=\"#top\">一番上に戻る</a></div>"));
        // The default style does not use the date-and-title line: its affixes are hidden.
        QVERIFY(!page<QCheckBox>("CheckBox1")->isChecked());
        QVERIFY(page<QGroupBox>("GroupBox1")->isHidden());
        QVERIFY(page<QCheckBox>("CheckBox2")->isChecked());
    }

    void loadThenSaveGivesTheSameBytes_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("default style")
            << QByteArray::fromStdString(CrLf(tavo::DefaultStyleLines()));

        auto written = [](const tavo::Style& style) {
            return QByteArray::fromStdString(CrLf(tavo::StyleLines(style)));
        };
        tavo::Style empty;
        empty.useTitle = "0";
        empty.useBody = "0";
        QTest::newRow("everything empty") << written(empty);

        tavo::Style full;
        full.yearStyle = "1";
        full.monthStyle = "4";
        full.dayStyle = "1";
        full.weekdayStyle = "2";
        full.affixes = {" \x91\x4F ", "\x81\x40", "&amp;", "", "x", "\x93\xFA"};  // 前, 　, 日
        full.head = "\r\n";                     // a line break only
        full.mid = "a\r\n";                     // ends with a line break
        full.foot = "\r\n\r\nx";                // starts with empty lines
        full.diaryTop = "  indented\r\n\tTab";  // spaces and tabs kept
        full.diaryBottom = "<p>\r\n\r\n</p>\r\n\r\n";
        full.useTitle = "1";
        full.useBody = "1";
        QTest::newRow("every choice") << written(full);

        tavo::Style noSelection;
        noSelection.yearStyle = noSelection.monthStyle = "-1";
        noSelection.dayStyle = noSelection.weekdayStyle = "-1";
        noSelection.useTitle = "1";
        noSelection.useBody = "0";
        noSelection.head = "h";
        QTest::newRow("format boxes without a selection") << written(noSelection);
    }

    void loadThenSaveGivesTheSameBytes() {
        QFETCH(QByteArray, file);
        WriteAll(styleFile("kept"), file.toStdString());
        // The affixes of another style must not leak into this one.
        load(QStringLiteral("demo"));
        load(QStringLiteral("kept"));
        std::string error;
        QVERIFY2(pages_->SaveStyle(h_.folder() / "again.style", &error), error.c_str());
        QCOMPARE(QByteArray::fromStdString(ReadAll(h_.folder() / "again.style")), file);
    }

    void formatsAndFlagsOutsideTheChoices() {
        WriteAll(styleFile("odd"), HandMadeStyle("7", "-1", "+1", "2", "yes", ""));
        load(QStringLiteral("odd"));
        QCOMPARE(page<QComboBox>("ComboBox2")->currentIndex(), -1);
        QCOMPARE(page<QComboBox>("ComboBox2")->currentText(), QString());
        QCOMPARE(page<QComboBox>("ComboBox3")->currentIndex(), -1);
        QCOMPARE(page<QComboBox>("ComboBox4")->currentIndex(), 1);
        QCOMPARE(page<QComboBox>("ComboBox5")->currentIndex(), 2);
        // Neither "yes" nor "" is a flag: both boxes stay ticked as the reset left them.
        QVERIFY(page<QCheckBox>("CheckBox1")->isChecked());
        QVERIFY(page<QCheckBox>("CheckBox2")->isChecked());
        std::string error;
        QVERIFY2(pages_->SaveStyle(styleFile("odd"), &error), error.c_str());
        QCOMPARE(ReadAll(styleFile("odd")), HandMadeStyle("-1", "-1", "1", "2", "1", "1"));
    }

    void aStyleThatCannotBeShownLeavesTheDialogAsItWas() {
        load(QStringLiteral("demo"));
        WriteAll(styleFile("bad"), HandMadeStyle("0", "x", "0", "0", "1", "1"));
        std::string error;
        QVERIFY(!pages_->LoadStyle(QStringLiteral("bad"), true, &error));
        QVERIFY2(error.find("\"x\"") != std::string::npos, error.c_str());
        QVERIFY2(error.find("bad.style") != std::string::npos, error.c_str());
        QVERIFY(!pages_->LoadStyle(QStringLiteral("missing"), true, &error));
        QVERIFY2(error.find("missing.style") != std::string::npos, error.c_str());
        QCOMPARE(page<QLineEdit>("Edit7")->text(), QStringLiteral("demo"));
        QCOMPARE(page<QPlainTextEdit>("Memo2")->toPlainText(),
                 QStringLiteral("<br clear=\"all\">&nbsp;<br>&nbsp;<br>"));
    }

    void bytesThatAreNotCp932AreReportedOnLoading() {
        // A hand-edited style: "h" followed by a lone lead byte of a two-byte character.
        std::string file = HandMadeStyle("0", "0", "0", "0", "1", "1");
        file.replace(file.find("\r\nh\r\n"), 5, "\r\nh\x81\r\n");
        WriteAll(styleFile("hand"), file);
        h_.shown.clear();
        load(QStringLiteral("demo"));
        QCOMPARE(h_.shown.size(), 0);
        load(QStringLiteral("hand"));
        QCOMPARE(h_.shown.size(), 1);
        QVERIFY(
            h_.shown[0].text.startsWith(QStringLiteral("スタイル「hand」に Shift_JIS (CP932) ")));
        QCOMPARE(ReadAll(styleFile("hand")), file);  // loading alone changes nothing
    }

    void aNewStyleKeepsOnlyTheAffixesOfTheLastOne() {
        load(QStringLiteral("demo"));
        page<QComboBox>("ComboBox3")->setCurrentIndex(3);
        typeInto(page<QLineEdit>("Edit6"), QStringLiteral("!"));
        page<QComboBox>("ComboBox5")->lineEdit()->selectAll();
        typeInto(page<QComboBox>("ComboBox5"), QStringLiteral("typed"));
        load(QString(), false);
        QCOMPARE(page<QComboBox>("ComboBox5")->currentText(), QStringLiteral("漢字(日)"));
        QCOMPARE(page<QLineEdit>("Edit7")->text(), QString());
        QVERIFY(!page<QLineEdit>("Edit7")->isModified());
        for (const char* name : {"ComboBox2", "ComboBox3", "ComboBox4", "ComboBox5"})
            QCOMPARE(page<QComboBox>(name)->currentIndex(), 0);
        QVERIFY(page<QCheckBox>("CheckBox1")->isChecked());
        QVERIFY(!page<QGroupBox>("GroupBox1")->isHidden());
        QVERIFY(page<QCheckBox>("CheckBox2")->isChecked());
        for (const char* name : {"Memo1", "Memo2", "Memo3", "Memo4", "Memo5"})
            QCOMPARE(page<QPlainTextEdit>(name)->toPlainText(), QString());
        const char* affixes[][2] = {{"Edit1", ""},
                                    {"Edit2", "/"},
                                    {"Edit3", "/"},
                                    {"Edit4", "&nbsp;("},
                                    {"Edit5", ")&nbsp;&nbsp;"},
                                    {"Edit6", "!"}};
        for (const auto& [name, text] : affixes)
            QCOMPARE(page<QLineEdit>(name)->text(), QString::fromUtf8(text));
    }

    void okWritesWhatTheDialogShows() {
        load(QString(), false);
        openPages();
        typeInto(page<QLineEdit>("Edit7"), QStringLiteral("mine"));
        page<QComboBox>("ComboBox2")->setCurrentIndex(1);
        page<QComboBox>("ComboBox3")->setCurrentIndex(4);
        page<QComboBox>("ComboBox4")->setCurrentIndex(1);
        // Free text in a format box selects nothing.
        page<QComboBox>("ComboBox5")->lineEdit()->selectAll();
        typeInto(page<QComboBox>("ComboBox5"), QStringLiteral("xyz"));
        typeInto(page<QLineEdit>("Edit2"), QStringLiteral("-"));
        page<QLineEdit>("Edit6")->setText(QStringLiteral("前"));
        // A line break pasted into an affix must not shift the lines after it.
        page<QLineEdit>("Edit5")->setText(QStringLiteral("w\nmore"));
        auto* memo1 = page<QPlainTextEdit>("Memo1");
        typeInto(memo1, QStringLiteral("a"));
        QTest::keyClick(memo1, Qt::Key_Return);
        QTest::keyClicks(memo1, QStringLiteral("b"));
        QTest::keyClick(memo1, Qt::Key_Return);
        typeInto(page<QPlainTextEdit>("Memo3"), QStringLiteral("f"));
        typeInto(page<QPlainTextEdit>("Memo4"), QStringLiteral("t"));
        QTest::mouseClick(page<QCheckBox>("CheckBox2"), Qt::LeftButton);
        clickOk();
        QVERIFY(!pages_->isVisible());
        QCOMPARE(pages_->result(), int(QDialog::Accepted));
        QVERIFY(h_.shown.isEmpty());
        QCOMPARE(ReadAll(styleFile("mine")), CrLf({"[STYLE]",
                                                   "1",
                                                   "4",
                                                   "1",
                                                   "-1",
                                                   "[DATE_TITLE]",
                                                   "",
                                                   "-",
                                                   "",
                                                   "",
                                                   "w",
                                                   "\x91\x4F",
                                                   "[HEAD]",
                                                   "a",
                                                   "b",
                                                   "",
                                                   "[MID]",
                                                   "",
                                                   "[FOOT]",
                                                   "f",
                                                   "[DIARY_TOP]",
                                                   "t",
                                                   "[DIARY_BOTTOM]",
                                                   "",
                                                   "[USE_TITLE]",
                                                   "1",
                                                   "[USE_DIARY]",
                                                   "0"}));
    }

    void hiddenAffixesAreStillSaved() {
        load(QStringLiteral("demo"));
        openPages();
        page<QTabWidget>("PageControl1")->setCurrentIndex(1);
        auto* useTitle = page<QCheckBox>("CheckBox1");
        useTitle->click();
        QVERIFY(useTitle->isChecked());
        QVERIFY(page<QGroupBox>("GroupBox1")->isVisible());
        useTitle->click();
        QVERIFY(!page<QGroupBox>("GroupBox1")->isVisible());
        page<QLineEdit>("Edit1")->setText(QStringLiteral("["));
        clickOk();
        QVERIFY(!pages_->isVisible());
        const std::string saved = ReadAll(styleFile("demo"));
        QVERIFY(saved.starts_with(CrLf({"[STYLE]", "0", "0", "0", "0", "[DATE_TITLE]", "[", "/",
                                        "/", "&nbsp;(", ")&nbsp;&nbsp;", "", "[HEAD]"})));
        QVERIFY(saved.ends_with(CrLf({"[USE_TITLE]", "0", "[USE_DIARY]", "1"})));
    }

    void okWithoutANameAsksForOne() {
        for (const QString& name : {QString(), QStringLiteral("   "), QStringLiteral("\u3000")}) {
            h_.shown.clear();
            load(QString(), false);
            openPages();
            page<QLineEdit>("Edit7")->setText(name);
            page<QLineEdit>("Edit7")->setModified(true);
            clickOk();
            QCOMPARE(h_.shown.size(), 1);
            QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Message);
            QCOMPARE(h_.shown[0].text, QStringLiteral("スタイル名を入力してください"));
            QVERIFY(pages_->isVisible());
            QCOMPARE(styleFiles(), QStringList{QStringLiteral("demo.style")});
            pages_->reject();
        }
    }

    void namesThatWouldLeaveTheStyleFolderAreRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("named");  // what the message must name
        QTest::newRow("parent folder") << QStringLiteral("../evil") << QStringLiteral(": /\r");
        QTest::newRow("absolute") << QStringLiteral("/tmp/evil") << QStringLiteral(": /\r");
        QTest::newRow("backslash") << QStringLiteral("..\\evil") << QStringLiteral(": \\\r");
        QTest::newRow("colon") << QStringLiteral("c:evil") << QStringLiteral(": :\r");
        QTest::newRow("wildcards") << QStringLiteral("a*b?") << QStringLiteral(": * ?\r");
        QTest::newRow("quotes and brackets")
            << QStringLiteral("<\"|>") << QStringLiteral(": \" < > |\r");
        QTest::newRow("control character")
            << QStringLiteral("a\tb") << QStringLiteral(": 制御文字\r");
        QTest::newRow("dots") << QStringLiteral("..") << QStringLiteral("\"..\"");
    }

    void namesThatWouldLeaveTheStyleFolderAreRefused() {
        QFETCH(QString, name);
        QFETCH(QString, named);
        load(QString(), false);
        openPages();
        page<QLineEdit>("Edit7")->setText(name);
        page<QLineEdit>("Edit7")->setModified(true);
        clickOk();
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Message);
        QVERIFY2(h_.shown[0].text.startsWith(QStringLiteral("スタイル名に")),
                 qPrintable(h_.shown[0].text));
        QVERIFY2(h_.shown[0].text.contains(named), qPrintable(h_.shown[0].text));
        QVERIFY(pages_->isVisible());
        QCOMPARE(styleFiles(), QStringList{QStringLiteral("demo.style")});
        QVERIFY(!std::filesystem::exists(h_.folder() / "evil.style"));
        QVERIFY(!std::filesystem::exists("/tmp/evil.style"));
        QVERIFY(!std::filesystem::exists(h_.folder() / "..\\evil.style"));
        pages_->reject();
    }

    void commaAndSemicolonAreAccepted() {
        load(QString(), false);
        openPages();
        typeInto(page<QLineEdit>("Edit7"), QStringLiteral("a,b;c"));
        clickOk();
        QVERIFY(h_.shown.isEmpty());
        QVERIFY(!pages_->isVisible());
        QVERIFY(std::filesystem::exists(styleFile("a,b;c")));
    }

    void editingAStyleOverwritesItWithoutAQuestion() {
        load(QStringLiteral("demo"));
        openPages();
        page<QPlainTextEdit>("Memo2")->setPlainText(QStringLiteral("<hr>"));
        clickOk();
        QVERIFY(h_.shown.isEmpty());
        QVERIFY(!pages_->isVisible());
        tavo::Style saved;
        std::string error;
        QVERIFY2(tavo::ReadStyle(h_.folder(), "demo", &saved, &error), error.c_str());
        QCOMPARE(saved.mid, std::string("<hr>"));
    }

    void aNewNameSavesACopy() {
        const std::string demo = ReadAll(styleFile("demo"));
        load(QStringLiteral("demo"));
        openPages();
        retypeName(QStringLiteral("copy"));
        clickOk();
        QVERIFY(h_.shown.isEmpty());
        QCOMPARE(ReadAll(styleFile("copy")), demo);
        QCOMPARE(ReadAll(styleFile("demo")), demo);
    }

    void typingTheNameOfAnotherStyleAsksFirst() {
        WriteAll(styleFile("other"), HandMadeStyle("1", "1", "1", "1", "1", "1"));
        const std::string other = ReadAll(styleFile("other"));
        load(QStringLiteral("demo"));
        openPages();
        retypeName(QStringLiteral("other"));
        h_.answers << MessageBox::Button::Cancel;
        clickOk();
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Warning);
        QCOMPARE(h_.shown[0].caption, QStringLiteral("警告"));
        QCOMPARE(h_.shown[0].text,
                 QStringLiteral("「other」というスタイルは存在します\r上書きしますか？"));
        QCOMPARE(h_.shown[0].buttons,
                 (QList<MessageBox::Button>{MessageBox::Button::Ok, MessageBox::Button::Cancel}));
        QVERIFY(pages_->isVisible());
        QCOMPARE(ReadAll(styleFile("other")), other);

        h_.answers << MessageBox::Button::Ok;
        clickOk();
        QCOMPARE(h_.shown.size(), 2);
        QVERIFY(!pages_->isVisible());
        QCOMPARE(ReadAll(styleFile("other")), ReadAll(styleFile("demo")));
    }

    void aNewStyleNamedLikeAnExistingOneAsksFirst() {
        load(QString(), false);
        openPages();
        typeInto(page<QLineEdit>("Edit7"), QStringLiteral("demo"));
        h_.answers << MessageBox::Button::Cancel;
        const std::string demo = ReadAll(styleFile("demo"));
        clickOk();
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].text,
                 QStringLiteral("「demo」というスタイルは存在します\r上書きしますか？"));
        QVERIFY(pages_->isVisible());
        QCOMPARE(ReadAll(styleFile("demo")), demo);
        pages_->reject();
    }

    void cancelWritesNothing() {
        load(QStringLiteral("demo"));
        openPages();
        const std::string demo = ReadAll(styleFile("demo"));
        page<QPlainTextEdit>("Memo1")->setPlainText(QStringLiteral("changed"));
        QTest::mouseClick(page<QPushButton>("CancelBtn"), Qt::LeftButton);
        QVERIFY(!pages_->isVisible());
        QCOMPARE(pages_->result(), int(QDialog::Rejected));
        QCOMPARE(ReadAll(styleFile("demo")), demo);
        QCOMPARE(styleFiles(), QStringList{QStringLiteral("demo.style")});
    }

    void aFailedWriteKeepsTheDialogOpen() {
        load(QStringLiteral("demo"));
        openPages();
        page<QPlainTextEdit>("Memo2")->setPlainText(QStringLiteral("typed"));
        std::filesystem::remove_all(styleFolder());
        clickOk();
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Error);
        QVERIFY2(h_.shown[0].text.contains(QStringLiteral("demo.style")),
                 qPrintable(h_.shown[0].text));
        QVERIFY(pages_->isVisible());
        QCOMPARE(page<QPlainTextEdit>("Memo2")->toPlainText(), QStringLiteral("typed"));
        pages_->reject();
    }

    void charactersOutsideCodePage932AreKeptAsReferences() {
        load(QString(), false);
        openPages();
        typeInto(page<QLineEdit>("Edit7"), QStringLiteral("emoji"));
        page<QPlainTextEdit>("Memo3")->setPlainText(QStringLiteral("x\U0001F600y"));
        clickOk();
        QVERIFY(!pages_->isVisible());
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Message);
        tavo::Style saved;
        std::string error;
        QVERIFY2(tavo::ReadStyle(h_.folder(), "emoji", &saved, &error), error.c_str());
        QCOMPARE(saved.foot, std::string("x&#128512;y"));
    }

    // --- the selection dialog ---------------------------------------------------------------

    void menuShowsTheSortedListWithoutBlocking() {
        for (const char* name : {"zeta", "alpha", "Mid"})
            copyDemo(name);
        WriteAll(styleFolder() / "old.style.bak", "");
        WriteAll(styleFolder() / "CAPS.STYLE", "");
        openList();
        QVERIFY(!select_->isModal());
        QVERIFY(main_->isEnabled());
        QCOMPARE(select_->windowTitle(), QStringLiteral("出力スタイル設定"));
        QCOMPARE(select_->size(), QSize(503, 117));
        QCOMPARE(select_->minimumSize(), select_->maximumSize());
        QCOMPARE(select_->pos(), QPoint(main_->x(), main_->y() + 150));
        for (const auto& [name, caption] : {std::pair{"Button1", "新規作成"},
                                            {"Button2", "編集"},
                                            {"Button3", "削除"},
                                            {"Button4", "閉じる"}})
            QCOMPARE(list<QPushButton>(name)->text(), QString::fromUtf8(caption));
        QCOMPARE(list<QFrame>("Bevel1")->frameShape(), QFrame::HLine);
        QCOMPARE(listed(), (QStringList{"alpha", "demo", "Mid", "zeta"}));
        QCOMPARE(listBox()->currentRow(), 0);
        QVERIFY(listBox()->item(0)->isSelected());
    }

    void theListIsReadAtEachShowing() {
        openList();
        QCOMPARE(listed(), QStringList{"demo"});
        copyDemo("later");
        QCOMPARE(listed(), QStringList{"demo"});  // not followed while open
        QTest::mouseClick(list<QPushButton>("Button4"), Qt::LeftButton);
        QVERIFY(!select_->isVisible());
        openList();
        QCOMPARE(listed(), (QStringList{"demo", "later"}));
    }

    void anEmptyFolderListsNothing() {
        std::filesystem::remove(styleFile("demo"));
        openList();
        QCOMPARE(listBox()->count(), 0);
        QCOMPARE(listBox()->selectedItems().size(), 0);
        QTimer guard;
        bool opened = false;
        connect(&guard, &QTimer::timeout, this, [&] {
            if (pages_->isVisible()) {
                opened = true;
                pages_->reject();
            }
        });
        guard.start(0);
        QTest::mouseClick(list<QPushButton>("Button2"), Qt::LeftButton);
        QTest::mouseClick(list<QPushButton>("Button3"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(!opened);
        QVERIFY(h_.shown.isEmpty());
        QVERIFY(select_->isVisible());
        QCOMPARE(listBox()->count(), 0);
    }

    void newStyleThenOkListsIt() {
        copyDemo("beta");
        openList();
        load(QStringLiteral("demo"));  // its affixes are offered to the new style
        QString nameShown, affixShown;
        whenDialogOpens(pages_, [this, &nameShown, &affixShown] {
            nameShown = page<QLineEdit>("Edit7")->text();
            affixShown = page<QLineEdit>("Edit2")->text();
            typeInto(page<QLineEdit>("Edit7"), QStringLiteral("Alpha"));
            clickOk();
        });
        QTest::mouseClick(list<QPushButton>("Button1"), Qt::LeftButton);
        QCOMPARE(nameShown, QString());
        QCOMPARE(affixShown, QStringLiteral("/"));
        QVERIFY(!pages_->isVisible());
        QVERIFY(select_->isVisible());
        QCOMPARE(listed(), (QStringList{"Alpha", "beta", "demo"}));
        QCOMPARE(listBox()->currentRow(), 0);
        QVERIFY(std::filesystem::exists(styleFile("Alpha")));
    }

    void newStyleThenCancelRereadsTheList() {
        openList();
        whenDialogOpens(pages_, [this] {
            copyDemo("meanwhile");
            QTest::mouseClick(page<QPushButton>("CancelBtn"), Qt::LeftButton);
        });
        QTest::mouseClick(list<QPushButton>("Button1"), Qt::LeftButton);
        QVERIFY(select_->isVisible());
        QCOMPARE(listed(), (QStringList{"demo", "meanwhile"}));
        QCOMPARE(styleFiles(), (QStringList{"demo.style", "meanwhile.style"}));
    }

    void editClosesTheListFirst() {
        copyDemo("alpha");
        WriteAll(styleFile("zeta"), HandMadeStyle("1", "2", "1", "2", "1", "0"));
        openList();
        selectListed(QStringLiteral("zeta"));
        bool listVisible = true;
        QString name;
        int month = -1;
        whenDialogOpens(pages_, [&] {
            listVisible = select_->isVisible();
            name = page<QLineEdit>("Edit7")->text();
            month = page<QComboBox>("ComboBox3")->currentIndex();
            QTest::mouseClick(page<QPushButton>("CancelBtn"), Qt::LeftButton);
        });
        QTest::mouseClick(list<QPushButton>("Button2"), Qt::LeftButton);
        QVERIFY(!listVisible);
        QCOMPARE(name, QStringLiteral("zeta"));
        QCOMPARE(month, 2);
        QVERIFY(!select_->isVisible());
        QVERIFY(!pages_->isVisible());
    }

    void doubleClickEdits() {
        copyDemo("alpha");
        openList();
        QListWidgetItem* demo = listBox()->findItems(QStringLiteral("demo"), Qt::MatchExactly)[0];
        const QPoint at = listBox()->visualItemRect(demo).center();
        QString name;
        whenDialogOpens(pages_, [&] {
            name = page<QLineEdit>("Edit7")->text();
            QTest::mouseClick(page<QPushButton>("CancelBtn"), Qt::LeftButton);
        });
        QTest::mouseClick(listBox()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(listBox()->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(name, QStringLiteral("demo"));
        QVERIFY(!select_->isVisible());
    }

    void editWithoutASelectionDoesNothing() {
        openList();
        listBox()->clearSelection();
        QTimer guard;
        bool opened = false;
        connect(&guard, &QTimer::timeout, this, [&] {
            if (pages_->isVisible()) {
                opened = true;
                pages_->reject();
            }
        });
        guard.start(0);
        QTest::mouseClick(list<QPushButton>("Button2"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(!opened);
        QVERIFY(select_->isVisible());
    }

    void aStyleThatCannotBeReadEndsEditingWithTheErrorBox() {
        WriteAll(styleFile("broken"), HandMadeStyle("zero", "0", "0", "0", "1", "1"));
        openList();
        selectListed(QStringLiteral("broken"));
        QTimer guard;
        bool opened = false;
        connect(&guard, &QTimer::timeout, this, [&] {
            if (pages_->isVisible()) {
                opened = true;
                pages_->reject();
            }
        });
        guard.start(0);
        QTest::mouseClick(list<QPushButton>("Button2"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(!opened);
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Error);
        QVERIFY2(h_.shown[0].text.contains(QStringLiteral("\"zero\"")),
                 qPrintable(h_.shown[0].text));
        QVERIFY(!select_->isVisible());
    }

    void deleteMovesTheStyleToTheTrashAfterAsking() {
        copyDemo("alpha");
        copyDemo("beta");
        const std::string alpha = ReadAll(styleFile("alpha"));
        openList();
        selectListed(QStringLiteral("beta"));
        h_.answers << MessageBox::Button::Ok;
        QTest::mouseClick(list<QPushButton>("Button3"), Qt::LeftButton);
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Warning);
        QCOMPARE(h_.shown[0].text,
                 QStringLiteral("「beta」というスタイルをごみ箱に移動しますか？"));
        QCOMPARE(h_.shown[0].buttons,
                 (QList<MessageBox::Button>{MessageBox::Button::Ok, MessageBox::Button::Cancel}));
        QVERIFY(!std::filesystem::exists(styleFile("beta")));
        QCOMPARE(ReadAll(trash() / "files" / "beta.style"), alpha);
        const std::string info = ReadAll(trash() / "info" / "beta.style.trashinfo");
        QVERIFY2(info.find("Path=") != std::string::npos, info.c_str());
        QCOMPARE(listed(), (QStringList{"alpha", "demo"}));
        QCOMPARE(listBox()->currentRow(), 0);

        // Restored from the trash, it is listed at the next showing.
        std::filesystem::rename(trash() / "files" / "beta.style", styleFile("beta"));
        select_->close();
        openList();
        QCOMPARE(listed(), (QStringList{"alpha", "beta", "demo"}));
    }

    void decliningTheDeleteKeepsEverything() {
        copyDemo("alpha");
        openList();
        selectListed(QStringLiteral("demo"));
        h_.answers << MessageBox::Button::Cancel;
        QTest::mouseClick(list<QPushButton>("Button3"), Qt::LeftButton);
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(styleFiles(), (QStringList{"alpha.style", "demo.style"}));
        QCOMPARE(listed(), (QStringList{"alpha", "demo"}));
        QVERIFY(!std::filesystem::exists(trash() / "files"));
    }

    void aDeleteThatFailsIsReported() {
        copyDemo("gone");
        openList();
        selectListed(QStringLiteral("gone"));
        std::filesystem::remove(styleFile("gone"));  // deleted behind the list's back
        h_.answers << MessageBox::Button::Ok;
        QTest::mouseClick(list<QPushButton>("Button3"), Qt::LeftButton);
        QCOMPARE(h_.shown.size(), 2);
        QCOMPARE(h_.shown[1].kind, MessageBox::Kind::Error);
        QVERIFY2(h_.shown[1].text.contains(QStringLiteral("gone.style")),
                 qPrintable(h_.shown[1].text));
        QCOMPARE(listed(), QStringList{"demo"});
    }

    void withoutATrashTheStyleStaysWhereItWas() {
        copyDemo("kept");
        const std::string kept = ReadAll(styleFile("kept"));
        // No trash can be made under a regular file.
        WriteAll(h_.folder() / "blocker", "");
        qputenv("XDG_DATA_HOME", QFile::encodeName(FromPath(h_.folder() / "blocker" / "xdg")));
        const std::filesystem::path work = h_.folder() / "work";
        std::filesystem::create_directory(work);
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(FromPath(work)));
        openList();
        selectListed(QStringLiteral("kept"));
        h_.answers << MessageBox::Button::Ok;
        QTest::mouseClick(list<QPushButton>("Button3"), Qt::LeftButton);
        QDir::setCurrent(previous);
        QCOMPARE(h_.shown.size(), 2);
        QCOMPARE(h_.shown[1].kind, MessageBox::Kind::Error);
        QVERIFY2(h_.shown[1].text.contains(QStringLiteral("kept.style")),
                 qPrintable(h_.shown[1].text));
        QCOMPARE(ReadAll(styleFile("kept")), kept);
        QVERIFY(std::filesystem::is_empty(work));
        QCOMPARE(listed(), (QStringList{"demo", "kept"}));
    }
};

TAVO_GUI_TEST_MAIN(StyleDialogTest)
#include "style_dialog_test.moc"
