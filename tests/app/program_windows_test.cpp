#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <memory>

#include "app/tavo_windows.h"
#include "core/product.h"
#include "core/scramble.h"
#include "core/temp_folder.h"
#include "main_window/input_method.h"
#include "main_window/password.h"
#include "main_window/pw_start.h"
#include "main_window/sdimain.h"
#include "publish/html_out.h"
#include "publish/style_select.h"
#include "tools/about.h"
#include "tools/help_window.h"
#include "tools/setting.h"
#include "uikit/gui_harness.h"
#include "uikit/gui_test_main.h"

class ProgramWindowsTest : public QObject {
    Q_OBJECT

private:
    GuiHarness h_;
    std::unique_ptr<TavoWindows> program_;

    TSDIAppForm* main() const { return program_->SDIAppForm(); }
    std::filesystem::path iniFile() const { return h_.folder() / "tavo.ini"; }

    // Starts the program on the test's folder as main() does.
    void startProgram() {
        program_ = std::make_unique<TavoWindows>(h_.folder());
        program_->start();
    }

    // An ordinary exit, then a new start on the same folder.
    void restartProgram() {
        main()->close();
        program_.reset();
        startProgram();
    }

    // The program ended itself: its windows go away without any further close query.
    void dropEndedProgram() { program_.reset(); }

    void typeTitle(const QString& text) {
        auto* title = Child<QLineEdit>(main(), "Edit2");
        title->setFocus();
        QTest::keyClicks(title, text);
    }

    // Answers the modal dialog the next action opens: `fill` runs inside it.
    template <typename Fill>
    void whenDialogOpens(QDialog* dialog, Fill fill) {
        QTimer::singleShot(0, dialog, [dialog, fill] {
            QTRY_VERIFY(dialog->isVisible());
            fill();
        });
    }

    void lockWith(const QString& password) {
        TPasswordDlg* dialog = program_->PasswordDlg();
        whenDialogOpens(dialog, [dialog, password] {
            auto* field = Child<QLineEdit>(dialog, "Password");
            field->clear();
            QTest::keyClicks(field, password);
            QTest::mouseClick(Child<QPushButton>(dialog, "OKBtn"), Qt::LeftButton);
        });
        Child<QAction>(main(), "N3")->trigger();
    }

    void answerStartDialog(const QString& password, const char* button = "OKBtn") {
        TStartDlg* dialog = program_->StartDlg();
        QVERIFY(dialog->isVisible());
        QVERIFY(!main()->isVisible());
        QTest::keyClicks(Child<QLineEdit>(dialog, "Password"), password);
        QTest::mouseClick(Child<QPushButton>(dialog, button), Qt::LeftButton);
    }

    std::string line0() const {
        const std::string ini = ReadAll(iniFile());
        return ini.substr(0, ini.find("\r\n"));
    }

private slots:
    void init() { h_.setUp(); }

    void cleanup() {
        if (program_ && main()->isVisible())
            main()->close();
        program_.reset();
        h_.tearDown();
    }

    void windowsAreCreatedOnceWithTheirCaptions() {
        startProgram();
        QVERIFY(main()->isVisible());
        QCOMPARE(program_->AboutBox()->windowTitle(), QStringLiteral("バージョン情報"));
        QCOMPARE(program_->PasswordDlg()->windowTitle(), QStringLiteral("パスワードダイアログ"));
        QCOMPARE(program_->StartDlg()->windowTitle(), QStringLiteral("パスワードダイアログ"));
        QCOMPARE(program_->Set_Form()->windowTitle(), QStringLiteral("環境設定"));
        Child<QAction>(main(), "HTMLS1")->trigger();
        QVERIFY(program_->StyleSelectForm()->isVisible());
        QCOMPARE(program_->StyleSelectForm()->windowTitle(), QStringLiteral("出力スタイル設定"));
        QVERIFY(!program_->StartDlg()->isVisible());
        QCOMPARE(main()->editorFontSize(), 10);
        QCOMPARE(main()->windowTitle(), QStringLiteral("Tavo"));
        // A display name would be added to every window's caption by the desktop.
        QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
    }

