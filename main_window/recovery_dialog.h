// Offered at start when the last run ended before it could save what was typed: each day
// is restored (the recovered texts become its entry) or discarded, as the user chooses.
// A day left unanswered keeps its recovery file and is offered again at the next start.
#pragma once

#include <QDialog>
#include <QSet>
#include <QString>
#include <vector>

#include "core/entry_store.h"
#include "core/recovery.h"

class QTreeWidget;

class TRecoveryDlg : public QDialog {
    Q_OBJECT

public:
    TRecoveryDlg(const tavo::EntryStore& store, std::vector<tavo::PendingRecovery> pending,
                 QWidget* parent = nullptr);

    // The entry files ("20040105.txt") whose recovered texts were saved.
    const QSet<QString>& restored() const { return restored_; }

private:
    void onRestore();
    void onDiscard();
    void answerSelected(bool restore);

    const tavo::EntryStore& store_;
    std::vector<tavo::PendingRecovery> pending_;
    QSet<QString> restored_;
    QTreeWidget* dayList_ = nullptr;
};
