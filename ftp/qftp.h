// `TQFtp`: an event-driven FTP client (RFC 959) on the socket wrapper,
// whose own socket is the control connection. Everything runs in the thread that owns it,
// driven by socket notifications, timers and calls it queues to itself; no worker threads
// and no nested waits in asynchronous mode.
//
// Texts on the wire are code page 932, like the diary's files and the names earlier versions
// created on users' servers. Entry names in `Files` and `Directories` are those bytes.
//
// The session is one `FtpState`, changed only by `SetState`; with TAVO_FTP_TRACE=1 in the
// environment every change is logged ("state: USER -> PASS"). Each reply goes to the handler
// of the state that waits for it. `Fail` ends the running operation (its event follows),
// `FailFatally` the connection; nothing else completes an operation.
//
// Beyond the component's old behaviour: a command argument holding CR or LF, or a character
// code page 932 cannot hold, is refused (`ftpProtocolError`) instead of being sent; a reply
// time-out (`ReplyTimeOutMs`, 60 s by default, 0 = none), counted from the command sent and
// re-armed only by a first preliminary reply and by data moving, raises `ftpTimeOut` (or
// `ftpDataConnectionFailed` while the data connection is still awaited) and closes the
// connection; malformed or oversized replies and listings are errors (`Limits`);
// data connections go only to and come only from the control connection's peer; a
// control connection that drops while an operation runs raises `ftpPrematureDisconnect`;
// an upload whose data connection the server ends early is an error, whatever it replies.
// Commands whose answer nobody would use are not sent: SIZE and the REST probe only when an
// `OnFtpNeedInfo` handler could take a resume. The time-outs, keep-alive and retry waits are
// kept in milliseconds so that tests can shorten them.
#pragma once

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ftp/ftp_file_info_list.h"
#include "ftp/ftp_state.h"
#include "ftp/ftp_types.h"
#include "ftp/listing_cache.h"
#include "ftp/qsocket.h"
#include "ftp/reply_reader.h"

class QEventLoop;

namespace tavo::ftp {

// A certificate's SHA-256 digest, and the digest as "AB:CD:…" text.
QByteArray CertificateSha256(const QSslCertificate& certificate);
QString FingerprintText(const QByteArray& digest);

class TQFtp : public TQSocket {
    Q_OBJECT

public:
    using InfoHandler = std::function<void(TQFtp*, FtpInfo, const QString&)>;
    using ErrorHandler = std::function<void(TQFtp*, FtpError, const QString&)>;
    using NeedInfoHandler = std::function<void(TQFtp*, TQFtpInfoNeeded, QString&)>;
    using Event = std::function<void(TQFtp*)>;
    using FileFoundHandler = std::function<void(TQFtp*, const QFtpFileInfo&, const QString&, bool)>;

    static constexpr int kListenerSlots = 4;

    explicit TQFtp(QObject* parent = nullptr);
    ~TQFtp() override;

