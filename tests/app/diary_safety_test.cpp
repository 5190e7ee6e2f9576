// What keeps the user's writing safe: one program per diary, recovery files while typing
// and their offer at the next start, the damaged index, backups at exit and their restore.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>
#include <set>

#include <unistd.h>

#include "app/single_instance.h"
#include "app/tavo_windows.h"
#include "common/ui_text.h"
#include "core/date.h"
#include "core/entry_store.h"
#include "core/recovery.h"
#include "core/temp_folder.h"
#include "main_window/recovery_dialog.h"
#include "main_window/sdimain.h"
#include "tools/backup.h"
#include "tools/restore_form.h"
#include "uikit/gui_harness.h"
#include "uikit/gui_test_main.h"

namespace {

// Every file under the folder with its content, to see that nothing was written.
std::map<std::string, std::string> FolderState(const std::filesystem::path& folder) {
    std::map<std::string, std::string> state;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder))
        state[item.path().string()] = item.is_regular_file() ? ReadAll(item.path()) : "";
    return state;
}

tavo::Entry Titled(const std::string& title) {
    return {title, "", ""};
}

QStringList Column(const QTreeWidget* list, int column) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(column);
    return texts;
}

}  // namespace

class DiarySafetyTest : public QObject {
    Q_OBJECT

private:
    GuiHarness h_;
    std::unique_ptr<TavoWindows> program_;

    TSDIAppForm* main() const { return program_->SDIAppForm(); }
    // The store of the test's diary, its data folder made.
    tavo::EntryStore store() const {
        std::filesystem::create_directories(h_.folder() / "data");
        return tavo::EntryStore(h_.folder());
    }
    std::string todayFile() const { return tavo::EntryFileName(tavo::Today()); }

    void startProgram() {
        program_ = std::make_unique<TavoWindows>(h_.folder());
        program_->start();
        QVERIFY(QTest::qWaitForWindowExposed(main()));
    }
    void closeProgram() {
        main()->close();
        program_.reset();
    }
    // Runs `answer` inside the modal dialog of type T that opens next.
    // Polled by a timer, which also runs inside the dialog's own event loop.
    template <typename T, typename Answer>
    void whenOpen(Answer answer) {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, answer] {
            if (T* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
                poll->deleteLater();
                poll->stop();
                answer(dialog);
            }
        });
        poll->start(10);
    }
    void answerRows(TRecoveryDlg* dialog, const QString& date, const char* button) {
        auto* list = Child<QTreeWidget>(dialog, "ListView1");
        const auto items = list->findItems(date, Qt::MatchExactly, 0);
        QCOMPARE(items.size(), 1);
        list->setCurrentItem(items.first());
        QTest::mouseClick(Child<QPushButton>(dialog, button), Qt::LeftButton);
    }

