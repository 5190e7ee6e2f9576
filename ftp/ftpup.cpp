#include "ftp/ftpup.h"

#include <QComboBox>
#include <QDate>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSslCertificate>
#include <QVBoxLayout>

#include "common/ui_text.h"
#include "core/date.h"
#include "core/text_file.h"
#include "ftp/ftp_protocol.h"
#include "ftp/ftp_settings.h"
#include "ftp/image_queue.h"
#include "ftp/page_replacement.h"
#include "ftp/qftp.h"
#include "ftp/qftp_messenger.h"
#include "uikit/diary_context.h"
#include "uikit/message_box.h"

using tavo::ftp::FtpError;
using tavo::ftp::FtpInfo;
using tavo::ftp::FtpSecurity;
using tavo::ftp::TQFtp;

namespace {

constexpr int kLogPanelWidth = 265;
constexpr int kLogToggleWidth = 285;
const QString kImageFolder = QStringLiteral("tavo-img");
const QString kPartialSuffix =
    QString::fromLatin1(tavo::ftp::kPartialPageSuffix.data(), tavo::ftp::kPartialPageSuffix.size());

QString CertificateName(const QStringList& parts) {
    return parts.isEmpty() ? QStringLiteral("(なし)") : parts.join(QStringLiteral(", "));
}

}  // namespace

QString TrustQuestion(const QString& server, const QSslCertificate& certificate,
                      const QString& reason) {
    const QString date = QStringLiteral("yyyy/MM/dd");
    return QStringLiteral(
               "サーバ「%1」の証明書を確認できませんでした。\n%2\n\n"
               "発行先: %3\n発行者: %4\n有効期間: %5 ～ %6\nSHA-256: %7\n\n"
               "この証明書を、このサーバの証明書として信頼しますか？\n"
               "信頼すると、このサーバではこの証明書だけを受け入れます。")
        .arg(server, reason,
             CertificateName(certificate.subjectInfo(QSslCertificate::CommonName) +
                             certificate.subjectInfo(QSslCertificate::Organization)),
             CertificateName(certificate.issuerInfo(QSslCertificate::CommonName) +
                             certificate.issuerInfo(QSslCertificate::Organization)),
             certificate.effectiveDate().toLocalTime().toString(date),
             certificate.expiryDate().toLocalTime().toString(date),
             tavo::ftp::FingerprintText(tavo::ftp::CertificateSha256(certificate)));
}

QString UploadErrorMessage(FtpError error) {
    // Two texts have always been cut short; users know them that way.
    if (error == tavo::ftp::ftpConnReset)
        return QStringLiteral("ERROR: ftpConnRese");
    if (error == tavo::ftp::ftpServerDown)
        return QStringLiteral("ERROR: ftpServerDow");
    return QStringLiteral("ERROR: ") + QString::fromLatin1(tavo::ftp::FtpErrorName(error));
}

QString DataConnectionMessage(const QString& detail, bool passive) {
    const QString advice =
        passive ? QStringLiteral(
                      "「接続方式」で「アクティブ」を選んで、もう一度アップロードして"
                      "みてください。")
                : QStringLiteral(
                      "ルータの内側のパソコンからは、アクティブ方式ではサーバが接続"
                      "できないことがあります。「接続方式」で「パッシブ（推奨）」を"
                      "選んで、もう一度アップロードしてみてください。");
    return QStringLiteral(
               "ファイルを送るための接続（データ接続）を確立できませんでした。\n\n"
               "サーバの応答・理由: %1\n\n%2")
        .arg(detail.trimmed().isEmpty() ? QStringLiteral("(なし)") : detail.trimmed(), advice);
}

