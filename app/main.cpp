#include <QApplication>
#include <cstdio>

#include "app/command_line.h"
#include "app/single_instance.h"
#include "app/tavo_windows.h"
#include "common/program_location.h"
#include "uikit/tavo_application.h"

int main(int argc, char* argv[]) {
    // Answered before the application object, which needs a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const StartOptions options = ParseStartOptions(arguments);
    switch (options.action) {
        case StartOptions::Action::ShowHelp:
        case StartOptions::Action::ShowVersion:
            std::fputs(options.text.toLocal8Bit().constData(), stdout);
            return 0;
        case StartOptions::Action::Refuse:
            std::fprintf(stderr, "%s\n", options.text.toLocal8Bit().constData());
            return kBadCommandLine;
        case StartOptions::Action::Start:
            break;
    }

    PrepareApplicationAttributes();
    QApplication app(argc, argv);
    SetUpApplication(app);

    const std::filesystem::path programFolder =
        options.folder ? *options.folder : ResolveProgramFolder();
    if (options.folder && !ConfirmDiaryFolder(programFolder))
        return 0;
    DiaryInstance instance(programFolder, options.date);
    const DiaryAccess access = ClaimDiaryOrHandOver(instance);
    if (access == DiaryAccess::Stop)
        return 0;
    TavoWindows windows(programFolder, access == DiaryAccess::ReadOnly);
    instance.setRaiseHandler([&windows](std::optional<QDate> date) { windows.bringToFront(date); });
    windows.start(options.date);
    return app.exec();
}