private slots:
    void init() { h_.setUp(); }
    void cleanup() {
        program_.reset();
        h_.tearDown();
    }

    void typedTextsReachTheRecoveryFileUntilTheDayIsSaved() {
        startProgram();
        main()->setRecoveryDelays(20, 100);
        main()->goToDate(QDate(2004, 1, 5));
        const auto recovery = tavo::RecoveryPath(h_.folder(), "20040105.txt");
        auto* title = Child<QLineEdit>(main(), "Edit2");
        title->insert(QStringLiteral("あいう"));
        QTRY_VERIFY(std::filesystem::exists(recovery));
        QCOMPARE(ReadAll(recovery),
                 tavo::EntryFileBytes(Titled(ToCp932(QStringLiteral("あいう")).bytes)));
        QVERIFY(!std::filesystem::exists(store().EntryPath("20040105.txt")));

        main()->goToDate(QDate(2004, 1, 6));  // saved: the recovery file goes
        QVERIFY(std::filesystem::exists(store().EntryPath("20040105.txt")));
        QVERIFY(!std::filesystem::exists(recovery));

        // Typed and undone again: leaving the unchanged day removes its recovery file too.
        QTest::keyClicks(title, QStringLiteral("x"));
        const auto recovery6 = tavo::RecoveryPath(h_.folder(), "20040106.txt");
        QTRY_VERIFY(std::filesystem::exists(recovery6));
        QTest::keyClick(title, Qt::Key_Backspace);
        title->setModified(false);
        main()->goToDate(QDate(2004, 1, 7));
        QVERIFY(!std::filesystem::exists(recovery6));
        QVERIFY(h_.shown.isEmpty());

        // A recovery folder that cannot be written is reported once; editing and saving go on.
        std::filesystem::remove(tavo::RecoveryFolder(h_.folder()));  // empty by now
        WriteAll(tavo::RecoveryFolder(h_.folder()), "a file where the folder belongs");
        for (const char* text : {"one", "two"}) {
            QTest::keyClicks(title, QString::fromLatin1(text));
            QTest::qWait(150);
        }
        QCOMPARE(h_.shown.size(), 1);
        QVERIFY(h_.shown[0].text.contains(QStringLiteral("復元用ファイル")));
        main()->goToDate(QDate(2004, 1, 8));
        tavo::Entry saved;
        std::string error;
        store().ReadEntry("20040107.txt", &saved, &error);
        QCOMPARE(saved.title, std::string("onetwo"));
    }

    void theNextStartOffersUnsavedDaysAndDoesOnlyWhatTheUserChooses() {
        const tavo::EntryStore diary = store();
        std::string error;
        const std::string today = todayFile();
        struct Day {
            std::string file;
            tavo::Entry entry;  // empty: no entry file
            tavo::Entry recovered;
        } days[] = {
            {today, Titled("saved"), {"typed later", "public\r\ntext", ""}},  // restored
            {"20040105.txt", {}, Titled("never saved")},                      // discarded
            {"20040106.txt", Titled("same"), Titled("same")},                 // a save's leftover
        };
        for (const Day& day : days) {
            if (!day.entry.IsEmpty())
                QVERIFY(diary.SaveEntry(day.file, day.entry, &error));
            QVERIFY(tavo::WriteRecovery(h_.folder(), day.file, day.recovered, &error));
        }
        WriteAll(tavo::RecoveryPath(h_.folder(), "20040107.txt"), "not an entry\r\n");

        // Closed without an answer: everything stays for the next start.
        QStringList offered;
        const auto keepAll = [&offered](TRecoveryDlg* dialog) {
            offered = Column(Child<QTreeWidget>(dialog, "ListView1"), 1);
            QTest::mouseClick(Child<QPushButton>(dialog, "Button3"), Qt::LeftButton);
        };
        whenOpen<TRecoveryDlg>(keepAll);
        startProgram();
        QTRY_COMPARE(offered,
                     (QStringList{QStringLiteral("never saved"), QStringLiteral("typed later")}));
        QCOMPARE(h_.shown.size(), 1);  // the unreadable file, left in place
        QVERIFY(h_.shown[0].text.contains(QStringLiteral("20040107.txt")));
        QVERIFY(!std::filesystem::exists(tavo::RecoveryPath(h_.folder(), "20040106.txt")));
        QCOMPARE(Child<QLineEdit>(main(), "Edit2")->text(), QStringLiteral("saved"));
        // Opening a kept day asks again, for that day alone, before typing could replace it.
        offered.clear();
        whenOpen<TRecoveryDlg>(keepAll);
        main()->goToDate(QDate(2004, 1, 5));
        QTRY_COMPARE(offered, QStringList{QStringLiteral("never saved")});
        closeProgram();

        const QString todayText = QString::fromStdString(tavo::FormatSlashed(tavo::Today()));
        whenOpen<TRecoveryDlg>([this, todayText](TRecoveryDlg* dialog) {
            answerRows(dialog, todayText, "Button1");
            answerRows(dialog, QStringLiteral("2004/01/05"), "Button2");
            QVERIFY(!dialog->isVisible());  // nothing left to answer
        });
        startProgram();
        QTRY_COMPARE(Child<QLineEdit>(main(), "Edit2")->text(), QStringLiteral("typed later"));
        tavo::Entry entry;
        QCOMPARE(diary.ReadEntry(today, &entry, &error), tavo::EntryStore::ReadStatus::Found);
        QCOMPARE(entry, days[0].recovered);
        QCOMPARE(diary.ReadEntry("20040105.txt", &entry, &error),
                 tavo::EntryStore::ReadStatus::Missing);
        for (const std::string& file : {today, std::string("20040105.txt")})
            QVERIFY(!std::filesystem::exists(tavo::RecoveryPath(h_.folder(), file)));
        QVERIFY(std::filesystem::exists(tavo::RecoveryPath(h_.folder(), "20040107.txt")));
    }

    void aSecondStartHandsOverAndWritesNothing() {
        // The running program answers: the second start ends at once and writes nothing.
        const std::filesystem::path folder = h_.folder() / "tavo";
        std::filesystem::create_directories(folder / "data");
        QList<std::optional<QDate>> raised;
        DiaryInstance first(folder);
        first.setRaiseHandler([&raised](std::optional<QDate> date) { raised.append(date); });
        QCOMPARE(first.claim(), DiaryInstance::Claim::First);
        const auto before = FolderState(folder);
        // Found as the per-user folder, then named with a day to show.
        for (const QStringList& arguments :
             {QStringList{}, QStringList{QStringLiteral("--folder"), FromPath(folder),
                                         QStringLiteral("--date"), QStringLiteral("2004-01-05")}}) {
            QProcess second;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("XDG_DATA_HOME"), FromPath(h_.folder()));
            second.setProcessEnvironment(environment);
            second.start(QStringLiteral(TAVO_PROGRAM), arguments);
            QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
            QCOMPARE(second.exitCode(), 0);
        }
        QCOMPARE(raised, (QList<std::optional<QDate>>{std::nullopt, QDate(2004, 1, 5)}));
        QCOMPARE(FolderState(folder), before);
    }

    void theProgramAnswersItsCommandLineWithoutAWindow() {
        const struct {
            QStringList arguments;
            int status;
            const char* out;  // the start of standard output
            const char* err;  // within the one line of standard error
        } cases[] = {
            {{"--version"}, 0, "Tavo 2.422\n", nullptr},
            {{"--help"}, 0, "使い方: tavo [--folder DIR] [--date YYYY-MM-DD]\n", nullptr},
            {{"--colour"}, 2, "", "colour"},
        };
        for (const auto& c : cases) {
            QProcess program;
            program.start(QStringLiteral(TAVO_PROGRAM), c.arguments);
            QVERIFY(program.waitForFinished(20000));
            const QString out = QString::fromUtf8(program.readAllStandardOutput());
            const QString err = QString::fromUtf8(program.readAllStandardError());
            QCOMPARE(program.exitCode(), c.status);
            const QString expected = QString::fromUtf8(c.out);
            QVERIFY2(expected.isEmpty() ? out.isEmpty() : out.startsWith(expected),
                     qPrintable(out + err));
            if (c.err) {
                QVERIFY2(err.contains(QString::fromUtf8(c.err)) && err.count('\n') == 1,
                         qPrintable(err));
            } else {
                QCOMPARE(err, QString());
            }
        }
    }

    void aFolderWithoutADiaryIsUsedOnlyWhenTheUserAgrees() {
        const std::filesystem::path diary = h_.folder() / "diary", empty = h_.folder() / "empty";
        std::filesystem::create_directories(diary / "data");
        std::filesystem::create_directories(empty);
        h_.answers = {MessageBox::Button::Cancel, MessageBox::Button::Yes};
        QVERIFY(ConfirmDiaryFolder(diary));
        QVERIFY(h_.shown.isEmpty());
        QVERIFY(!ConfirmDiaryFolder(empty));
        QVERIFY(ConfirmDiaryFolder(empty));
        QCOMPARE(h_.shown.size(), 2);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Question);
        QVERIFY(h_.shown[0].text.contains(FromPath(empty)));
        QVERIFY(std::filesystem::is_empty(empty));
    }

    void aDamagedIndexLineIsQuotedShortAndTheIndexRebuilt() {
        std::string error;
        for (const char* day : {"20040105.txt", "20040110.txt"})
            QVERIFY(store().SaveEntry(day, Titled("t"), &error));
        WriteAll(h_.folder() / "data.index",
                 "20040105\r\n" + std::string(3 << 20, '7') + "\r\n20040110\r\n");
        startProgram();
        main()->goToDate(QDate(2004, 1, 6));
        Child<QAction>(main(), "nextdiary")->trigger();
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Error);
        QVERIFY(h_.shown[0].text.size() < 300);
        QVERIFY(h_.shown[0].text.contains(QStringLiteral("'") + QString(40, QLatin1Char('7')) +
                                          QStringLiteral("'… (3145728 バイト)")));
        QCOMPARE(ReadAll(h_.folder() / "data.index"), std::string("20040105\r\n20040110\r\n"));
        QCOMPARE(main()->shownDate(), QDate(2004, 1, 10));
    }

    // The diary opened read-only (its lock is another computer's) writes nothing at all.
    void aDiaryOpenElsewhereIsOnlyRead() {
        QVERIFY(store().SaveEntry(todayFile(), {"there", "", ""}, nullptr));
        std::filesystem::remove(h_.folder() / "data.index");
        program_ = std::make_unique<TavoWindows>(h_.folder(), true);
        program_->start();
        QVERIFY(main()->windowTitle().endsWith(QStringLiteral("（読み取り専用）")));
        auto* title = Child<QLineEdit>(main(), "Edit2");
        QCOMPARE(title->text(), QStringLiteral("there"));
        QVERIFY(title->isReadOnly());
        for (const char* action : {"D1", "N3", "R1", "P2"})
            QVERIFY2(!Child<QAction>(main(), action)->isEnabled(), action);
        closeProgram();
        std::set<std::string> left;
        for (const auto& item : std::filesystem::directory_iterator(h_.folder()))
            left.insert(item.path().filename().string());
        QCOMPARE(left, (std::set<std::string>{"data"}));
    }

    // What runs cut short leave (a backup's part file, a restore's unpacking, a save's
    // temporary file) is gone at the next start; a sync tool's conflict copy is asked about.
    void leftoversGoAndConflictCopiesAreAskedAboutAtStart() {
        const tavo::EntryStore diary = store();
        QVERIFY(diary.SaveEntry("20040105.txt", {"mine", "", ""}, nullptr));
        const auto copy = h_.folder() / "data" / "20040105 (conflicted copy 2025-01-01 120000).txt";
        WriteAll(copy, tavo::EntryFileBytes({"theirs", "", ""}));
        std::filesystem::create_directories(h_.folder() / ".restore-a1b2c3" / "new");
        std::filesystem::create_directories(h_.folder() / "backup");
        const std::filesystem::path leftovers[] = {
            h_.folder() / "backup" / "tavo-20240101-000000.zip.part.Xy12Ab",
            h_.folder() / "data" / "20040106.txt.tmp-123-4"};
        for (const auto& file : leftovers)
            WriteAll(file, "cut short");
        h_.conflictAnswers << TConflictDlg::Choice::KeepTheirs;
        startProgram();
        QTRY_COMPARE(h_.conflictsShown.size(), 1);
        QCOMPARE(h_.conflictsShown[0].theirs.label, FromPath(copy.filename()));
        for (const auto& file : leftovers)
            QVERIFY(!std::filesystem::exists(file));
        QVERIFY(!std::filesystem::exists(h_.folder() / ".restore-a1b2c3"));
        tavo::Entry entry;
        QVERIFY(diary.ReadEntry("20040105.txt", &entry, nullptr) ==
                tavo::EntryStore::ReadStatus::Found);
        QCOMPARE(entry.title, std::string("theirs"));
        // Both versions stay: the copy and the entry it replaced, set aside.
        QVERIFY(!std::filesystem::exists(copy));
        QCOMPARE(std::distance(std::filesystem::directory_iterator(h_.folder() / "conflicts"),
                               std::filesystem::directory_iterator()),
                 2);
    }

    // The diary's folder goes away under the running program (a stick pulled, a share
    // gone): the typed texts are kept in the per-user folder, and quitting says where.
    void typedTextsOutliveTheDiaryFolder() {
        const bool root = ::geteuid() == 0;
        for (const bool tmpfs : {false, true}) {
            if (tmpfs && !root)
                continue;  // only root may mount
            const auto stick = h_.folder() / (tmpfs ? "mounted" : "stick");
            std::filesystem::create_directories(stick);
            if (tmpfs && QProcess::execute(QStringLiteral("mount"),
                                           {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                            QStringLiteral("tmpfs"), FromPath(stick)}) != 0)
                continue;  // a container without mounts
            const auto elsewhere = h_.folder() / "xdg";
            qputenv("XDG_DATA_HOME", FromPath(elsewhere).toLocal8Bit());
            h_.shown.clear();
            program_ = std::make_unique<TavoWindows>(stick);
            program_->start();
            main()->goToDate(QDate(2004, 1, 5));
            auto* title = Child<QLineEdit>(main(), "Edit2");
            title->insert(QStringLiteral("消えない"));
            if (tmpfs)
                QProcess::execute(QStringLiteral("umount"),
                                  {QStringLiteral("-l"), FromPath(stick)});
            std::filesystem::remove_all(stick);
            QVERIFY(!main()->goToDate(QDate(2004, 1, 6)));  // the save fails, the day stays
            closeProgram();  // "保存せずに終了しますか？" OK
            qunsetenv("XDG_DATA_HOME");
            const auto kept = tavo::FallbackRecoveryPath(elsewhere / "tavo" / "recovery-elsewhere",
                                                         stick, "20040105.txt");
            tavo::Entry entry;
            std::string error;
            QVERIFY2(tavo::ParseEntryFile(ReadAll(kept), &entry, &error), error.c_str());
            QCOMPARE(FromCp932(entry.title), QStringLiteral("消えない"));
            const QString said =
                QStringLiteral("入力した文章は %1 に残してあります").arg(FromPath(kept));
            QVERIFY(std::any_of(h_.shown.begin(), h_.shown.end(),
                                [&](const MessageBox::Shown& box) { return box.text == said; }));
        }
    }

    void backupsAtExitFollowThePreferences() {
        struct Case {
            const char* userIniTail;  // lines after the first ten
            const char* folder;       // where the snapshot lands, in the program folder
            int snapshots;
        } cases[] = {
            {"", "backup", 1},                             // an older ten-line file
            {"[BACKUP]\r\nsecond\r\n1\r\n", "second", 1},  // another folder
            {"[BACKUP]\r\n\r\n0\r\n", "backup", 0},        // turned off
        };
        for (const Case& c : cases) {
            cleanup();
            init();
            WriteAll(h_.folder() / "User.ini",
                     std::string("[TITLE]\r\n\r\n[FONT_SIZE]\r\n1\r\n[FONT_COLOR]\r\n0\r\n"
                                 "[BACK_COLOR]\r\n16777215\r\n[USE_IME]\r\n0\r\n") +
                         c.userIniTail);
            for (int run = 0; run < 2; ++run) {  // at most one a day
                startProgram();
                closeProgram();
            }
            QCOMPARE(static_cast<int>(tavo::ListSnapshots(h_.folder() / c.folder).size()),
                     c.snapshots);
            QVERIFY(h_.shown.isEmpty());
        }
    }

    void restoringBacksUpTheDiaryFirstAndShowsTheRestoredDay() {
        std::string error;
        QVERIFY(store().SaveEntry(todayFile(), Titled("as backed up"), &error));
        startProgram();
        closeProgram();  // the day's snapshot
        QVERIFY(store().SaveEntry("20040105.txt", Titled("written after"), &error));
        WriteAll(h_.folder() / "backup" / "tavo-20000101-000000.zip", "PK\x03\x04 cut short");
        startProgram();
        QTest::keyClicks(Child<QLineEdit>(main(), "Edit2"), QStringLiteral(" and edited"));

        Child<QAction>(main(), "R1")->trigger();
        TRestoreForm* form = program_->RestoreForm();
        QVERIFY(form->isVisible());
        auto* list = Child<QTreeWidget>(form, "ListView1");
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("1"));
        QVERIFY(list->topLevelItem(1)->text(1).startsWith(QStringLiteral("読めません")));
        list->setCurrentItem(list->topLevelItem(1));  // the broken one is refused
        QTest::mouseClick(Child<QPushButton>(form, "Button1"), Qt::LeftButton);
        QCOMPARE(h_.shown.size(), 1);
        QVERIFY(std::filesystem::exists(store().EntryPath("20040105.txt")));

        list->setCurrentItem(list->topLevelItem(0));
        QTest::mouseClick(Child<QPushButton>(form, "Button1"), Qt::LeftButton);  // OK to both
        QCOMPARE(h_.shown.size(), 3);
        QCOMPARE(h_.shown[2].kind, MessageBox::Kind::Message);
        QCOMPARE(Child<QLineEdit>(main(), "Edit2")->text(), QStringLiteral("as backed up"));
        QVERIFY(!std::filesystem::exists(store().EntryPath("20040105.txt")));
        // The state before the restore is a snapshot of its own, with the edit saved.
        const auto snapshots = tavo::ListSnapshots(h_.folder() / "backup");
        QCOMPARE(snapshots.size(), size_t(3));
        QCOMPARE(snapshots[0].entryCount, 2);
        QCOMPARE(list->topLevelItemCount(), 3);
    }
};

TAVO_GUI_TEST_MAIN(DiarySafetyTest)
#include "diary_safety_test.moc"