    // --- Published properties ---
    QString Server() const { return server_; }
    void SetServer(const QString& s) { server_ = s.trimmed(); }
    std::uint16_t Port() const { return port_; }
    void SetPort(std::uint16_t p) { port_ = p; }
    // TimeOut (seconds) is the socket wrapper's.
    QString Username() const { return username_; }
    void SetUsername(const QString& s) { username_ = s; }
    QString Password() const { return password_; }
    void SetPassword(const QString& s) { password_ = s; }
    QString Account() const { return account_; }
    void SetAccount(const QString& s) { account_ = s; }
    bool Asynchronous() const { return asynchronous_; }
    void SetAsynchronous(bool on) {
        if (!Busy())
            asynchronous_ = on;
    }
    // Kept for the stored form; the Qt event loop is the only message pump.
    bool MultiThreaded() const { return multiThreaded_; }
    void SetMultiThreaded(bool on) { multiThreaded_ = on; }
    std::uint16_t NoopInterval() const { return static_cast<std::uint16_t>(noopMs_ / 1000); }
    void SetNoopInterval(std::uint16_t seconds) { SetNoopIntervalMs(seconds * 1000); }
    int NoopIntervalMs() const { return noopMs_; }
    void SetNoopIntervalMs(int ms);
    int Retries() const { return retries_; }
    void SetRetries(int n) { retries_ = n; }
    std::uint16_t RetryInterval() const { return static_cast<std::uint16_t>(retryMs_ / 1000); }
    void SetRetryInterval(std::uint16_t seconds) { retryMs_ = seconds * 1000; }
    int RetryIntervalMs() const { return retryMs_; }
    void SetRetryIntervalMs(int ms) { retryMs_ = ms < 0 ? 0 : ms; }
    // Time allowed for each reply once a command is sent (and for the welcome); 0 = none.
    int ReplyTimeOutMs() const { return replyTimeOutMs_; }
    void SetReplyTimeOutMs(int ms) { replyTimeOutMs_ = ms < 0 ? 0 : ms; }
    TQFtpServerType ServerType() const { return serverType_; }
    void SetServerType(TQFtpServerType t) { serverType_ = t; }
    QString InitialDirectory() const { return initialDirectory_; }
    void SetInitialDirectory(const QString& s) { initialDirectory_ = s; }
    QString FileMask() const { return fileMask_; }
    void SetFileMask(const QString& s) { fileMask_ = s; }
    bool Cache() const { return cache_; }
    void SetCache(bool on) { cache_ = on; }
    int CacheExpire() const { return cacheExpire_; }
    void SetCacheExpire(int days) { cacheExpire_ = days; }
    // The listing cache folder: a per-user cache folder by default
    // (QStandardPaths::CacheLocation + "/ftpcache/").
    QString CacheFolder() const;
    void SetCacheFolder(const QString& folder);
    // The day the client takes as today, for listing lines that give no year and the age of
    // cached listings: the local date when the client was made, unless set.
    void SetToday(const QDate& today);
    TQFtpTransferType TransferMode() const { return transferMode_; }
    void SetTransferMode(TQFtpTransferType t) { transferMode_ = t; }
    TQFtpProxyType ProxyType() const { return proxyType_; }
    void SetProxyType(TQFtpProxyType t) { proxyType_ = t; }
    QString ProxyServer() const { return proxyServer_; }
    void SetProxyServer(const QString& s) { proxyServer_ = s; }
    std::uint16_t ProxyPort() const { return proxyPort_; }
    void SetProxyPort(std::uint16_t p) { proxyPort_ = p; }
    QString ProxyUsername() const { return proxyUsername_; }
    void SetProxyUsername(const QString& s) { proxyUsername_ = s; }
    QString ProxyPassword() const { return proxyPassword_; }
    void SetProxyPassword(const QString& s) { proxyPassword_ = s; }
    // Passive: the client connects to the port the server names after EPSV (or PASV, when
    // the server refuses EPSV; never over IPv6), always at the control connection's peer
    // address. Active: the server connects to the client's listener named by PORT (EPRT over
    // IPv6); a connection from any other host is refused and logged.
    bool Passive() const { return passive_; }
    void SetPassive(bool on) { passive_ = on; }
    // TLS (RFC 4217): AUTH TLS after the welcome, PBSZ 0 and PROT P after the login, and every
    // data connection encrypted, resuming the control connection's TLS session. Never falls
    // back to clear text: a server that refuses is `ftpTlsNotOffered`.
    FtpSecurity Security() const { return security_; }
    void SetSecurity(FtpSecurity security) { security_ = security; }
    // The SHA-256 digest of the one certificate the user trusted for this server, or empty.
    // Set, only that certificate is accepted, verified or not; empty, the certificate must be
    // verified against the system's trust store and the server name.
    QByteArray TrustedCertificate() const { return trustedCertificate_; }
    void SetTrustedCertificate(const QByteArray& sha256) { trustedCertificate_ = sha256; }
    // Authorities trusted beside the system's (tests use their own).
    void SetExtraCaCertificates(const QList<QSslCertificate>& certificates) {
        extraCaCertificates_ = certificates;
    }
    // The server's certificate of the last TLS handshake (also when it was refused).
    QSslCertificate ServerCertificate() const { return serverCertificate_; }
    // "TLS 1.3" while the control connection is encrypted, else empty.
    QString TlsProtocol() const;
    QString Version() const;
    const FtpLimits& Limits() const { return limits_; }
    void SetLimits(const FtpLimits& limits);
    // Bytes per chunk read from the file and queued on the data connection (1514 by default).
    int SendChunkSize() const { return chunk_; }
    void SetSendChunkSize(int bytes) { chunk_ = bytes > 0 ? bytes : 1514; }

    // --- Public state ---
    FtpState State() const { return state_; }
    bool Connected() const { return IsConnectedState(state_); }
    bool LoggedIn() const { return IsLoggedInState(state_); }
    // An operation (or a keep-alive NOOP) runs; the login dialogue does not count.
    bool Busy() const { return state_ > FtpState::Idle; }
    QString CurrentDirectory() const { return currentDirectory_; }
    qint64 BytesTransferred() const { return bytesTransferred_; }
    qint64 ElapsedMs() const { return elapsedMs_; }
    FtpError LastErrorCode() const { return lastError_; }
    QString LastReply() const;
    const std::vector<std::string>& LastMultiLineReply() const { return reader_.LastMultiLine(); }
    bool ServerAcceptsRest() const { return restOk_; }
    bool ServerAcceptsSize() const { return sizeOk_; }
    bool ServerAcceptsNoop() const { return noopOk_; }
    int RetriesLeft() const { return retriesLeft_; }
    const std::vector<std::string>& RawListing() const { return rawListing_; }

