#include <QApplication>

#include "program_location.h"
#include "sdimain.h"
#include "tavo_application.h"

int main(int argc, char* argv[]) {
    PrepareApplicationAttributes();
    QApplication app(argc, argv);
    SetUpApplication(app);

    TSDIAppForm SDIAppForm(ResolveProgramFolder());
    SDIAppForm.show();
    return app.exec();
}
