#include "tools/help_window.h"

#include <QTextBrowser>
#include <QVBoxLayout>

#include "uikit/desktop.h"

// The manual is compiled into a static library; its resources must be registered by hand.
static void RegisterHelpResources() {
    Q_INIT_RESOURCE(help);
}

THelpForm::THelpForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    RegisterHelpResources();
    setObjectName(QStringLiteral("HelpForm"));
    setWindowTitle(QStringLiteral("Tavo ヘルプ"));
    resize(640, 720);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("HelpBrowser"));
    // Addresses outside the manual open in the default browser, never inside the help.
    browser_->setOpenLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.scheme() == QLatin1String("qrc") || url.isRelative())
            browser_->setSource(url);
        else
            UrlOpener::open(url);
    });
    browser_->setSource(QUrl(QString::fromLatin1(kHelpFile)));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
}
