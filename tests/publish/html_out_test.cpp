#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/tavo_windows.h"
#include "common/ui_text.h"
#include "core/entry_store.h"
#include "core/scramble.h"
#include "core/temp_folder.h"
#include "ftp/ftpup.h"
#include "main_window/sdimain.h"
#include "publish/html_out.h"
#include "publish/page_generator.h"
#include "uikit/gui_harness.h"
#include "uikit/gui_test_main.h"

class HtmlOutTest : public QObject {
    Q_OBJECT

private:
    GuiHarness h_;
    std::unique_ptr<TavoWindows> program_;

    TSDIAppForm* main() const { return program_->SDIAppForm(); }
    TH_OutForm* form() const { return program_->H_OutForm(); }
    template <typename T>
    T* child(const char* name) const {
        return Child<T>(form(), name);
    }
    QPushButton* button(const char* name) const { return child<QPushButton>(name); }
    QString text() const { return child<QPlainTextEdit>("RichEdit1")->toPlainText(); }
    bool enabled(const char* name) const { return button(name)->isEnabled(); }

    void startProgram() {
        program_ = std::make_unique<TavoWindows>(h_.folder());
        program_->start();
        // The lists here are about the styles a test makes; only demo.style is kept of the
        // built-in ones (the main window's test covers modern.style).
        std::filesystem::remove(h_.folder() / "style" / "modern.style");
    }

    void saveEntry(const char* fileName, const tavo::Entry& entry) {
        std::string error;
        QVERIFY2(tavo::EntryStore(h_.folder()).SaveEntry(fileName, entry, &error), error.c_str());
    }

    // Opens the dialog on April 2004 with the default style.
    void openOnApril2004() {
        Child<QAction>(main(), "HTMLO1")->trigger();
        QVERIFY(form()->isVisible());
        child<QDateEdit>("DateTimePicker1")->setDate(QDate(2004, 4, 1));
        child<QDateEdit>("DateTimePicker2")->setDate(QDate(2004, 4, 30));
    }

    // The page the generator makes for April 2004, as bytes and as the text box shows it.
    std::string expectedPageBytes(bool oldestFirst = false) const {
        std::string page, error;
        if (!tavo::GeneratePage(h_.folder(), {"demo", {2004, 4, 1}, {2004, 4, 30}, oldestFirst},
                                &page, &error))
            qFatal("%s", error.c_str());
        return page;
    }
    QString expectedPage(bool oldestFirst = false) const {
        return MemoFromCp932(expectedPageBytes(oldestFirst));
    }

private slots:
    void init() {
        h_.setUp();
        std::filesystem::create_directory(h_.folder() / "data");
        saveEntry("20040403.txt", {"T", "a\r\nb", "never published"});
        saveEntry("20040401.txt", {"\x8F\x89\x93\xFA", "", ""});  // 初日
    }

    void cleanup() {
        if (program_ && main()->isVisible())
            main()->close();
        program_.reset();
        h_.tearDown();
    }

    void controlsAndInitialValues() {
        startProgram();
        QVERIFY(std::filesystem::exists(h_.folder() / "style" / "demo.style"));
        Child<QAction>(main(), "HTMLO1")->trigger();
        QVERIFY(form()->isVisible());
        QVERIFY(!form()->isModal());
        QCOMPARE(form()->windowTitle(), QStringLiteral("HTML出力"));
        QCOMPARE(form()->size(), QSize(604, 388));
        QCOMPARE(form()->pos(), QPoint(main()->x(), main()->y() + 120));
        QCOMPARE(child<QDateEdit>("DateTimePicker2")->date(), QDate(2024, 3, 31));
        QCOMPARE(child<QDateEdit>("DateTimePicker1")->date(), QDate(2024, 3, 1));
        QCOMPARE(child<QDateEdit>("DateTimePicker1")->displayFormat(),
                 QStringLiteral("yyyy年M月d日(ddd)"));
        QVERIFY(!child<QCheckBox>("CheckBox1")->isChecked());
        QCOMPARE(child<QCheckBox>("CheckBox1")->text(), QStringLiteral("古い順に"));
        for (const auto& [name, caption] : {std::pair{"Label1", "から"},
                                            {"Label2", "まで"},
                                            {"Label3", "出力スタイル"},
                                            {"Label4", "で"},
                                            {"Panel2Caption", "  出力状況"}})
            QCOMPARE(child<QLabel>(name)->text(), QString::fromUtf8(caption));
        for (const auto& [name, caption] : {std::pair{"Button1", "出力"},
                                            {"Button5", "追加出力"},
                                            {"Button2", "保存"},
                                            {"Button3", "ブラウザ"},
                                            {"Button4", "FTP"},
                                            {"Button6", "閉じる"}})
            QCOMPARE(button(name)->text(), QString::fromUtf8(caption));
        auto* styles = child<QComboBox>("ComboBox1");
        QCOMPARE(styles->count(), 1);
        QCOMPARE(styles->currentText(), QStringLiteral("demo"));
        QVERIFY(!styles->isEditable());
        QVERIFY(enabled("Button1") && enabled("Button5"));
        QVERIFY(!enabled("Button2") && !enabled("Button3") && !enabled("Button4"));
        QCOMPARE(child<QProgressBar>("ProgressBar1")->value(), 0);
    }

