#include "ftp/qftp.h"

#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QStandardPaths>

#include <optional>

#include "app/ui_text.h"
#include "ftp/ftp_protocol.h"
#include "ftp/listing_parser.h"

namespace tavo::ftp {

namespace {

constexpr qint64 kHighWater = 256 * 1024;
constexpr const char* kAccessDenied = "Access denied or file not found";

char ClassOf(const std::string& reply) {
    return reply.empty() ? '\0' : reply[0];
}

constexpr const char* kLineBreakRefused = "Command refused: its argument holds a line break";
constexpr const char* kCharacterRefused =
    "Command refused: its argument holds a character that Shift_JIS cannot hold";

// The wire, like the diary's files, is code page 932: the names earlier versions created on
// users' servers are in it. Nothing, with the reason in `refusal`, for a text that cannot go
// there as it is: a line break would put a second command on the wire, a character code
// page 932 cannot hold would reach the server as a different name.
std::optional<std::string> ToWire(const QString& text, const char** refusal = nullptr) {
    Cp932Text wire = ToCp932(text);
    const char* reason = wire.usedCharacterReferences ? kCharacterRefused
                         : HoldsLineBreak(wire.bytes) ? kLineBreakRefused
                                                      : nullptr;
    if (refusal)
        *refusal = reason;
    if (reason)
        return std::nullopt;
    return std::move(wire.bytes);
}

QString DefaultCacheFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (base.isEmpty())
        base = QDir::tempPath() + "/tavo-cache";
    return base + "/ftpcache/";
}

}  // namespace

TQFtp::TQFtp(QObject* parent) : TQSocket(parent), listener_(this), data_(this) {
    const QDate today = QDate::currentDate();
    today_ = today.year() * 10000 + today.month() * 100 + today.day();
    currentYear_ = today.year();
    listingCache_.SetFolder(DefaultCacheFolder().toStdString());
    listingCache_.EnsureFolder();

    TQSocket::OnRead = [this] { ControlRead(); };
    TQSocket::OnConnect = [this] { ControlConnected(); };
    TQSocket::OnClose = [this](int e) { ControlClosed(e); };
    TQSocket::OnTimeOut = [this] { ControlTimedOut(); };

    noopTimer_.setInterval(noopMs_);
    connect(&noopTimer_, &QTimer::timeout, this, &TQFtp::NoopTick);
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, [this] {
        retryWaiting_ = false;
        StartAttempt();
    });
    replyTimer_.setSingleShot(true);
    connect(&replyTimer_, &QTimer::timeout, this, &TQFtp::ReplyTimedOut);

    data_.OnConnect = [this] {
        if (!dataActive_)
            return;
        if (data_.LastError() != 0)
            DataFailed();
        else
            DataReady();
    };
    data_.OnClose = [this](int e) {
        if (!dataActive_)
            return;
        if (e != 0)
            DataFailed();
        else
            DataClosedByPeer();
    };
    data_.OnRead = [this] {
        if (!dataActive_)
            return;
        if (transfer_ == Transfer::Listing)
            ListingRead();
        else if (transfer_ == Transfer::Download)
            DownloadRead();
    };
    data_.OnWrite = [this] {
        if (dataActive_ && transfer_ == Transfer::Upload)
            Sender();
    };
    listener_.OnAccept = [this] {
        if (!dataActive_ || data_.Connected())
            return;
        if (!data_.Accept(listener_)) {
            DataFailed();
            return;
        }
        listener_.Close();
        DataReady();
    };
}

TQFtp::~TQFtp() {
    dataActive_ = false;
    TQSocket::OnClose = nullptr;
    TQSocket::OnRead = nullptr;
    data_.OnClose = nullptr;
    listener_.OnClose = nullptr;
}

QString TQFtp::LastReply() const {
    return FromCp932(lastReply_);
}

QString TQFtp::Version() const {
    return QStringLiteral("Tavo TQFtp 1.0 (Qt)");
}

void TQFtp::SetNoopIntervalMs(int ms) {
    noopMs_ = ms > 0 ? ms : 1;
    noopTimer_.setInterval(noopMs_);
}

QString TQFtp::CacheFolder() const {
    return QString::fromStdString(listingCache_.Folder().string());
}

void TQFtp::SetCacheFolder(const QString& folder) {
    listingCache_.SetFolder(folder.toStdString());
    listingCache_.EnsureFolder();
}

std::string TQFtp::CacheKey() const {
    return ListingCacheKey(server_.toStdString(), port_ == 0 ? 21 : port_, username_.toStdString(),
                           currentDirectory_.toStdString());
}

// ---------------------------------------------------------------- events and errors

int TQFtp::AddInfoListener(InfoHandler listener) {
    for (int i = 0; i < kListenerSlots; ++i) {
        if (!infoListeners_[static_cast<std::size_t>(i)]) {
            infoListeners_[static_cast<std::size_t>(i)] = std::move(listener);
            return i;
        }
    }
    return -1;
}

void TQFtp::RemoveInfoListener(int slot) {
    if (slot >= 0 && slot < kListenerSlots)
        infoListeners_[static_cast<std::size_t>(slot)] = nullptr;
}