    // --- Events ---
    InfoHandler OnFtpInfo;
    ErrorHandler OnFtpError;
    NeedInfoHandler OnFtpNeedInfo;
    Event OnFtpReady, OnFtpBusy;
    Event OnLoggedIn, OnDirectoryChanged, OnDirectoryCreated, OnFileReceived, OnFileStored,
        OnListingDone, OnFileRenamed, OnFileDeleted;
    Event OnFtpQuit;
    Event OnAborted;               // declared; never raised (no abort request exists)
    FileFoundHandler OnFileFound;  // declared; never raised (entries come as info 15)

    // Up to four further listeners each (the session log registers one of each). Returns
    // the slot, or -1 when the table is full.
    int AddInfoListener(InfoHandler listener);
    void RemoveInfoListener(int slot);
    int AddErrorListener(ErrorHandler listener);
    void RemoveErrorListener(int slot);

    // --- Operations ---
    void Login();
    void ChangeDirectory(const QString& path);
    void MakeDirectory(const QString& name);
    void Quit();
    // Ends the session at once: connections, a name lookup, a retry wait and every timer.
    // No event follows.
    void Abort();
    void Refresh();
    void UploadFile(const QString& localPath, const QString& remoteName);
    void DownloadFile(const QString& remoteName, const QString& localPath);
    // RNFR and RNTO; raises OnFileRenamed, after an error too.
    void RenameFile(const QString& from, const QString& to);
    // DELE; raises OnFileDeleted, after an error too.
    void DeleteFile(const QString& name);
    int FindFile(const QString& name) const;
    int FindDirectory(const QString& name) const;

    const TQFtpFileInfoList& Files() const { return files_; }
    const TQFtpFileInfoList& Directories() const { return directories_; }

    // The listing cache key of the current server, user and directory.
    std::string CacheKey() const;

protected:
    void NameResolved() override;

private:
    enum class Operation {
        None,
        Login,
        ChangeDir,
        MakeDir,
        Listing,
        Upload,
        Download,
        Rename,
        Delete
    };
    // Securing: connected, its TLS handshake runs.
    enum class DataLink { None, Listening, Connecting, Securing, Open, Ended };

    // State (qftp.cpp).
    void SetState(FtpState next);
    void StartOperation(Operation op);
    bool ReadyCheck();
    void Info(FtpInfo info, const QString& text);
    void RaiseError(FtpError code, const QString& text);
    void Fail(FtpError code, const QString& text);
    void FailFatally(FtpError code, const QString& text);
    void FailFatallyMapped(int wsaError);
    void FailWithoutRetry(FtpError code, const QString& text);
    QString Ask(TQFtpInfoNeeded need, const QString& current);
    void Complete();
    void ProcessCompletion(quint64 epoch);
    void EndSession();
    void PostSessionEvents(Event before, Event after);
    void WaitIfSynchronous();

    // Control connection and replies (qftp_control.cpp).
    bool Send(const QString& command, FtpState awaiting);
    bool RefuseArgument(const QString& argument);
    void ControlRead();
    void HandleReply(const std::string& reply);
    void ArmReplyTimer();
    void ReplyTimedOut();
    void ControlClosed(int wsaError);
    void NoopTick();

    // Connecting and logging in (qftp_login.cpp).
    void StartAttempt();
    void ConnectControl();
    void ControlConnected();
    void ControlTimedOut();
    void EndUnconnected();
    void OnWelcome(const std::string& reply);
    void BeginLogin();
    void SendUser(const QString& user);
    void OnProxyReply(const std::string& reply);
    void OnUserReply(const std::string& reply);
    void OnPassReply(const std::string& reply);
    void OnAcctReply(const std::string& reply);
    void AfterLogin();
    void AfterProtection();
    void OnSystReply(const std::string& reply);
    void ProbeRest();
    void OnRestProbeReply(const std::string& reply);
    void InitialDirectoryStep();
    void OnInitialCwdReply(const std::string& reply);
    void OnLoginPwdReply(const std::string& reply);
    QString PathFromReply(const std::string& reply, bool convert) const;
    bool ResumeWanted() const { return static_cast<bool>(OnFtpNeedInfo); }

    // Directory commands (qftp_directory.cpp).
    void OnCwdReply(const std::string& reply);
    void OnCwdPwdReply(const std::string& reply);
    void StartNameCommand(Operation op, FtpState state, const char* verb, const QString& name);
    void OnLastReply(const std::string& reply);
    void OnQuitReply(const std::string& reply);
    void OnNoopReply(const std::string& reply);
    void OnRnfrReply(const std::string& reply);