    void outputAndAppendMakeWholePages() {
        startProgram();
        openOnApril2004();
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QCOMPARE(text(), expectedPage());
        QVERIFY(text().contains(QStringLiteral("<b>2004.04.03 (土)&nbsp;&nbsp;T</b>")));
        QVERIFY(text().contains(QStringLiteral("初日")));
        QVERIFY(!text().contains(QStringLiteral("never published")));
        QCOMPARE(child<QProgressBar>("ProgressBar1")->value(), 100);
        QVERIFY(enabled("Button2") && enabled("Button3") && enabled("Button4"));

        QTest::mouseClick(button("Button5"), Qt::LeftButton);
        QTest::mouseClick(button("Button5"), Qt::LeftButton);
        QCOMPARE(text(), expectedPage() + expectedPage() + expectedPage());

        child<QCheckBox>("CheckBox1")->setChecked(true);
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QCOMPARE(text(), expectedPage(true));
    }

    void showingAgainResetsTheTextButKeepsTheRange() {
        startProgram();
        openOnApril2004();
        child<QCheckBox>("CheckBox1")->setChecked(true);
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QTest::mouseClick(button("Button6"), Qt::LeftButton);
        QVERIFY(!form()->isVisible());
        Child<QAction>(main(), "HTMLO1")->trigger();
        QCOMPARE(text(), QString());
        QVERIFY(!enabled("Button2") && !enabled("Button3") && !enabled("Button4"));
        QCOMPARE(child<QProgressBar>("ProgressBar1")->value(), 0);
        QCOMPARE(child<QDateEdit>("DateTimePicker1")->date(), QDate(2004, 4, 1));
        QVERIFY(child<QCheckBox>("CheckBox1")->isChecked());
    }

    void restoringTheMinimisedWindowKeepsThePage() {
        startProgram();
        openOnApril2004();
        QVERIFY(QTest::qWaitForWindowExposed(form()));
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        child<QPlainTextEdit>("RichEdit1")->appendPlainText(QStringLiteral("<p>手直し</p>"));
        const QString edited = text();
        form()->showMinimized();
        QTRY_VERIFY(form()->isMinimized());
        form()->showNormal();
        QTRY_VERIFY(!form()->isMinimized());
        QCoreApplication::processEvents();
        QCOMPARE(text(), edited);
        QVERIFY(enabled("Button2") && enabled("Button3") && enabled("Button4"));
    }

    void openingSavesTheShownDayFirst() {
        startProgram();
        main()->goToDate(QDate(2004, 4, 10));
        auto* title = Child<QLineEdit>(main(), "Edit2");
        title->setFocus();
        QTest::keyClicks(title, QStringLiteral("typed"));
        openOnApril2004();
        QVERIFY(std::filesystem::exists(h_.folder() / "data" / "20040410.txt"));
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QVERIFY(text().contains(QStringLiteral("typed")));
    }