int TQFtp::AddErrorListener(ErrorHandler listener) {
    for (int i = 0; i < kListenerSlots; ++i) {
        if (!errorListeners_[static_cast<std::size_t>(i)]) {
            errorListeners_[static_cast<std::size_t>(i)] = std::move(listener);
            return i;
        }
    }
    return -1;
}

void TQFtp::RemoveErrorListener(int slot) {
    if (slot >= 0 && slot < kListenerSlots)
        errorListeners_[static_cast<std::size_t>(slot)] = nullptr;
}

void TQFtp::Info(FtpInfo info, const QString& text) {
    if (OnFtpInfo)
        OnFtpInfo(this, info, text);
    for (const auto& listener : infoListeners_) {
        if (listener)
            listener(this, info, text);
    }
}

void TQFtp::Error(FtpError code, const QString& text, bool fatal) {
    failed_ = true;
    lastError_ = code;
    if (OnFtpError)
        OnFtpError(this, code, text);
    for (const auto& listener : errorListeners_) {
        if (listener)
            listener(this, code, text);
    }
    if (fatal) {
        CloseData();
        if (file_.isOpen())
            file_.close();
        if (TQSocket::Connected())
            TQSocket::Close();
    }
}

QString TQFtp::Ask(TQFtpInfoNeeded need, const QString& current) {
    QString value = current;
    if (OnFtpNeedInfo)
        OnFtpNeedInfo(this, need, value);
    return value;
}

// ---------------------------------------------------------------- commands and replies

bool TQFtp::Send(const QString& command, Step next) {
    const char* refusal = nullptr;
    std::optional<std::string> wire = ToWire(command, &refusal);
    if (!wire) {
        Error(ftpProtocolError, refusal, op_ == Op::Login);
        if (op_ != Op::Login)
            Finish();
        return false;
    }
    std::string bytes = std::move(*wire) + "\r\n";
    Info(ftpInfoCommandSent, FromCp932(MaskedCommand(bytes)));
    if (!TQSocket::Connected())
        return false;
    if (TQSocket::Send(bytes.data(), static_cast<qint64>(bytes.size())) <= 0) {
        if (auto mapped = MapWinsockError(TQSocket::LastError()))
            Error(mapped->code, QString::fromStdString(mapped->text), true);
        return false;
    }
    pending_ = std::move(next);
    ArmReplyTimer();
    return true;
}

void TQFtp::ArmReplyTimer() {
    if (replyTimeOutMs_ > 0)
        replyTimer_.start(replyTimeOutMs_);
}

void TQFtp::ReplyTimedOut() {
    if (!TQSocket::Connected())
        return;
    Error(ftpTimeOut,
          QString("No reply from the server within %1 seconds").arg(replyTimeOutMs_ / 1000.0),
          true);
}

void TQFtp::ControlRead() {
    if (readingControl_)
        return;
    readingControl_ = true;
    char buffer[4096];
    while (true) {
        const qint64 n = TQSocket::Receive(buffer, sizeof buffer);
        if (n <= 0)
            break;
        if (replyTimer_.isActive())
            ArmReplyTimer();
        Info(ftpInfoReplyReceived,
             FromCp932(std::string_view(buffer, static_cast<std::size_t>(n))));
        for (auto& reply : reader_.Feed(std::string_view(buffer, static_cast<std::size_t>(n)))) {
            if (reply.closesMultiLine)
                Info(ftpInfoMultiLineReply, QString());
            lastReply_ = reply.line;
            if (ClassOf(reply.line) == '1') {
                if (replyTimer_.isActive())
                    ArmReplyTimer();
            } else {
                replyTimer_.stop();
            }
            if (pending_) {
                Step step = pending_;
                step(reply.line);
            }
        }
    }
    readingControl_ = false;
}

void TQFtp::ControlConnected() {
    if (TQSocket::LastError() != 0) {
        if (auto mapped = MapWinsockError(TQSocket::LastError()))
            Error(mapped->code, QString::fromStdString(mapped->text), false);
        PostCompletion();
        return;
    }
    Info(ftpInfoConnected, TQSocket::AddressText());
    ftpConnected_ = true;
    pending_ = [this](const std::string& reply) { Welcome(reply); };
    ArmReplyTimer();
}

void TQFtp::ControlTimedOut() {
    Error(ftpConnectTimeOut, "Connection timed out", false);
    Recreate();
    PostCompletion();
}

void TQFtp::NameResolved() {
    if (TQSocket::LastError() != 0) {
        if (auto mapped = MapWinsockError(TQSocket::LastError()))
            Error(mapped->code, QString::fromStdString(mapped->text), false);
        PostCompletion();
        return;
    }
    Info(ftpInfoResolved, TQSocket::AddressText());
    ConnectControl();
}

