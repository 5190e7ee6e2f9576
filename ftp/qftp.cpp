#include "ftp/qftp.h"

#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QStandardPaths>

#include "common/ui_text.h"
#include "core/date.h"
#include "ftp/ftp_protocol.h"
#include "ftp/qftp_wire.h"

Q_LOGGING_CATEGORY(lcFtpState, "tavo.ftp.state")

namespace tavo::ftp {

namespace {

QString DefaultCacheFolder() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (base.isEmpty())
        base = QDir::tempPath() + "/tavo-cache";
    return base + "/ftpcache/";
}

}  // namespace

TQFtp::TQFtp(QObject* parent) : TQSocket(parent), listener_(this), data_(this) {
    SetToday(ToQDate(tavo::Today()));
    trace_ = qEnvironmentVariableIntValue("TAVO_FTP_TRACE") != 0;
    listingCache_.SetFolder(DefaultCacheFolder().toStdString());
    listingCache_.EnsureFolder();

    TQSocket::OnRead = [this] { ControlRead(); };
    TQSocket::OnConnect = [this] { ControlConnected(); };
    TQSocket::OnClose = [this](int e) { ControlClosed(e); };
    TQSocket::OnTimeOut = [this] { ControlTimedOut(); };
    TQSocket::OnEncrypted = [this] { ControlEncrypted(); };
    TQSocket::OnTlsErrors = [this](const QList<QSslError>& e) { return ControlTlsErrors(e); };

    noopTimer_.setInterval(noopMs_);
    connect(&noopTimer_, &QTimer::timeout, this, &TQFtp::NoopTick);
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, [this] {
        if (state_ == FtpState::RetryWait)
            StartAttempt();
    });
    replyTimer_.setSingleShot(true);
    connect(&replyTimer_, &QTimer::timeout, this, &TQFtp::ReplyTimedOut);

    data_.OnConnect = [this] { DataConnected(); };
    data_.OnClose = [this](int e) { DataClosed(e); };
    data_.OnRead = [this] { DataRead(); };
    data_.OnWrite = [this] {
        if (link_ == DataLink::Open && op_ == Operation::Upload)
            SendFileData();
    };
    data_.OnEncrypted = [this] { DataEncrypted(); };
    data_.OnTlsErrors = [this](const QList<QSslError>&) { return DataTlsErrors(); };
    listener_.OnAccept = [this] { DataAccept(); };
}

TQFtp::~TQFtp() {
    TQSocket::OnClose = nullptr;
    TQSocket::OnRead = nullptr;
    data_.OnClose = nullptr;
    data_.OnRead = nullptr;
    listener_.OnAccept = nullptr;
}

QString TQFtp::LastReply() const {
    return FromCp932(lastReply_);
}

QString TQFtp::Version() const {
    return QStringLiteral("Tavo TQFtp 2.0 (Qt)");
}

void TQFtp::SetNoopIntervalMs(int ms) {
    noopMs_ = ms > 0 ? ms : 1;
    noopTimer_.setInterval(noopMs_);
}

void TQFtp::SetLimits(const FtpLimits& limits) {
    limits_ = limits;
    reader_.SetLimits(limits);
}

QString TQFtp::CacheFolder() const {
    return QString::fromStdString(listingCache_.Folder().string());
}

void TQFtp::SetCacheFolder(const QString& folder) {
    listingCache_.SetFolder(folder.toStdString());
    listingCache_.EnsureFolder();
}

void TQFtp::SetToday(const QDate& today) {
    today_ = today.year() * 10000 + today.month() * 100 + today.day();
    currentYear_ = today.year();
}

std::string TQFtp::CacheKey() const {
    return ListingCacheKey(server_.toStdString(), port_ == 0 ? 21 : port_, username_.toStdString(),
                           currentDirectory_.toStdString());
}

// ---------------------------------------------------------------- listeners and events

