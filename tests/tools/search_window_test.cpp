#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <memory>

#include "common/ui_text.h"
#include "core/entry_store.h"
#include "core/temp_folder.h"
#include "main_window/sdimain.h"
#include "tools/f_result.h"
#include "tools/find.h"
#include "tools/schedule.h"
#include "uikit/gui_harness.h"
#include "uikit/gui_test_main.h"

namespace {

// 初日 in code page 932.
const char kFirstDay[] = "\x8F\x89\x93\xFA";
const QString kSeparator = QStringLiteral("―――――――――――――――――");

}  // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT

private:
    GuiHarness h_;
    std::unique_ptr<Diary> diary_;  // outlives its window
    std::unique_ptr<TSDIAppForm> main_;
    TFindForm* find_ = nullptr;
    TResult_Find* result_ = nullptr;
    TS_Form* schedule_ = nullptr;

    std::filesystem::path data() const { return h_.folder() / "data"; }

    // The main window with the three windows, created in the program's order.
    void startProgram() {
        main_.reset();
        diary_ = std::make_unique<Diary>(h_.folder());
        main_ = std::make_unique<TSDIAppForm>(*diary_);
        find_ = new TFindForm(main_.get(), main_.get());
        result_ = new TResult_Find(main_.get(), main_.get());
        find_->setResultWindow(result_);
        schedule_ = new TS_Form(main_.get(), main_.get());
        TSDIAppForm::Windows windows;
        windows.findForm = [this] { return find_; };
        windows.scheduleForm = [this] { return schedule_; };
        main_->setWindows(windows);
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    }

    void saveEntry(const char* fileName, const tavo::Entry& entry) {
        std::string error;
        QVERIFY2(tavo::EntryStore(h_.folder()).SaveEntry(fileName, entry, &error), error.c_str());
    }

    template <typename T>
    static T* child(QWidget* window, const char* name) {
        return Child<T>(window, name);
    }
    void click(QWidget* window, const char* button) {
        QTest::mouseClick(child<QPushButton>(window, button), Qt::LeftButton);
    }
    void typeInto(QWidget* widget, const QString& text) {
        widget->setFocus();
        QTest::keyClicks(widget, text);
    }

    void openFind() {
        Child<QAction>(main_.get(), "F1")->trigger();
        QVERIFY(find_->isVisible());
    }
    void searchRange(const QString& text, const QDate& first, const QDate& last) {
        openFind();
        child<QRadioButton>(find_, "RadioButton2")->click();
        child<QDateEdit>(find_, "DateTimePicker1")->setDate(first);
        child<QDateEdit>(find_, "DateTimePicker2")->setDate(last);
        // Typed as the user would; key clicks cannot type Japanese, which is set instead.
        auto* edit = child<QLineEdit>(find_, "Edit1");
        edit->clear();
        if (text.toLatin1() == text.toUtf8())
            typeInto(edit, text);
        else
            edit->setText(text);
        click(find_, "Button1");
    }

    QStringList resultLines() const {
        QStringList lines;
        auto* list = child<QListWidget>(result_, "ListBox1");
        for (int i = 0; i < list->count(); ++i)
            lines << list->item(i)->text();
        return lines;
    }
    QString resultLabel() const { return child<QLabel>(result_, "Label1")->text(); }

    QString scheduleText() const { return child<QTextEdit>(schedule_, "RichEdit1")->toPlainText(); }
    QString scheduleLabel() const { return child<QLabel>(schedule_, "Label1")->text(); }
    QTextCharFormat formatAt(int position) const {
        QTextCursor cursor(child<QTextEdit>(schedule_, "RichEdit1")->document());
        cursor.setPosition(position + 1);  // the format of the character before the cursor
        return cursor.charFormat();
    }
    bool redAndBold(int position) const {
        const QTextCharFormat format = formatAt(position);
        return format.foreground().color() == QColor(255, 0, 0) &&
               format.fontWeight() == QFont::Bold;
    }
    void openScheduleOn(const QDate& today) {
        schedule_->setClock([today] { return today; });
        Child<QAction>(main_.get(), "S1")->trigger();
        QVERIFY(schedule_->isVisible());
    }

