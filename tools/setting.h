// The preferences dialog: diary title, editing font size and colours, the input method
// option and the backups, written to "User.ini". The backup choices take effect at once (the
// `saved` handler hands them to the diary), the rest at the next start.
#pragma once

#include <QColor>
#include <QDialog>
#include <filesystem>
#include <functional>

#include "core/user_settings.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;

class TSet_Form : public QDialog {
    Q_OBJECT

public:
    explicit TSet_Form(const std::filesystem::path& userSettingsFile, QWidget* parent = nullptr);

    std::function<void(const tavo::UserSettings&)> saved;

private:
    void loadSettings();
    void onChooseFontColor();
    void onChooseBackColor();
    void onOk();
    void setSwatch(QFrame* swatch, const QColor& color);
    QColor swatchColor(const QFrame* swatch) const;

    std::filesystem::path userSettingsFile_;
    QLineEdit* diaryTitleEdit_ = nullptr;
    QComboBox* fontSizeCombo_ = nullptr;
    QFrame* fontColorSwatch_ = nullptr;
    QFrame* backColorSwatch_ = nullptr;
    QCheckBox* inputMethodCheck_ = nullptr;
    QLineEdit* backupFolderEdit_ = nullptr;  // another backup folder; empty: "backup"
    QCheckBox* backupsOnCheck_ = nullptr;
    // Each colour dialog starts from the colour last chosen in it during this run.
    QColor lastFontColor_ = Qt::black;
    QColor lastBackColor_ = Qt::black;
};
