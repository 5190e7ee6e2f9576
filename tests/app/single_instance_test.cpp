// Whose diary it is when a lock is already there: a crashed program's lock is taken over,
// a running program's is respected, and one from another computer is named and left to
// the user.
#include <QApplication>
#include <QLockFile>
#include <QSysInfo>
#include <QTest>
#include <QTimer>
#include <memory>

#include "app/single_instance.h"
#include "common/ui_text.h"
#include "core/temp_folder.h"
#include "uikit/gui_harness.h"
#include "uikit/gui_test_main.h"

namespace {

using Button = MessageBox::Button;

// A lock file line by line as QLockFile writes it: process id, program name, host name,
// host id, boot id.
std::string LockText(qint64 pid, const QString& host, const QByteArray& hostId,
                     const QByteArray& bootId) {
    return QByteArray::number(pid).toStdString() + "\ntavo\n" + host.toStdString() + "\n" +
           hostId.toStdString() + "\n" + bootId.toStdString() + "\n";
}

// No process has an id as high as the system's limit.
qint64 DeadPid() {
    return std::stoll(ReadAll("/proc/sys/kernel/pid_max"));
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

private:
    GuiHarness h_;

private slots:
    void init() { h_.setUp(); }
    void cleanup() { h_.tearDown(); }

    void aLockAlreadyThereIsTakenRespectedOrLeftToTheUser() {
        const QString here = QSysInfo::machineHostName();
        const std::string otherComputer =
            LockText(4242, QStringLiteral("kitchen-pc"), "0123456789abcdef0123456789abcdef",
                     "6f1c1e52-5d0e-4a43-9c7e-3f0b1d2a8c44");
        const QString named =
            QStringLiteral("この日記は別のコンピュータ（kitchen-pc）で開かれています");
        const struct {
            const char* name;
            std::string lock;  // empty: a running program on this computer holds it
            QList<Button> answers;
            DiaryAccess access;
            QStringList texts;  // of the boxes shown, each in part
        } cases[] = {
            {"read-only", otherComputer, {Button::ReadOnly}, DiaryAccess::ReadOnly, {named}},
            {"taken over",
             otherComputer,
             {Button::TakeOver, Button::Ok},
             DiaryAccess::Write,
             {named, QStringLiteral("kitchen-pc の Tavo がまだ動いていると")}},
            {"take-over cancelled, then ended",
             otherComputer,
             {Button::TakeOver, Button::Cancel, Button::End},
             DiaryAccess::Stop,
             {named, QStringLiteral("上書き"), named}},
            {"ended", otherComputer, {Button::End}, DiaryAccess::Stop, {named}},
            {"crashed here",
             LockText(DeadPid(), here, QSysInfo::machineUniqueId(), QSysInfo::bootUniqueId()),
             {},
             DiaryAccess::Write,
             {}},
            {"running here",
             "",
             {},
             DiaryAccess::Stop,
             {QStringLiteral("この日記は別のTavoで開かれています")}},
        };
        for (const auto& c : cases) {
            cleanup();
            init();
            const std::filesystem::path lockPath = DiaryInstance::LockPath(h_.folder());
            std::unique_ptr<QLockFile> held;
            if (c.lock.empty()) {
                held = std::make_unique<QLockFile>(FromPath(lockPath));
                QVERIFY(held->tryLock(0));
            } else {
                WriteAll(lockPath, c.lock);
            }
            const std::string before = ReadAll(lockPath);
            h_.answers = c.answers;
            {
                DiaryInstance instance(h_.folder());
                QCOMPARE(ClaimDiaryOrHandOver(instance), c.access);
                QCOMPARE(h_.shown.size(), c.texts.size());
                for (qsizetype i = 0; i < c.texts.size(); ++i)
                    QVERIFY2(h_.shown[i].text.contains(c.texts[i]), c.name);
                if (!c.texts.isEmpty() && c.lock == otherComputer) {
                    QCOMPARE(h_.shown[0].text, named);
                    QCOMPARE(h_.shown[0].buttons,
                             (QList<Button>{Button::ReadOnly, Button::TakeOver, Button::End}));
                }
                if (c.access == DiaryAccess::Write) {
                    const std::string ours =
                        QByteArray::number(QCoreApplication::applicationPid()).toStdString() + "\n";
                    QVERIFY2(ReadAll(lockPath).starts_with(ours), c.name);
                } else {
                    QVERIFY2(ReadAll(lockPath) == before, c.name);
                }
            }
            // Only the lock this program took goes with it.
            QCOMPARE(std::filesystem::exists(lockPath), c.access != DiaryAccess::Write);
        }
    }

    void theShownChoiceEndsOnEnterAndEscape() {
        MessageBox::setResponder({});
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            auto* poll = new QTimer(this);
            connect(poll, &QTimer::timeout, this, [poll, key] {
                if (QWidget* box = QApplication::activeModalWidget()) {
                    poll->deleteLater();
                    poll->stop();
                    QTest::keyClick(box, key);
                }
            });
            poll->start(10);
            QCOMPARE(MessageBox::warningReadOnlyTakeOverEnd(nullptr, QStringLiteral("?")),
                     Button::End);
        }
    }
};

TAVO_GUI_TEST_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