void TQFtp::ControlClosed(int wsaError) {
    replyTimer_.stop();
    pending_ = nullptr;
    if (wsaError != 0) {
        if (auto mapped = MapWinsockError(wsaError))
            Error(mapped->code, QString::fromStdString(mapped->text), false);
        CloseData();
    } else if (ftpConnected_ && !quitting_ && !failed_ &&
               ((busy_ && op_ != Op::None) || !loginCompleted_)) {
        Error(ftpPrematureDisconnect, "The server closed the connection", false);
        CloseData();
    }
    if (file_.isOpen())
        file_.close();
    if (retryWaiting_)
        return;
    bool ended = loginCompleted_;
    if (!ended) {
        if (retriesLeft_ < 0) {
            Info(ftpInfoRetryFinished, "Retry Finished");
            ended = true;
        } else if (lastError_ != ftpNone) {
            Info(ftpInfoRetrying, "Retrying...");
            retryWaiting_ = true;
            ftpConnected_ = false;
            retryTimer_.start(retryMs_);
            return;
        } else {
            ended = true;
        }
    }
    ftpConnected_ = false;
    Info(ftpInfoNotConnected, "Disconnected");
    QMetaObject::invokeMethod(
        this, [this] { ProcessDisconnection(); }, Qt::QueuedConnection);
    op_ = Op::None;
    PostCompletion();
}

void TQFtp::ProcessDisconnection() {
    busy_ = false;
    noopTimer_.stop();
    loggedIn_ = false;
    quitting_ = false;
    if (OnFtpQuit)
        OnFtpQuit(this);
    if (syncLoop_)
        syncLoop_->quit();
}

bool TQFtp::ReadyCheck() {
    if (!ftpConnected_) {
        Info(ftpInfoNotConnected, "Not connected to the server");
        return false;
    }
    if (busy_) {
        Info(ftpInfoBusy, "The component is busy doing something");
        return false;
    }
    busy_ = true;
    if (OnFtpBusy)
        OnFtpBusy(this);
    noopTimer_.stop();
    lastError_ = ftpNone;
    failed_ = false;
    return true;
}

bool TQFtp::RefuseArgument(const QString& argument) {
    const char* refusal = nullptr;
    if (ToWire(argument, &refusal))
        return false;
    Error(ftpProtocolError, refusal, false);
    Finish();
    return true;
}

void TQFtp::Finish() {
    pending_ = nullptr;
    replyTimer_.stop();
    CloseData();
    if (file_.isOpen())
        file_.close();
    transfer_ = Transfer::None;
    PostCompletion();
}

void TQFtp::PostCompletion() {
    QMetaObject::invokeMethod(
        this, [this] { ProcessCompletion(); }, Qt::QueuedConnection);
}

void TQFtp::ProcessCompletion() {
    busy_ = false;
    if (ftpConnected_)
        noopTimer_.start();
    const Op op = op_;
    op_ = Op::None;
    if (OnFtpReady)
        OnFtpReady(this);
    switch (op) {
        case Op::Login:
            loggedIn_ = true;
            loginCompleted_ = true;
            if (OnLoggedIn)
                OnLoggedIn(this);
            break;
        case Op::ChangeDir:
            if (OnDirectoryChanged)
                OnDirectoryChanged(this);
            break;
        case Op::MakeDir:
            if (OnDirectoryCreated)
                OnDirectoryCreated(this);
            break;
        case Op::Download:
            if (OnFileReceived)
                OnFileReceived(this);
            break;
        case Op::Upload:
            if (OnFileStored)
                OnFileStored(this);
            break;
        case Op::Listing:
            if (!listingFromCache_) {
                directories_.CopyFrom(newDirectories_);
                files_.CopyFrom(newFiles_);
                std::string error;
                // The cache only saves a listing; without it the next one asks the server.
                if (!failed_ && !listingCache_.Write(CacheKey(), directories_, files_, &error))
                    qWarning("Listing cache not written: %s", error.c_str());
            }
            if (OnListingDone)
                OnListingDone(this);
            break;
        case Op::None:
            break;
    }
    if (syncLoop_)
        syncLoop_->quit();
}

void TQFtp::WaitIfSynchronous() {
    if (asynchronous_ || syncLoop_)
        return;
    QEventLoop loop;
    syncLoop_ = &loop;
    loop.exec();
    syncLoop_ = nullptr;
}

void TQFtp::NoopTick() {
    if (busy_ || !loggedIn_ || !noopOk_ || !ftpConnected_)
        return;
    busy_ = true;
    Send("NOOP", [this](const std::string& reply) {
        busy_ = false;
        pending_ = nullptr;
        if (reply.rfind("50", 0) == 0)
            noopOk_ = false;
    });
}

// ---------------------------------------------------------------- login

void TQFtp::Login() {
    retriesLeft_ = retries_;
    busy_ = false;
    loggedIn_ = false;
    loginCompleted_ = false;
    quitting_ = false;
    retryWaiting_ = false;
    retryTimer_.stop();
    StartAttempt();
    WaitIfSynchronous();
}

