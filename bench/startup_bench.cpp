// How long the diary takes to open: from the start of main to the main window's first
// frame, on a diary of 20 years. An application object can be made only once a process,
// so every run is a fresh process: this program started again with --child.
//
//   tavo_startup_bench [runs]    (5 runs unless given)
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "main_window/sdimain.h"
#include "uikit/tavo_application.h"
#include "app/tavo_windows.h"
#include "generated_diary.h"

namespace {

constexpr char kChildFlag[] = "--child";
constexpr int kChildTimeoutMs = 60000;

// Prints the milliseconds since `clock` started and ends the program once the window's
// first expose event has been handled, which draws its first frame.
class FirstFrameWatch : public QObject {
public:
    FirstFrameWatch(const QWidget& window, const QElapsedTimer& clock)
        : window_(window), clock_(clock) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        const QWindow* handle = window_.windowHandle();
        if (!seen_ && event->type() == QEvent::Expose && watched == handle && handle->isExposed()) {
            seen_ = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    std::printf("%.1f\n", static_cast<double>(clock_.nsecsElapsed()) / 1e6);
                    QCoreApplication::quit();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    const QWidget& window_;
    const QElapsedTimer& clock_;
    bool seen_ = false;
};

// One run, as main.cpp opens the diary but on the given program folder.
int MeasureOnce(int argc, char* argv[], const QElapsedTimer& clock) {
    PrepareApplicationAttributes();
    QApplication app(argc, argv);
    SetUpApplication(app);
    TavoWindows windows(argv[2]);  // every window of the program, as main.cpp makes them
    FirstFrameWatch watch(*windows.SDIAppForm(), clock);
    app.installEventFilter(&watch);
    windows.start();
    return app.exec();
}

// The milliseconds one child reports; on failure its error output is passed on.
std::optional<double> RunChild(const std::filesystem::path& programFolder) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {kChildFlag, QString::fromStdString(programFolder.string())});
    if (child.waitForFinished(kChildTimeoutMs) && child.exitStatus() == QProcess::NormalExit &&
        child.exitCode() == 0) {
        bool ok = false;
        const double ms = child.readAllStandardOutput().trimmed().toDouble(&ok);
        if (ok)
            return ms;
    }
    std::fputs(child.readAllStandardError().constData(), stderr);
    return std::nullopt;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    QElapsedTimer clock;
    clock.start();
    if (argc == 3 && std::strcmp(argv[1], kChildFlag) == 0)
        return MeasureOnce(argc, argv, clock);

    QCoreApplication app(argc, argv);
    bool ok = true;
    const int runs = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt(&ok) : 5;
    if (argc > 2 || !ok || runs < 1) {
        std::fprintf(stderr, "usage: %s [runs]\n", argv[0]);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The web engine refuses to start its sandbox as root.
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    const tavo::bench::GeneratedDiary diary(tavo::Today());
    std::printf("Start-up to the first frame, %d-day diary, %s platform\n",
                tavo::bench::GeneratedDiary::kDays, qgetenv("QT_QPA_PLATFORM").constData());
    std::vector<double> times;
    for (int run = 1; run <= runs; ++run) {
        const std::optional<double> ms = RunChild(diary.folder());
        if (!ms) {
            std::fprintf(stderr, "run %d failed\n", run);
            return 1;
        }
        std::printf("  run %d: %.1f ms\n", run, *ms);
        std::fflush(stdout);
        times.push_back(*ms);
    }
    std::printf("median: %.1f ms\n", Median(times));
    return 0;
}
