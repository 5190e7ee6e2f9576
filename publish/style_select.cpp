#include "style_select.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <algorithm>

#include "common/ui_text.h"
#include "html_set.h"
#include "style.h"
#include "uikit/diary_context.h"
#include "uikit/message_box.h"

bool MoveToTrash(const QString& file, QString* error) {
    // Qt gives up on the home trash when the folder that holds it is missing, and then
    // moves the file into "files" under the working folder, where nobody would look for it.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QFile trashed(file);
    if (!trashed.moveToTrash()) {
        *error = QStringLiteral("「%1」をごみ箱に移動できませんでした: %2")
                     .arg(file, trashed.errorString());
        return false;
    }
    if (QFileInfo(trashed.fileName()).isAbsolute())
        return true;
    // No trash could be set up: put the file back where it was.
    const QString moved = trashed.fileName();
    QFile::remove(QStringLiteral("info/%1.trashinfo").arg(QFileInfo(moved).fileName()));
    QDir().rmdir(QStringLiteral("info"));  // only when empty
    if (!QFile::rename(moved, file)) {
        *error = QStringLiteral("「%1」をごみ箱に移動できず、「%2」に残りました")
                     .arg(file, QFileInfo(moved).absoluteFilePath());
        return false;
    }
    QDir().rmdir(QStringLiteral("files"));
    *error = QStringLiteral("「%1」をごみ箱に移動できませんでした: ごみ箱のフォルダを作れません")
                 .arg(file);
    return false;
}

QStringList SortedStyleNames(const std::filesystem::path& programFolder) {
    QStringList names;
    for (const std::string& name : tavo::ListStyles(programFolder))
        names << QString::fromStdString(name);
    QCollator collator(QLocale(QLocale::Japanese, QLocale::Japan));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
    return names;
}

TStyleSelectForm::TStyleSelectForm(DiaryContext* diary, QWidget* mainWindow, TPagesDlg* pagesDlg)
    : QDialog(mainWindow), diary_(diary), mainWindow_(mainWindow), pagesDlg_(pagesDlg) {
    setObjectName(QStringLiteral("StyleSelectForm"));
    setWindowTitle(QStringLiteral("出力スタイル設定"));
    setModal(false);
    setFixedSize(503, 117);

    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    styleList_ = new QListWidget(this);
    styleList_->setObjectName(QStringLiteral("ListBox1"));
    styleList_->setSelectionMode(QAbstractItemView::SingleSelection);
    QPushButton* button1 = button("Button1", QStringLiteral("新規作成"));
    QPushButton* button2 = button("Button2", QStringLiteral("編集"));
    QPushButton* button3 = button("Button3", QStringLiteral("削除"));
    QPushButton* button4 = button("Button4", QStringLiteral("閉じる"));
    auto* bevel1 = new QFrame(this);
    bevel1->setObjectName(QStringLiteral("Bevel1"));
    bevel1->setFrameShape(QFrame::HLine);
    bevel1->setFrameShadow(QFrame::Sunken);

    auto* actions = new QHBoxLayout;
    actions->addWidget(button1);
    actions->addWidget(button2);
    actions->addWidget(button3);
    auto* close = new QHBoxLayout;
    close->addStretch(1);
    close->addWidget(button4);
    auto* buttons = new QVBoxLayout;
    buttons->addLayout(actions);
    buttons->addWidget(bevel1);
    buttons->addStretch(1);
    buttons->addLayout(close);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(styleList_, 1);
    layout->addLayout(buttons);

    connect(button1, &QPushButton::clicked, this, &TStyleSelectForm::onNew);
    connect(button2, &QPushButton::clicked, this, &TStyleSelectForm::onEdit);
    connect(styleList_, &QListWidget::itemDoubleClicked, this, &TStyleSelectForm::onEdit);
    connect(button3, &QPushButton::clicked, this, &TStyleSelectForm::onDelete);
    connect(button4, &QPushButton::clicked, this, &TStyleSelectForm::onClose);
    placeNearMainWindow();
}

void TStyleSelectForm::placeNearMainWindow() {
    move(mainWindow_->x(), mainWindow_->y() + 150);
}

void TStyleSelectForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window restored from the task bar keeps what it shows.
    if (!event->spontaneous())
        refreshList();
}

void TStyleSelectForm::refreshList() {
    styleList_->clear();
    styleList_->addItems(SortedStyleNames(diary_->paths().programFolder));
    if (styleList_->count() > 0)
        styleList_->setCurrentRow(0);
}

bool TStyleSelectForm::selectedName(QString* name) const {
    const QList<QListWidgetItem*> selected = styleList_->selectedItems();
    if (selected.isEmpty())
        return false;
    *name = selected.first()->text();
    return true;
}

void TStyleSelectForm::onNew() {
    std::string error;
    if (!pagesDlg_->LoadStyle(QString(), false, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    pagesDlg_->exec();
    refreshList();
}

void TStyleSelectForm::onEdit() {
    QString name;
    if (!selectedName(&name))
        return;
    // The user comes back to the main window, not to this list.
    close();
    std::string error;
    if (!pagesDlg_->LoadStyle(name, true, &error)) {
        MessageBox::error(mainWindow_, QString::fromStdString(error));
        return;
    }
    pagesDlg_->exec();
}

void TStyleSelectForm::onDelete() {
    QString name;
    // The desktop has no confirmation of its own here, so the program asks.
    if (selectedName(&name) &&
        MessageBox::warningOkCancel(
            this, QStringLiteral("「%1」というスタイルをごみ箱に移動しますか？").arg(name))) {
        QString error;
        if (!MoveToTrash(
                FromPath(tavo::StylePath(diary_->paths().programFolder, name.toStdString())),
                &error))
            MessageBox::error(this, error);
    }
    refreshList();
}

void TStyleSelectForm::onClose() {
    close();
}
