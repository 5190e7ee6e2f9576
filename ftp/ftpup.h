// "FTPアップロード": publishes the page of the HTML output dialog and the images it refers
// to on the user's web server. The whole upload is a chain of the client's events.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "ftp/ftp_types.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QWidget;
class TSDIAppForm;

namespace tavo::ftp {
class TQFtp;
class TQFtpMessenger;
}  // namespace tavo::ftp

// The message box text of a client error ("ERROR: ftpAccessDenied").
QString UploadErrorMessage(tavo::ftp::FtpError error);

class TFTPUP_Form : public QDialog {
    Q_OBJECT

public:
    // `pageBytes` gives the page as the HTML output dialog holds it now (code page 932
    // lines with CR LF).
    TFTPUP_Form(TSDIAppForm* mainWindow, std::function<std::string()> pageBytes);
    ~TFTPUP_Form() override;

    tavo::ftp::TQFtp* QFtp1() const { return ftp_; }
    int UploadStage() const { return uploadStage_; }

protected:
    void showEvent(QShowEvent* event) override;

public slots:
    void reject() override;

private:
    void FormShow();
    void Button1Click();
    void Button3Click();
    void setLogVisible(bool visible);
    void setControlsEnabled(bool enabled);

    void QFtp1LoggedIn();
    void QFtp1DirectoryChanged();
    void QFtp1ListingDone();
    void QFtp1FileStored();
    void QFtp1DirectoryCreated();
    void QFtp1FtpInfo(tavo::ftp::FtpInfo info, const QString& addinfo);
    void QFtp1FtpError(tavo::ftp::FtpError error, const QString& addinfo);

    void BuildImageQueue();
    void UploadNextImage();
    void finishUpload();
    bool SaveFtpSettings();
    QString localImagePath(const QString& name) const;

    TSDIAppForm* mainWindow_;
    std::function<std::string()> pageBytes_;
    tavo::ftp::TQFtp* ftp_ = nullptr;
    tavo::ftp::TQFtpMessenger* QFtpMessenger1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    QLineEdit* Edit4 = nullptr;
    QLineEdit* Edit5 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    QLabel* StaticText1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QString remoteFileName_;
    bool portFromField_ = false;  // the client's port came from "host:port" in Edit1
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QWidget* Panel1 = nullptr;

    int uploadStage_ = 0;
    bool showTransferProgress_ = false;
    bool imageFolderIsNew_ = false;  // this upload made the remote "tavo-img"
    QStringList imageQueue_;
};
