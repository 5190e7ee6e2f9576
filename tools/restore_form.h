// "バックアップから復元": lists the snapshots with their dates and entry counts and puts one
// back. The diary as it is now is backed up first, so that a restore can be undone.
#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>

class QLabel;
class QTreeWidget;

class TRestoreForm : public QDialog {
    Q_OBJECT

public:
    struct Hooks {
        std::function<std::filesystem::path()> backupFolder;
        std::function<bool()> beforeRestore;  // saves the shown day; false stops the restore
        std::function<void()> afterRestore;   // shows the day again from its restored file
    };

    TRestoreForm(const std::filesystem::path& programFolder, Hooks hooks,
                 QWidget* parent = nullptr);

    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onRestore();

    std::filesystem::path programFolder_;
    Hooks hooks_;
    QLabel* folderLabel_ = nullptr;
    QTreeWidget* snapshotList_ = nullptr;
};
