#include "uikit/tavo_application.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

namespace {

// The pictures the package puts into the icon theme, built into the program too.
QIcon BuiltInIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/" TAVO_APP_ID ".png").arg(size),
                     QSize(size, size));
    return icon;
}

}  // namespace

void PrepareApplicationAttributes() {
    // The HTML preview's web engine shares its rendering contexts with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void SetUpApplication(QApplication& app) {
    // No display name: desktops would append it to the caption of every dialog and
    // message box. Captions are set whole by each window.
    app.setApplicationName(QStringLiteral("tavo"));
    // Wayland desktops find the desktop entry, and with it the name and icon, by this.
    QGuiApplication::setDesktopFileName(QStringLiteral(TAVO_APP_ID));
    // The theme's icon when the desktop has one of that name, so both always agree. Looking
    // it up reads the icon theme's folders and loading the pictures takes a few
    // milliseconds, which the first window does not wait for.
    QTimer::singleShot(0, &app, [] {
        const QString name = QStringLiteral(TAVO_APP_ID);
        QApplication::setWindowIcon(QIcon::hasThemeIcon(name) ? QIcon::fromTheme(name)
                                                              : BuiltInIcon());
    });
}
