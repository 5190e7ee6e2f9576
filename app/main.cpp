#include <QApplication>

#include "program_location.h"
#include "single_instance.h"
#include "tavo_application.h"
#include "tavo_windows.h"

int main(int argc, char* argv[]) {
    PrepareApplicationAttributes();
    QApplication app(argc, argv);
    SetUpApplication(app);

    const std::filesystem::path programFolder = ResolveProgramFolder();
    DiaryInstance instance(programFolder);
    if (!ClaimDiaryOrHandOver(instance))
        return 0;
    TavoWindows windows(programFolder);
    instance.setRaiseHandler([&windows] { windows.bringToFront(); });
    windows.start();
    return app.exec();
}
