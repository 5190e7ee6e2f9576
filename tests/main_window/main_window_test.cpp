#include <QAction>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <memory>
#include <set>

#include "common/ui_text.h"
#include "core/date.h"
#include "core/entry_store.h"
#include "core/scramble.h"
#include "core/temp_folder.h"
#include "main_window/sdimain.h"
#include "uikit/date_picker.h"
#include "uikit/gui_harness.h"
#include "uikit/gui_test_main.h"

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    GuiHarness h_;
    std::unique_ptr<Diary> diary_;  // outlives its window
    std::unique_ptr<TSDIAppForm> window_;
    QList<MessageBox::Shown>& shown_ = h_.shown;
    QList<MessageBox::Button>& answers_ = h_.answers;

    std::filesystem::path folder() const { return h_.folder(); }
    std::filesystem::path entryPath(const char* name) const { return folder() / "data" / name; }

    TSDIAppForm* startWindow() {
        window_.reset();
        diary_ = std::make_unique<Diary>(folder());
        window_ = std::make_unique<TSDIAppForm>(*diary_);
        window_->show();
        if (!QTest::qWaitForWindowExposed(window_.get()))
            qWarning("window not exposed");
        return window_.get();
    }

    // Closes the window as the user would, then starts a new one on the same folder.
    TSDIAppForm* restartWindow() {
        window_->close();
        window_.reset();
        return startWindow();
    }

    template <typename T>
    T* child(const char* name) const {
        return Child<T>(window_.get(), name);
    }

    QLineEdit* title() const { return child<QLineEdit>("Edit2"); }
    QPlainTextEdit* publicMemo() const { return child<QPlainTextEdit>("Memo1"); }
    QPlainTextEdit* privateMemo() const { return child<QPlainTextEdit>("Memo2"); }
    QDateEdit* picker() const { return child<QDateEdit>("DateTimePicker1"); }
    QString panel(int i) const {
        return child<QLabel>(QStringLiteral("StatusPanel%1").arg(i).toLatin1().constData())->text();
    }
    void trigger(const char* action) { child<QAction>(action)->trigger(); }
    std::set<std::string> StyleFiles() const {
        std::set<std::string> names;
        for (const auto& file : std::filesystem::directory_iterator(folder() / "style"))
            names.insert(file.path().filename().string());
        return names;
    }

    // Picks a date as the user does in the picker.
    void pick(const QDate& date) { picker()->setDate(date); }

    // Line `n` (from 0) of "tavo.ini".
    std::string iniLine(int n) const {
        const std::string ini = ReadAll(folder() / "tavo.ini");
        size_t start = 0;
        for (int i = 0; i < n && start != std::string::npos; ++i) {
            start = ini.find("\r\n", start);
            if (start != std::string::npos)
                start += 2;
        }
        if (start == std::string::npos)
            return "(missing)";
        return ini.substr(start, ini.find("\r\n", start) - start);
    }

    void typeInto(QWidget* widget, const QString& text) {
        widget->setFocus();
        QTest::keyClicks(widget, text);
    }

    // The window on 2004-01-05, whose file holds a line that is not hex; the file's bytes.
    std::string showUnreadableDay() {
        std::filesystem::create_directories(folder() / "data");
        const std::string broken = "666462\r\nnot hex at all\r\n\r\n";
        WriteAll(entryPath("20040105.txt"), broken);
        startWindow();
        pick(QDate(2004, 1, 5));
        return broken;
    }

