#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/tavo_windows.h"
#include "core/temp_folder.h"
#include "main_window/sdimain.h"
#include "tools/imginput.h"
#include "tools/insertion.h"
#include "uikit/gui_harness.h"
#include "uikit/gui_test_main.h"

class WritingAidsTest : public QObject {
    Q_OBJECT

private:
    GuiHarness h_;
    std::unique_ptr<TavoWindows> program_;

    TSDIAppForm* main() const { return program_->SDIAppForm(); }
    QPlainTextEdit* memo() const { return Child<QPlainTextEdit>(main(), "Memo1"); }
    void trigger(const char* name) { Child<QAction>(main(), name)->trigger(); }

    void startProgram() {
        program_ = std::make_unique<TavoWindows>(h_.folder());
        program_->start();
        QVERIFY(QTest::qWaitForWindowExposed(main()));
    }

    // The public text holds `text` and has the focus, with [start, end) selected.
    void editPublicText(const QString& text, int start, int end) {
        focusPublicText();
        memo()->setPlainText(text);
        QTextCursor cursor = memo()->textCursor();
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        memo()->setTextCursor(cursor);
    }

    // After a modal dialog the window is made active again, as the desktop would.
    void focusPublicText() {
        main()->activateWindow();
        QTRY_VERIFY(main()->isActiveWindow());
        memo()->setFocus();
        QTRY_VERIFY(memo()->hasFocus());
    }

    int caret() const { return memo()->textCursor().position(); }
    bool hasSelection() const { return memo()->textCursor().hasSelection(); }

    // A file manager's drop: the drag enters the public text, then drops there.
    void dropFiles(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(memo()->viewport(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(memo()->viewport(), &drop);
    }

    // Another program's window comes to the front: the main window is no longer active,
    // as after a modal dialog or while a file is dragged in from a file manager.
    void activateOtherWindow(QWidget* other) {
        other->resize(120, 80);
        other->show();
        QVERIFY(QTest::qWaitForWindowExposed(other));
        other->activateWindow();
        QTRY_VERIFY(other->isActiveWindow());
        QVERIFY(!main()->isActiveWindow());
    }

    // Counts image dialogs that open when none should, closing each again.
    struct ImageDialogGuard {
        QTimer timer;
        int opened = 0;
        explicit ImageDialogGuard(TImgForm* form) {
            QObject::connect(&timer, &QTimer::timeout, [this, form] {
                if (form->isVisible()) {
                    ++opened;
                    form->reject();
                }
            });
            timer.start(10);
        }
    };

    std::filesystem::path makePng(const char* name, int width, int height) {
        const auto file = h_.folder() / name;
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::red);
        image.save(QString::fromStdString(file.string()), "PNG");
        return file;
    }

private slots:
    void init() { h_.setUp(); }

    void cleanup() {
        if (program_ && main()->isVisible())
            main()->close();
        program_.reset();
        h_.tearDown();
    }

    void tagsWrapTheSelectionThroughUndo_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("wrapped");
        QTest::newRow("bold") << "B1"
                              << "x <b>word</b> y";
        QTest::newRow("italic") << "N11"
                                << "x <i>word</i> y";
        QTest::newRow("underline") << "N12"
                                   << "x <u>word</u> y";
        QTest::newRow("list item") << "N13"
                                   << "x <li>word y";
        QTest::newRow("paragraph") << "N14"
                                   << "x <p>word</p> y";
        QTest::newRow("h1") << "H11"
                            << "x <h1>word</h1> y";
        QTest::newRow("h6") << "H61"
                            << "x <h6>word</h6> y";
    }

    void tagsWrapTheSelectionThroughUndo() {
        QFETCH(QString, action);
        QFETCH(QString, wrapped);
        startProgram();
        editPublicText(QStringLiteral("x word y"), 2, 6);
        trigger(action.toLatin1().constData());
        QCOMPARE(memo()->toPlainText(), wrapped);
        QCOMPARE(caret(), static_cast<int>(wrapped.size() - 2));  // after the closing text
        QVERIFY(!hasSelection());
        QVERIFY(main()->isEntryModified());
        memo()->undo();
        QCOMPARE(memo()->toPlainText(), QStringLiteral("x word y"));
    }