    void closingTheMainWindowClosesTheOthers() {
        startProgram();
        Child<QAction>(main(), "HTMLO1")->trigger();
        Child<QAction>(main(), "P2")->trigger();
        Child<QAction>(main(), "Help2")->trigger();
        QVERIFY(program_->H_OutForm()->isVisible());
        QVERIFY(program_->Set_Form()->isVisible());
        main()->close();
        QVERIFY(!main()->isVisible());
        QVERIFY(!program_->H_OutForm()->isVisible());
        QVERIFY(!program_->Set_Form()->isVisible());
        QVERIFY(!program_->HelpForm()->isVisible());
        QVERIFY(QApplication::topLevelWidgets().size() > 0);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }

    // --- the lock ---------------------------------------------------------------------

    void lockStoresThePasswordSavesTheDayAndEnds() {
        startProgram();
        typeTitle(QStringLiteral("unsaved"));
        lockWith(QStringLiteral("abc"));
        QCOMPARE(h_.programEnds, 1);
        QCOMPARE(line0(), "[SIZE]" + tavo::EncodeText("abc"));
        QCOMPARE(line0().size(), size_t(6 + 6));
        QCOMPARE(QString::fromStdString(ReadAll(iniFile())).count(QStringLiteral("\r\n")), 15);
        const auto today = main()->shownFileName().toStdString();
        QCOMPARE(ReadAll(h_.folder() / "data" / today),
                 tavo::EncodeText("unsaved") + "\r\n\r\n\r\n");
        dropEndedProgram();
        QCOMPARE(line0(), "[SIZE]" + tavo::EncodeText("abc"));  // no close query ran
        h_.programEnds = 0;

        // The next start asks for the password instead of showing the diary.
        startProgram();
        QVERIFY(program_->StartDlg()->isVisible());
        QVERIFY(!main()->isVisible());
        answerStartDialog(QStringLiteral("abc"));
        QVERIFY(main()->isVisible());
        QVERIFY(!program_->StartDlg()->isVisible());
        QCOMPARE(h_.programEnds, 0);
        QCOMPARE(line0(), "[SIZE]" + tavo::EncodeText("abc"));  // still locked while running

        // The lock dialog offers the password of the last lock again.
        TPasswordDlg* dialog = program_->PasswordDlg();
        QString offered;
        whenDialogOpens(dialog, [dialog, &offered] {
            offered = Child<QLineEdit>(dialog, "Password")->text();
            QTest::mouseClick(Child<QPushButton>(dialog, "CancelBtn"), Qt::LeftButton);
        });
        Child<QAction>(main(), "N3")->trigger();
        QCOMPARE(offered, QStringLiteral("abc"));
        QCOMPARE(h_.programEnds, 0);

        // An ordinary exit unlocks.
        restartProgram();
        QCOMPARE(line0(), std::string("[SIZE]"));
        QVERIFY(main()->isVisible());
    }

