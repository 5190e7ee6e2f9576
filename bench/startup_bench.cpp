// How long the diary takes to open: from the start of main to the main window's first
// frame, on diaries of 20 and 100 years, side by side with the floor: a bare Qt Widgets
// window with two text fields, measured the same way in the same run. An application
// object can be made only once a process, so every run is a fresh process: this program
// started again with --child.
//
//   tavo_startup_bench [runs]    (5 runs unless given)
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProcess>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "app/tavo_windows.h"
#include "generated_diary.h"
#include "main_window/sdimain.h"
#include "uikit/tavo_application.h"

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

constexpr char kBare[] = "bare";

// One run, as main.cpp opens the diary but on the given program folder.
int MeasureOnce(int argc, char* argv[], const QElapsedTimer& clock) {
    PrepareApplicationAttributes();
    QApplication app(argc, argv);
    SetUpApplication(app);
    TavoWindows windows(argv[2]);  // as main.cpp makes them
    FirstFrameWatch watch(*windows.SDIAppForm(), clock);
    app.installEventFilter(&watch);
    windows.start();
    return app.exec();
}

// The floor: the least a Qt Widgets program with a title and a text field shows.
int MeasureBareWindow(int argc, char* argv[], const QElapsedTimer& clock) {
    QApplication app(argc, argv);
    QMainWindow window;
    auto* panel = new QWidget(&window);
    auto* layout = new QVBoxLayout(panel);
    layout->addWidget(new QLineEdit(panel));
    layout->addWidget(new QPlainTextEdit(panel));
    window.setCentralWidget(panel);
    window.resize(438, 540);
    FirstFrameWatch watch(window, clock);
    app.installEventFilter(&watch);
    window.show();
    return app.exec();
}

// The milliseconds one child reports; on failure its error output is passed on.
std::optional<double> RunChild(const QString& what) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {kChildFlag, what});
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
        return std::strcmp(argv[2], kBare) == 0 ? MeasureBareWindow(argc, argv, clock)
                                                : MeasureOnce(argc, argv, clock);

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

    using tavo::bench::GeneratedDiary;
    const GeneratedDiary twentyYears(tavo::Today());
    const GeneratedDiary hundredYears(tavo::Today(), GeneratedDiary::kCenturyDays);
    struct Row {
        const char* name;
        QString child;
        std::vector<double> times;
    };
    Row rows[] = {
        {"bare Qt window", QString::fromLatin1(kBare), {}},
        {"Tavo, 20 years", QString::fromStdString(twentyYears.folder().string()), {}},
        {"Tavo, 100 years", QString::fromStdString(hundredYears.folder().string()), {}},
    };
    std::printf("Start-up to the first frame, medians of %d runs, %s platform\n", runs,
                qgetenv("QT_QPA_PLATFORM").constData());
    // Taken in turns, so that a busy moment of the machine falls on every row alike.
    for (int run = 1; run <= runs; ++run) {
        for (Row& row : rows) {
            const std::optional<double> ms = RunChild(row.child);
            if (!ms) {
                std::fprintf(stderr, "%s, run %d failed\n", row.name, run);
                return 1;
            }
            row.times.push_back(*ms);
        }
    }
    const double floor = Median(rows[0].times);
    for (const Row& row : rows)
        std::printf("  %-16s %7.1f ms  %4.2fx the bare window\n", row.name, Median(row.times),
                    Median(row.times) / floor);
    return 0;
}