    void tagsWithoutSelectionAndWithoutFocus() {
        startProgram();
        editPublicText(QStringLiteral("abcd"), 2, 2);
        QTest::keyClick(memo(), Qt::Key_B, Qt::ControlModifier);  // the shortcut
        QCOMPARE(memo()->toPlainText(), QStringLiteral("ab<b></b>cd"));
        QCOMPARE(caret(), 9);

        // The title has the focus: nothing is inserted anywhere.
        auto* title = Child<QLineEdit>(main(), "Edit2");
        title->setFocus();
        QTRY_VERIFY(title->hasFocus());
        trigger("B1");
        trigger("N15");
        trigger("N16");
        QCOMPARE(memo()->toPlainText(), QStringLiteral("ab<b></b>cd"));
        QCOMPARE(title->text(), QString());
    }

    void linkAndImagePutTheCaretBetweenTheQuotes() {
        startProgram();
        editPublicText(QStringLiteral("xx word"), 3, 7);
        trigger("N15");
        QCOMPARE(memo()->toPlainText(), QStringLiteral("xx <a href=\"\">word</a>"));
        QCOMPARE(caret(), 3 + 9);
        QVERIFY(!hasSelection());
        memo()->undo();
        QCOMPARE(memo()->toPlainText(), QStringLiteral("xx word"));

        editPublicText(QStringLiteral("xx word"), 3, 7);
        trigger("N16");
        QCOMPARE(memo()->toPlainText(), QStringLiteral("xx <img src=\"\">word"));
        QCOMPARE(caret(), 3 + 10);
        QVERIFY(!hasSelection());
    }

    void colourComesFromTheColourDialog() {
        startProgram();
        editPublicText(QStringLiteral("word"), 0, 4);
        h_.colorAnswers << QColor(0x12, 0xAB, 0x05);
        trigger("N18");
        QCOMPARE(memo()->toPlainText(), QStringLiteral("<font color=\"#12ab05\">word</font>"));
        trigger("N18");  // cancelled: nothing more
        QCOMPARE(memo()->toPlainText(), QStringLiteral("<font color=\"#12ab05\">word</font>"));
        QCOMPARE(h_.colorDialogStarts,
                 (QList<QColor>{QColor(Qt::black), QColor(0x12, 0xAB, 0x05)}));
        QCOMPARE(ColorToHtml(Qt::black), QStringLiteral("#000000"));
        QCOMPARE(ColorToHtml(Qt::red), QStringLiteral("#ff0000"));
    }

    void insertionsFindTheirEditorWhileTheWindowIsInactive() {
        startProgram();
        editPublicText(QStringLiteral("word"), 0, 4);
        QWidget other;
        activateOtherWindow(&other);
        h_.colorAnswers << QColor(Qt::red);
        trigger("N18");
        QCOMPARE(memo()->toPlainText(), QStringLiteral("<font color=\"#ff0000\">word</font>"));
        trigger("B1");
        QCOMPARE(memo()->toPlainText(),
                 QStringLiteral("<font color=\"#ff0000\">word</font><b></b>"));
    }