TFTPUP_Form::TFTPUP_Form(DiaryContext* diary, QWidget* mainWindow,
                         std::function<std::string()> pageBytes)
    : QDialog(mainWindow),
      diary_(diary),
      mainWindow_(mainWindow),
      pageBytes_(std::move(pageBytes)) {
    setObjectName(QStringLiteral("FTPUP_Form"));
    setWindowTitle(QStringLiteral("FTPアップロード"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);

    auto field = [this](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setAttribute(Qt::WA_InputMethodEnabled, false);  // addresses and names
        return edit;
    };
    auto label = [this](const char* name, const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setBuddy(buddy);
        return l;
    };
    hostEdit_ = field("Edit1");
    accountEdit_ = field("Edit2");
    passwordEdit_ = field("Edit3");
    passwordEdit_->setEchoMode(QLineEdit::Password);
    passwordEdit_->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));  // "*"
    folderEdit_ = field("Edit4");
    fileNameEdit_ = field("Edit5");

    securityCombo_ = new QComboBox(this);
    securityCombo_->setObjectName(QStringLiteral("ComboBox1"));
    securityCombo_->addItem(QStringLiteral("FTPS（TLSで暗号化）"));
    securityCombo_->addItem(QStringLiteral("暗号化しない"));
    connectionCombo_ = new QComboBox(this);
    connectionCombo_->setObjectName(QStringLiteral("ComboBox2"));
    connectionCombo_->addItem(QStringLiteral("パッシブ（推奨）"));
    connectionCombo_->addItem(QStringLiteral("アクティブ"));

    auto* group = new QGroupBox(QStringLiteral("画像の取り扱い"), this);
    group->setObjectName(QStringLiteral("RadioGroup1"));
    uploadNewImagesRadio_ =
        new QRadioButton(QStringLiteral("自動アップロード　（同名ファイルはアップしない）"), group);
    uploadNewImagesRadio_->setObjectName(QStringLiteral("RadioButton1"));
    uploadNewImagesRadio_->setChecked(true);
    overwriteImagesRadio_ =
        new QRadioButton(QStringLiteral("自動アップロード　（同名ファイルは上書きする）"), group);
    overwriteImagesRadio_->setObjectName(QStringLiteral("RadioButton2"));
    noImagesRadio_ = new QRadioButton(QStringLiteral("画像ファイルはアップロードしない"), group);
    noImagesRadio_->setObjectName(QStringLiteral("RadioButton3"));
    auto* groupLayout = new QVBoxLayout(group);
    for (QRadioButton* b : {uploadNewImagesRadio_, overwriteImagesRadio_, noImagesRadio_})
        groupLayout->addWidget(b);
    auto* note = new QLabel(
        QStringLiteral(
            "*) 自動アップロードを選択した場合、リモートホストに「tavo-img」ディレクトリが"
            "自動的に生成され、画像ファイルがアップロードされます。"),
        this);
    note->setObjectName(QStringLiteral("Label6"));
    note->setWordWrap(true);
    QFont small = note->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    note->setFont(small);

    statusText_ = new QLabel(QStringLiteral("アップロード 状況"), this);
    statusText_->setObjectName(QStringLiteral("StaticText1"));
    statusText_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(false);

    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    uploadButton_ = button("Button1", QStringLiteral("アップロード"));
    closeButton_ = button("Button2", QStringLiteral("閉じる"));
    logToggleButton_ = button("Button3", QStringLiteral("<"));
    logToggleButton_->setFixedWidth(28);
    connect(uploadButton_, &QPushButton::clicked, this, &TFTPUP_Form::onUpload);
    connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
    connect(logToggleButton_, &QPushButton::clicked, this, &TFTPUP_Form::onToggleLog);

    logPanel_ = new QWidget(this);
    logPanel_->setObjectName(QStringLiteral("Panel1"));
    logPanel_->setFixedWidth(kLogPanelWidth);
    sessionLog_ = new tavo::ftp::TQFtpMessenger(logPanel_);
    sessionLog_->setObjectName(QStringLiteral("QFtpMessenger1"));
    auto* panelLayout = new QVBoxLayout(logPanel_);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addWidget(sessionLog_);

    auto* grid = new QGridLayout;
    grid->addWidget(label("Label5", QStringLiteral("FTPサーバ"), hostEdit_), 0, 0);
    grid->addWidget(hostEdit_, 0, 1);
    grid->addWidget(label("Label1", QStringLiteral("FTPアカウント"), accountEdit_), 1, 0);
    grid->addWidget(accountEdit_, 1, 1);
    grid->addWidget(label("Label2", QStringLiteral("FTPパスワード"), passwordEdit_), 2, 0);
    grid->addWidget(passwordEdit_, 2, 1);
    grid->addWidget(label("Label3", QStringLiteral("フォルダパス"), folderEdit_), 3, 0);
    grid->addWidget(folderEdit_, 3, 1);
    grid->addWidget(label("Label4", QStringLiteral("ファイル名"), fileNameEdit_), 4, 0);
    grid->addWidget(fileNameEdit_, 4, 1);
    securityLabel_ = label("Label7", QStringLiteral("暗号化"), securityCombo_);
    grid->addWidget(securityLabel_, 5, 0);
    grid->addWidget(securityCombo_, 5, 1);
    grid->addWidget(label("Label8", QStringLiteral("接続方式"), connectionCombo_), 6, 0);
    grid->addWidget(connectionCombo_, 6, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(uploadButton_);
    buttons->addWidget(closeButton_);
    buttons->addStretch(1);
    buttons->addWidget(logToggleButton_);
    auto* left = new QVBoxLayout;
    left->addLayout(grid);
    left->addWidget(group);
    left->addWidget(note);
    left->addWidget(statusText_);
    left->addWidget(progressBar_);
    left->addLayout(buttons);
    auto* leftWidget = new QWidget(this);
    leftWidget->setLayout(left);
    leftWidget->setFixedWidth(330);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(leftWidget);
    layout->addWidget(logPanel_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(fileNameEdit_, hostEdit_);
    setTabOrder(hostEdit_, accountEdit_);
    setTabOrder(accountEdit_, passwordEdit_);
    setTabOrder(passwordEdit_, folderEdit_);
    setTabOrder(folderEdit_, securityCombo_);
    setTabOrder(securityCombo_, connectionCombo_);

    // The client as the upload has always used it: three retries fifteen seconds apart, a
    // keep-alive every thirty seconds, listings cached for a week. Passive or active follows
    // "接続方式" at each upload.
    ftp_ = new TQFtp(this);
    ftp_->SetAsynchronous(true);
    ftp_->SetMultiThreaded(false);
    ftp_->SetNoopInterval(30);
    ftp_->SetRetries(3);
    ftp_->SetRetryInterval(15);
    ftp_->SetServerType(tavo::ftp::ftpstAutoDetect);
    ftp_->SetCache(true);
    ftp_->SetCacheExpire(7);
    ftp_->SetTransferMode(tavo::ftp::BinaryTransfer);
    ftp_->SetProxyType(tavo::ftp::proxyNone);
    ftp_->SetProxyPort(21);
    ftp_->SetPort(21);
    ftp_->SetTimeOut(5000);
    ftp_->OnLoggedIn = [this](TQFtp*) { onLoggedIn(); };
    ftp_->OnDirectoryChanged = [this](TQFtp*) { onDirectoryChanged(); };
    ftp_->OnDirectoryCreated = [this](TQFtp*) { onDirectoryCreated(); };
    ftp_->OnFileStored = [this](TQFtp*) { onFileStored(); };
    ftp_->OnListingDone = [this](TQFtp*) { onListingDone(); };
    ftp_->OnFileRenamed = [this](TQFtp*) { onFileRenamed(); };
    ftp_->OnFileDeleted = [this](TQFtp*) { onFileDeleted(); };
    ftp_->OnFtpQuit = [this](TQFtp*) { onFtpQuit(); };
    ftp_->OnFtpInfo = [this](TQFtp*, FtpInfo info, const QString& addinfo) {
        onFtpInfo(info, addinfo);
    };
    ftp_->OnFtpError = [this](TQFtp*, FtpError error, const QString& addinfo) {
        onFtpError(error, addinfo);
    };
    sessionLog_->SetStyle(tavo::ftp::msgClassic);
    sessionLog_->SetClient(ftp_);
}

TFTPUP_Form::~TFTPUP_Form() {
    sessionLog_->SetClient(nullptr);
}

void TFTPUP_Form::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window restored from the task bar keeps what it shows.
    if (!event->spontaneous())
        onShow();
}