    // TLS (qftp_tls.cpp).
    QSslConfiguration ControlTlsConfiguration() const;
    QString TlsPeerName() const;
    void OnAuthReply(const std::string& reply);
    void ControlEncrypted();
    bool ControlTlsErrors(const QList<QSslError>& errors);
    bool TlsHandshakeClosed();
    void OnPbszReply(const std::string& reply);
    void OnProtReply(const std::string& reply);
    void SecureDataConnection();
    bool DataTlsErrors();
    void DataEncrypted();

    // Transfers (qftp_transfer.cpp).
    bool BeginFileTransfer(Operation op, const QString& remoteName, const QString& localName);
    void RequestType(char type);
    void OnTypeReply(const std::string& reply);
    void AfterType();
    void OnSizeReply(const std::string& reply);
    void DecideDownload(qint64 remoteSize);
    void OpenDataConnection();
    void OnPortReply(const std::string& reply);
    void OnPasvReply(const std::string& reply);
    void SendTransferCommand();
    void OnRestReply(const std::string& reply);
    void OnTransferReply(const std::string& reply);
    void DataAccept();
    QString DataFailureText(const QString& cause) const;
    void DataConnected();
    void DataReady();
    void DataRead();
    void DataClosed(int wsaError);
    void DataEnded();
    void CloseData();
    void CloseFile();
    void ListingLines();
    void SendFileData();
    void WriteReceived(const char* bytes, qint64 n);

    // Properties.
    QString server_;
    std::uint16_t port_ = 21;
    QString username_ = "anonymous";
    QString password_ = "tavo@example.invalid";
    QString account_;
    bool asynchronous_ = true;
    bool multiThreaded_ = false;
    int noopMs_ = 30000;
    int retries_ = 3;
    int retryMs_ = 15000;
    int replyTimeOutMs_ = 60000;
    TQFtpServerType serverType_ = ftpstAutoDetect;
    QString initialDirectory_;
    QString fileMask_;
    bool cache_ = true;
    int cacheExpire_ = 7;
    TQFtpTransferType transferMode_ = BinaryTransfer;
    TQFtpProxyType proxyType_ = proxyNone;
    QString proxyServer_;
    std::uint16_t proxyPort_ = 21;
    QString proxyUsername_;
    QString proxyPassword_;
    bool passive_ = false;
    int chunk_ = 1514;
    FtpLimits limits_;

    // The session.
    FtpState state_ = FtpState::Disconnected;
    Operation op_ = Operation::None;
    quint64 epoch_ = 0;    // every state change; a handler that ran a nested loop checks it
    quint64 session_ = 0;  // every attempt; queued events of an older one are dropped
    bool trace_ = false;
    bool operationFailed_ = false;
    FtpError lastError_ = ftpNone;
    QString currentDirectory_;
    QString cwdArgument_;
    int retriesLeft_ = 0;
    QElapsedTimer failureClock_;
    bool restOk_ = false;
    bool sizeOk_ = true;
    bool noopOk_ = true;
    FtpReplyReader reader_;
    std::string lastReply_;
    bool readingControl_ = false;
    QString savedServer_;
    std::uint16_t savedPort_ = 21;
    QEventLoop* syncLoop_ = nullptr;

    // TLS.
    FtpSecurity security_ = FtpSecurity::Plain;
    QByteArray trustedCertificate_;
    QList<QSslCertificate> extraCaCertificates_;
    QSslCertificate serverCertificate_;
    FtpError tlsRefusal_ = ftpNone;  // why the running handshake was refused
    QString tlsRefusalText_;

    // The running transfer.
    DataLink link_ = DataLink::None;
    TQSocket listener_;
    TQSocket data_;
    bool firstPreliminary_ = false;  // its first 1xx re-armed the time-out
    bool extendedPassive_ = false;   // the passive reply awaited is EPSV's
    bool epsvRefused_ = false;       // this session's server takes PASV only
    QHostAddress refusedPeer_;       // a host other than the server that connected
    QString remoteName_;
    QString renameTo_;
    QFile file_;
    bool downloadExists_ = false;
    qint64 restartAt_ = 0;
    qint64 remoteSize_ = 0;
    qint64 localSize_ = 0;
    qint64 bytesTransferred_ = 0;
    qint64 elapsedMs_ = 0;
    QElapsedTimer transferClock_;
    char lastType_ = '\0';
    std::string listingTail_;
    std::uint64_t listingBytes_ = 0;
    std::vector<std::string> rawListing_;
    bool listingFromCache_ = false;
    TQFtpFileInfoList newFiles_, newDirectories_;
    TQFtpFileInfoList files_, directories_;
    TQFtpListingCache listingCache_;
    int today_ = 0;
    int currentYear_ = 0;

    QTimer noopTimer_;
    QTimer retryTimer_;
    QTimer replyTimer_;

    std::array<InfoHandler, kListenerSlots> infoListeners_;
    std::array<ErrorHandler, kListenerSlots> errorListeners_;
};

}  // namespace tavo::ftp