void TQFtp::StartAttempt() {
    if (busy_) {
        Info(ftpInfoBusy, "The component is busy doing something");
        return;
    }
    currentDirectory_.clear();
    lastReply_.clear();
    lastError_ = ftpNone;
    failed_ = false;
    reader_.Reset();
    sizeOk_ = true;
    noopOk_ = true;
    --retriesLeft_;
    pending_ = nullptr;
    replyTimer_.stop();
    noopTimer_.stop();
    CloseData();
    op_ = Op::None;
    ftpConnected_ = false;
    Recreate();

    QString host = server_;
    std::uint16_t port = port_;
    if (proxyServer_.trimmed().isEmpty()) {
        proxyType_ = proxyNone;
    } else if (proxyType_ != proxyNone) {
        savedServer_ = server_;
        savedPort_ = port_;
        host = proxyServer_.trimmed();
        port = proxyPort_;
    }
    if (server_.trimmed().isEmpty()) {
        server_ = Ask(niServer, server_).trimmed();
        if (proxyType_ == proxyNone)
            host = server_;
        else
            savedServer_ = server_;
    }
    if (server_.isEmpty() || host.isEmpty()) {
        Error(ftpNoServer, QString(), false);
        PostCompletion();
        return;
    }
    if (port == 0)
        port = 21;
    if (proxyType_ == proxyNone)
        port_ = port;
    TQSocket::SetPort(port);
    if (host[0] >= '0' && host[0] <= '9') {
        TQSocket::SetAddressText(host);
        ConnectControl();
    } else {
        Info(ftpInfoResolving, host);
        TQSocket::Resolve(host);
    }
}

void TQFtp::ConnectControl() {
    if (!TQSocket::Connect()) {
        if (auto mapped = MapWinsockError(TQSocket::LastError()))
            Error(mapped->code, QString::fromStdString(mapped->text), false);
        PostCompletion();
    }
}

void TQFtp::Welcome(const std::string& reply) {
    op_ = Op::Login;
    if (ClassOf(reply) != '2') {
        Error(ftpServerDown, QString(), true);
        return;
    }
    if (username_.isEmpty())
        username_ = Ask(niUser, username_);
    if (proxyType_ != proxyNone) {
        server_ = savedServer_;
        port_ = savedPort_;
    } else if (serverType_ == ftpstAutoDetect &&
               reply.find("NetTerm FTP server") != std::string::npos) {
        serverType_ = ftpstNetTerm;
    }
    const QString portText = QString::number(port_ == 0 ? 21 : port_);
    switch (proxyType_) {
        case proxyNone:
            SendUser(username_);
            break;
        case proxyHost:
            Send("HOST " + server_, [this](const std::string& r) {
                if (ClassOf(r) == '3')
                    SendUser(username_);
                else
                    Error(ftpServerDown, QString(), true);
            });
            break;
        case proxyHostUser:
            if (port_ != 21 && port_ != 0)
                SendUser(server_ + ":" + portText + "!" + username_);
            else
                SendUser(server_ + "!" + username_);
            break;
        case proxyOpen:
            Send("OPEN " + server_, [this](const std::string& r) {
                if (ClassOf(r) == '2')
                    SendUser(username_);
                else
                    Error(ftpServerDown, QString(), true);
            });
            break;
        case proxySite: {
            auto site = [this] {
                Send("SITE " + server_, [this](const std::string& r) {
                    if (ClassOf(r) == '2')
                        SendUser(username_);
                    else
                        Error(ftpProtocolError, QString(), true);
                });
            };
            Send("USER " + proxyUsername_, [this, site](const std::string& r) {
                if (ClassOf(r) == '2') {
                    site();
                } else if (ClassOf(r) == '3') {
                    if (proxyPassword_.isEmpty())
                        proxyPassword_ = Ask(niPassword, proxyPassword_);
                    Send("PASS " + proxyPassword_, [this, site](const std::string& r2) {
                        if (ClassOf(r2) == '2')
                            site();
                        else
                            Error(ftpAccessDenied, QString(), true);
                    });
                } else {
                    Error(ftpAccessDenied, QString(), true);
                }
            });
            break;
        }
        case proxyUserSite:
            if (port_ != 21 && port_ != 0)
                SendUser(username_ + "@" + server_ + ":" + portText);
            else
                SendUser(username_ + "@" + server_);
            break;
    }
}

void TQFtp::SendUser(const QString& user) {
    Send("USER " + user, [this](const std::string& r) { UserReply(r); });
}

void TQFtp::UserReply(const std::string& reply) {
    switch (ClassOf(reply)) {
        case '2':
            AfterLogin();
            break;
        case '3':
            if (password_.isEmpty())
                password_ = Ask(niPassword, password_);
            Send("PASS " + password_, [this](const std::string& r) { PassReply(r); });
            break;
        default:
            Error(ftpAccessDenied, QString(), true);
    }
}

void TQFtp::PassReply(const std::string& reply) {
    switch (ClassOf(reply)) {
        case '2':
            AfterLogin();
            break;
        case '3':
            if (account_.isEmpty())
                account_ = Ask(niAccount, account_);
            Send("ACCT " + account_, [this](const std::string& r) { AcctReply(r); });
            break;
        default:
            Error(ftpAccessDenied, QString(), true);
    }
}

void TQFtp::AcctReply(const std::string& reply) {
    if (ClassOf(reply) == '2')
        AfterLogin();
    else
        Error(ftpAccessDenied, QString(), true);
}