namespace {

// The first free slot of a listener table, or -1 when it is full.
template <typename Handler, std::size_t N>
int TakeSlot(std::array<Handler, N>& table, Handler listener) {
    for (std::size_t i = 0; i < N; ++i) {
        if (!table[i]) {
            table[i] = std::move(listener);
            return static_cast<int>(i);
        }
    }
    return -1;
}

template <typename Handler, std::size_t N>
void FreeSlot(std::array<Handler, N>& table, int slot) {
    if (slot >= 0 && static_cast<std::size_t>(slot) < N)
        table[static_cast<std::size_t>(slot)] = nullptr;
}

}  // namespace

int TQFtp::AddInfoListener(InfoHandler listener) {
    return TakeSlot(infoListeners_, std::move(listener));
}

void TQFtp::RemoveInfoListener(int slot) {
    FreeSlot(infoListeners_, slot);
}

int TQFtp::AddErrorListener(ErrorHandler listener) {
    return TakeSlot(errorListeners_, std::move(listener));
}

void TQFtp::RemoveErrorListener(int slot) {
    FreeSlot(errorListeners_, slot);
}

void TQFtp::Info(FtpInfo info, const QString& text) {
    if (OnFtpInfo)
        OnFtpInfo(this, info, text);
    for (const auto& listener : infoListeners_) {
        if (listener)
            listener(this, info, text);
    }
}

QString TQFtp::Ask(TQFtpInfoNeeded need, const QString& current) {
    QString value = current;
    if (OnFtpNeedInfo)
        OnFtpNeedInfo(this, need, value);
    return value;
}

// ---------------------------------------------------------------- state

// The only place the session's state changes.
void TQFtp::SetState(FtpState next) {
    if (trace_ && next != state_)
        qCInfo(lcFtpState, "state: %s -> %s", FtpStateName(state_), FtpStateName(next));
    state_ = next;
    ++epoch_;
    // An idle or unconnected session runs no operation; without a connection nothing is
    // awaited or kept alive, and only a retry wait waits for its timer.
    if (next == FtpState::Idle || !IsConnectedState(next))
        op_ = Operation::None;
    if (!IsConnectedState(next)) {
        replyTimer_.stop();
        noopTimer_.stop();
        if (next != FtpState::RetryWait)
            retryTimer_.stop();
    }
}

void TQFtp::StartOperation(Operation op) {
    op_ = op;
    operationFailed_ = false;
}

bool TQFtp::ReadyCheck() {
    if (!Connected()) {
        Info(ftpInfoNotConnected, "Not connected to the server");
        return false;
    }
    if (state_ != FtpState::Idle) {
        Info(ftpInfoBusy, "The component is busy doing something");
        return false;
    }
    if (OnFtpBusy)
        OnFtpBusy(this);
    if (state_ != FtpState::Idle)
        return false;
    noopTimer_.stop();
    lastError_ = ftpNone;
    return true;
}

void TQFtp::RaiseError(FtpError code, const QString& text) {
    operationFailed_ = true;
    lastError_ = code;
    failureClock_.start();
    if (OnFtpError)
        OnFtpError(this, code, text);
    for (const auto& listener : errorListeners_) {
        if (listener)
            listener(this, code, text);
    }
}

// The running operation failed; the connection stays and the operation's event follows.
// Before login there is no operation to end: the attempt fails as a whole.
void TQFtp::Fail(FtpError code, const QString& text) {
    if (!IsLoggedInState(state_)) {
        FailFatally(code, text);
        return;
    }
    const quint64 epoch = epoch_;
    RaiseError(code, text);
    // The handler may have run a nested event loop in which the session moved on.
    if (epoch == epoch_)
        Complete();
}

// The connection cannot go on: close it (before login the next attempt follows).
void TQFtp::FailFatally(FtpError code, const QString& text) {
    const quint64 epoch = epoch_;
    const bool connected = Connected();
    RaiseError(code, text);
    if (epoch != epoch_)
        return;
    CloseData();
    CloseFile();
    if (connected && TQSocket::HasSocket())
        TQSocket::Close();  // on to ControlClosed
    else
        EndUnconnected();
}

