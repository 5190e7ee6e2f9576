// "img 挿入": the image dialog shown when an image is dropped onto the public text. In its
// managed mode the image is copied into "tavo-img" under the entry's date and a running
// number; the dialog builds the image tag to insert.
#pragma once

#include <QDate>
#include <QDialog>
#include <filesystem>

#include "image_files.h"

class QCheckBox;
class QLineEdit;

class TImgForm : public QDialog {
    Q_OBJECT

public:
    explicit TImgForm(QWidget* parent = nullptr);

    // Fills the fields for the dropped file and shows the dialog modally. True when the
    // user pressed OK: tag() then holds the tag to insert before the selected text.
    bool showForDrop(const QString& sourceImagePath, const tavo::ImageSize& size,
                     const QDate& entryDate, const std::filesystem::path& programFolder);
    QString tag() const { return tag_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CheckBox1Click();
    void Button1Click();
    // The address of the image in managed mode (copying it), or empty after an error.
    QString copyIntoImageFolder();

    QString SourceImagePath;
    QDate entryDate_;
    std::filesystem::path programFolder_;
    QString tag_;
    QCheckBox* CheckBox1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QLineEdit* Edit6 = nullptr;
    QLineEdit* Edit7 = nullptr;
    QLineEdit* Edit8 = nullptr;
};