void TQFtp::AfterLogin() {
    if (serverType_ == ftpstAutoDetect)
        Send("SYST", [this](const std::string& r) { SystReply(r); });
    else
        Send("REST 100", [this](const std::string& r) { Rest100Reply(r); });
}

void TQFtp::SystReply(const std::string& reply) {
    if (ClassOf(reply) == '5')
        serverType_ = ftpstDefault;
    else if (serverType_ == ftpstAutoDetect)
        serverType_ = DetectServerType(reply);
    Send("REST 100", [this](const std::string& r) { Rest100Reply(r); });
}

void TQFtp::Rest100Reply(const std::string& reply) {
    if (ClassOf(reply) == '3') {
        restOk_ = true;
        Info(ftpInfoResumeSupported, "This site can resume broken downloads/uploads");
        Send("REST 0", [this](const std::string&) { InitialDirectoryStep(); });
    } else {
        restOk_ = false;
        Info(ftpInfoResumeNotSupported, "This site cannot resume broken downloads/uploads");
        InitialDirectoryStep();
    }
}

void TQFtp::InitialDirectoryStep() {
    auto pwd = [this] { Send("PWD", [this](const std::string& r) { LoginPwdReply(r); }); };
    if (initialDirectory_.isEmpty()) {
        pwd();
        return;
    }
    Send("CWD " + initialDirectory_, [this, pwd](const std::string& r) {
        if (ClassOf(r) == '2') {
            const QString path = PathFromReply(r, false);
            if (!path.isEmpty()) {
                currentDirectory_ = path;
                Info(ftpInfoLoggedIn, "Logged in");
                Finish();
                return;
            }
        }
        pwd();
    });
}

void TQFtp::LoginPwdReply(const std::string& reply) {
    if (ClassOf(reply) != '2') {
        Error(ftpProtocolError, QString(), true);
        return;
    }
    currentDirectory_ = PathFromReply(reply, true);
    Info(ftpInfoLoggedIn, "Logged in");
    Finish();
}

QString TQFtp::PathFromReply(const std::string& reply, bool convert) const {
    std::string path = QuotedText(reply);
    if (convert && (serverType_ == ftpstNetTerm || serverType_ == ftpstServU))
        path = ConvertDrivePath(path);
    return FromCp932(path);
}

// ---------------------------------------------------------------- directory commands

void TQFtp::ChangeDirectory(const QString& path) {
    if (!ReadyCheck())
        return;
    op_ = Op::ChangeDir;
    if (RefuseArgument(path))
        return WaitIfSynchronous();
    Send("CWD " + path, [this](const std::string& r) {
        if (ClassOf(r) != '2') {
            currentDirectory_.clear();
            Error(ftpPermissionDenied, kAccessDenied, false);
            Finish();
            return;
        }
        bool quoted = false;
        const std::string text = QuotedText(r, &quoted);
        if (quoted) {
            currentDirectory_ = FromCp932(text);
            Finish();
            return;
        }
        Send("PWD", [this](const std::string& r2) {
            if (ClassOf(r2) == '2')
                currentDirectory_ = PathFromReply(r2, true);
            else
                Error(ftpProtocolError, QString(), false);
            Finish();
        });
    });
    WaitIfSynchronous();
}

void TQFtp::MakeDirectory(const QString& name) {
    if (!ReadyCheck())
        return;
    op_ = Op::MakeDir;
    if (RefuseArgument(name))
        return WaitIfSynchronous();
    Send("MKD " + name, [this](const std::string& r) {
        if (ClassOf(r) != '2')
            Error(ftpPermissionDenied, kAccessDenied, false);
        Finish();
    });
    WaitIfSynchronous();
}

void TQFtp::Quit() {
    if (!ReadyCheck())
        return;
    quitting_ = true;
    Send("QUIT", [this](const std::string& r) {
        pending_ = nullptr;
        loggedIn_ = false;
        if (ClassOf(r) != '2') {
            Error(ftpNone, QString(), true);
            return;
        }
        // The server closes the connection after its reply; close our end too, so that a
        // server that keeps it open does not keep the session alive.
        if (TQSocket::Connected())
            TQSocket::Close();
    });
    WaitIfSynchronous();
}

int TQFtp::FindFile(const QString& name) const {
    const auto wire = ToWire(name);
    return wire ? files_.Find(*wire) : -1;
}

int TQFtp::FindDirectory(const QString& name) const {
    const auto wire = ToWire(name);
    return wire ? directories_.Find(*wire) : -1;
}

// ---------------------------------------------------------------- transfers

void TQFtp::RequestType(char type, Step next) {
    if (type == lastType_) {
        next("299");
        return;
    }
    lastType_ = type;
    Send(QString("TYPE ") + type, std::move(next));
}

