#include <QApplication>

#include "program_location.h"
#include "tavo_application.h"
#include "tavo_windows.h"

int main(int argc, char* argv[]) {
    PrepareApplicationAttributes();
    QApplication app(argc, argv);
    SetUpApplication(app);

    TavoWindows windows(ResolveProgramFolder());
    windows.start();
    return app.exec();
}
