#include "tavo_application.h"

#include <QApplication>

void PrepareApplicationAttributes() {
    // The HTML preview's web engine shares its rendering contexts with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void SetUpApplication(QApplication& app) {
    app.setApplicationName(QStringLiteral("tavo"));
    app.setApplicationDisplayName(QStringLiteral("Tavo"));
}
