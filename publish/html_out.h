// The HTML output dialog: makes pages from a range of days and a style, lets the user edit
// them, saves them, shows them in the browser and hands them to the upload.
#pragma once

#include <QDialog>
#include <filesystem>
#include <string>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class DiaryContext;

class TH_OutForm : public QDialog {
    Q_OBJECT

public:
    TH_OutForm(DiaryContext* diary, QWidget* mainWindow);

    // The upload dialog, once it exists; until then "FTP" says it is not ready.
    void setUploadDialog(QDialog* dialog) { uploadDialog_ = dialog; }

    // The page text as the text box holds it now, as code page 932 lines with CR LF.
    std::string pageBytes() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    // Generates a page; false (the error shown) when it failed.
    bool GeneratePage(std::string* page);
    void Button1Click();
    void Button5Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    bool writePage(const std::filesystem::path& file);

    DiaryContext* diary_;
    QWidget* mainWindow_;
    QDialog* uploadDialog_ = nullptr;
    QDateEdit* DateTimePicker1 = nullptr;
    QDateEdit* DateTimePicker2 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    QPlainTextEdit* RichEdit1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
};