void TQFtp::Negotiate(std::function<void(const std::string&)> continuation) {
    dataActive_ = true;
    dataReady_ = false;
    dataDone_ = false;
    replyDone_ = false;
    got1xx_ = false;
    auto checked = [this, continuation](const std::string& r) {
        if (ClassOf(r) != '2') {
            Error(ftpProtocolError, QString(), false);
            Finish();
            return;
        }
        continuation(r);
    };
    if (!passive_) {
        const QHostAddress local = TQSocket::LocalAddress();
        listener_.SetAddress(local);
        listener_.SetPort(0);
        if (local.protocol() != QAbstractSocket::IPv4Protocol || !listener_.Listen()) {
            Error(ftpDataError, QString(), true);
            return;
        }
        Send(QString::fromStdString("PORT " +
                                    PortArgument(local.toIPv4Address(), listener_.LocalPort())),
             checked);
        return;
    }
    Send("PASV", [this, checked](const std::string& r) {
        if (ClassOf(r) != '2') {
            Error(ftpProtocolError, QString(), false);
            Finish();
            return;
        }
        const auto pasv = ParsePasvReply(r);
        if (!pasv) {
            Error(ftpProtocolError, "Unreadable PASV reply", false);
            Finish();
            return;
        }
        // Only the port is taken: the data connection goes to the control connection's peer,
        // never to a third host named in the reply.
        data_.SetAddress(TQSocket::PeerAddress());
        data_.SetPort(pasv->port);
        if (!data_.Connect()) {
            DataFailed();
            return;
        }
        checked("299");
    });
}

void TQFtp::DataReady() {
    dataReady_ = true;
    bytesTransferred_ = 0;
    transferClock_.start();
    elapsedMs_ = 0;
    listingTail_.clear();
    if (transfer_ == Transfer::Upload) {
        localSize_ = file_.size();
        Info(ftpInfoTransferSize, QString::number(localSize_));
        if (got1xx_)
            Sender();
    }
}

void TQFtp::DataFailed() {
    Error(ftpDataError, QString(), true);
}

void TQFtp::DataClosedByPeer() {
    if (transfer_ == Transfer::Listing) {
        ListingRead();
        elapsedMs_ = transferClock_.isValid() ? transferClock_.elapsed() : 0;
        CloseData();
        Info(ftpInfoListingReceived, QString());
        Info(ftpInfoTransferDone, QString());
    } else if (transfer_ == Transfer::Download) {
        DownloadRead();
        elapsedMs_ = transferClock_.isValid() ? transferClock_.elapsed() : 0;
        CloseData();
        if (file_.isOpen())
            file_.close();
        Info(ftpInfoTransferDone, QString());
    } else {
        // The server ended the upload's data connection: its reply decides.
        CloseData();
        if (file_.isOpen())
            file_.close();
        Info(ftpInfoTransferDone, QString());
    }
    dataDone_ = true;
    TryComplete();
}

void TQFtp::CloseData() {
    dataActive_ = false;
    sending_ = false;
    data_.Close();
    listener_.Close();
}

void TQFtp::TryComplete() {
    if (dataDone_ && replyDone_)
        Finish();
}

void TQFtp::Refused() {
    CloseData();
    if (file_.isOpen())
        file_.close();
    Error(ftpPermissionDenied, kAccessDenied, false);
    Finish();
}

void TQFtp::Refresh() {
    if (busy_) {
        Info(ftpInfoBusy, "The component is busy doing something");
        return;
    }
    if (cache_) {
        TQFtpFileInfoList dirs, files;
        if (listingCache_.Read(CacheKey(), cacheExpire_, today_, dirs, files)) {
            op_ = Op::Listing;
            listingFromCache_ = true;
            directories_ = std::move(dirs);
            files_ = std::move(files);
            busy_ = true;
            PostCompletion();
            return WaitIfSynchronous();
        }
    }
    if (!ReadyCheck())
        return;
    op_ = Op::Listing;
    listingFromCache_ = false;
    transfer_ = Transfer::Listing;
    newFiles_.Clear();
    newDirectories_.Clear();
    if (RefuseArgument(fileMask_))
        return WaitIfSynchronous();
    RequestType('A', [this](const std::string& r) {
        if (ClassOf(r) != '2') {
            Error(ftpProtocolError, QString(), false);
            Finish();
            return;
        }
        Negotiate([this](const std::string&) {
            rawListing_.clear();
            listingLineCount_ = 0;
            newFiles_.Clear();
            newDirectories_.Clear();
            Send(fileMask_.isEmpty() ? QString("LIST") : "LIST " + fileMask_,
                 [this](const std::string& r2) {
                     switch (ClassOf(r2)) {
                         case '1':
                             break;
                         case '2':
                             replyDone_ = true;
                             TryComplete();
                             break;
                         default:
                             Refused();
                     }
                 });
            Info(ftpInfoListingStarted, QString());
        });
    });
    WaitIfSynchronous();
}

void TQFtp::ListingRead() {
    char buffer[4096];
    while (true) {
        const qint64 n = data_.Receive(buffer, sizeof buffer);
        if (n <= 0)
            break;
        bytesTransferred_ += n;
        if (replyTimer_.isActive())
            ArmReplyTimer();
        listingTail_.append(buffer, static_cast<std::size_t>(n));
        ListingLines();
    }
}

