// Kills the program (SIGKILL) at random moments while it types and saves, again and again
// on one diary: every entry and recovery file must afterwards be whole, and the next start
// must offer exactly the days whose recovery files hold newer text.
#include <signal.h>

#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <map>
#include <random>

#include "app/single_instance.h"
#include "app/tavo_windows.h"
#include "core/entry_store.h"
#include "core/recovery.h"
#include "core/temp_folder.h"
#include "core/text_file.h"
#include "main_window/recovery_dialog.h"
#include "main_window/sdimain.h"
#include "uikit/gui_harness.h"
#include "uikit/gui_test_main.h"

namespace {

// How many tokens "<dd>-0;<dd>-1;…" a file of the crash child holds; -1 (and the reason
// in `broken`) when the file is not whole or not the day's.
int TokensIn(const std::filesystem::path& file, QStringList* broken) {
    std::string bytes, error;
    tavo::Entry entry;
    if (!tavo::ReadFileBytes(file, &bytes, &error) ||
        !tavo::ParseEntryFile(bytes, &entry, &error)) {
        *broken << QString::fromStdString(file.string() + ": " + error);
        return -1;
    }
    const std::string day = file.stem().string().substr(6, 2);
    std::string expected;
    int count = 0;
    while (expected.size() < entry.publicText.size())
        expected += day + "-" + std::to_string(count++) + ";";
    if (entry.publicText != expected)
        *broken << QString::fromStdString(file.string() + ": " + entry.publicText);
    return count;
}

std::map<std::string, int> TokensPerDay(const std::filesystem::path& folder, QStringList* broken) {
    std::map<std::string, int> tokens;
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = item.path().filename().string();
        if (name.size() == 12 && name.ends_with(".txt"))  // not the leftovers of a write
            tokens[name] = TokensIn(item.path(), broken);
    }
    return tokens;
}

}  // namespace

class CrashRecoveryTest : public QObject {
    Q_OBJECT

private slots:
    void killedAtRandomMomentsLosesNothing() {
        GuiHarness h;
        h.setUp();
        const std::filesystem::path folder = h.folder();
        std::mt19937 random(20261208);
        constexpr int kKills = 32;
        int offeredDays = 0;
        for (int kill = 0; kill < kKills; ++kill) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(QStringLiteral(TAVO_CRASH_CHILD),
                        {QString::fromStdString(folder.string()), QString::number(random())});
            QVERIFY(child.waitForStarted());
            QTest::qWait(500 + static_cast<int>(random() % 2000));
            QCOMPARE(child.state(), QProcess::Running);
            ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished());

            QStringList broken;
            const auto entries = TokensPerDay(folder / "data", &broken);
            const auto recovered = TokensPerDay(tavo::RecoveryFolder(folder), &broken);
            QVERIFY2(broken.isEmpty(), qPrintable(broken.join(QLatin1Char('\n'))));
            QStringList newer;
            for (const auto& [file, tokens] : recovered) {
                const int saved = entries.count(file) ? entries.at(file) : 0;
                QVERIFY2(tokens >= saved, file.c_str());  // never older than the entry
                if (tokens > saved)
                    newer << QStringLiteral("2004/01/") + QString::fromStdString(file.substr(6, 2));
            }
            offeredDays += static_cast<int>(newer.size());

            // The next start takes over the dead program's lock and offers those days.
            DiaryInstance instance(folder);
            QCOMPARE(instance.claim(), DiaryInstance::Claim::First);
            QStringList offered;
            QTimer poll;
            connect(&poll, &QTimer::timeout, this, [&] {
                auto* dialog = qobject_cast<TRecoveryDlg*>(QApplication::activeModalWidget());
                if (!dialog)
                    return;
                poll.stop();
                auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
                for (int i = 0; i < list->topLevelItemCount(); ++i)
                    offered << list->topLevelItem(i)->text(0);
                list->selectAll();
                QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Button1")),
                                  Qt::LeftButton);
            });
            poll.start(10);
            {
                TavoWindows program(folder);
                program.start();
                QVERIFY(QTest::qWaitForWindowExposed(program.SDIAppForm()));
                QTest::qWait(50);  // the offer comes once the window is there
                QCOMPARE(offered, newer);
                QVERIFY(h.shown.isEmpty());
                program.SDIAppForm()->close();
            }
            // Restored: the entries hold the recovered texts, and nothing is offered twice.
            auto restored = TokensPerDay(folder / "data", &broken);
            for (const auto& [file, tokens] : recovered)
                QCOMPARE(restored[file], tokens);
            QVERIFY(TokensPerDay(tavo::RecoveryFolder(folder), &broken).empty());
            QVERIFY(broken.isEmpty());
            // The index lists exactly the days that have a file, however the save was cut.
            std::vector<std::string> index, days;
            std::string error;
            QVERIFY(tavo::EntryStore(folder).ReadIndex(&index, &error));
            for (const auto& [file, tokens] : restored)
                days.push_back(tavo::EntryName(file));
            QCOMPARE(index, days);
        }
        qInfo("%d kills, %d days offered after them", kKills, offeredDays);
        QVERIFY(offeredDays > 0);  // the kills did come while typing
        h.tearDown();
    }
};

TAVO_GUI_TEST_MAIN(CrashRecoveryTest)
#include "crash_recovery_test.moc"