private slots:
    void init() { h_.setUp(); }

    void cleanup() {
        if (window_) {
            window_->close();
            window_.reset();
        }
        h_.tearDown();
    }

    void startsOnTodayWithFoldersAndIndex() {
        startWindow();
        const QDate today = ToQDate(GuiHarness::kToday);
        QCOMPARE(picker()->date(), today);
        QCOMPARE(picker()->displayFormat(), QStringLiteral("yyyy年M月d日(ddd)"));
        QVERIFY(std::filesystem::is_directory(folder() / "data"));
        QVERIFY(std::filesystem::is_directory(folder() / "style"));
        QVERIFY(std::filesystem::exists(folder() / "style" / "demo.style"));
        QVERIFY(std::filesystem::exists(folder() / "data.index"));
        QVERIFY(!std::filesystem::exists(folder() / "tavo.ini"));  // written at exit
        QCOMPARE(panel(2), QStringLiteral("0 文字"));
        QVERIFY(panel(1).startsWith(QStringLiteral("日記なし…%1年").arg(today.year())));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(title()));
        QVERIFY(shown_.isEmpty());
    }

    // A sync tool writes a day as a temporary file renamed into place, and adds a day the
    // index does not list yet: the window and the index follow without a restart.
    void anotherWritersChangesAreSeenWhileRunning() {
        std::filesystem::create_directories(folder() / "data");
        std::string error;
        const tavo::EntryStore store(folder());
        QVERIFY(store.SaveEntry("20040105.txt", {"old", "", ""}, &error));
        startWindow();
        diary_->setSettleDelay(10);
        pick(QDate(2004, 1, 5));
        QCOMPARE(title()->text(), QStringLiteral("old"));

        auto writeAsSyncTool = [&](const char* name, const tavo::Entry& entry) {
            WriteAll(entryPath(".syncthing.tmp"), tavo::EntryFileBytes(entry));
            std::filesystem::rename(entryPath(".syncthing.tmp"), entryPath(name));
        };
        writeAsSyncTool("20040105.txt", {"theirs", "", ""});
        writeAsSyncTool("20040110.txt", {"new day", "", ""});
        QTRY_COMPARE(title()->text(), QStringLiteral("theirs"));
        QTRY_VERIFY(ReadAll(folder() / "data.index").find("20040110") != std::string::npos);
        QVERIFY(!title()->isModified());
        QVERIFY(shown_.isEmpty());

        // Typed into, then replaced again: leaving the day asks, showing both versions.
        typeInto(title(), QStringLiteral(" mine"));
        writeAsSyncTool("20040105.txt", {"theirs again", "", ""});
        QTest::qWait(50);
        QCOMPARE(title()->text(), QStringLiteral("theirs mine"));  // the typing stays
        h_.conflictAnswers << TConflictDlg::Choice::KeepMine;
        pick(QDate(2004, 1, 6));
        QCOMPARE(h_.conflictsShown.size(), 1);
        QCOMPARE(h_.conflictsShown[0].mine.texts.title, QStringLiteral("theirs mine"));
        QCOMPARE(h_.conflictsShown[0].theirs.texts.title, QStringLiteral("theirs again"));
        tavo::Entry saved;
        QVERIFY(store.ReadEntry("20040105.txt", &saved, &error) ==
                tavo::EntryStore::ReadStatus::Found);
        QCOMPARE(saved.title, std::string("theirs mine"));
        const auto copies =
            std::distance(std::filesystem::directory_iterator(folder() / "conflicts"),
                          std::filesystem::directory_iterator());
        QCOMPARE(copies, 1);
    }

    void onlyANewStyleFolderGetsTheDefaultStyleButEveryOneTheModernStyle() {
        startWindow();
        QVERIFY(std::filesystem::exists(folder() / "style" / "modern.style"));
        std::filesystem::remove(folder() / "style" / "demo.style");
        std::filesystem::remove(folder() / "style" / "modern.style");
        restartWindow();
        QCOMPARE(StyleFiles(), (std::set<std::string>{"modern.style"}));
        // A style of that name is never replaced.
        WriteAll(folder() / "style" / "modern.style", "the user's own");
        restartWindow();
        QCOMPARE(ReadAll(folder() / "style" / "modern.style"), std::string("the user's own"));
        window_.reset();
        std::filesystem::remove_all(folder() / "style");
        startWindow();
        QCOMPARE(StyleFiles(), (std::set<std::string>{"demo.style", "modern.style"}));
    }

    void pickerShowsAJapaneseWeekdayWhateverTheLocale() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        startWindow();
        pick(QDate(2004, 1, 5));
        QCOMPARE(picker()->text(), QStringLiteral("2004年1月5日(月)"));
        QCOMPARE(panel(1), QStringLiteral("日記なし…2004年1月5日(月)"));
        QLocale::setDefault(QLocale::system());
    }

    void pickerCalendarShowsTheDaysWithAnEntryInBold() {
        std::filesystem::create_directories(folder() / "data");
        const tavo::EntryStore store(folder());
        std::string error;
        for (const char* day : {"20040105.txt", "20040210.txt"})
            QVERIFY(store.SaveEntry(day, {"t", "", ""}, &error));
        startWindow();
        pick(QDate(2004, 1, 20));
        // The arrow at the right end opens the pop-up calendar.
        QTest::mouseClick(picker(), Qt::LeftButton, {},
                          QPoint(picker()->width() - 6, picker()->height() / 2));
        QCalendarWidget* calendar = picker()->calendarWidget();
        QTRY_VERIFY(calendar->isVisible());
        auto bold = [calendar](int month, int day) {
            return calendar->dateTextFormat(QDate(2004, month, day)).fontWeight() == QFont::Bold;
        };
        QVERIFY(bold(1, 5));
        QVERIFY(!bold(1, 6));
        QVERIFY(bold(2, 10));  // shown at the end of the page
        // A day written meanwhile is bold when the calendar turns to its month again.
        QVERIFY(store.SaveEntry("20040106.txt", {"t", "", ""}, &error));
        calendar->setCurrentPage(2004, 3);
        calendar->setCurrentPage(2004, 1);
        QVERIFY(bold(1, 6));
        QTest::keyClick(calendar, Qt::Key_Escape);

        // Today's cell is framed in the highlight colour; other days are not.
        struct Cells : DiaryCalendar {
            using DiaryCalendar::DiaryCalendar;
            QRgb corner(QDate date) const {
                QImage image(40, 30, QImage::Format_RGB32);
                image.fill(Qt::white);
                QPainter painter(&image);
                paintCell(&painter, image.rect(), date);
                return image.pixel(1, 15);
            }
        } cells(nullptr, {});
        const QRgb frame = cells.palette().color(QPalette::Highlight).rgb();
        QCOMPARE(cells.corner(ToQDate(GuiHarness::kToday)), frame);
        QVERIFY(cells.corner(ToQDate(GuiHarness::kToday).addDays(3)) != frame);
    }

    void theFirstWindowShowsTheWholeToolBar() {
        startWindow();
        const auto* more = child<QToolBar>("ToolBar1")
                               ->findChild<QWidget*>(QStringLiteral("qt_toolbar_ext_button"));
        QVERIFY(more);
        QVERIFY(!more->isVisible());
        QVERIFY(window_->width() > 438);
    }

    void controlsMenusAndShortcutsAreInPlace() {
        startWindow();
        for (const char* name : {"ToolBar1", "StatusBar", "Panel1", "Panel3", "GroupBox1",
                                 "GroupBox2", "Panel4", "Label1", "PageControl2", "TabSheet1",
                                 "TabSheet2", "WebBrowser1", "Splitter1", "MainMenu1"})
            QVERIFY2(window_->findChild<QWidget*>(QString::fromLatin1(name)), name);
        QCOMPARE(child<QGroupBox>("GroupBox1")->title(), QStringLiteral("PUBLIC"));
        QCOMPARE(child<QGroupBox>("GroupBox2")->title(), QStringLiteral("PRIVATE"));
        QCOMPARE(child<QLabel>("Label1")->text(), QStringLiteral("題名"));
        auto* tabs = child<QTabWidget>("PageControl2");
        QCOMPARE(tabs->tabText(0), QStringLiteral("SOURCE (入力)"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("HTML view"));

        const struct {
            const char* name;
            const char* caption;
            QKeySequence shortcut;
        } items[] = {
            {"File1", "ファイル(&F)", {}},
            {"M1", "日記の移動(&M)", {}},
            {"beforediary", "ひとつ前の日記", QKeySequence(Qt::CTRL | Qt::Key_Left)},
            {"nextdiary", "次の日記", QKeySequence(Qt::CTRL | Qt::Key_Right)},
            {"before1y", "1年前", {}},
            {"before1m", "1ヶ月前", {}},
            {"before1w", "1週間前", {}},
            {"before1d", "1日前", {}},
            {"mtoday", "今日", {}},
            {"after1d", "1日後", {}},
            {"after1w", "1週間後", {}},
            {"after1m", "1ヵ月後", {}},
            {"after1y", "1年後", {}},
            {"F1", "日記の検索(&F)", {}},
            {"D1", "日記の削除(&D)", {}},
            {"N3", "鍵終了", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_K)},
            {"FileExit1", "終了(&X)", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_E)},
            {"Edit1", "編集(&E)", {}},
            {"EditUndo1", "元に戻す(&U)", QKeySequence(Qt::CTRL | Qt::Key_Z)},
            {"EditCut1", "切り取り(&T)", QKeySequence(Qt::CTRL | Qt::Key_X)},
            {"EditCopy1", "コピー(&C)", QKeySequence(Qt::CTRL | Qt::Key_C)},
            {"EditPaste1", "貼り付け(&P)", QKeySequence(Qt::CTRL | Qt::Key_V)},
            {"EditSelectAll1", "全てを選択(&A)", QKeySequence(Qt::CTRL | Qt::Key_A)},
            {"Find1", "表示(&V)", {}},
            {"T2", "ツールバー(&T)", {}},
            {"P1", "PRIVATE(&P)", {}},
            {"HTMLW1", "HTML(&W)", {}},
            {"T1", "タグ(&T)", {}},
            {"B1", "太字", QKeySequence(Qt::CTRL | Qt::Key_B)},
            {"N11", "斜体", QKeySequence(Qt::CTRL | Qt::Key_I)},
            {"N12", "下線", QKeySequence(Qt::CTRL | Qt::Key_U)},
            {"N13", "箇条書き", QKeySequence(Qt::CTRL | Qt::Key_L)},
            {"N14", "段落", QKeySequence(Qt::CTRL | Qt::Key_Return)},
            {"H11", "H1", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_1)},
            {"H21", "H2", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_2)},
            {"H31", "H3", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_3)},
            {"H41", "H4", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_4)},
            {"H51", "H5", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_5)},
            {"H61", "H6", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_6)},
            {"N15", "リンク", QKeySequence(Qt::CTRL | Qt::Key_H)},
            {"N16", "イメージ", QKeySequence(Qt::CTRL | Qt::Key_S)},
            {"N18", "カラー", QKeySequence(Qt::CTRL | Qt::Key_O)},
            {"N19", "ユーザー定義文字列（なし）(&U)", {}},  // no userdef.ini
            {"M2", "文字列登録(&M)", {}},
            {"HTMLO1", "HTML出力(&O)", {}},
            {"HTMLS1", "HTML設定(&S)", {}},
            {"Tool1", "ツール(&T)", {}},
            {"P2", "環境設定(&P)", {}},
            {"S1", "予定(&S)", {}},
            {"Help1", "ヘルプ(&H)", {}},
            {"Help2", "ヘルプ(&H)", {}},
            {"HelpAbout1", "バージョン情報(&A)...", {}},
            {"N8", "最新版の入手(&N)", {}},
        };
        for (const auto& item : items) {
            QAction* action = window_->findChild<QAction*>(QString::fromLatin1(item.name));
            QVERIFY2(action, item.name);
            QCOMPARE(action->text(), QString::fromUtf8(item.caption));
            QCOMPARE(action->shortcut(), item.shortcut);
        }
        QCOMPARE(child<QAction>("N3")->statusTip(), QStringLiteral("鍵をかけて終了"));
        QCOMPARE(child<QAction>("N8")->statusTip(), QStringLiteral("作者HPを開く"));

        QStringList toolBar;
        for (QAction* action : child<QToolBar>("ToolBar1")->actions())
            toolBar << (action->isSeparator() ? QStringLiteral("|") : action->objectName());
        QCOMPARE(toolBar.join(QLatin1Char(' ')),
                 QStringLiteral("beforediary nextdiary | before1y before1m before1w before1d "
                                "mtoday after1d after1w after1m after1y | HTMLO1 HTMLS1 | F1 N3"));
    }

    void hintsGoToTheFirstStatusPanel() {
        startWindow();
        QStatusTipEvent tip(child<QAction>("N3")->statusTip());
        QApplication::sendEvent(window_.get(), &tip);
        QCOMPARE(panel(0), QStringLiteral("鍵をかけて終了"));
        QVERIFY(!panel(2).isEmpty());  // the count panel is still there
    }

    void typedEntryIsSavedForTheDayLeft() {
        startWindow();
        pick(QDate(2004, 1, 5));
        typeInto(title(), QStringLiteral("ab"));
        QVERIFY(!std::filesystem::exists(entryPath("20040105.txt")));
        pick(QDate(2004, 1, 6));
        QVERIFY(!std::filesystem::exists(entryPath("20040106.txt")));
        QCOMPARE(ReadAll(entryPath("20040105.txt")), tavo::EncodeText("ab") + "\r\n\r\n\r\n");
        QCOMPARE(ReadAll(folder() / "data.index"), std::string("20040105\r\n"));
        QCOMPARE(title()->text(), QString());

        pick(QDate(2004, 1, 5));
        QCOMPARE(title()->text(), QStringLiteral("ab"));
        QCOMPARE(panel(1), QStringLiteral("2004年1月5日(月)の日記"));
    }

    void memosAreStoredAsCp932WithCrLf() {
        startWindow();
        pick(QDate(2004, 1, 5));
        typeInto(title(), QStringLiteral("ab"));
        typeInto(publicMemo(), QStringLiteral("c"));
        QTest::keyClick(publicMemo(), Qt::Key_Return);
        QTest::keyClicks(publicMemo(), QStringLiteral("d"));
        privateMemo()->setFocus();
        privateMemo()->insertPlainText(QStringLiteral("予定～"));
        pick(QDate(2004, 1, 6));
        QCOMPARE(ReadAll(entryPath("20040105.txt")),
                 tavo::EncodeText("ab") + "\r\n" + tavo::EncodeText("c\r\nd") + "\r\n" +
                     tavo::EncodeText("\x97\x5C\x92\xE8\x81\x60") + "\r\n");
        pick(QDate(2004, 1, 5));
        QCOMPARE(publicMemo()->toPlainText(), QStringLiteral("c\nd"));
        QCOMPARE(privateMemo()->toPlainText(), QStringLiteral("予定～"));
        // Title 2 + "c", CR LF, "d" 4 + private 3: line breaks count two.
        QCOMPARE(panel(2), QStringLiteral("9文字"));
    }

    void characterCountOfTheExampleEntry() {
        std::filesystem::create_directories(folder() / "data");
        WriteAll(entryPath("20040105.txt"),
                 tavo::EncodeText("ab") + "\r\n" + tavo::EncodeText("c\r\nd") + "\r\n\r\n");
        startWindow();
        pick(QDate(2004, 1, 5));
        QCOMPARE(panel(2), QStringLiteral("6文字"));
    }

    void movingWithoutEditingWritesNothing() {
        startWindow();
        const auto indexBefore = ReadAll(folder() / "data.index");
        for (const char* action : {"before1d", "before1w", "before1m", "before1y", "after1y"})
            trigger(action);
        QVERIFY(std::filesystem::is_empty(folder() / "data"));
        QCOMPARE(ReadAll(folder() / "data.index"), indexBefore);
    }

    void clearingAllFieldsDeletesTheLeftDay() {
        startWindow();
        pick(QDate(2004, 1, 5));
        typeInto(title(), QStringLiteral("x"));
        pick(QDate(2004, 1, 6));
        QVERIFY(std::filesystem::exists(entryPath("20040105.txt")));
        pick(QDate(2004, 1, 5));
        title()->selectAll();
        QTest::keyClick(title(), Qt::Key_Delete);
        pick(QDate(2004, 1, 6));
        QVERIFY(!std::filesystem::exists(entryPath("20040105.txt")));
        QCOMPARE(ReadAll(folder() / "data.index"), std::string());
    }

    void stepsMoveTheDate_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::newRow("1 day back") << "before1d" << QDate(2004, 3, 1) << QDate(2004, 2, 29);
        QTest::newRow("1 week back") << "before1w" << QDate(2004, 1, 3) << QDate(2003, 12, 27);
        QTest::newRow("1 month back clamps")
            << "before1m" << QDate(2004, 3, 31) << QDate(2004, 2, 29);
        QTest::newRow("1 year back") << "before1y" << QDate(2004, 2, 29) << QDate(2003, 2, 28);
        QTest::newRow("1 day on") << "after1d" << QDate(2004, 12, 31) << QDate(2005, 1, 1);
        QTest::newRow("1 week on") << "after1w" << QDate(2004, 12, 28) << QDate(2005, 1, 4);
        QTest::newRow("1 month on clamps") << "after1m" << QDate(2005, 1, 31) << QDate(2005, 2, 28);
        QTest::newRow("1 year on") << "after1y" << QDate(2004, 2, 29) << QDate(2005, 2, 28);
        QTest::newRow("today") << "mtoday" << QDate(2004, 2, 29) << ToQDate(GuiHarness::kToday);
    }

    void stepsMoveTheDate() {
        QFETCH(QString, action);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        startWindow();
        pick(from);
        trigger(action.toLatin1().constData());
        QCOMPARE(picker()->date(), to);
        QCOMPARE(window_->shownFileName(),
                 QString::fromStdString(tavo::EntryFileName({to.year(), to.month(), to.day()})));
    }

    void jumpsBetweenEntriesWithTheKeyboard() {
        startWindow();
        pick(QDate(2004, 1, 1));
        typeInto(title(), QStringLiteral("first"));
        pick(QDate(2004, 1, 10));
        typeInto(title(), QStringLiteral("last"));
        pick(QDate(2004, 1, 5));  // saves 10 January on the way

        // Ctrl+Left / Ctrl+Right jump even while an editor has the focus.
        title()->setFocus();
        QTest::keyClick(title(), Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(picker()->date(), QDate(2004, 1, 10));
        QCOMPARE(title()->text(), QStringLiteral("last"));
        QVERIFY(shown_.isEmpty());

        publicMemo()->setFocus();
        QTest::keyClick(publicMemo(), Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(picker()->date(), QDate(2004, 1, 1));

        QTest::keyClick(publicMemo(), Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(picker()->date(), QDate(2004, 1, 1));
        QCOMPARE(shown_.size(), 1);
        QCOMPARE(shown_[0].kind, MessageBox::Kind::Message);
        QCOMPARE(shown_[0].caption, QStringLiteral("Tavo"));
        QCOMPARE(shown_[0].text, QStringLiteral("これ以上古い記録はありません"));

        trigger("nextdiary");
        trigger("nextdiary");
        QCOMPARE(picker()->date(), QDate(2004, 1, 10));
        QCOMPARE(shown_.size(), 2);
        QCOMPARE(shown_[1].text, QStringLiteral("これ以上新しい記録はありません"));
    }

    void jumpFindsADaySavedByTheMoveBefore() {
        startWindow();
        pick(QDate(2004, 1, 5));
        typeInto(title(), QStringLiteral("x"));
        trigger("after1w");
        trigger("beforediary");
        QCOMPARE(picker()->date(), QDate(2004, 1, 5));
        QCOMPARE(title()->text(), QStringLiteral("x"));
    }

    void jumpsReportAMissingIndexAndForeignNames() {
        startWindow();
        std::filesystem::remove(folder() / "data.index");
        trigger("beforediary");
        QCOMPARE(shown_.size(), 1);
        QCOMPARE(shown_[0].kind, MessageBox::Kind::Error);
        QVERIFY(shown_[0].text.contains(QStringLiteral("data.index")));

        WriteAll(folder() / "data.index", "notes\r\n");
        pick(QDate(2004, 1, 5));
        trigger("nextdiary");
        QCOMPARE(shown_.size(), 2);
        QCOMPARE(shown_[1].kind, MessageBox::Kind::Error);
        QVERIFY(shown_[1].text.contains(QStringLiteral("notes")));
        QCOMPARE(picker()->date(), QDate(2004, 1, 5));
    }

    void deleteAsksAndRemovesTheEntry() {
        startWindow();
        pick(QDate(2004, 1, 5));
        typeInto(title(), QStringLiteral("x"));
        pick(QDate(2004, 1, 6));
        pick(QDate(2004, 1, 5));

        answers_ << MessageBox::Button::Cancel;
        trigger("D1");
        QCOMPARE(shown_.size(), 1);
        QCOMPARE(shown_[0].caption, QStringLiteral("警告"));
        QCOMPARE(shown_[0].text, QStringLiteral("2004/01/05の日記を削除しますか？"));
        QCOMPARE(shown_[0].buttons,
                 (QList<MessageBox::Button>{MessageBox::Button::Ok, MessageBox::Button::Cancel}));
        QVERIFY(std::filesystem::exists(entryPath("20040105.txt")));

        trigger("D1");
        QVERIFY(!std::filesystem::exists(entryPath("20040105.txt")));
        QCOMPARE(ReadAll(folder() / "data.index"), std::string());
        QCOMPARE(title()->text(), QString());
        QCOMPARE(panel(1), QStringLiteral("日記なし…2004年1月5日(月)"));
    }

    void deletingADayWithoutEntryKeepsUnsavedEdits() {
        startWindow();
        pick(QDate(2004, 1, 5));
        typeInto(title(), QStringLiteral("unsaved"));
        trigger("D1");
        QCOMPARE(shown_.size(), 1);
        QCOMPARE(shown_[0].caption, QStringLiteral("警告"));
        QCOMPARE(shown_[0].text, QStringLiteral("2004/01/05の日記はありません"));
        QCOMPARE(shown_[0].buttons, QList<MessageBox::Button>{MessageBox::Button::Yes});
        QCOMPARE(title()->text(), QStringLiteral("unsaved"));
        QVERIFY(window_->isEntryModified());
    }

    void dialogsSaveFirstOnlyWhereTheyReadEntries() {
        startWindow();
        pick(QDate(2004, 1, 5));
        typeInto(title(), QStringLiteral("x"));
        trigger("P2");  // preferences: no save
        QVERIFY(!std::filesystem::exists(entryPath("20040105.txt")));
        QCOMPARE(shown_.size(), 1);
        QCOMPARE(shown_[0].kind, MessageBox::Kind::Message);
        QVERIFY(shown_[0].text.contains(QStringLiteral("環境設定")));
        const tavo::EntryStore store(folder());
        for (const char* action : {"F1", "HTMLO1", "S1"}) {
            typeInto(title(), QStringLiteral("y"));  // saved by the command
            trigger(action);
            tavo::Entry saved;
            std::string error;
            store.ReadEntry("20040105.txt", &saved, &error);
            QVERIFY2(FromCp932(saved.title) == title()->text(), action);
        }
        QVERIFY(window_->isEntryModified());  // the flags stay set
    }

    void pendingCommandsSayTheyAreNotReady() {
        startWindow();
        for (const char* action : {"HTMLS1"}) {
            shown_.clear();
            trigger(action);
            QCOMPARE(shown_.size(), 1);
            QCOMPARE(shown_[0].kind, MessageBox::Kind::Message);
        }
        QVERIFY(window_->isVisible());
    }

    void togglesToolBarAndPrivatePane() {
        startWindow();
        auto* toolBar = child<QToolBar>("ToolBar1");
        auto* privatePane = child<QGroupBox>("GroupBox2");
        QVERIFY(toolBar->isVisible());
        trigger("T2");
        QVERIFY(!toolBar->isVisible());
        QVERIFY(!child<QAction>("T2")->isChecked());
        trigger("P1");
        QVERIFY(!privatePane->isVisible());
        QVERIFY(!child<QAction>("P1")->isChecked());
        trigger("P1");
        QVERIFY(privatePane->isVisible());
    }

    void layoutSurvivesARestart() {
        startWindow();
        window_->resize(640, 520);
        window_->move(50, 60);
        trigger("T2");
        trigger("P1");
        window_->setHtmlSavePath(QStringLiteral("/home/user/日記"));
        restartWindow();

        const std::string ini = ReadAll(folder() / "tavo.ini");
        QCOMPARE(QString::fromStdString(ini).count(QStringLiteral("\r\n")), 15);
        QVERIFY(ini.starts_with("[SIZE]\r\n640\r\n520\r\n"));
        QVERIFY(ini.find("[Path]\r\n/home/user/\x93\xFA\x8B\x4C\r\n[SPLIT]\r\n") !=
                std::string::npos);
        QVERIFY(ini.ends_with("[Visible]\r\n0\r\n0\r\n[WINDOWSTATE]\r\n1\r\n"));

        QCOMPARE(window_->size(), QSize(640, 520));
        QVERIFY(!child<QToolBar>("ToolBar1")->isVisible());
        QVERIFY(!child<QAction>("T2")->isChecked());
        QVERIFY(!child<QGroupBox>("GroupBox2")->isVisible());
        QVERIFY(!child<QAction>("P1")->isChecked());
        QCOMPARE(window_->htmlSavePath(), QStringLiteral("/home/user/日記"));
    }

    void folderCp932CannotHoldKeepsTheStoredOneAndSaysSoOnce() {
        startWindow();
        window_->setHtmlSavePath(QStringLiteral("/home/u/日記"));
        restartWindow();
        QVERIFY(shown_.isEmpty());

        window_->setHtmlSavePath(QStringLiteral("/home/u/Café"));
        QCOMPARE(window_->htmlSavePath(), QStringLiteral("/home/u/Café"));  // for this run
        QCOMPARE(shown_.size(), 1);
        QCOMPARE(shown_[0].kind, MessageBox::Kind::Message);
        QVERIFY(shown_[0].text.contains(QStringLiteral("CP932")));
        QVERIFY(shown_[0].text.contains(QStringLiteral("/home/u/Café")));
        window_->setHtmlSavePath(QStringLiteral("/home/u/Crème"));
        QCOMPARE(shown_.size(), 1);  // told once; later only in the status bar
        QVERIFY(panel(0).contains(QStringLiteral("CP932")));
        restartWindow();

        QCOMPARE(iniLine(6), std::string("/home/u/\x93\xFA\x8B\x4C"));
        QCOMPARE(window_->htmlSavePath(), QStringLiteral("/home/u/日記"));
    }

    void privatePaneHeightSurvivesARestart() {
        startWindow();
        window_->resize(500, 700);
        auto* splitter = window_->findChild<QSplitter*>(QStringLiteral("Splitter1"));
        QTRY_VERIFY(splitter->height() > 400);
        const int total = splitter->sizes()[0] + splitter->sizes()[1];
        splitter->setSizes({total - 230, 230});
        QCOMPARE(child<QGroupBox>("GroupBox2")->height(), 230);
        restartWindow();
        QCOMPARE(child<QGroupBox>("GroupBox2")->height(), 230);
    }

    void hiddenPrivatePaneKeepsItsHeightAcrossRestarts() {
        WriteAll(folder() / "tavo.ini",
                 "[SIZE]\r\n500\r\n600\r\n20\r\n20\r\n[Path]\r\n\r\n[SPLIT]\r\n300\r\n"
                 "230\r\n[Visible]\r\n1\r\n0\r\n[WINDOWSTATE]\r\n1\r\n");
        startWindow();
        QVERIFY(!child<QGroupBox>("GroupBox2")->isVisible());
        restartWindow();
        QCOMPARE(iniLine(9), std::string("230"));
        restartWindow();
        QCOMPARE(iniLine(9), std::string("230"));
        QCOMPARE(iniLine(12), std::string("0"));

        // Hidden during a run, the pane keeps the height it had when it was hidden.
        trigger("P1");
        QTRY_VERIFY(child<QGroupBox>("GroupBox2")->height() > 100);
        auto* splitter = child<QSplitter>("Splitter1");
        const int total = splitter->sizes()[0] + splitter->sizes()[1];
        splitter->setSizes({total - 180, 180});
        QCOMPARE(child<QGroupBox>("GroupBox2")->height(), 180);
        trigger("P1");
        restartWindow();
        QCOMPARE(iniLine(9), std::string("180"));
        restartWindow();
        QCOMPARE(iniLine(9), std::string("180"));
    }

    void maximisedWindowOpensMaximised() {
        startWindow();
        window_->showMaximized();
        QTRY_VERIFY(window_->isMaximized());
        restartWindow();
        QTRY_VERIFY(window_->isMaximized());
        const std::string ini = ReadAll(folder() / "tavo.ini");
        QVERIFY(ini.ends_with("[WINDOWSTATE]\r\n3\r\n"));
    }

    void malformedSettingsFileFallsBackAndSaysSoOnce() {
        WriteAll(folder() / "tavo.ini", "[SIZE]\r\n600\r\nhigh\r\n10\r\n20\r\n[Path]\r\n");
        startWindow();
        QCOMPARE(shown_.size(), 1);
        QCOMPARE(shown_[0].kind, MessageBox::Kind::Error);
        QVERIFY(shown_[0].text.contains(QStringLiteral("3 行目")));
        QCOMPARE(window_->width(), 600);
        QCOMPARE(window_->height(), 540);  // default for the unreadable line
        QVERIFY(child<QToolBar>("ToolBar1")->isVisible());
        QVERIFY(child<QGroupBox>("GroupBox2")->isVisible());
    }

    void windowStoredOffTheScreensComesBack() {
        WriteAll(folder() / "tavo.ini",
                 "[SIZE]\r\n500\r\n450\r\n-9000\r\n7000\r\n[Path]\r\n\r\n[SPLIT]\r\n300\r\n"
                 "121\r\n[Visible]\r\n1\r\n1\r\n[WINDOWSTATE]\r\n1\r\n");
        startWindow();
        QVERIFY(shown_.isEmpty());
        QCOMPARE(window_->size(), QSize(500, 450));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(screen.contains(window_->pos()));
    }

    void tabOrderIsTitlePublicPrivate() {
        startWindow();
        title()->setFocus();
        QTest::keyClick(title(), Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(publicMemo()));
        QTest::keyClick(publicMemo(), Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(privateMemo()));
    }

    void failedSaveKeepsTheTextsAndThePreviousFile() {
        startWindow();
        pick(QDate(2004, 1, 5));
        typeInto(title(), QStringLiteral("old"));
        pick(QDate(2004, 1, 6));
        pick(QDate(2004, 1, 5));
        const std::string before = ReadAll(entryPath("20040105.txt"));

        typeInto(publicMemo(), QStringLiteral("a much longer text that will not fit"));
        {
            const FileSizeLimit limit(16);
            pick(QDate(2004, 1, 6));
        }
        QCOMPARE(shown_.size(), 1);
        QCOMPARE(shown_[0].kind, MessageBox::Kind::Error);
        QVERIFY(shown_[0].text.contains(QStringLiteral("20040105.txt")));
        QCOMPARE(ReadAll(entryPath("20040105.txt")), before);
        QCOMPARE(picker()->date(), QDate(2004, 1, 5));
        QCOMPARE(publicMemo()->toPlainText(),
                 QStringLiteral("a much longer text that will not fit"));
        QVERIFY(window_->isEntryModified());

        pick(QDate(2004, 1, 6));  // writable again: the text is saved now
        pick(QDate(2004, 1, 5));
        QCOMPARE(publicMemo()->toPlainText(),
                 QStringLiteral("a much longer text that will not fit"));
    }

    void closingWhenTheSaveFailsAsksFirst() {
        startWindow();
        pick(QDate(2004, 1, 5));
        typeInto(title(), QStringLiteral("unsaved words"));
        {
            const FileSizeLimit limit(4);
            answers_ << MessageBox::Button::Ok << MessageBox::Button::Cancel;
            QVERIFY(!window_->close());
        }
        QCOMPARE(shown_.size(), 2);
        QCOMPARE(shown_[1].caption, QStringLiteral("警告"));
        QVERIFY(window_->isVisible());
        QCOMPARE(title()->text(), QStringLiteral("unsaved words"));
        QVERIFY(window_->close());
        QVERIFY(std::filesystem::exists(entryPath("20040105.txt")));
    }

    void malformedEntryIsReportedAndNeverOverwritten() {
        const std::string broken = showUnreadableDay();
        QCOMPARE(shown_.size(), 1);
        QCOMPARE(shown_[0].kind, MessageBox::Kind::Error);
        QVERIFY(shown_[0].text.contains(QStringLiteral("20040105.txt")));
        QVERIFY(panel(1).startsWith(QStringLiteral("読込エラー")));
        QVERIFY(title()->isReadOnly());
        QTest::keyClicks(title(), QStringLiteral("typed"));
        pick(QDate(2004, 1, 6));
        QCOMPARE(ReadAll(entryPath("20040105.txt")), broken);
        QVERIFY(!title()->isReadOnly());

        WriteAll(entryPath("20040107.txt"), "666462\r\n");  // too few lines
        pick(QDate(2004, 1, 7));
        QCOMPARE(shown_.size(), 2);
        QVERIFY(title()->isReadOnly());
    }

    void commandsLeaveAnUnreadableDayAlone() {
        const std::string broken = showUnreadableDay();
        QCOMPARE(shown_.size(), 1);
        publicMemo()->setFocus();
        QTRY_VERIFY(publicMemo()->hasFocus());
        QVERIFY(publicMemo()->isReadOnly());
        for (const char* action : {"B1", "N13", "H11", "N15", "N16"})
            trigger(action);
        QTest::keyClick(publicMemo(), Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(publicMemo()->toPlainText(), QString());
        QVERIFY(!window_->isEntryModified());

        // Whatever reaches the editors, the day that could not be read is not saved.
        publicMemo()->textCursor().insertText(QStringLiteral("<b></b>"));
        QVERIFY(!window_->isEntryModified());
        pick(QDate(2004, 1, 6));
        QCOMPARE(ReadAll(entryPath("20040105.txt")), broken);
        QVERIFY(!std::filesystem::exists(entryPath("20040106.txt")));
        QCOMPARE(shown_.size(), 1);

        // A day read again normally is saved again.
        typeInto(title(), QStringLiteral("ok"));
        QVERIFY(window_->isEntryModified());
        pick(QDate(2004, 1, 7));
        QVERIFY(std::filesystem::exists(entryPath("20040106.txt")));
    }

    void unrepresentableCharactersAreKeptAsReferences() {
        startWindow();
        pick(QDate(2004, 1, 5));
        publicMemo()->setFocus();
        publicMemo()->insertPlainText(QStringLiteral("晴れ😀"));
        pick(QDate(2004, 1, 6));
        QCOMPARE(ReadAll(entryPath("20040105.txt")),
                 "\r\n" + tavo::EncodeText("\x90\xB0\x82\xEA&#128512;") + "\r\n\r\n");
        QCOMPARE(shown_.size(), 1);
        QVERIFY(shown_[0].text.contains(QStringLiteral("&#")));

        pick(QDate(2004, 1, 7));
        privateMemo()->setFocus();
        privateMemo()->insertPlainText(QStringLiteral("a\u00A0b"));  // no-break space
        privateMemo()->insertPlainText(QStringLiteral("𠮷"));
        pick(QDate(2004, 1, 8));
        QCOMPARE(shown_.size(), 1);  // told once; later only in the status bar
        QVERIFY(panel(0).contains(QStringLiteral("&#")));
        QCOMPARE(ReadAll(entryPath("20040107.txt")),
                 "\r\n\r\n" + tavo::EncodeText("a&#160;b&#134071;") + "\r\n");
    }

    void exitCommandSavesAndWritesSettings() {
        startWindow();
        pick(QDate(2004, 1, 5));
        typeInto(title(), QStringLiteral("bye"));
        trigger("FileExit1");
        QVERIFY(!window_->isVisible());
        QCOMPARE(ReadAll(entryPath("20040105.txt")), tavo::EncodeText("bye") + "\r\n\r\n\r\n");
        QVERIFY(std::filesystem::exists(folder() / "tavo.ini"));
    }
};

TAVO_GUI_TEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
