#include "about.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>

#include "core/product.h"
#include "uikit/desktop.h"

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("ProgramIcon"));
    icon->setPixmap(QApplication::windowIcon().pixmap(48, 48));
    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    QLabel* productName = label("ProductName", QString::fromLatin1(tavo::kProductName));
    QFont big = productName->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    productName->setFont(big);
    QLabel* version =
        label("Version", QStringLiteral("Version %1").arg(QLatin1String(tavo::kVersion)));
    QLabel* notice = label("Copyright", QStringLiteral("Tavo の開発者による日記ソフトウェア"));
    QLabel* contact = label("Comments", QStringLiteral("最新版とご意見の受付はホームページへ"));
    QLabel* urlCaption = label("Label1", QStringLiteral("URL :"));
    QLabel* url = label("Label2", QString::fromLatin1(tavo::kHomePageUrl));
    url->setStyleSheet(QStringLiteral("color: red;"));
    url->setCursor(Qt::PointingHandCursor);
    url->installEventFilter(this);
    link_ = url;

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(productName);
    texts->addWidget(version);
    texts->addSpacing(8);
    texts->addWidget(notice);
    texts->addWidget(contact);
    auto* link = new QHBoxLayout;
    link->addWidget(urlCaption);
    link->addWidget(url, 1);
    texts->addLayout(link);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())  // restored from the task bar
        return;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == link_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        GOTOHP();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
