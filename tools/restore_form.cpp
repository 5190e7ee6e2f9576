#include "restore_form.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/ui_text.h"
#include "tools/backup.h"
#include "uikit/message_box.h"

namespace {

// "20040105-093000" as "2004/01/05 09:30:00".
QString StampText(const std::string& stamp) {
    const QDateTime time =
        QDateTime::fromString(QString::fromStdString(stamp), QStringLiteral("yyyyMMdd-HHmmss"));
    return time.isValid() ? time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                          : QStringLiteral("—");
}

}  // namespace

TRestoreForm::TRestoreForm(const std::filesystem::path& programFolder, Hooks hooks, QWidget* parent)
    : QDialog(parent), programFolder_(programFolder), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("RestoreForm"));
    setWindowTitle(QStringLiteral("バックアップから復元"));
    // The diary's files change underneath the editor: nothing else may run meanwhile.
    setWindowModality(Qt::ApplicationModal);

    folderLabel_ = new QLabel(this);
    folderLabel_->setObjectName(QStringLiteral("Label1"));
    folderLabel_->setWordWrap(true);
    snapshotList_ = new QTreeWidget(this);
    snapshotList_->setObjectName(QStringLiteral("ListView1"));
    snapshotList_->setHeaderLabels(
        {QStringLiteral("日時"), QStringLiteral("日記の数"), QStringLiteral("ファイル")});
    snapshotList_->setRootIsDecorated(false);
    snapshotList_->header()->setStretchLastSection(true);
    auto* restore = new QPushButton(QStringLiteral("復元"), this);
    restore->setObjectName(QStringLiteral("Button1"));
    connect(restore, &QPushButton::clicked, this, &TRestoreForm::onRestore);
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("Button2"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(restore);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folderLabel_);
    layout->addWidget(snapshotList_, 1);
    layout->addLayout(buttons);
    resize(520, 320);
}

void TRestoreForm::showEvent(QShowEvent* event) {
    refresh();
    QDialog::showEvent(event);
}

void TRestoreForm::refresh() {
    const std::filesystem::path folder = hooks_.backupFolder();
    folderLabel_->setText(
        QStringLiteral("バックアップの場所: %1\n復元すると、今の日記をバックアップしてから、"
                       "選んだバックアップの内容に置き換えます。")
            .arg(FromPath(folder)));
    snapshotList_->clear();
    for (const tavo::SnapshotInfo& snapshot : tavo::ListSnapshots(folder)) {
        const QString count = snapshot.readable ? QString::number(snapshot.entryCount)
                                                : QStringLiteral("読めません: ") +
                                                      QString::fromStdString(snapshot.problem);
        auto* item = new QTreeWidgetItem(
            snapshotList_, {StampText(snapshot.stamp), count, FromPath(snapshot.file.filename())});
        item->setData(0, Qt::UserRole, FromPath(snapshot.file));
        item->setData(1, Qt::UserRole, snapshot.readable);
    }
    for (int column = 0; column < 2; ++column)
        snapshotList_->resizeColumnToContents(column);
    if (snapshotList_->topLevelItemCount() > 0)
        snapshotList_->setCurrentItem(snapshotList_->topLevelItem(0));
}

void TRestoreForm::onRestore() {
    QTreeWidgetItem* item = snapshotList_->currentItem();
    if (!item)
        return;
    if (!item->data(1, Qt::UserRole).toBool()) {
        MessageBox::warningOk(this,
                              QStringLiteral("このバックアップは読めないため、復元できません。"));
        return;
    }
    if (!MessageBox::warningOkCancel(this,
                                     QStringLiteral("%1 のバックアップから日記を復元しますか？\n"
                                                    "今の日記は、その前にバックアップします。")
                                         .arg(item->text(0))))
        return;
    if (!hooks_.beforeRestore())
        return;
    const std::filesystem::path snapshot = ToPath(item->data(0, Qt::UserRole).toString());
    const std::filesystem::path folder = hooks_.backupFolder();
    // Never over another snapshot (the one about to be restored may be of this second).
    const std::string stamp = tavo::NewSnapshotStamp(folder);
    std::string error;
    if (!tavo::CreateSnapshot(programFolder_, folder, stamp, nullptr, &error)) {
        MessageBox::error(this,
                          QStringLiteral("今の日記をバックアップできないため、復元しません。\n") +
                              QString::fromStdString(error));
        return;
    }
    const bool restored = tavo::RestoreSnapshot(programFolder_, snapshot, &error);
    hooks_.afterRestore();
    refresh();
    if (!restored) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    MessageBox::message(
        this, QStringLiteral("復元しました。元に戻すには、%1 のバックアップを復元してください。")
                  .arg(StampText(stamp)));
}