private slots:
    void init() {
        h_.setUp();
        std::filesystem::create_directory(data());
        // Editing font 13 points.
        WriteAll(h_.folder() / "User.ini",
                 "[TITLE]\r\n\r\n[FONT_SIZE]\r\n4\r\n[FONT_COLOR]\r\n0\r\n[BACK_COLOR]\r\n"
                 "16777215\r\n[USE_IME]\r\n0\r\n");
        saveEntry("20240105.txt", {kFirstDay, "abc", "plans"});
        saveEntry("20240106.txt", {"second", "xyz", ""});
        saveEntry("20240210.txt", {"later", "abc", ""});
    }

    void cleanup() {
        if (main_)
            main_->close();
        main_.reset();
        h_.tearDown();
    }

    void resultLinesCarryTheJapaneseWeekday() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(ResultLine(QDate(2024, 1, 5), QStringLiteral("初日")),
                 QStringLiteral("2024/01/05(金) : 初日"));
        QCOMPARE(ResultLine(QDate(2004, 11, 28), QString()), QStringLiteral("2004/11/28(日) : "));
        QCOMPARE(ResultLine(QDate(999, 3, 1), QStringLiteral("x")),
                 QStringLiteral("0999/03/01(金) : x"));
        QCOMPARE(DateOfResultLine(QStringLiteral("2024/01/05(金) : 2023/12/31")),
                 QDate(2024, 1, 5));
        QCOMPARE(DateOfResultLine(QStringLiteral("2004/11/28(日) : ")), QDate(2004, 11, 28));
        QVERIFY(!DateOfResultLine(QStringLiteral("2024/1/5(金) : x")).isValid());
        QVERIFY(!DateOfResultLine(QString()).isValid());
        QCOMPARE(ResultCountText(3, 0), QStringLiteral("該当日記件数は3件です"));
        QCOMPARE(ResultCountText(0, 2),
                 QStringLiteral("該当日記件数は0件です（読めないファイル 2 件）"));
    }

    void findFormControlsAndInitialState() {
        startProgram();
        openFind();
        QVERIFY(!find_->isModal());
        QCOMPARE(find_->windowTitle(), QStringLiteral("日記の検索"));
        QCOMPARE(find_->pos(), main_->pos() + QPoint(40, 120));
        for (const auto& [name, caption] : {std::pair{"GroupBox1", "検索文字列"},
                                            {"GroupBox2", "検索範囲"},
                                            {"GroupBox3", "検索領域"}})
            QCOMPARE(child<QGroupBox>(find_, name)->title(), QString::fromUtf8(caption));
        QCOMPARE(
            child<QLabel>(find_, "Label3")->text(),
            QStringLiteral("(検索文字列が空欄の場合、検索範囲内の全ての記録をリストアップします)"));
        QCOMPARE(child<QLabel>(find_, "Label1")->text(), QStringLiteral("から"));
        QCOMPARE(child<QLabel>(find_, "Label2")->text(), QStringLiteral("まで"));
        QCOMPARE(child<QRadioButton>(find_, "RadioButton2")->text(),
                 QStringLiteral("検索範囲指定"));
        QCOMPARE(child<QRadioButton>(find_, "RadioButton1")->text(), QStringLiteral("全日記検索"));
        QVERIFY(child<QRadioButton>(find_, "RadioButton2")->isChecked());
        for (const auto& [name, caption] : {std::pair{"CheckBox1", "タイトル"},
                                            {"CheckBox2", "PUBLIC"},
                                            {"CheckBox3", "PRIVATE"}}) {
            QCOMPARE(child<QCheckBox>(find_, name)->text(), QString::fromUtf8(caption));
            QVERIFY(child<QCheckBox>(find_, name)->isChecked());
        }
        QCOMPARE(child<QPushButton>(find_, "Button1")->text(), QStringLiteral("検索"));
        QCOMPARE(child<QPushButton>(find_, "Button2")->text(), QStringLiteral("キャンセル"));
        QCOMPARE(child<QLineEdit>(find_, "Edit1")->text(), QString());
        QCOMPARE(child<QProgressBar>(find_, "ProgressBar1")->value(), 0);

        // The same day a month before, or the end of that month when it is shorter.
        QCOMPARE(child<QDateEdit>(find_, "DateTimePicker2")->date(), QDate(2024, 3, 31));
        auto* first = child<QDateEdit>(find_, "DateTimePicker1");
        QCOMPARE(first->date(), QDate(2024, 2, 29));
        QCOMPARE(first->displayFormat(), QStringLiteral("yyyy年M月d日(ddd)"));

        click(find_, "Button2");
        QVERIFY(!find_->isVisible());

        QVERIFY(!result_->isVisible());
        QCOMPARE(result_->windowTitle(), QStringLiteral("日記の検索結果"));
        QCOMPARE(resultLabel(), QStringLiteral("該当する日記は"));
        QCOMPARE(child<QPushButton>(result_, "Button1")->text(), QStringLiteral("表示"));
        QCOMPARE(child<QPushButton>(result_, "Button2")->text(), QStringLiteral("閉じる"));
    }

    void allEntriesDisablesThePickers() {
        startProgram();
        openFind();
        child<QRadioButton>(find_, "RadioButton1")->click();
        QVERIFY(!child<QDateEdit>(find_, "DateTimePicker1")->isEnabled());
        QVERIFY(!child<QDateEdit>(find_, "DateTimePicker2")->isEnabled());
        child<QRadioButton>(find_, "RadioButton2")->click();
        QVERIFY(child<QDateEdit>(find_, "DateTimePicker1")->isEnabled());
        QVERIFY(child<QDateEdit>(find_, "DateTimePicker2")->isEnabled());
    }

    void searchShowsTheHitsBesideTheMainWindow() {
        startProgram();
        QCOMPARE(main_->editorFontSize(), 13);
        searchRange(QStringLiteral("abc"), QDate(2024, 1, 1), QDate(2024, 1, 31));
        QVERIFY(!find_->isVisible());
        QVERIFY(result_->isVisible());
        QVERIFY(!result_->isModal());
        QCOMPARE(resultLabel(), QStringLiteral("該当日記件数は1件です"));
        QCOMPARE(resultLines(), QStringList{QStringLiteral("2024/01/05(金) : 初日")});
        QCOMPARE(child<QProgressBar>(find_, "ProgressBar1")->value(), 100);

        const QRect main = main_->frameGeometry();
        QCOMPARE(result_->frameGeometry().left(), main.left() + main.width());
        QCOMPARE(result_->frameGeometry().top(), main.top());
        QCOMPARE(result_->frameGeometry().height(), main.height());
        QCOMPARE(child<QListWidget>(result_, "ListBox1")->font().pointSize(), 13);

        // Showing the dialog again starts its progress afresh and keeps its settings.
        openFind();
        QCOMPARE(child<QProgressBar>(find_, "ProgressBar1")->value(), 0);
        QCOMPARE(child<QLineEdit>(find_, "Edit1")->text(), QStringLiteral("abc"));
        QCOMPARE(child<QDateEdit>(find_, "DateTimePicker1")->date(), QDate(2024, 1, 1));
    }

    void emptyTextListsTheRangeAndPartsNarrowTheSearch() {
        startProgram();
        searchRange(QString(), QDate(2024, 1, 1), QDate(2024, 2, 29));
        QCOMPARE(resultLines(), (QStringList{QStringLiteral("2024/01/05(金) : 初日"),
                                             QStringLiteral("2024/01/06(土) : second"),
                                             QStringLiteral("2024/02/10(土) : later")}));
        QCOMPARE(resultLabel(), QStringLiteral("該当日記件数は3件です"));

        openFind();
        child<QCheckBox>(find_, "CheckBox3")->setChecked(false);
        searchRange(QStringLiteral("plans"), QDate(2024, 1, 1), QDate(2024, 2, 29));
        QCOMPARE(resultLabel(), QStringLiteral("該当日記件数は0件です"));
        QVERIFY(resultLines().isEmpty());
        child<QCheckBox>(find_, "CheckBox3")->setChecked(true);
        searchRange(QStringLiteral("plans"), QDate(2024, 1, 1), QDate(2024, 2, 29));
        QCOMPARE(resultLines(), QStringList{QStringLiteral("2024/01/05(金) : 初日")});
        // Japanese search text is matched as code page 932.
        searchRange(QStringLiteral("初"), QDate(2024, 1, 1), QDate(2024, 2, 29));
        QCOMPARE(resultLines(), QStringList{QStringLiteral("2024/01/05(金) : 初日")});
    }

    void rangeEndingBeforeItsStartShowsNoHits() {
        startProgram();
        searchRange(QString(), QDate(2024, 2, 29), QDate(2024, 1, 1));
        QVERIFY(result_->isVisible());
        QCOMPARE(resultLabel(), QStringLiteral("該当日記件数は0件です"));
        QVERIFY(resultLines().isEmpty());
        QVERIFY(h_.shown.isEmpty());
    }

    void allEntriesPassesOverStrayFilesAndCountsThem() {
        startProgram();
        WriteAll(data() / "notes.txt", "hello\r\n");
        WriteAll(data() / "20240107.txt", "74\r\n");  // one line only
        openFind();
        child<QRadioButton>(find_, "RadioButton1")->click();
        click(find_, "Button1");
        QVERIFY(h_.shown.isEmpty());
        QVERIFY(result_->isVisible());
        QCOMPARE(resultLabel(), QStringLiteral("該当日記件数は3件です（読めないファイル 2 件）"));
        QCOMPARE(resultLines(), (QStringList{QStringLiteral("2024/01/05(金) : 初日"),
                                             QStringLiteral("2024/01/06(土) : second"),
                                             QStringLiteral("2024/02/10(土) : later")}));
        const QString why = child<QLabel>(result_, "Label1")->toolTip();
        QVERIFY2(why.contains(QStringLiteral("notes.txt")), qPrintable(why));
        QVERIFY2(why.contains(QStringLiteral("20240107.txt")), qPrintable(why));
        // The last of five files is reported as 4 * 100 / 5.
        QCOMPARE(child<QProgressBar>(find_, "ProgressBar1")->value(), 80);
    }

    void failedSearchKeepsTheDialogAndTheOldResults() {
        startProgram();
        searchRange(QStringLiteral("abc"), QDate(2024, 1, 1), QDate(2024, 1, 31));
        result_->close();
        std::filesystem::remove_all(data());
        openFind();
        child<QRadioButton>(find_, "RadioButton1")->click();
        click(find_, "Button1");
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Error);
        QVERIFY(find_->isVisible());
        QVERIFY(!result_->isVisible());
        QCOMPARE(resultLines(), QStringList{QStringLiteral("2024/01/05(金) : 初日")});
    }

    void openingAHitMovesTheMainWindowAndSavesTheDayLeft() {
        startProgram();
        main_->goToDate(QDate(2024, 3, 1));
        typeInto(Child<QLineEdit>(main_.get(), "Edit2"), QStringLiteral("march"));
        // Opening the search saves the shown day first, so the search sees it.
        searchRange(QStringLiteral("march"), QDate(2024, 1, 1), QDate(2024, 3, 31));
        QCOMPARE(resultLines(), QStringList{QStringLiteral("2024/03/01(金) : march")});

        searchRange(QString(), QDate(2024, 1, 1), QDate(2024, 3, 31));
        typeInto(Child<QPlainTextEdit>(main_.get(), "Memo1"), QStringLiteral("more"));
        auto* list = child<QListWidget>(result_, "ListBox1");

        // Nothing selected: nothing happens.
        click(result_, "Button1");
        QCOMPARE(main_->shownDate(), QDate(2024, 3, 1));

        const QRect second = list->visualItemRect(list->item(1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(main_->shownDate(), QDate(2024, 1, 6));
        QCOMPARE(Child<QLineEdit>(main_.get(), "Edit2")->text(), QStringLiteral("second"));
        QVERIFY(result_->isVisible());
        tavo::Entry left;
        std::string error;
        QCOMPARE(tavo::EntryStore(h_.folder()).ReadEntry("20240301.txt", &left, &error),
                 tavo::EntryStore::ReadStatus::Found);
        QCOMPARE(left.title, std::string("march"));
        QCOMPARE(left.publicText, std::string("more"));

        list->setCurrentRow(0);
        click(result_, "Button1");
        QCOMPARE(main_->shownDate(), QDate(2024, 1, 5));
        QCOMPARE(Child<QLineEdit>(main_.get(), "Edit2")->text(), QStringLiteral("初日"));

        click(result_, "Button2");
        QVERIFY(!result_->isVisible());
    }

    void scheduleWeekTextAndColours() {
        saveEntry("20241229.txt", {"t", "", "a\r\nb\r\nc"});
        saveEntry("20241231.txt", {"title only", "public", ""});
        saveEntry("20250102.txt", {"", "", ToCp932(QStringLiteral("2025/01/04(土)の準備")).bytes});
        startProgram();
        openScheduleOn(QDate(2024, 12, 29));
        QVERIFY(!schedule_->isModal());
        QCOMPARE(schedule_->windowTitle(), QStringLiteral("予定1週間"));
        QCOMPARE(scheduleLabel(), QStringLiteral("2024/12/29(日) ～ 2025/01/04(土)"));
        QCOMPARE(ToCp932(scheduleLabel()).bytes,
                 std::string("2024/12/29(\x93\xFA) \x81\x60 2025/01/04(\x93\x79)"));
        std::string separatorBytes;
        for (int i = 0; i < 17; ++i)
            separatorBytes += "\x81\x5C";
        QCOMPARE(ToCp932(kSeparator).bytes, separatorBytes);
        const QString expected = QStringLiteral(
                                     "2024/12/29(日)\na\nb\nc\n%1\n"
                                     "2024/12/30(月)\n予定なし\n%1\n"
                                     "2024/12/31(火)\n予定なし\n%1\n"
                                     "2025/01/01(水)\n予定なし\n%1\n"
                                     "2025/01/02(木)\n2025/01/04(土)の準備\n%1\n"
                                     "2025/01/03(金)\n予定なし\n%1\n"
                                     "2025/01/04(土)\n予定なし\n%1")
                                     .arg(kSeparator);
        QCOMPARE(scheduleText(), expected);

        const QString text = scheduleText();
        for (const char* date : {"2024/12/29(日)", "2024/12/30(月)", "2025/01/03(金)"}) {
            const int at = static_cast<int>(text.indexOf(QString::fromUtf8(date)));
            QVERIFY2(redAndBold(at) && redAndBold(at + 12), date);
        }
        // The date quoted in the plans of the 2nd is the first occurrence: it is coloured,
        // and the date line of the 4th is not.
        const int quoted = static_cast<int>(text.indexOf(QStringLiteral("2025/01/04(土)の準備")));
        QVERIFY(redAndBold(quoted) && redAndBold(quoted + 12));
        QVERIFY(!redAndBold(quoted + 13));
        QVERIFY(!redAndBold(static_cast<int>(text.lastIndexOf(QStringLiteral("2025/01/04(土)")))));
        QVERIFY(!redAndBold(static_cast<int>(text.indexOf(QStringLiteral("予定なし")))));
        QVERIFY(!redAndBold(static_cast<int>(text.indexOf(kSeparator))));
        QCOMPARE(child<QTextEdit>(schedule_, "RichEdit1")->textCursor().position(), 0);
        QVERIFY(child<QTextEdit>(schedule_, "RichEdit1")->isReadOnly());
    }

    void scheduleStartsOnTheCurrentDayAndMovesByWeeks() {
        startProgram();
        openScheduleOn(QDate(2024, 1, 5));  // a Friday
        QCOMPARE(scheduleLabel(), QStringLiteral("2024/01/05(金) ～ 2024/01/11(木)"));
        QVERIFY(scheduleText().startsWith(QStringLiteral("2024/01/05(金)\nplans\n")));
        QCOMPARE(child<QPushButton>(schedule_, "Button1")->text(), QStringLiteral("BACK"));
        QCOMPARE(child<QPushButton>(schedule_, "Button2")->text(), QStringLiteral("NEXT"));
        click(schedule_, "Button2");
        QCOMPARE(scheduleLabel(), QStringLiteral("2024/01/12(金) ～ 2024/01/18(木)"));
        click(schedule_, "Button2");
        QCOMPARE(scheduleLabel(), QStringLiteral("2024/01/19(金) ～ 2024/01/25(木)"));
        QCOMPARE(child<QTextEdit>(schedule_, "RichEdit1")->textCursor().position(), 0);
        schedule_->close();
        Child<QAction>(main_.get(), "S1")->trigger();
        QCOMPARE(scheduleLabel(), QStringLiteral("2024/01/05(金) ～ 2024/01/11(木)"));
        click(schedule_, "Button1");
        click(schedule_, "Button1");
        QCOMPARE(scheduleLabel(), QStringLiteral("2023/12/22(金) ～ 2023/12/28(木)"));
    }

    void scheduleSitsLeftOfTheMainWindow() {
        startProgram();
        openScheduleOn(QDate(2024, 1, 5));
        const QRect main = main_->frameGeometry();
        QCOMPARE(schedule_->frameGeometry().right() + 1, main.left());
        QCOMPARE(schedule_->frameGeometry().top(), main.top());
        QCOMPARE(schedule_->frameGeometry().height(), main.height());
        QCOMPARE(child<QTextEdit>(schedule_, "RichEdit1")->font().pointSize(), 13);
    }

    void scheduleShowsWhatTheMainWindowJustSaved() {
        startProgram();
        main_->goToDate(QDate(2024, 1, 8));
        typeInto(Child<QPlainTextEdit>(main_.get(), "Memo2"), QStringLiteral("dentist"));
        openScheduleOn(QDate(2024, 1, 5));
        QVERIFY(scheduleText().contains(QStringLiteral("2024/01/08(月)\ndentist\n")));
    }

    void scheduleReportsAnUnreadableEntry() {
        WriteAll(data() / "20240107.txt", "74\r\n");
        startProgram();
        openScheduleOn(QDate(2024, 1, 5));
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Error);
        QCOMPARE(h_.shown[0].text,
                 QString::fromStdString(tavo::TooFewLinesText(3, 1, data() / "20240107.txt")));
        QCOMPARE(scheduleLabel(), QStringLiteral("2024/01/05(金) ～ 2024/01/11(木)"));
        QVERIFY(scheduleText().startsWith(QStringLiteral("2024/01/05(金)\nplans\n")));
    }
};

TAVO_GUI_TEST_MAIN(SearchWindowTest)
#include "search_window_test.moc"
