// The program as the crash test runs it: the real windows on a diary folder, typing into
// the days of one week and moving between them (so that they save) until it is killed.
// Every public text it types is "<dd>-0;<dd>-1;…" for its day, so that any file it leaves
// shows whether it is whole and which day it belongs to.
#include <QApplication>
#include <QDateEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <random>

#include "app/single_instance.h"
#include "app/tavo_windows.h"
#include "main_window/sdimain.h"
#include "uikit/message_box.h"
#include "uikit/tavo_application.h"

int main(int argc, char* argv[]) {
    if (argc != 3)
        return 2;
    PrepareApplicationAttributes();
    QApplication app(argc, argv);
    SetUpApplication(app);
    MessageBox::setResponder([](const MessageBox::Shown& box) { return box.buttons.first(); });

    const std::filesystem::path folder = argv[1];
    DiaryInstance instance(folder);
    if (instance.claim() != DiaryInstance::Claim::First)
        return 3;
    TavoWindows windows(folder);
    windows.start();
    TSDIAppForm* main = windows.SDIAppForm();
    main->setRecoveryDelays(20, 100);
    auto* memo = main->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));

    std::mt19937 random(static_cast<unsigned>(std::stoul(argv[2])));
    for (;;) {
        const int day = 1 + static_cast<int>(random() % 7);
        main->goToDate(QDate(2004, 1, day));
        // Go on where the day's text ends.
        int next = static_cast<int>(memo->toPlainText().count(QLatin1Char(';')));
        memo->moveCursor(QTextCursor::End);
        for (int burst = 1 + static_cast<int>(random() % 4); burst > 0; --burst) {
            QTest::keyClicks(
                memo, QStringLiteral("%1-%2;").arg(day, 2, 10, QLatin1Char('0')).arg(next++));
            QTest::qWait(static_cast<int>(random() % 150));
        }
    }
}
