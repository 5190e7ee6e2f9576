#include "tavo_application.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>

namespace {

// A diary's cover with the kanji for "day".
QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal s = size;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x2f, 0x5d, 0x8a));
        painter.drawRoundedRect(QRectF(s * 0.12, s * 0.06, s * 0.76, s * 0.88), s * 0.08, s * 0.08);
        painter.setBrush(QColor(0xf4, 0xf1, 0xe8));
        painter.drawRect(QRectF(s * 0.22, s * 0.06, s * 0.08, s * 0.88));
        QFont font;
        font.setPixelSize(qMax(8, static_cast<int>(s * 0.5)));
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(QColor(0xf4, 0xf1, 0xe8));
        painter.drawText(QRectF(s * 0.3, 0, s * 0.58, s), Qt::AlignCenter, QStringLiteral("日"));
        icon.addPixmap(pixmap);
    }
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
    app.setWindowIcon(ApplicationIcon());
}
