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
    void setInitialState();
    void onShow();
    // Generates a page; false (the error shown) when it failed.
    bool GeneratePage(std::string* page);
    void onGenerate();
    void onAppend();
    void onSave();
    void onOpenInBrowser();
    void onUpload();
    bool writePage(const std::filesystem::path& file);

    DiaryContext* diary_;
    QWidget* mainWindow_;
    QDialog* uploadDialog_ = nullptr;
    QDateEdit* startDatePicker_ = nullptr;
    QDateEdit* endDatePicker_ = nullptr;
    QCheckBox* oldestFirstCheck_ = nullptr;
    QComboBox* styleCombo_ = nullptr;
    QPushButton* generateButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* browserButton_ = nullptr;
    QPushButton* ftpButton_ = nullptr;
    QPushButton* appendButton_ = nullptr;
    QPlainTextEdit* pageEdit_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
};
