// The style settings dialog: edits one style, its name, date formats, affixes, blocks and
// flags, and writes it to the style's file on OK.
#pragma once

#include <QDialog>
#include <QString>
#include <filesystem>
#include <string>

#include "style.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class DiaryContext;

class TPagesDlg : public QDialog {
    Q_OBJECT

public:
    TPagesDlg(DiaryContext* diary, QWidget* mainWindow);

    // Prepares the dialog for a new style (`load` false) or fills it from the style's file.
    // The six affixes are kept from the last use when the dialog is prepared for a new
    // style. False, with the dialog unchanged, when the file cannot be read or a format
    // line is not a number.
    bool LoadStyle(const QString& styleName, bool load, std::string* error);
    // Writes what the dialog holds to `path`, replacing any file there. Characters code
    // page 932 cannot hold are kept as numeric character references, which HTML shows as
    // the characters.
    bool SaveStyle(const std::filesystem::path& path, std::string* error,
                   bool* usedCharacterReferences = nullptr);

private:
    void setInitialState();
    void onOk();
    void onCancel();
    void onUseTitleToggled();
    // What the dialog holds, as the style file will store it.
    tavo::Style editedStyle(bool* usedCharacterReferences) const;

    DiaryContext* diary_;
    QWidget* mainWindow_;
    QLineEdit* styleNameEdit_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QPlainTextEdit* headMemo_ = nullptr;
    QPlainTextEdit* betweenMemo_ = nullptr;
    QPlainTextEdit* footMemo_ = nullptr;
    QPlainTextEdit* aboveBodyMemo_ = nullptr;
    QPlainTextEdit* belowBodyMemo_ = nullptr;
    QCheckBox* useTitleCheck_ = nullptr;
    QCheckBox* useBodyCheck_ = nullptr;
    QComboBox* yearStyleCombo_ = nullptr;
    QComboBox* monthStyleCombo_ = nullptr;
    QComboBox* dayStyleCombo_ = nullptr;
    QComboBox* weekdayStyleCombo_ = nullptr;
    QGroupBox* dateTitleGroup_ = nullptr;
    QLineEdit* beforeYearEdit_ = nullptr;
    QLineEdit* afterYearEdit_ = nullptr;
    QLineEdit* afterMonthEdit_ = nullptr;
    QLineEdit* afterDayEdit_ = nullptr;
    QLineEdit* afterWeekdayEdit_ = nullptr;
    QLineEdit* afterTitleEdit_ = nullptr;
};