    void startDialogEndsOnAnythingButThePassword_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("button");
        QTest::newRow("wrong password") << "xyz"
                                        << "OKBtn";
        QTest::newRow("other letter case") << "ABC"
                                           << "OKBtn";
        QTest::newRow("empty") << ""
                               << "OKBtn";
        QTest::newRow("cancel") << "abc"
                                << "CancelBtn";
    }

    void startDialogEndsOnAnythingButThePassword() {
        QFETCH(QString, typed);
        QFETCH(QString, button);
        startProgram();
        lockWith(QStringLiteral("abc"));
        dropEndedProgram();
        const std::string locked = ReadAll(iniFile());
        h_.programEnds = 0;

        startProgram();
        answerStartDialog(typed, button.toLatin1().constData());
        QCOMPARE(h_.programEnds, 1);
        QVERIFY(!main()->isVisible());
        QVERIFY(h_.shown.isEmpty());  // no message
        dropEndedProgram();
        QCOMPARE(ReadAll(iniFile()), locked);  // nothing written
    }

    void closingTheStartDialogCountsAsCancel() {
        startProgram();
        lockWith(QStringLiteral("abc"));
        dropEndedProgram();
        h_.programEnds = 0;
        startProgram();
        program_->StartDlg()->close();
        QCOMPARE(h_.programEnds, 1);
        QVERIFY(!main()->isVisible());
    }

    void lockingWithAnEmptyFieldUnlocksAndGoesOn() {
        WriteAll(iniFile(),
                 "[SIZE]" + tavo::EncodeText("old") +
                     "\r\n438\r\n540\r\n279\r\n133\r\n[Path]\r\n\r\n[SPLIT]\r\n300\r\n121"
                     "\r\n[Visible]\r\n1\r\n1\r\n[WINDOWSTATE]\r\n1\r\n");
        startProgram();
        answerStartDialog(QStringLiteral("old"));
        typeTitle(QStringLiteral("kept"));
        lockWith(QString());
        QCOMPARE(h_.programEnds, 0);
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].caption, QStringLiteral("警告"));
        QCOMPARE(h_.shown[0].text, QStringLiteral("パスワードを設定してください"));
        QCOMPARE(h_.shown[0].buttons, QList<MessageBox::Button>{MessageBox::Button::Ok});
        QVERIFY(!program_->PasswordDlg()->isVisible());
        QVERIFY(main()->isVisible());
        QCOMPARE(line0(), std::string("[SIZE]"));
        const auto today = main()->shownFileName().toStdString();
        QCOMPARE(ReadAll(h_.folder() / "data" / today), tavo::EncodeText("kept") + "\r\n\r\n\r\n");
    }

    void lockDialogBeforeTheFirstExitOffersAnEmptyField() {
        startProgram();
        QVERIFY(!std::filesystem::exists(iniFile()));
        TPasswordDlg* dialog = program_->PasswordDlg();
        QString offered = QStringLiteral("unset");
        whenDialogOpens(dialog, [dialog, &offered] {
            offered = Child<QLineEdit>(dialog, "Password")->text();
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        Child<QAction>(main(), "N3")->trigger();
        QCOMPARE(offered, QString());
        QVERIFY(h_.shown.isEmpty());
        QVERIFY(!std::filesystem::exists(iniFile()));  // Cancel writes nothing
        QCOMPARE(h_.programEnds, 0);
    }

    void lockDialogIsCentredAndKeepsItsFieldWhenRestored() {
        startProgram();
        QVERIFY(QTest::qWaitForWindowExposed(main()));
        main()->move(0, 0);  // a dialog centred on its parent would be off the centre
        TPasswordDlg* dialog = program_->PasswordDlg();
        const QPoint screenCentre = dialog->screen()->availableGeometry().center();
        QPoint centre;
        QString afterRestore;
        whenDialogOpens(dialog, [dialog, &centre, &afterRestore] {
            centre = dialog->geometry().center();
            auto* field = Child<QLineEdit>(dialog, "Password");
            QTest::keyClicks(field, QStringLiteral("typed"));
            dialog->setWindowState(Qt::WindowMinimized);
            dialog->setWindowState(Qt::WindowNoState);
            afterRestore = field->text();
            QTest::mouseClick(Child<QPushButton>(dialog, "CancelBtn"), Qt::LeftButton);
        });
        Child<QAction>(main(), "N3")->trigger();
        // Within the few pixels of a window frame.
        QVERIFY2((centre - screenCentre).manhattanLength() <= 6,
                 qPrintable(QStringLiteral("centre %1,%2 screen %3,%4")
                                .arg(centre.x())
                                .arg(centre.y())
                                .arg(screenCentre.x())
                                .arg(screenCentre.y())));
        QCOMPARE(afterRestore, QStringLiteral("typed"));
        QCOMPARE(h_.programEnds, 0);
    }

    void passwordFieldMasksWithStars() {
        startProgram();
        auto* field = Child<QLineEdit>(program_->StartDlg(), "Password");
        QCOMPARE(field->echoMode(), QLineEdit::Password);
        QCOMPARE(field->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, field),
                 int('*'));
        QVERIFY(Child<QPushButton>(program_->StartDlg(), "OKBtn")->isDefault());
    }

    // --- preferences ------------------------------------------------------------------

    void openingPreferencesDoesNotSaveTheShownDay() {
        startProgram();
        main()->goToDate(QDate(2004, 1, 5));
        typeTitle(QStringLiteral("unsaved"));
        Child<QAction>(main(), "P2")->trigger();
        QVERIFY(program_->Set_Form()->isVisible());
        QVERIFY(!std::filesystem::exists(h_.folder() / "data" / "20040105.txt"));
        QVERIFY(main()->isEntryModified());
        QVERIFY(h_.shown.isEmpty());

        // The search, by contrast, reads the entry files: it saves first.
        Child<QAction>(main(), "F1")->trigger();
        QCOMPARE(ReadAll(h_.folder() / "data" / "20040105.txt"),
                 tavo::EncodeText("unsaved") + "\r\n\r\n\r\n");
    }

    void freshOkWritesTheDefaultLines() {
        startProgram();
        Child<QAction>(main(), "P2")->trigger();
        TSet_Form* form = program_->Set_Form();
        QVERIFY(form->isVisible());
        QVERIFY(!form->isModal());
        QCOMPARE(Child<QComboBox>(form, "ComboBox1")->currentIndex(), -1);
        QCOMPARE(Child<QComboBox>(form, "ComboBox1")->currentText(), QStringLiteral("10"));
        QTest::mouseClick(Child<QPushButton>(form, "Button5"), Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(ReadAll(h_.folder() / "User.ini"),
                 std::string("[TITLE]\r\n\r\n[FONT_SIZE]\r\n1\r\n[FONT_COLOR]\r\n0\r\n"
                             "[BACK_COLOR]\r\n16777215\r\n[USE_IME]\r\n0\r\n"
                             "[BACKUP]\r\n\r\n1\r\n"));
        QCOMPARE(Child<QComboBox>(form, "ComboBox1")->currentIndex(), 1);
    }

    void preferencesApplyAtTheNextStart() {
        startProgram();
        TSet_Form* form = program_->Set_Form();
        Child<QAction>(main(), "P2")->trigger();
        Child<QLineEdit>(form, "Edit1")->insert(QStringLiteral("わたしの日記"));
        Child<QComboBox>(form, "ComboBox1")->setCurrentIndex(0);  // 9 points
        h_.colorAnswers << QColor(0x11, 0x22, 0x33) << QColor(0xF0, 0xE0, 0xD0);
        QTest::mouseClick(Child<QPushButton>(form, "Button3"), Qt::LeftButton);
        QTest::mouseClick(Child<QPushButton>(form, "Button4"), Qt::LeftButton);
        Child<QCheckBox>(form, "CheckBox1")->setChecked(true);
        Child<QLineEdit>(form, "Edit2")->setText(QStringLiteral("/mnt/二"));
        Child<QCheckBox>(form, "CheckBox2")->setChecked(false);
        const QFont fontBefore = Child<QLineEdit>(main(), "Edit2")->font();
        QTest::mouseClick(Child<QPushButton>(form, "Button5"), Qt::LeftButton);

        QCOMPARE(
            ReadAll(h_.folder() / "User.ini"),
            "[TITLE]\r\n\x82\xED\x82\xBD\x82\xB5\x82\xCC\x93\xFA\x8B\x4C\r\n[FONT_SIZE]\r\n0\r\n"
            "[FONT_COLOR]\r\n" +
                std::to_string(0x332211) + "\r\n[BACK_COLOR]\r\n" + std::to_string(0xD0E0F0) +
                "\r\n[USE_IME]\r\n1\r\n[BACKUP]\r\n/mnt/\x93\xF1\r\n0\r\n");
        // The open main window is not changed.
        QCOMPARE(Child<QLineEdit>(main(), "Edit2")->font(), fontBefore);
        QCOMPARE(main()->windowTitle(), QStringLiteral("Tavo"));

        restartProgram();
        QCOMPARE(main()->windowTitle(), QStringLiteral("わたしの日記 - Tavo"));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
        Child<QAction>(main(), "nextdiary")->trigger();  // no entries: a plain message
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].caption, QStringLiteral("わたしの日記 - Tavo"));
        h_.shown.clear();
        QCOMPARE(main()->editorFontSize(), 9);
        for (const char* name : {"Edit2", "Memo1", "Memo2"}) {
            auto* editor = Child<QWidget>(main(), name);
            QCOMPARE(editor->font().pointSize(), 9);
            QCOMPARE(editor->palette().color(QPalette::Text), QColor(0x11, 0x22, 0x33));
            QCOMPARE(editor->palette().color(QPalette::Base), QColor(0xF0, 0xE0, 0xD0));
        }
        QVERIFY(Child<QLineEdit>(main(), "Edit2")->property(kJapaneseInputProperty).toBool());
        QVERIFY(!Child<QPlainTextEdit>(main(), "Memo1")->property(kJapaneseInputProperty).toBool());
        // The dialog is filled from the file once, at creation.
        QCOMPARE(Child<QLineEdit>(program_->Set_Form(), "Edit1")->text(),
                 QStringLiteral("わたしの日記"));
        QCOMPARE(Child<QComboBox>(program_->Set_Form(), "ComboBox1")->currentText(),
                 QStringLiteral("9"));
        QVERIFY(Child<QCheckBox>(program_->Set_Form(), "CheckBox1")->isChecked());
        QCOMPARE(Child<QLineEdit>(program_->Set_Form(), "Edit2")->text(),
                 QStringLiteral("/mnt/二"));
        QVERIFY(!Child<QCheckBox>(program_->Set_Form(), "CheckBox2")->isChecked());
    }

    void colourDialogsStartFromTheirLastChoice() {
        startProgram();
        TSet_Form* form = program_->Set_Form();
        h_.colorAnswers << QColor(Qt::red) << std::nullopt;
        QTest::mouseClick(Child<QPushButton>(form, "Button3"), Qt::LeftButton);
        QTest::mouseClick(Child<QPushButton>(form, "Button3"), Qt::LeftButton);  // cancelled
        QTest::mouseClick(Child<QPushButton>(form, "Button4"), Qt::LeftButton);
        QCOMPARE(h_.colorDialogStarts,
                 (QList<QColor>{QColor(Qt::black), QColor(Qt::red), QColor(Qt::black)}));
        QCOMPARE(Child<QFrame>(form, "Panel1")->palette().color(QPalette::Window), QColor(Qt::red));
        QCOMPARE(Child<QFrame>(form, "Panel2")->palette().color(QPalette::Window),
                 QColor(Qt::white));
    }

    void cancelKeepsTheTypedValuesAndWritesNothing() {
        startProgram();
        TSet_Form* form = program_->Set_Form();
        Child<QAction>(main(), "P2")->trigger();
        QTest::keyClicks(Child<QLineEdit>(form, "Edit1"), QStringLiteral("draft"));
        QTest::mouseClick(Child<QPushButton>(form, "Button6"), Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QVERIFY(!std::filesystem::exists(h_.folder() / "User.ini"));
        Child<QAction>(main(), "P2")->trigger();
        QCOMPARE(Child<QLineEdit>(form, "Edit1")->text(), QStringLiteral("draft"));
    }

    void unusualValuesOfTheFile() {
        // Size index 7 is applied as it is; "yes" leaves the input method option alone.
        WriteAll(h_.folder() / "User.ini",
                 "[TITLE]\r\n\r\n[FONT_SIZE]\r\n7\r\n[FONT_COLOR]\r\n0\r\n[BACK_COLOR]\r\n"
                 "16777215\r\n[USE_IME]\r\nyes\r\n");
        startProgram();
        QVERIFY(h_.shown.isEmpty());
        QCOMPARE(main()->windowTitle(), QStringLiteral("Tavo"));
        QCOMPARE(main()->editorFontSize(), 16);
        QCOMPARE(Child<QLineEdit>(main(), "Edit2")->font().pointSize(), 16);
        QVERIFY(!Child<QLineEdit>(main(), "Edit2")->property(kJapaneseInputProperty).toBool());
        TSet_Form* form = program_->Set_Form();
        QCOMPARE(Child<QComboBox>(form, "ComboBox1")->currentIndex(), -1);
        QVERIFY(!Child<QCheckBox>(form, "CheckBox1")->isChecked());
        QTest::mouseClick(Child<QPushButton>(form, "Button5"), Qt::LeftButton);
        QVERIFY(ReadAll(h_.folder() / "User.ini").find("[FONT_SIZE]\r\n1\r\n") !=
                std::string::npos);
    }

    void damagedFileAppliesWhatItCanAndSaysSoOnce() {
        WriteAll(h_.folder() / "User.ini",
                 "[TITLE]\r\n日記\r\n[FONT_SIZE]\r\nbig\r\n[FONT_COLOR]\r\n255\r\n");
        startProgram();
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Error);
        QVERIFY(h_.shown[0].text.contains(QStringLiteral("User.ini")));
        QVERIFY(main()->isVisible());
        QCOMPARE(main()->editorFontSize(), 10);
        QCOMPARE(Child<QLineEdit>(main(), "Edit2")->palette().color(QPalette::Text),
                 QColor(Qt::red));
        QCOMPARE(Child<QFrame>(program_->Set_Form(), "Panel1")->palette().color(QPalette::Window),
                 QColor(Qt::red));
    }

    void failedWriteKeepsTheDialogOpen() {
        startProgram();
        TSet_Form* form = program_->Set_Form();
        Child<QAction>(main(), "P2")->trigger();
        {
            const FileSizeLimit limit(8);
            QTest::mouseClick(Child<QPushButton>(form, "Button5"), Qt::LeftButton);
        }
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Error);
        QVERIFY(form->isVisible());
        QVERIFY(!std::filesystem::exists(h_.folder() / "User.ini"));
    }

    // --- about box, home page, help ---------------------------------------------------

    void aboutBoxShowsNameVersionAndLink() {
        startProgram();
        TAboutBox* about = program_->AboutBox();
        QString product, version;
        bool modal = false;
        whenDialogOpens(about, [&] {
            modal = about->isModal();
            product = Child<QLabel>(about, "ProductName")->text();
            version = Child<QLabel>(about, "Version")->text();
            QTest::mouseClick(Child<QLabel>(about, "Label2"), Qt::LeftButton);
            QTest::keyClick(about, Qt::Key_Return);  // OK is the default button
        });
        Child<QAction>(main(), "HelpAbout1")->trigger();
        QVERIFY(!about->isVisible());
        QVERIFY(modal);
        QCOMPARE(product, QStringLiteral("Tavo"));
        QCOMPARE(version, QStringLiteral("Version 2.422"));
        QCOMPARE(Child<QLabel>(about, "Label1")->text(), QStringLiteral("URL :"));
        QCOMPARE(h_.openedUrls, QList<QUrl>{QUrl(QString::fromLatin1(tavo::kHomePageUrl))});

        Child<QAction>(main(), "N8")->trigger();
        QCOMPARE(h_.openedUrls.size(), 2);
        QCOMPARE(h_.openedUrls[1], QUrl(QString::fromLatin1(tavo::kHomePageUrl)));
    }

    void helpOpensTavosOwnManual() {
        startProgram();
        Child<QAction>(main(), "Help2")->trigger();
        THelpForm* help = program_->HelpForm();
        QVERIFY(help->isVisible());
        auto* browser = Child<QTextBrowser>(help, "HelpBrowser");
        QCOMPARE(browser->source(), QUrl(QString::fromLatin1(kHelpFile)));
        const QString text = browser->toPlainText();
        for (const char* needed :
             {"題名", "PUBLIC", "PRIVATE", "<-title->", "<-year->", "<-month->", "<-day->",
              "<-week->", "<-calendar->", "<-index->", "FTP", "鍵終了", "tavo.ini", "data.index",
              "~/.local/share/tavo"})
            QVERIFY2(text.contains(QString::fromUtf8(needed)), needed);

        // Addresses outside the manual go to the default browser.
        emit browser->anchorClicked(QUrl(QStringLiteral("https://www.example.com/")));
        QCOMPARE(h_.openedUrls, QList<QUrl>{QUrl(QStringLiteral("https://www.example.com/"))});
    }
};

TAVO_GUI_TEST_MAIN(ProgramWindowsTest)
#include "program_windows_test.moc"
