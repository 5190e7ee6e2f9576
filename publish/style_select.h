// The style selection dialog: lists the styles and lets the user create, edit or delete
// one; creating and editing happen in the style settings dialog.
#pragma once

#include <QDialog>
#include <QStringList>
#include <filesystem>

class QListWidget;
class TPagesDlg;
class DiaryContext;

// The style names, sorted as a Japanese user expects, letter case aside.
QStringList SortedStyleNames(const std::filesystem::path& programFolder);

// Moves a file to the desktop's trash, from where the user can restore it; false with the
// message for the user when it could not go there (the file then stays where it was).
bool MoveToTrash(const QString& file, QString* error);

class TStyleSelectForm : public QDialog {
    Q_OBJECT

public:
    TStyleSelectForm(DiaryContext* diary, QWidget* mainWindow, TPagesDlg* pagesDlg);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void placeNearMainWindow();
    void refreshList();
    void onNew();
    void onEdit();
    void onDelete();
    void onClose();
    // The selected style's name; false when nothing is selected.
    bool selectedName(QString* name) const;

    DiaryContext* diary_;
    QWidget* mainWindow_;
    TPagesDlg* pagesDlg_;
    QListWidget* styleList_ = nullptr;
};
