#include "main_window/recovery_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/ui_text.h"
#include "core/date.h"
#include "uikit/message_box.h"

namespace {

constexpr int kPreviewCharacters = 40;

QString DateText(const std::string& fileName) {
    std::string error;
    const auto date = tavo::ParseEntryName(tavo::EntryName(fileName), &error);
    return date ? QString::fromStdString(tavo::FormatSlashed(*date))
                : QString::fromStdString(fileName);
}

// The first characters of what was typed, on one line.
QString Preview(const tavo::Entry& entry) {
    QString text = MemoFromCp932(entry.publicText.empty() ? entry.privateText : entry.publicText);
    text = text.simplified();
    if (text.size() > kPreviewCharacters)
        text = text.left(kPreviewCharacters) + QStringLiteral("…");
    return text;
}

}  // namespace

TRecoveryDlg::TRecoveryDlg(const tavo::EntryStore& store,
                           std::vector<tavo::PendingRecovery> pending, QWidget* parent)
    : QDialog(parent), store_(store), pending_(std::move(pending)) {
    setObjectName(QStringLiteral("RecoveryDlg"));
    setWindowTitle(QStringLiteral("前回保存されなかった日記があります"));
    auto* label = new QLabel(
        QStringLiteral(
            "前回保存されなかった日記があります。\n"
            "日ごとに、復元する (保存されている日記と置き換える) か破棄するかを選んでください。\n"
            "選ばなかった日は次回の起動でもう一度表示します。"),
        this);
    label->setObjectName(QStringLiteral("Label1"));

    dayList_ = new QTreeWidget(this);
    dayList_->setObjectName(QStringLiteral("ListView1"));
    dayList_->setHeaderLabels(
        {QStringLiteral("日付"), QStringLiteral("題名"), QStringLiteral("復元できる内容")});
    dayList_->setRootIsDecorated(false);
    dayList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    dayList_->header()->setStretchLastSection(true);
    // Rows are known by their place in the list: a day kept in two folders has two rows.
    for (size_t i = 0; i < pending_.size(); ++i) {
        const tavo::PendingRecovery& day = pending_[i];
        auto* item = new QTreeWidgetItem(
            dayList_,
            {DateText(day.fileName), FromCp932(day.recovered.title), Preview(day.recovered)});
        item->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
    }
    dayList_->resizeColumnToContents(0);
    if (dayList_->topLevelItemCount() > 0)
        dayList_->setCurrentItem(dayList_->topLevelItem(0));

    auto* restore = new QPushButton(QStringLiteral("復元"), this);
    restore->setObjectName(QStringLiteral("Button1"));
    connect(restore, &QPushButton::clicked, this, &TRecoveryDlg::onRestore);
    auto* discard = new QPushButton(QStringLiteral("破棄"), this);
    discard->setObjectName(QStringLiteral("Button2"));
    connect(discard, &QPushButton::clicked, this, &TRecoveryDlg::onDiscard);
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("Button3"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(restore);
    buttons->addWidget(discard);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(dayList_, 1);
    layout->addLayout(buttons);
    resize(560, 300);
}

void TRecoveryDlg::onRestore() {
    answerSelected(true);
}

void TRecoveryDlg::onDiscard() {
    answerSelected(false);
}

void TRecoveryDlg::answerSelected(bool restore) {
    for (QTreeWidgetItem* item : dayList_->selectedItems()) {
        const tavo::PendingRecovery& day = pending_[item->data(0, Qt::UserRole).toULongLong()];
        std::string error;
        const bool done = restore ? tavo::RestoreRecovery(store_, day, &error)
                                  : tavo::DiscardRecovery(store_, day, &error);
        if (!done) {
            // The recovery file stays; the day stays in the list.
            MessageBox::error(this, QString::fromStdString(error));
            return;
        }
        if (restore)
            restored_.insert(QString::fromStdString(day.fileName));
        delete item;
    }
    if (dayList_->topLevelItemCount() == 0)
        accept();
    else if (!dayList_->currentItem() || !dayList_->currentItem()->isSelected())
        dayList_->setCurrentItem(dayList_->topLevelItem(0));
}
