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
    void onManagedToggled();
    void onOk();
    // The address of the image in managed mode (copying it), or empty after an error.
    QString copyIntoImageFolder();

    QString sourceImagePath_;
    QDate entryDate_;
    std::filesystem::path programFolder_;
    QString tag_;
    QCheckBox* managedCheck_ = nullptr;
    QLineEdit* srcEdit_ = nullptr;
    QLineEdit* widthEdit_ = nullptr;
    QLineEdit* heightEdit_ = nullptr;
    QLineEdit* altEdit_ = nullptr;
    QLineEdit* alignEdit_ = nullptr;
    QLineEdit* borderEdit_ = nullptr;
    QLineEdit* hspaceEdit_ = nullptr;
    QLineEdit* vspaceEdit_ = nullptr;
};