void TFTPUP_Form::onShow() {
    move(mainWindow_->x() + 20, mainWindow_->y() + 220);
    tavo::ftp::FtpSettings settings;
    std::string error;
    if (!tavo::ftp::ReadFtpSettings(diary_->paths().ftpSettingsFile, &settings, &error))
        MessageBox::error(this, QString::fromStdString(error));
    hostEdit_->setText(FromCp932(settings.server));
    accountEdit_->setText(FromCp932(settings.account));
    passwordEdit_->setText(FromCp932(settings.password));
    folderEdit_->setText(FromCp932(settings.folder));
    securityCombo_->setCurrentIndex(settings.security == FtpSecurity::Plain ? 1 : 0);
    connectionCombo_->setCurrentIndex(settings.passive ? 0 : 1);
    fourLineSettings_ = settings.fourLineFile;
    restartAfterQuit_ = false;
    fileNameEdit_->setText(ToQDate(tavo::Today()).toString(QStringLiteral("yyyyMM")) +
                           QStringLiteral(".html"));
    setControlsEnabled(true);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    statusText_->setText(QStringLiteral("アップロード状況"));
    sessionLog_->Clear();
    setLogVisible(false);
    // The month is what changes from one upload to the next: typing replaces it.
    fileNameEdit_->setFocus();
    fileNameEdit_->setSelection(0, 6);
}