    void registeringStringsIsInDevelopment() {
        startProgram();
        trigger("M2");
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Message);
        QCOMPARE(h_.shown[0].text, QStringLiteral("開発中"));
    }

    void userDefinedStringsComeFromUserdefIni() {
        // Twelve entries; captions in CP932; LF line ends are read as well.
        std::string file;
        for (int k = 1; k <= 12; ++k)
            file += "\x8D\x80\x96\xDA" + std::to_string(k) + "\n[" + std::to_string(k) + "\n]" +
                    std::to_string(k) + "\n";
        WriteAll(h_.folder() / "userdef.ini", file);
        startProgram();
        auto* menu = Child<QMenu>(main(), "N19");
        QVERIFY(menu->isEnabled());
        QCOMPARE(menu->title(), QStringLiteral("ユーザー定義文字列挿入(&U)"));
        const QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 12);
        QCOMPARE(items[0]->text(), QStringLiteral("項目1"));
        for (int k = 0; k < 12; ++k) {
            const QKeySequence expected =
                k < 10 ? QKeySequence(QStringLiteral("Ctrl+%1").arg((k + 1) % 10)) : QKeySequence();
            QCOMPARE(items[k]->shortcut(), expected);
        }

        editPublicText(QStringLiteral("word"), 0, 4);
        QTest::keyClick(memo(), Qt::Key_0, Qt::ControlModifier);  // the tenth entry
        QCOMPARE(memo()->toPlainText(), QStringLiteral("[10word]10"));

        // The texts are read again at each use; the captions stay those of the start.
        WriteAll(h_.folder() / "userdef.ini", "new\r\n<q>\r\n</q>\r\n");
        editPublicText(QStringLiteral("word"), 0, 4);
        items[0]->trigger();
        QCOMPARE(memo()->toPlainText(), QStringLiteral("<q>word</q>"));
        QCOMPARE(items[0]->text(), QStringLiteral("項目1"));
        items[1]->trigger();  // the file has no second entry now: empty texts
        QCOMPARE(memo()->toPlainText(), QStringLiteral("<q>word</q>"));

        std::filesystem::remove(h_.folder() / "userdef.ini");
        items[0]->trigger();
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Error);
        QCOMPARE(memo()->toPlainText(), QStringLiteral("<q>word</q>"));
    }

    void incompleteLastEntryAndEmptyOrMissingFile() {
        WriteAll(h_.folder() / "userdef.ini", "one\r\n(\r\n)\r\ntwo\r\n");
        startProgram();
        const QList<QAction*> items = Child<QMenu>(main(), "N19")->actions();
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[1]->text(), QStringLiteral("two"));
        editPublicText(QStringLiteral("w"), 0, 1);
        items[1]->trigger();
        QCOMPARE(memo()->toPlainText(), QStringLiteral("w"));
        main()->close();
        program_.reset();

        WriteAll(h_.folder() / "userdef.ini", "");
        startProgram();
        auto* menu = Child<QMenu>(main(), "N19");
        QCOMPARE(menu->title(), QStringLiteral("ユーザー定義文字列挿入(&U)"));
        QVERIFY(menu->isEnabled());
        QVERIFY(menu->actions().isEmpty());
        main()->close();
        program_.reset();

        std::filesystem::remove(h_.folder() / "userdef.ini");
        startProgram();
        menu = Child<QMenu>(main(), "N19");
        QCOMPARE(menu->title(), QStringLiteral("ユーザー定義文字列（なし）(&U)"));
        QVERIFY(!menu->isEnabled());
    }

    void droppedImageIsCopiedAndTagged() {
        startProgram();
        main()->goToDate(QDate(2004, 1, 5));
        const auto png = makePng("Photo.png", 40, 30);
        editPublicText(QStringLiteral("ab"), 1, 2);  // "b" selected
        TImgForm* form = program_->ImgForm();
        QStringList seen;
        QTimer::singleShot(0, form, [&] {
            QTRY_VERIFY(form->isVisible());
            seen << Child<QLineEdit>(form, "Edit1")->text()
                 << Child<QLineEdit>(form, "Edit2")->text()
                 << Child<QLineEdit>(form, "Edit3")->text()
                 << Child<QLineEdit>(form, "Edit4")->text();
            seen << (Child<QCheckBox>(form, "CheckBox1")->isChecked() ? "managed" : "unmanaged");
            seen << (Child<QLineEdit>(form, "Edit1")->isEnabled() ? "enabled" : "disabled");
            QTest::mouseClick(Child<QPushButton>(form, "Button1"), Qt::LeftButton);
        });
        dropFiles({QUrl::fromLocalFile(QString::fromStdString(png.string()))});
        QCOMPARE(seen, (QStringList{"Photo.png", "40", "30", "", "managed", "disabled"}));
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].text,
                 QStringLiteral("保存される画像ファイル名は\r\n20040105_1.png\r\nになります"));
        const auto copy = h_.folder() / "tavo-img" / "20040105_1.png";
        QCOMPARE(ReadAll(copy), ReadAll(png));
        const QString tag = QStringLiteral(
            "<img src=\"tavo-img/20040105_1.png\" width=\"40\" height=\"30\" align=\"left\" "
            "border=\"1\" hspace=\"5\" vspace=\"5\">");
        QCOMPARE(memo()->toPlainText(), QStringLiteral("a") + tag + QStringLiteral("b"));
        memo()->undo();
        QCOMPARE(memo()->toPlainText(), QStringLiteral("ab"));

        // The next image of the day takes the next number; gaps are not filled.
        WriteAll(h_.folder() / "tavo-img" / "20040105_3.gif", "");
        WriteAll(h_.folder() / "tavo-img" / "20040105_x.gif", "");  // not one of ours
        editPublicText(QString(), 0, 0);
        QTimer::singleShot(0, form, [&] {
            QTRY_VERIFY(form->isVisible());
            Child<QLineEdit>(form, "Edit8")->clear();  // no vspace: the tag just closes
            QTest::mouseClick(Child<QPushButton>(form, "Button1"), Qt::LeftButton);
        });
        dropFiles({QUrl::fromLocalFile(QString::fromStdString(png.string()))});
        QVERIFY(std::filesystem::exists(h_.folder() / "tavo-img" / "20040105_4.png"));
        QCOMPARE(memo()->toPlainText(),
                 QStringLiteral("<img src=\"tavo-img/20040105_4.png\" width=\"40\" height=\"30\" "
                                "align=\"left\" border=\"1\" hspace=\"5\" >"));
    }

    void dropFromAnotherProgramReachesThePublicText() {
        startProgram();
        main()->goToDate(QDate(2004, 1, 5));
        const auto png = makePng("from-files.png", 8, 6);
        editPublicText(QStringLiteral("ab"), 1, 1);
        QWidget fileManager;
        activateOtherWindow(&fileManager);
        TImgForm* form = program_->ImgForm();
        QTimer::singleShot(0, form, [&] {
            QTRY_VERIFY(form->isVisible());
            Child<QCheckBox>(form, "CheckBox1")->setChecked(false);
            QTest::mouseClick(Child<QPushButton>(form, "Button1"), Qt::LeftButton);
        });
        dropFiles({QUrl::fromLocalFile(QString::fromStdString(png.string()))});
        QCOMPARE(memo()->toPlainText(),
                 QStringLiteral("a<img src=\"from-files.png\" width=\"8\" height=\"6\" "
                                "align=\"left\" border=\"1\" hspace=\"5\" vspace=\"5\">b"));
    }

    void unreadableDayTakesNoInsertionAndIsNotOverwritten() {
        const std::string broken = "666462\r\nnot hex at all\r\n\r\n";
        std::filesystem::create_directories(h_.folder() / "data");
        WriteAll(h_.folder() / "data" / "20040105.txt", broken);
        WriteAll(h_.folder() / "userdef.ini", "one\r\n(\r\n)\r\n");
        startProgram();
        main()->goToDate(QDate(2004, 1, 5));
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Error);
        focusPublicText();
        QVERIFY(memo()->isReadOnly());

        ImageDialogGuard guard(program_->ImgForm());
        const auto png = makePng("p.png", 8, 6);
        dropFiles({QUrl::fromLocalFile(QString::fromStdString(png.string()))});
        QCOMPARE(guard.opened, 0);
        for (const char* action : {"B1", "N11", "N14", "H61", "N15", "N16", "UserDef1"})
            trigger(action);
        h_.colorAnswers << QColor(Qt::red);
        trigger("N18");
        QCOMPARE(memo()->toPlainText(), QString());
        QVERIFY(!main()->isEntryModified());

        main()->goToDate(QDate(2004, 1, 6));
        QCOMPARE(ReadAll(h_.folder() / "data" / "20040105.txt"), broken);
        QVERIFY(!std::filesystem::exists(h_.folder() / "data" / "20040106.txt"));
        QVERIFY(!std::filesystem::exists(h_.folder() / "tavo-img"));
        QCOMPARE(h_.shown.size(), 1);
    }

    void unmanagedImageKeepsItsAddress() {
        startProgram();
        const auto png = makePng("p.png", 8, 6);
        TImgForm* form = program_->ImgForm();
        QTimer::singleShot(0, form, [&] {
            QTRY_VERIFY(form->isVisible());
            Child<QCheckBox>(form, "CheckBox1")->setChecked(false);
            auto* address = Child<QLineEdit>(form, "Edit1");
            QVERIFY(address->isEnabled());
            address->setText(QStringLiteral("https://example.com/p.png"));
            Child<QLineEdit>(form, "Edit5")->clear();
            QTest::mouseClick(Child<QPushButton>(form, "Button1"), Qt::LeftButton);
        });
        editPublicText(QString(), 0, 0);
        dropFiles({QUrl::fromLocalFile(QString::fromStdString(png.string()))});
        QCOMPARE(memo()->toPlainText(),
                 QStringLiteral("<img src=\"https://example.com/p.png\" width=\"8\" height=\"6\" "
                                "border=\"1\" hspace=\"5\" vspace=\"5\">"));
        QVERIFY(h_.shown.isEmpty());
        QVERIFY(!std::filesystem::exists(h_.folder() / "tavo-img"));

        // The dialog's last values stay for the run; the managed mode comes back.
        focusPublicText();
        bool managedAgain = false;
        QString align;
        QTimer::singleShot(0, form, [&] {
            QTRY_VERIFY(form->isVisible());
            managedAgain = Child<QCheckBox>(form, "CheckBox1")->isChecked();
            align = Child<QLineEdit>(form, "Edit5")->text();
            QTest::mouseClick(Child<QPushButton>(form, "Button2"), Qt::LeftButton);
        });
        dropFiles({QUrl::fromLocalFile(QString::fromStdString(png.string()))});
        QVERIFY(managedAgain);
        QCOMPARE(align, QString());
    }

    void failedCopyKeepsTheDialogOpenAndInsertsNothing() {
        startProgram();
        const auto png = makePng("gone.png", 8, 6);
        editPublicText(QStringLiteral("text"), 4, 4);
        TImgForm* form = program_->ImgForm();
        bool stillOpen = false;
        QTimer::singleShot(0, form, [&] {
            QTRY_VERIFY(form->isVisible());
            std::filesystem::remove(png);  // removed meanwhile
            QTest::mouseClick(Child<QPushButton>(form, "Button1"), Qt::LeftButton);
            stillOpen = form->isVisible();
            QTest::mouseClick(Child<QPushButton>(form, "Button2"), Qt::LeftButton);
        });
        dropFiles({QUrl::fromLocalFile(QString::fromStdString(png.string()))});
        QVERIFY(stillOpen);
        QCOMPARE(h_.shown.size(), 2);  // the name, then the error
        QCOMPARE(h_.shown[1].kind, MessageBox::Kind::Error);
        QVERIFY(h_.shown[1].text.contains(QStringLiteral("gone.png")));
        QCOMPARE(memo()->toPlainText(), QStringLiteral("text"));
    }

    void dropsThatAreIgnored() {
        startProgram();
        // Should the dialog open by mistake, it is closed again and counted.
        ImageDialogGuard guard(program_->ImgForm());
        const auto png = makePng("p.png", 8, 6);
        WriteAll(h_.folder() / "p.bmp", "BM");
        const QUrl url = QUrl::fromLocalFile(QString::fromStdString(png.string()));
        editPublicText(QStringLiteral("text"), 0, 0);
        dropFiles({url, url});  // two files
        dropFiles({QUrl::fromLocalFile(QString::fromStdString((h_.folder() / "p.bmp").string()))});
        auto* title = Child<QLineEdit>(main(), "Edit2");
        title->setFocus();
        QTRY_VERIFY(title->hasFocus());
        dropFiles({url});  // the public text does not have the focus
        QCOMPARE(memo()->toPlainText(), QStringLiteral("text"));
        QCOMPARE(title->text(), QString());
        QVERIFY(h_.shown.isEmpty());
        QCOMPARE(guard.opened, 0);
    }
};

TAVO_GUI_TEST_MAIN(WritingAidsTest)
#include "writing_aids_test.moc"