// A fault that another attempt would meet again (the server's TLS, its certificate).
void TQFtp::FailWithoutRetry(FtpError code, const QString& text) {
    retriesLeft_ = -1;
    FailFatally(code, text);
}

// A socket call failed: its WinSock error as the client's.
void TQFtp::FailFatallyMapped(int wsaError) {
    const auto mapped = MapWinsockError(wsaError);
    FailFatally(mapped ? mapped->code : ftpInternalError,
                mapped ? QString::fromStdString(mapped->text) : QString());
}

void TQFtp::Complete() {
    replyTimer_.stop();
    CloseData();
    CloseFile();
    SetState(FtpState::Completing);
    const quint64 epoch = epoch_;
    QMetaObject::invokeMethod(
        this, [this, epoch] { ProcessCompletion(epoch); }, Qt::QueuedConnection);
}

void TQFtp::ProcessCompletion(quint64 epoch) {
    if (epoch != epoch_ || state_ != FtpState::Completing)
        return;
    const Operation op = op_;
    const bool failed = operationFailed_;
    SetState(FtpState::Idle);
    noopTimer_.start();
    if (OnFtpReady)
        OnFtpReady(this);
    switch (op) {
        case Operation::Login:
            if (OnLoggedIn)
                OnLoggedIn(this);
            break;
        case Operation::ChangeDir:
            if (OnDirectoryChanged)
                OnDirectoryChanged(this);
            break;
        case Operation::MakeDir:
            if (OnDirectoryCreated)
                OnDirectoryCreated(this);
            break;
        case Operation::Download:
            if (OnFileReceived)
                OnFileReceived(this);
            break;
        case Operation::Upload:
            if (OnFileStored)
                OnFileStored(this);
            break;
        case Operation::Rename:
            if (OnFileRenamed)
                OnFileRenamed(this);
            break;
        case Operation::Delete:
            if (OnFileDeleted)
                OnFileDeleted(this);
            break;
        case Operation::Listing:
            if (!listingFromCache_) {
                directories_.CopyFrom(newDirectories_);
                files_.CopyFrom(newFiles_);
                std::string error;
                // The cache only saves a listing; without it the next one asks the server.
                if (!failed && !listingCache_.Write(CacheKey(), directories_, files_, &error))
                    qWarning("Listing cache not written: %s", error.c_str());
            }
            if (OnListingDone)
                OnListingDone(this);
            break;
        case Operation::None:
            break;
    }
    if (syncLoop_)
        syncLoop_->quit();
}

// The session is over: no connection, no retry. The events come through the event queue.
void TQFtp::EndSession() {
    const bool wasConnected = Connected();
    SetState(FtpState::Disconnected);
    if (wasConnected)
        Info(ftpInfoNotConnected, "Disconnected");
    PostSessionEvents(
        [this](TQFtp*) {
            if (OnFtpQuit)
                OnFtpQuit(this);
        },
        {});
}

// Events of a session that ended or ran no operation: `before`, OnFtpReady, `after`, all
// dropped when a new session has started meanwhile.
void TQFtp::PostSessionEvents(Event before, Event after) {
    const quint64 session = session_;
    QMetaObject::invokeMethod(
        this,
        [this, session, before, after] {
            if (session != session_)
                return;
            if (before)
                before(this);
            if (OnFtpReady)
                OnFtpReady(this);
            if (after)
                after(this);
            if (syncLoop_)
                syncLoop_->quit();
        },
        Qt::QueuedConnection);
}

void TQFtp::Abort() {
    ++session_;
    const bool wasConnected = Connected();
    SetState(FtpState::Disconnected);
    CloseData();
    CloseFile();
    TQSocket::Recreate();
    if (wasConnected)
        Info(ftpInfoNotConnected, "Disconnected");
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

// ---------------------------------------------------------------- operations

void TQFtp::Login() {
    retriesLeft_ = retries_;
    SetState(FtpState::Disconnected);
    StartAttempt();
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

}  // namespace tavo::ftp
