// `TQFtp`: an event-driven FTP client (RFC 959) on the socket wrapper,
// whose own socket is the control connection. Everything runs in the thread that owns it,
// driven by socket notifications, timers and calls it queues to itself; no worker threads
// and no nested waits in asynchronous mode.
//
// Texts on the wire are code page 932, like the diary's files and the names earlier versions
// created on users' servers. Entry names in `Files` and `Directories` are those bytes.
//
// Beyond the component's old behaviour: a command argument holding CR or LF, or a character
// code page 932 cannot hold, is refused (`ftpProtocolError`) instead of being sent; a reply
// time-out (`ReplyTimeOutMs`, 60 s by default, 0 = none) raises `ftpTimeOut` and closes the
// connection; a PASV reply's address is not followed, the data connection goes to the control
// connection's peer with the reply's port; a control connection that drops while an operation
// runs raises `ftpPrematureDisconnect`. The time-outs, keep-alive and retry waits are kept in
// milliseconds so that tests can shorten them.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ftp/ftp_file_info_list.h"
#include "ftp/ftp_types.h"
#include "ftp/listing_cache.h"
#include "ftp/qsocket.h"
#include "ftp/reply_reader.h"

class QEventLoop;

namespace tavo::ftp {

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
        if (!busy_)
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
    bool Passive() const { return passive_; }
    void SetPassive(bool on) { passive_ = on; }
    QString Version() const;
    // Bytes per chunk read from the file and queued on the data connection (1514 by default).
    int SendChunkSize() const { return chunk_; }
    void SetSendChunkSize(int bytes) { chunk_ = bytes > 0 ? bytes : 1514; }

    // --- Public state ---
    bool Connected() const { return ftpConnected_; }
    bool LoggedIn() const { return loggedIn_; }
    bool Busy() const { return busy_; }
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
        OnListingDone;
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
    void Refresh();
    void UploadFile(const QString& localPath, const QString& remoteName);
    void DownloadFile(const QString& remoteName, const QString& localPath);
    int FindFile(const QString& name) const;
    int FindDirectory(const QString& name) const;

    const TQFtpFileInfoList& Files() const { return files_; }
    const TQFtpFileInfoList& Directories() const { return directories_; }

    // The listing cache key of the current server, user and directory.
    std::string CacheKey() const;

protected:
    void NameResolved() override;

private:
    using Step = std::function<void(const std::string&)>;
    enum class Op { None, Login, ChangeDir, MakeDir, Download, Upload, Listing };
    enum class Transfer { None, Listing, Upload, Download };

    // Events and errors.
    void Info(FtpInfo info, const QString& text);
    void Error(FtpError code, const QString& text, bool fatal);
    QString Ask(TQFtpInfoNeeded need, const QString& current);

    // Commands and replies.
    bool Send(const QString& command, Step next);
    void ControlRead();
    void ControlConnected();
    void ControlClosed(int wsaError);
    void ControlTimedOut();
    void ReplyTimedOut();
    void ArmReplyTimer();
    bool ReadyCheck();
    // Refuses (error, then completion) an argument that cannot go on the wire as it is.
    bool RefuseArgument(const QString& argument);
    void Finish();
    void PostCompletion();
    void ProcessCompletion();
    void ProcessDisconnection();
    void WaitIfSynchronous();
    void NoopTick();

    // Login.
    void StartAttempt();
    void ConnectControl();
    void Welcome(const std::string& reply);
    void SendUser(const QString& user);
    void UserReply(const std::string& reply);
    void PassReply(const std::string& reply);
    void AcctReply(const std::string& reply);
    void AfterLogin();
    void SystReply(const std::string& reply);
    void Rest100Reply(const std::string& reply);
    void InitialDirectoryStep();
    void LoginPwdReply(const std::string& reply);
    QString PathFromReply(const std::string& reply, bool convert) const;

    // Transfers.
    void RequestType(char type, Step next);
    void Negotiate(std::function<void(const std::string&)> continuation);
    void DataReady();
    void DataFailed();
    void DataClosedByPeer();
    void CloseData();
    void TryComplete();
    void Refused();
    void ListingRead();
    void ListingLines();
    void Sender();
    void StoreReply(const std::string& reply);
    void PlainStore();
    void ResumeStore();
    void DownloadRead();
    void StartRetrieve(bool append);
    void RetrReply(const std::string& reply);

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

    // State.
    bool ftpConnected_ = false;
    bool loggedIn_ = false;
    bool loginCompleted_ = false;
    bool busy_ = false;
    bool quitting_ = false;
    QString currentDirectory_;
    qint64 bytesTransferred_ = 0;
    qint64 elapsedMs_ = 0;
    QElapsedTimer transferClock_;
    FtpError lastError_ = ftpNone;
    bool failed_ = false;
    int retriesLeft_ = 0;
    bool retryWaiting_ = false;
    bool restOk_ = false;
    bool sizeOk_ = true;
    bool noopOk_ = true;
    FtpReplyReader reader_;
    std::string lastReply_;
    Step pending_;
    bool readingControl_ = false;
    Op op_ = Op::None;
    QString savedServer_;
    std::uint16_t savedPort_ = 21;
    QEventLoop* syncLoop_ = nullptr;

    // Transfer state.
    Transfer transfer_ = Transfer::None;
    TQSocket listener_;
    TQSocket data_;
    bool dataActive_ = false;
    bool dataReady_ = false;
    bool dataDone_ = false;
    bool replyDone_ = false;
    bool got1xx_ = false;
    bool sending_ = false;
    QString remoteName_;
    QString localName_;
    QFile file_;
    qint64 resumePos_ = 0;
    qint64 remoteSize_ = 0;
    qint64 localSize_ = 0;
    char lastType_ = '\0';
    std::string listingTail_;
    std::vector<std::string> rawListing_;
    int listingLineCount_ = 0;
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