    void withoutStylesNothingCanBeGenerated() {
        startProgram();
        std::filesystem::remove(h_.folder() / "style" / "demo.style");
        Child<QAction>(main(), "HTMLO1")->trigger();
        auto* styles = child<QComboBox>("ComboBox1");
        QCOMPARE(styles->count(), 1);
        QCOMPARE(styles->currentText(), QStringLiteral("スタイル不存在"));
        QVERIFY(!enabled("Button1") && !enabled("Button5"));

        // A file that only looks like a style counts as present, but is not listed.
        form()->close();
        WriteAll(h_.folder() / "style" / "old.STYLE", "");
        Child<QAction>(main(), "HTMLO1")->trigger();
        QCOMPARE(styles->count(), 0);
        QVERIFY(enabled("Button1") && enabled("Button5"));
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Error);
    }

    void stylesAreListedSorted() {
        startProgram();
        for (const char* name : {"zeta", "alpha", "Mid"})
            std::filesystem::copy_file(h_.folder() / "style" / "demo.style",
                                       h_.folder() / "style" / (std::string(name) + ".style"));
        Child<QAction>(main(), "HTMLO1")->trigger();
        auto* styles = child<QComboBox>("ComboBox1");
        QStringList names;
        for (int i = 0; i < styles->count(); ++i)
            names << styles->itemText(i);
        QCOMPARE(names, (QStringList{"alpha", "demo", "Mid", "zeta"}));
        QCOMPARE(styles->currentIndex(), 0);
    }

    void failedGenerationLeavesTextAndButtons() {
        startProgram();
        openOnApril2004();
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        const QString before = text();
        WriteAll(h_.folder() / "data" / "20040420.txt", "6B\r\n");  // one line
        QTest::mouseClick(button("Button5"), Qt::LeftButton);
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Error);
        QVERIFY(h_.shown[0].text.contains(QStringLiteral("20040420.txt")));
        QCOMPARE(text(), before);
        QVERIFY(enabled("Button2"));

        std::filesystem::remove(h_.folder() / "data" / "20040420.txt");
        std::filesystem::remove(h_.folder() / "style" / "demo.style");  // deleted while open
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QCOMPARE(h_.shown.size(), 2);
        QVERIFY(h_.shown[1].text.contains(QStringLiteral("demo.style")));
        QCOMPARE(text(), before);
    }

    void saveAsksBeforeOverwritingAndRemembersTheFolder() {
        startProgram();
        main()->setHtmlSavePath(FromPath(h_.folder()));
        openOnApril2004();
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        std::filesystem::create_directory(h_.folder() / "pages");
        const QString target = FromPath(h_.folder() / "pages" / "april.html");
        WriteAll(h_.folder() / "pages" / "april.html", "old");

        // Cancel to the question opens the save dialog again; OK overwrites.
        h_.saveAnswers << target << target;
        h_.answers << MessageBox::Button::Cancel << MessageBox::Button::Ok;
        QTest::mouseClick(button("Button2"), Qt::LeftButton);
        QCOMPARE(h_.saveDialogFolders, (QStringList{FromPath(h_.folder()), FromPath(h_.folder())}));
        QCOMPARE(h_.shown.size(), 2);
        QCOMPARE(h_.shown[0].caption, QStringLiteral("警告"));
        QCOMPARE(h_.shown[0].text, QStringLiteral("april.htmlは存在します\r上書きしますか？"));
        // Saved as code page 932 lines, each ended by CR LF.
        QCOMPARE(ReadAll(h_.folder() / "pages" / "april.html"), expectedPageBytes() + "\r\n");
        QVERIFY(!enabled("Button2"));
        QVERIFY(enabled("Button3"));
        QCOMPARE(main()->htmlSavePath(), FromPath(h_.folder() / "pages"));

        // The next save starts there, also after a restart.
        main()->close();
        program_.reset();
        startProgram();
        QCOMPARE(main()->htmlSavePath(), FromPath(h_.folder() / "pages"));
        openOnApril2004();
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QTest::mouseClick(button("Button2"), Qt::LeftButton);  // cancelled
        QCOMPARE(h_.saveDialogFolders.last(), FromPath(h_.folder() / "pages"));
        QVERIFY(enabled("Button2"));
    }

    void browserShowsTheTextAsItIsNow() {
        startProgram();
        openOnApril2004();
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        auto* editor = child<QPlainTextEdit>("RichEdit1");
        editor->moveCursor(QTextCursor::End);
        editor->insertPlainText(QStringLiteral("\n<p>追記</p>"));
        QTest::mouseClick(button("Button3"), Qt::LeftButton);
        const auto temp = h_.folder() / "temp.html";
        QCOMPARE(h_.openedUrls, QList<QUrl>{QUrl::fromLocalFile(FromPath(temp))});
        QCOMPARE(ReadAll(temp), expectedPageBytes() + "\r\n<p>\x92\xC7\x8B\x4C</p>\r\n");
    }

    void ftpOpensTheUploadDialogModally() {
        startProgram();
        openOnApril2004();
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        QDialog* upload = program_->FTPUP_Form();
        bool modalAndShown = false;
        QTimer::singleShot(0, upload, [&] {
            QTRY_VERIFY(upload->isVisible());
            modalAndShown = upload->isModal();
            upload->close();
        });
        QTest::mouseClick(button("Button4"), Qt::LeftButton);
        QVERIFY(modalAndShown);
        QVERIFY(!upload->isVisible());
    }
};

TAVO_GUI_TEST_MAIN(HtmlOutTest)
#include "html_out_test.moc"
