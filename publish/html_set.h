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
    void HTML_Set_Create();
    void OKBtnClick();
    void CancelBtnClick();
    void CheckBox1Click();
    // What the dialog holds, as the style file will store it.
    tavo::Style editedStyle(bool* usedCharacterReferences) const;

    DiaryContext* diary_;
    QWidget* mainWindow_;
    QLineEdit* Edit7 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QPlainTextEdit* Memo3 = nullptr;
    QPlainTextEdit* Memo4 = nullptr;
    QPlainTextEdit* Memo5 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    QComboBox* ComboBox4 = nullptr;
    QComboBox* ComboBox5 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLineEdit* Edit6 = nullptr;
};