void TQFtp::ListingLines() {
    const TQFtpServerType type = serverType_ == ftpstAutoDetect ? ftpstDefault : serverType_;
    std::size_t start = 0;
    while (true) {
        const auto end = listingTail_.find("\r\n", start);
        if (end == std::string::npos)
            break;
        std::string line = listingTail_.substr(start, end - start);
        start = end + 2;
        Info(ftpInfoProgress, FromCp932(line));
        rawListing_.push_back(line);
        ++listingLineCount_;
        const auto entry = ParseListingLine(type, line, currentYear_);
        if (!entry)
            continue;
        if (!entry->directory) {
            newFiles_.Add(entry->info);
            Info(ftpInfoEntryFound, "File");
        } else if (entry->info.Name != "." && entry->info.Name != "..") {
            newDirectories_.Add(entry->info);
            Info(ftpInfoEntryFound, "Folder");
        }
    }
    listingTail_.erase(0, start);
}

void TQFtp::UploadFile(const QString& localPath, const QString& remoteName) {
    if (!ReadyCheck())
        return;
    op_ = Op::Upload;
    transfer_ = Transfer::Upload;
    localName_ = localPath;
    remoteName_ = remoteName;
    resumePos_ = 0;
    if (remoteName.isEmpty()) {
        Error(ftpFileNotFound, QString(), false);
        Finish();
        return WaitIfSynchronous();
    }
    if (RefuseArgument(remoteName))
        return WaitIfSynchronous();
    if (file_.isOpen())
        file_.close();
    file_.setFileName(localPath);
    if (localPath.isEmpty() || !file_.open(QIODevice::ReadOnly)) {
        Error(ftpFileOpen, QString(), false);
        Finish();
        return WaitIfSynchronous();
    }
    RequestType(transferMode_ == AsciiTransfer ? 'A' : 'I', [this](const std::string&) {
        // Uploads do not examine the TYPE reply.
        if (!(restOk_ && sizeOk_)) {
            PlainStore();
            return;
        }
        Send("SIZE " + remoteName_, [this](const std::string& r) {
            remoteSize_ = 0;
            if (ClassOf(r) == '2') {
                bool ok = false;
                remoteSize_ = r.size() > 4
                                  ? QString::fromStdString(r.substr(4)).trimmed().toLongLong(&ok)
                                  : 0;
                if (!ok)
                    remoteSize_ = 0;
            } else if (r.rfind("50", 0) == 0) {
                sizeOk_ = false;
            }
            if (remoteSize_ > 0 && OnFtpNeedInfo) {
                const QString answer = Ask(niResumeOrOverwrite, QString());
                if (answer == "Resume") {
                    ResumeStore();
                } else if (answer == "Overwrite" || answer.isEmpty()) {
                    PlainStore();
                } else {
                    // Ends without an event.
                    op_ = Op::None;
                    Finish();
                }
                return;
            }
            PlainStore();
        });
    });
    WaitIfSynchronous();
}

void TQFtp::PlainStore() {
    Negotiate([this](const std::string&) {
        sending_ = true;
        Send("STOR " + remoteName_, [this](const std::string& r) { StoreReply(r); });
    });
}

void TQFtp::ResumeStore() {
    resumePos_ = remoteSize_;
    file_.seek(resumePos_);
    Negotiate([this](const std::string&) {
        sending_ = true;
        Send("REST " + QString::number(resumePos_), [this](const std::string& r) {
            if (ClassOf(r) == '3') {
                Send("STOR " + remoteName_, [this](const std::string& r2) { StoreReply(r2); });
                return;
            }
            CloseData();
            Error(ftpResumeFailed, "Failed to resume uploading file", false);
            Finish();
        });
    });
}

void TQFtp::StoreReply(const std::string& reply) {
    switch (ClassOf(reply)) {
        case '1':
            got1xx_ = true;
            if (dataReady_)
                Sender();
            break;
        case '2':
            replyDone_ = true;
            TryComplete();
            break;
        default:
            Refused();
    }
}

void TQFtp::Sender() {
    if (!sending_ || !dataReady_ || !got1xx_ || !dataActive_)
        return;
    std::vector<char> buffer(static_cast<std::size_t>(chunk_));
    bool failed = false;
    qint64 queued = 0;
    while (data_.BytesToWrite() < kHighWater && !file_.atEnd()) {
        const qint64 n = file_.read(buffer.data(), chunk_);
        if (n < 0) {
            Error(ftpFileRead, QString(), false);
            failed = true;
            break;
        }
        if (n == 0)
            break;
        const qint64 sent = data_.Send(buffer.data(), n);
        if (sent < n) {
            if (MapWinsockError(data_.LastError())) {
                DataFailed();
                return;
            }
            file_.seek(file_.pos() - (n - sent));
            bytesTransferred_ += sent;
            queued += sent;
            break;
        }
        bytesTransferred_ += sent;
        queued += sent;
    }
    if (replyTimer_.isActive())
        ArmReplyTimer();
    if (queued > 0 || failed) {
        Info(ftpInfoProgress, QString());
        elapsedMs_ = transferClock_.elapsed();
    }
    if (failed || (file_.atEnd() && data_.BytesToWrite() == 0)) {
        elapsedMs_ = transferClock_.elapsed();
        CloseData();
        file_.close();
        Info(ftpInfoTransferDone, QString());
        dataDone_ = true;
        if (failed) {
            replyDone_ = true;  // the server's answer to a cut-off upload no longer matters
        }
        TryComplete();
    }
}