void TFTPUP_Form::setLogVisible(bool visible) {
    logPanel_->setVisible(visible);
    logToggleButton_->setText(visible ? QStringLiteral("<") : QStringLiteral(">"));
    adjustSize();
}

void TFTPUP_Form::onToggleLog() {
    setLogVisible(!logPanel_->isVisible());
}

void TFTPUP_Form::setControlsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             uploadButton_, closeButton_, uploadNewImagesRadio_, overwriteImagesRadio_,
             noImagesRadio_, securityCombo_, connectionCombo_})
        w->setEnabled(enabled);
}

QString TFTPUP_Form::localImagePath(const QString& name) const {
    return FromPath(diary_->paths().programFolder / kImageFolder.toStdString()) + QLatin1Char('/') +
           name;
}

void TFTPUP_Form::onUpload() {
    for (QLineEdit* edit : {hostEdit_, accountEdit_, passwordEdit_, folderEdit_, fileNameEdit_}) {
        if (edit->text().isEmpty()) {
            MessageBox::message(this, QStringLiteral("FTPの設定に不備があります"));
            return;
        }
    }
    // The name goes into a command and names one file in the remote folder.
    static const QString kRefused = QStringLiteral("/\\\r\n");
    for (const QChar c : fileNameEdit_->text()) {
        if (kRefused.contains(c)) {
            MessageBox::message(this, QStringLiteral("ファイル名に / \\ や改行は使えません"));
            return;
        }
    }
    // The fields go to the server and to FTP.ini as code page 932: a character it cannot
    // hold would reach both as a different text.
    for (QLineEdit* edit : {hostEdit_, accountEdit_, passwordEdit_, folderEdit_, fileNameEdit_}) {
        if (ToCp932(edit->text()).usedCharacterReferences) {
            MessageBox::message(
                this, QStringLiteral("FTPの設定に Shift_JIS (CP932) で表せない文字があります"));
            return;
        }
    }
    // "host:port" and "[IPv6]:port" for servers on another port; without one, the client's.
    const auto address = tavo::ftp::ParseServerAddress(hostEdit_->text().toStdString());
    if (!address) {
        MessageBox::message(this, QStringLiteral("FTPの設定に不備があります"));
        return;
    }
    if (!ConfirmMissingImages())
        return;
    std::string error;
    if (!tavo::WriteFileAtomically(diary_->paths().programFolder / "temp.html", pageBytes_(),
                                   &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    host_ = address->host;
    port_ = address->port;
    // The fields stay editable during the upload; the page goes up under the name checked here.
    remoteFileName_ = fileNameEdit_->text();
    statusText_->setText(QStringLiteral("接続中"));
    StartUpload();
}

// Images the page shows that are not in the local image folder would be missing online.
bool TFTPUP_Form::ConfirmMissingImages() {
    if (!uploadNewImagesRadio_->isChecked() && !overwriteImagesRadio_->isChecked())
        return true;
    QStringList missing;
    for (const QString& name : tavo::ftp::ReferencedImages(MemoFromCp932(pageBytes_()))) {
        if (!QFileInfo(localImagePath(name)).isFile())
            missing << QStringLiteral("  ") + name;
    }
    if (missing.isEmpty())
        return true;
    return MessageBox::questionYesCancel(
        this, QStringLiteral("次の画像が見つかりません。\n\n%1\n\nアップロードを続けますか？")
                  .arg(missing.join(QLatin1Char('\n'))));
}

// Connects and logs in; the rest of the upload follows from the client's events. Runs again
// when the user has trusted the server's certificate or agreed to go without encryption.
void TFTPUP_Form::StartUpload() {
    setControlsEnabled(false);
    uploadStage_ = 0;
    showTransferProgress_ = false;
    imageFolderIsNew_ = false;
    pageStep_ = PageStep::None;
    pageStepRefused_ = false;
    oldPageDeleted_ = false;
    leftovers_.clear();
    restartAfterQuit_ = false;
    ftp_->SetServer(QString::fromStdString(host_));
    if (port_ != 0) {
        ftp_->SetPort(port_);
        portFromField_ = true;
    } else if (portFromField_) {
        ftp_->SetPort(21);
        portFromField_ = false;
    }
    const bool tls = securityCombo_->currentIndex() == 0;
    ftp_->SetSecurity(tls ? FtpSecurity::Tls : FtpSecurity::Plain);
    ftp_->SetPassive(connectionCombo_->currentIndex() == 0);
    std::string error;
    if (!trust_.Read(diary_->paths().ftpTrustFile, &error))
        MessageBox::error(this, QString::fromStdString(error));
    serverKey_ = tavo::ftp::FtpTrustStore::Key(host_, ftp_->Port());
    ftp_->SetTrustedCertificate(QByteArray::fromHex(
        QByteArray::fromStdString(trust_.Get(serverKey_).certificateSha256).replace(':', "")));
    ftp_->SetUsername(accountEdit_->text());
    ftp_->SetPassword(passwordEdit_->text());
    ftp_->Login();
}

void TFTPUP_Form::onLoggedIn() {
    statusText_->setText(QStringLiteral("Login"));
    ftp_->ChangeDirectory(folderEdit_->text());
}

void TFTPUP_Form::onDirectoryChanged() {
    showTransferProgress_ = false;
    ++uploadStage_;
    // An image folder made just now is empty: listing it would only cost round trips.
    if (uploadStage_ == 2 && imageFolderIsNew_) {
        onListingDone();
        return;
    }
    // The listing always comes from the server; the finished one still goes to the cache.
    ftp_->SetCache(false);
    ftp_->Refresh();
    ftp_->SetCache(true);
}

void TFTPUP_Form::onListingDone() {
    showTransferProgress_ = true;
    switch (uploadStage_) {
        case 1:
            statusText_->setText(remoteFileName_);
            ftp_->SetTransferMode(tavo::ftp::AsciiTransfer);
            pageStep_ = PageStep::Storing;
            ftp_->UploadFile(FromPath(diary_->paths().programFolder / "temp.html"),
                             partialPageName());
            break;
        case 2:
            BuildImageQueue();
            UploadNextImage();
            break;
        default:
            ftp_->Quit();
            statusText_->setText(QStringLiteral("異常終了"));
            break;
    }
}

QString TFTPUP_Form::partialPageName() const {
    return remoteFileName_ + kPartialSuffix;
}

void TFTPUP_Form::onFileStored() {
    if (pageStep_ == PageStep::Storing) {
        if (uploadStage_ != 1)
            return RemovePartialPage();
        // Whole on the server: now it may take the page's place.
        pageStep_ = PageStep::Renaming;
        ftp_->RenameFile(partialPageName(), remoteFileName_);
    } else if (pageStep_ == PageStep::StoringUnderName) {
        // Refused: the copy stays, as the error box says.
        if (uploadStage_ != 1) {
            pageStep_ = PageStep::None;
            return;
        }
        log(QStringLiteral("「%1」を直接保存しました").arg(remoteFileName_));
        pageStep_ = PageStep::DroppingPartial;
        ftp_->DeleteFile(partialPageName());
    } else if (uploadStage_ == 2) {
        UploadNextImage();
    }
}

void TFTPUP_Form::onFileRenamed() {
    if (pageStep_ != PageStep::Renaming && pageStep_ != PageStep::RenamingAgain)
        return;
    if (pageStepRefused_)
        return ReplaceAfterRefusal();
    if (uploadStage_ != 1)
        return RemovePartialPage();
    if (pageStep_ == PageStep::RenamingAgain)
        log(QStringLiteral("古いページを削除して「%1」を置き換えました").arg(remoteFileName_));
    RememberRenameWorks();
    PageInPlace();
}

void TFTPUP_Form::onFileDeleted() {
    switch (pageStep_) {
        case PageStep::DeletingOld:
            if (pageStepRefused_)
                return ReplaceAfterRefusal();
            if (uploadStage_ != 1)
                return RemovePartialPage();
            oldPageDeleted_ = true;
            pageStep_ = PageStep::RenamingAgain;
            ftp_->RenameFile(partialPageName(), remoteFileName_);
            break;
        case PageStep::DroppingPartial:
            if (uploadStage_ == 1)
                PageInPlace();
            else
                pageStep_ = PageStep::None;
            break;
        case PageStep::RemovingLeftovers:
            if (uploadStage_ == 1)
                RemoveNextLeftover();
            else
                pageStep_ = PageStep::None;
            break;
        case PageStep::Removing:
            pageStep_ = PageStep::None;
            break;
        default:
            break;
    }
}

// The server refused to put the whole copy in the page's place one way: the next way, chosen
// so that the server is never left without a page.
void TFTPUP_Form::ReplaceAfterRefusal() {
    using tavo::ftp::PageReplaceStep;
    pageStepRefused_ = false;
    const PageReplaceStep refused = pageStep_ == PageStep::Renaming
                                        ? PageReplaceStep::Rename
                                        : PageReplaceStep::DeleteOldThenRename;
    const PageReplaceStep next = tavo::ftp::StepAfterRefusal(
        refused, trust_.Get(serverKey_).renameSeen, ftp_->FindFile(remoteFileName_) >= 0);
    if (next == PageReplaceStep::DeleteOldThenRename) {
        log(QStringLiteral("サーバが既存の「%1」への名前の変更を拒否したため、古いページを"
                           "削除してから名前を変更します")
                .arg(remoteFileName_));
        pageStep_ = PageStep::DeletingOld;
        ftp_->DeleteFile(remoteFileName_);
        return;
    }
    log(QStringLiteral("サーバが「%1」への名前の変更を拒否したため、ページをその名前で"
                       "直接保存します")
            .arg(remoteFileName_));
    pageStep_ = PageStep::StoringUnderName;
    ftp_->UploadFile(FromPath(diary_->paths().programFolder / "temp.html"), remoteFileName_);
}

// Renaming works here: from now on the old page may go to make room for a refused rename.
void TFTPUP_Form::RememberRenameWorks() {
    tavo::ftp::ServerTrust trust = trust_.Get(serverKey_);
    if (trust.renameSeen)
        return;
    trust.renameSeen = true;
    SaveServerTrust(trust);
}

// The page is online under its name: the copies of uploads cut short go, then on to the
// images, or done.
void TFTPUP_Form::PageInPlace() {
    std::vector<std::string> names;
    const tavo::ftp::TQFtpFileInfoList& files = ftp_->Files();
    for (int i = 0; i < files.Count(); ++i)
        names.push_back(files.Cell(i, tavo::ftp::TQFtpFileInfoList::colName));
    leftovers_.clear();
    for (const std::string& name :
         tavo::ftp::LeftoverPartialPages(names, ToCp932(partialPageName()).bytes))
        leftovers_ << FromCp932(name);
    RemoveNextLeftover();
}

void TFTPUP_Form::RemoveNextLeftover() {
    if (pageStep_ == PageStep::RemovingLeftovers && !pageStepRefused_)
        log(QStringLiteral("中断したアップロードの一時ファイル「%1」を削除しました")
                .arg(leftovers_.takeFirst()));
    else if (pageStep_ == PageStep::RemovingLeftovers)
        leftovers_.removeFirst();  // its refusal is in the log
    pageStepRefused_ = false;
    if (leftovers_.isEmpty()) {
        pageStep_ = PageStep::None;
        return ContinueAfterPage();
    }
    pageStep_ = PageStep::RemovingLeftovers;
    ftp_->DeleteFile(leftovers_.first());
}

void TFTPUP_Form::ContinueAfterPage() {
    if (!uploadNewImagesRadio_->isChecked() && !overwriteImagesRadio_->isChecked()) {
        finishUpload();
        return;
    }
    if (ftp_->FindDirectory(kImageFolder) == -1)
        ftp_->MakeDirectory(kImageFolder);
    else
        ftp_->ChangeDirectory(kImageFolder);
}

// The page did not make it: its temporary copy goes, the old page stays as it was.
void TFTPUP_Form::RemovePartialPage() {
    pageStep_ = PageStep::None;
    if (!ftp_->LoggedIn() || ftp_->Busy())
        return;
    pageStep_ = PageStep::Removing;
    ftp_->DeleteFile(partialPageName());
}

void TFTPUP_Form::log(const QString& text) {
    sessionLog_->AddMessage(tavo::ftp::MessageKind::Status, text + QStringLiteral("\r\n"));
}

void TFTPUP_Form::onFtpQuit() {
    // A closed dialog starts nothing.
    if (restartAfterQuit_ && isVisible())
        StartUpload();
    restartAfterQuit_ = false;
}

void TFTPUP_Form::onDirectoryCreated() {
    imageFolderIsNew_ = uploadStage_ != -1;  // a refused MKD made nothing
    ftp_->ChangeDirectory(kImageFolder);
}

void TFTPUP_Form::onFtpInfo(FtpInfo info, const QString& addinfo) {
    if (info == tavo::ftp::ftpInfoProgress && showTransferProgress_) {
        progressBar_->setValue(static_cast<int>(ftp_->BytesTransferred()));
    } else if (info == tavo::ftp::ftpInfoTransferSize) {
        progressBar_->setRange(0, std::max(1, addinfo.toInt()));
    }
}

void TFTPUP_Form::onFtpError(FtpError error, const QString& addinfo) {
    const bool refused = error == tavo::ftp::ftpPermissionDenied;
    if (refused && (pageStep_ == PageStep::Renaming || pageStep_ == PageStep::DeletingOld ||
                    pageStep_ == PageStep::RenamingAgain)) {
        // Another way follows with the step's event; said in the log then.
        pageStepRefused_ = true;
        return;
    }
    if (pageStep_ == PageStep::Removing || (refused && pageStep_ == PageStep::DroppingPartial)) {
        log(QStringLiteral("一時ファイル「%1」を削除できませんでした").arg(partialPageName()));
        return;
    }
    if (refused && pageStep_ == PageStep::RemovingLeftovers) {
        pageStepRefused_ = true;
        log(QStringLiteral("一時ファイル「%1」を削除できませんでした").arg(leftovers_.first()));
        return;
    }
    if (pageStep_ == PageStep::StoringUnderName) {
        // Neither renamed nor stored: the whole copy stays for the user to rename.
        uploadStage_ = -1;
        QString kept = QStringLiteral("新しいページは一時ファイル「%1」としてサーバに残しました。")
                           .arg(partialPageName());
        if (!oldPageDeleted_ && refused)
            kept += QStringLiteral("古いページ「%1」はそのまま残っています。").arg(remoteFileName_);
        log(kept);
        MessageBox::error(this, UploadErrorMessage(error) + QStringLiteral("\n\n") + kept);
        return;
    }
    uploadStage_ = -1;
    if (error == tavo::ftp::ftpDataConnectionFailed)
        MessageBox::error(this, DataConnectionMessage(addinfo, ftp_->Passive()));
    else if (!TlsRefused(error, addinfo))
        MessageBox::error(this, UploadErrorMessage(error));
}

// The errors of encryption, each with what it means and what the user can do; false for
// any other error.
bool TFTPUP_Form::TlsRefused(FtpError error, const QString& addinfo) {
    const QString server = QString::fromStdString(serverKey_);
    tavo::ftp::ServerTrust trust = trust_.Get(serverKey_);
    switch (error) {
        case tavo::ftp::ftpCertificateUntrusted:
            if (MessageBox::warningTrustCancel(
                    this, TrustQuestion(server, ftp_->ServerCertificate(), addinfo))) {
                trust.certificateSha256 = tavo::ftp::FingerprintText(tavo::ftp::CertificateSha256(
                                                                         ftp_->ServerCertificate()))
                                              .toStdString();
                SaveServerTrust(trust);
                restartAfterQuit_ = true;
            }
            return true;
        case tavo::ftp::ftpCertificateChanged:
            MessageBox::error(
                this, QStringLiteral(
                          "サーバ「%1」の証明書が、信頼すると記録した証明書と違います。"
                          "第三者が通信に割り込んでいるおそれがあるため、接続を中止しました。\n\n"
                          "記録した証明書 SHA-256: %2\n今回の証明書 SHA-256: %3\n\n"
                          "サーバの証明書が正当に更新されたときは、ftp-trust.ini から"
                          "このサーバの記録を削除してください。")
                          .arg(server, QString::fromStdString(trust.certificateSha256),
                               tavo::ftp::FingerprintText(
                                   tavo::ftp::CertificateSha256(ftp_->ServerCertificate()))));
            return true;
        case tavo::ftp::ftpTlsNotOffered:
            if (trust.tlsSucceeded) {
                MessageBox::error(
                    this, QStringLiteral(
                              "サーバ「%1」はこれまで暗号化に対応していましたが、今回は暗号化を"
                              "拒否しました。通信が改ざんされているおそれがあるため、パスワードを"
                              "送らずに接続を中止しました。\n\n暗号化せずに送るときは、「暗号化」で"
                              "「暗号化しない」を選んでください。")
                              .arg(server));
            } else if (fourLineSettings_) {
                if (MessageBox::questionYesCancel(
                        this, QStringLiteral("このサーバは暗号化に対応していません。"
                                             "パスワードを暗号化せずに送信しますか？"))) {
                    std::string error;
                    if (!tavo::ftp::WriteFtpSecurity(diary_->paths().ftpSettingsFile,
                                                     FtpSecurity::Plain, &error))
                        MessageBox::error(this, QString::fromStdString(error));
                    fourLineSettings_ = false;
                    securityCombo_->setCurrentIndex(1);
                    restartAfterQuit_ = true;
                }
            } else {
                MessageBox::error(this,
                                  QStringLiteral("サーバ「%1」は暗号化に対応していません。\n\n"
                                                 "暗号化せずに送るときは、「暗号化」で"
                                                 "「暗号化しない」を選んでください。")
                                      .arg(server));
            }
            return true;
        case tavo::ftp::ftpTlsError:
            MessageBox::error(this, UploadErrorMessage(error) + QStringLiteral("\n\n") + addinfo);
            return true;
        default:
            return false;
    }
}

void TFTPUP_Form::SaveServerTrust(const tavo::ftp::ServerTrust& trust) {
    trust_.Set(serverKey_, trust);
    std::string error;
    if (!trust_.Write(diary_->paths().ftpTrustFile, &error))
        MessageBox::error(this, QString::fromStdString(error));
}

void TFTPUP_Form::BuildImageQueue() {
    tavo::ftp::ImageQueueRules rules;
    rules.existsLocally = [this](const QString& name) {
        return QFileInfo(localImagePath(name)).isFile();
    };
    rules.existsRemotely = [this](const QString& name) {
        return !imageFolderIsNew_ && ftp_->FindFile(name) >= 0;
    };
    rules.overwrite = overwriteImagesRadio_->isChecked();
    QStringList refused;
    imageQueue_ = tavo::ftp::BuildImageQueue(MemoFromCp932(pageBytes_()), rules, &refused);
    for (const QString& name : refused)
        sessionLog_->AddMessage(
            tavo::ftp::MessageKind::Error,
            QStringLiteral("\"%1\" は tavo-img の外を指すため送りません\r\n").arg(name));
}

void TFTPUP_Form::UploadNextImage() {
    if (imageQueue_.isEmpty()) {
        finishUpload();
        return;
    }
    const QString name = imageQueue_.takeFirst();
    statusText_->setText(name);
    ftp_->SetTransferMode(tavo::ftp::BinaryTransfer);
    ftp_->UploadFile(localImagePath(name), name);
}

void TFTPUP_Form::finishUpload() {
    // From now on a refusal of TLS by this server is taken for an attack.
    const bool tls = ftp_->Security() == FtpSecurity::Tls;
    ftp_->Quit();
    SaveFtpSettings();
    tavo::ftp::ServerTrust trust = trust_.Get(serverKey_);
    if (tls && !trust.tlsSucceeded) {
        trust.tlsSucceeded = true;
        SaveServerTrust(trust);
    }
    MessageBox::message(this, QStringLiteral("アップロード完了"));
    close();
}

bool TFTPUP_Form::SaveFtpSettings() {
    const tavo::ftp::FtpSettings settings{
        ToCp932(hostEdit_->text()).bytes,
        ToCp932(accountEdit_->text()).bytes,
        ToCp932(passwordEdit_->text()).bytes,
        ToCp932(folderEdit_->text()).bytes,
        securityCombo_->currentIndex() == 0 ? FtpSecurity::Tls : FtpSecurity::Plain,
        false,
        connectionCombo_->currentIndex() == 0};
    std::string error;
    if (!tavo::ftp::WriteFtpSettings(diary_->paths().ftpSettingsFile, settings, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return false;
    }
    return true;
}

void TFTPUP_Form::reject() {
    // Escape, "閉じる" and the window frame all end here: a running session is never left
    // behind a hidden dialog.
    if (ftp_->Connected()) {
        if (!MessageBox::questionYesCancel(
                this, QStringLiteral("接続を切断してアップロードを終了します")))
            return;
    }
    restartAfterQuit_ = false;
    // Nothing of the session outlives the dialog: a logged-in, idle client says goodbye, a
    // QUIT already sent is left to finish, anything else (connecting, retrying, waiting for
    // a server) ends at once, so no message of it appears behind a closed dialog.
    if (ftp_->LoggedIn() && !ftp_->Busy())
        ftp_->Quit();
    else if (ftp_->State() != tavo::ftp::FtpState::Quitting)
        ftp_->Abort();
    QDialog::reject();
}
