#include "preview.h"

#include <QRegularExpression>

#include "publish/replace.h"
#include "uikit/desktop.h"

QString BuildPreviewPage(const QString& text, const QString& programFolder) {
    QStringList lines = {
        QStringLiteral("<html>"),
        QStringLiteral("<head>"),
        QStringLiteral("<link rel=\"stylesheet\" type=\"text/css\" href=\"") + programFolder +
            QStringLiteral("view.css\">"),
        QStringLiteral("<base target=\"_blank\">"),
        QStringLiteral("</head>"),
        QStringLiteral("<body>"),
    };
    // Lines end at CR LF, CR or LF; a final line break does not start another line.
    QStringList textLines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    if (!textLines.isEmpty() && textLines.last().isEmpty())
        textLines.removeLast();
    const std::string source = "src=\"";
    const std::string target = source + programFolder.toStdString();
    for (const QString& line : textLines) {
        const std::string rewritten = tavo::ReplaceAll(line.toStdString(), source, target);
        lines << QString::fromStdString(rewritten) + QStringLiteral("<br>");
    }
    lines << QStringLiteral("</body></html>");
    // The page is written line by line, each line ended by a line break.
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool PreviewPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (type == NavigationTypeLinkClicked) {
        UrlOpener::open(url);
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

QWebEnginePage* PreviewPage::createWindow(WebWindowType) {
    // A link with target "_blank" asks for a new window: the address it loads goes to the
    // desktop's browser, and the page that carried it is dropped.
    auto* carrier = new QWebEnginePage(profile(), this);
    connect(carrier, &QWebEnginePage::urlChanged, this, [carrier](const QUrl& url) {
        if (url.isEmpty())
            return;
        UrlOpener::open(url);
        carrier->deleteLater();
    });
    return carrier;
}