void TQFtp::DownloadFile(const QString& remoteName, const QString& localPath) {
    if (!ReadyCheck())
        return;
    op_ = Op::Download;
    transfer_ = Transfer::Download;
    remoteName_ = remoteName;
    localName_ = localPath.isEmpty() ? Ask(niLocalFile, localPath) : localPath;
    resumePos_ = 0;
    if (remoteName.isEmpty()) {
        Error(ftpFileNotFound, QString(), false);
        Finish();
        return WaitIfSynchronous();
    }
    if (RefuseArgument(remoteName))
        return WaitIfSynchronous();
    if (file_.isOpen())
        file_.close();
    file_.setFileName(localName_);
    const bool exists = !localName_.isEmpty() && QFileInfo::exists(localName_);
    if (localName_.isEmpty() ||
        !file_.open(exists ? QIODevice::ReadWrite : (QIODevice::WriteOnly | QIODevice::Truncate))) {
        Error(ftpFileOpen, QString(), false);
        Finish();
        return WaitIfSynchronous();
    }
    RequestType(transferMode_ == AsciiTransfer ? 'A' : 'I', [this, exists](const std::string& r) {
        if (ClassOf(r) != '2') {
            Error(ftpProtocolError, QString(), false);
            Finish();
            return;
        }
        if (!exists) {
            StartRetrieve(false);
            return;
        }
        const QString answer = Ask(niResumeOrOverwrite, QString());
        if (answer == "Overwrite" || answer.isEmpty()) {
            StartRetrieve(false);
            return;
        }
        if (answer != "Resume") {
            op_ = Op::None;
            Finish();
            return;
        }
        if (!restOk_) {
            Info(ftpInfoResumeNotSupported, "This site cannot resume broken downloads/uploads");
            Finish();
            return;
        }
        const qint64 localSize = file_.size();
        auto decide = [this, localSize](qint64 remoteSize) {
            if (remoteSize == localSize) {
                Info(ftpInfoNothingToDo, "I am afraid I have nothing to do");
                Finish();
            } else if (remoteSize > localSize) {
                resumePos_ = localSize;
                StartRetrieve(true);
            } else {
                Info(ftpInfoResumeNotSupported,
                     "I don't know how to resume this file, I will overwrite it");
                StartRetrieve(false);
            }
        };
        if (!sizeOk_) {
            decide(localSize);
            return;
        }
        Send("SIZE " + remoteName_, [this, decide, localSize](const std::string& r2) {
            qint64 remoteSize = localSize;
            if (ClassOf(r2) == '2') {
                bool ok = false;
                remoteSize = r2.size() > 4
                                 ? QString::fromStdString(r2.substr(4)).trimmed().toLongLong(&ok)
                                 : 0;
                if (!ok)
                    remoteSize = 0;
            } else if (r2.rfind("50", 0) == 0) {
                sizeOk_ = false;
            }
            remoteSize_ = remoteSize;
            decide(remoteSize);
        });
    });
    WaitIfSynchronous();
}

void TQFtp::StartRetrieve(bool append) {
    if (append) {
        file_.seek(file_.size());
    } else {
        file_.resize(0);
        file_.seek(0);
    }
    Negotiate([this, append](const std::string&) {
        auto retr = [this] {
            Send("RETR " + remoteName_, [this](const std::string& r) { RetrReply(r); });
        };
        if (!append) {
            retr();
            return;
        }
        Send("REST " + QString::number(resumePos_), [this, retr](const std::string& r) {
            if (ClassOf(r) == '3') {
                retr();
                return;
            }
            CloseData();
            Error(ftpResumeFailed, "Failed to resume downloading file", false);
            Finish();
        });
    });
}

void TQFtp::RetrReply(const std::string& reply) {
    switch (ClassOf(reply)) {
        case '1': {
            const auto open = reply.rfind('(');
            if (open != std::string::npos) {
                const std::string rest = reply.substr(open + 1);
                Info(ftpInfoTransferSize, QString::fromStdString(rest.substr(0, rest.find(' '))));
            }
            break;
        }
        case '2':
            replyDone_ = true;
            TryComplete();
            break;
        default:
            Refused();
    }
}

void TQFtp::DownloadRead() {
    char buffer[4096];
    while (file_.isOpen()) {
        const qint64 n = data_.Receive(buffer, sizeof buffer);
        if (n <= 0)
            break;
        bytesTransferred_ += n;
        if (replyTimer_.isActive())
            ArmReplyTimer();
        if (file_.write(buffer, n) != n) {
            Error(ftpFileWrite, QString(), false);
            file_.close();
            CloseData();
            dataDone_ = true;
            replyDone_ = true;
            TryComplete();
            return;
        }
        Info(ftpInfoProgress, QString());
    }
    if (transferClock_.isValid())
        elapsedMs_ = transferClock_.elapsed();
}

}  // namespace tavo::ftp
