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

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setHeaderLabels(
        {QStringLiteral("日付"), QStringLiteral("題名"), QStringLiteral("復元できる内容")});
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->header()->setStretchLastSection(true);
    for (const tavo::PendingRecovery& day : pending_) {
        auto* item = new QTreeWidgetItem(
            ListView1,
            {DateText(day.fileName), FromCp932(day.recovered.title), Preview(day.recovered)});
        item->setData(0, Qt::UserRole, QString::fromStdString(day.fileName));
    }
    ListView1->resizeColumnToContents(0);
    if (ListView1->topLevelItemCount() > 0)
        ListView1->setCurrentItem(ListView1->topLevelItem(0));

    auto* restore = new QPushButton(QStringLiteral("復元"), this);
    restore->setObjectName(QStringLiteral("Button1"));
    connect(restore, &QPushButton::clicked, this, &TRecoveryDlg::Button1Click);
    auto* discard = new QPushButton(QStringLiteral("破棄"), this);
    discard->setObjectName(QStringLiteral("Button2"));
    connect(discard, &QPushButton::clicked, this, &TRecoveryDlg::Button2Click);
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
    layout->addWidget(ListView1, 1);
    layout->addLayout(buttons);
    resize(560, 300);
}

void TRecoveryDlg::Button1Click() {
    answerSelected(true);
}

void TRecoveryDlg::Button2Click() {
    answerSelected(false);
}

void TRecoveryDlg::answerSelected(bool restore) {
    for (QTreeWidgetItem* item : ListView1->selectedItems()) {
        const std::string fileName = item->data(0, Qt::UserRole).toString().toStdString();
        const auto day = std::find_if(pending_.begin(), pending_.end(),
                                      [&](const auto& p) { return p.fileName == fileName; });
        std::string error;
        const bool done = restore ? tavo::RestoreRecovery(store_, *day, &error)
                                  : tavo::DiscardRecovery(store_, *day, &error);
        if (!done) {
            // The recovery file stays; the day stays in the list.
            MessageBox::error(this, QString::fromStdString(error));
            return;
        }
        if (restore)
            restored_.insert(QString::fromStdString(fileName));
        delete item;
    }
    if (ListView1->topLevelItemCount() == 0)
        accept();
    else if (!ListView1->currentItem() || !ListView1->currentItem()->isSelected())
        ListView1->setCurrentItem(ListView1->topLevelItem(0));
}
