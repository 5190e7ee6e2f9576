// "FTPアップロード": publishes the page of the HTML output dialog and the images it refers
// to on the user's web server. The whole upload is a chain of the client's events.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "ftp/ftp_trust.h"
#include "ftp/ftp_types.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QWidget;
class DiaryContext;

namespace tavo::ftp {
class TQFtp;
class TQFtpMessenger;
}  // namespace tavo::ftp

// The message box text of a client error ("ERROR: ftpAccessDenied").
QString UploadErrorMessage(tavo::ftp::FtpError error);

// The message box text when the data connection could not be made (ftpDataConnectionFailed):
// what happened, the server's reply or the client's reason (`detail`), and the other
// "接続方式" to try.
QString DataConnectionMessage(const QString& detail, bool passive);

class QSslCertificate;
// The question asked before trusting a certificate that could not be verified: the server,
// the certificate's subject, issuer, validity and SHA-256 fingerprint, and why.
QString TrustQuestion(const QString& server, const QSslCertificate& certificate,
                      const QString& reason);

class TFTPUP_Form : public QDialog {
    Q_OBJECT

public:
    // `pageBytes` gives the page as the HTML output dialog holds it now (code page 932
    // lines with CR LF).
    TFTPUP_Form(DiaryContext* diary, QWidget* mainWindow, std::function<std::string()> pageBytes);
    ~TFTPUP_Form() override;

    tavo::ftp::TQFtp* client() const { return ftp_; }
    int UploadStage() const { return uploadStage_; }

protected:
    void showEvent(QShowEvent* event) override;

public slots:
    void reject() override;

private:
    void onShow();
    void onUpload();
    void onToggleLog();
    void setLogVisible(bool visible);
    void setControlsEnabled(bool enabled);

    void onLoggedIn();
    void onDirectoryChanged();
    void onListingDone();
    void onFileStored();
    void onDirectoryCreated();
    void onFtpInfo(tavo::ftp::FtpInfo info, const QString& addinfo);
    void onFtpError(tavo::ftp::FtpError error, const QString& addinfo);
    void onFileRenamed();
    void onFileDeleted();
    void onFtpQuit();

    void StartUpload();
    bool TlsRefused(tavo::ftp::FtpError error, const QString& addinfo);
    bool ConfirmMissingImages();
    void ReplaceAfterRefusal();
    void RememberRenameWorks();
    void PageInPlace();
    void RemoveNextLeftover();
    void ContinueAfterPage();
    void RemovePartialPage();
    QString partialPageName() const;
    void SaveServerTrust(const tavo::ftp::ServerTrust& trust);
    void log(const QString& text);

    void BuildImageQueue();
    void UploadNextImage();
    void finishUpload();
    bool SaveFtpSettings();
    QString localImagePath(const QString& name) const;

    DiaryContext* diary_;
    QWidget* mainWindow_;
    std::function<std::string()> pageBytes_;
    tavo::ftp::TQFtp* ftp_ = nullptr;
    tavo::ftp::TQFtpMessenger* sessionLog_ = nullptr;
    QLineEdit* hostEdit_ = nullptr;
    QLineEdit* accountEdit_ = nullptr;
    QLineEdit* passwordEdit_ = nullptr;
    QLineEdit* folderEdit_ = nullptr;
    QLineEdit* fileNameEdit_ = nullptr;
    QRadioButton* uploadNewImagesRadio_ = nullptr;
    QRadioButton* overwriteImagesRadio_ = nullptr;
    QRadioButton* noImagesRadio_ = nullptr;
    QLabel* statusText_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QString remoteFileName_;
    bool portFromField_ = false;  // the client's port came from "host:port" in hostEdit_
    QLabel* securityLabel_ = nullptr;
    QComboBox* securityCombo_ = nullptr;    // "暗号化": FTPS or none
    QComboBox* connectionCombo_ = nullptr;  // "接続方式": passive or active
    QPushButton* uploadButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QPushButton* logToggleButton_ = nullptr;
    QWidget* logPanel_ = nullptr;

    int uploadStage_ = 0;
    bool showTransferProgress_ = false;
    bool imageFolderIsNew_ = false;  // this upload made the remote "tavo-img"
    QStringList imageQueue_;

    // The page travels under a temporary name and replaces the old one only once whole.
    enum class PageStep {
        None,
        Storing,
        Renaming,
        DeletingOld,  // the server renames only onto a free name
        RenamingAgain,
        StoringUnderName,  // the server renames nothing
        DroppingPartial,   // the copy, once the page is stored under its name
        RemovingLeftovers,
        Removing
    };
    PageStep pageStep_ = PageStep::None;
    bool pageStepRefused_ = false;  // the server refused the running step; its event follows
    bool oldPageDeleted_ = false;
    QStringList leftovers_;  // temporary copies of earlier uploads cut short

    std::string host_;
    quint16 port_ = 0;
    bool fourLineSettings_ = false;  // FTP.ini of an older version: asks before going unencrypted
    tavo::ftp::FtpTrustStore trust_;
    std::string serverKey_;
    bool restartAfterQuit_ = false;  // the user trusted a certificate or chose clear text
};
