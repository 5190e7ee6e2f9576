// The "HTML view" of the public text: the page is built from the editor's text and shown
// by the web engine, with relative image addresses found in the program folder.
#pragma once

#include <QString>
#include <QWebEnginePage>

// The preview page: a head naming "view.css" of the program folder and opening links in a
// new window, then every line of the text with `src="` pointing into the program folder,
// each followed by "<br>". `programFolder` ends with a separator.
QString BuildPreviewPage(const QString& text, const QString& programFolder);

// Shows links clicked in the preview in the desktop's browser, never inside the preview.
class PreviewPage : public QWebEnginePage {
    Q_OBJECT

public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
};
