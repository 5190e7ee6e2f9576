#include "ftp/qsocket.h"

#include <QHostInfo>
#include <QNetworkProxy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>

#include <sys/socket.h>
#include <unistd.h>

#include <deque>

#include "ftp/ftp_protocol.h"

namespace tavo::ftp {

int WinsockErrorOf(int qtSocketError) {
    switch (static_cast<QAbstractSocket::SocketError>(qtSocketError)) {
        case QAbstractSocket::ConnectionRefusedError:
            return wsa::kConnectionRefused;
        case QAbstractSocket::RemoteHostClosedError:
            return wsa::kConnectionReset;
        case QAbstractSocket::HostNotFoundError:
            return wsa::kHostNotFound;
        case QAbstractSocket::SocketAccessError:
            return wsa::kAccess;
        case QAbstractSocket::SocketResourceError:
            return wsa::kTooManySockets;
        case QAbstractSocket::SocketTimeoutError:
            return wsa::kTimedOut;
        case QAbstractSocket::NetworkError:
            return wsa::kNetworkUnreachable;
        case QAbstractSocket::AddressInUseError:
            return wsa::kAddressInUse;
        case QAbstractSocket::SocketAddressNotAvailableError:
            return wsa::kAddressNotAvailable;
        default:
            return wsa::kInvalid;
    }
}

// Keeps accepted connections as descriptors, so that the wrapper's own socket takes them
// and no socket object is made or deleted per connection.
class DescriptorServer : public QTcpServer {
public:
    using QTcpServer::QTcpServer;
    std::deque<qintptr> pending;

    void Drop() {
        for (qintptr fd : pending)
            ::close(static_cast<int>(fd));
        pending.clear();
    }

protected:
    void incomingConnection(qintptr descriptor) override { pending.push_back(descriptor); }
};

TQSocket::TQSocket(QObject* parent) : QObject(parent) {
    timer_.setInterval(tickMs_);
    connect(&timer_, &QTimer::timeout, this, &TQSocket::Tick);
}

TQSocket::~TQSocket() {
    CancelLookup();
    OnClose = nullptr;
    OnRead = nullptr;
    OnWrite = nullptr;
    OnConnect = nullptr;
    OnAccept = nullptr;
    if (socket_) {
        shutting_ = true;
        socket_->abort();
    }
    if (server_) {
        server_->close();
        server_->Drop();
    }
}

void TQSocket::SetTickIntervalMs(int ms) {
    tickMs_ = ms > 0 ? ms : 1;
    timer_.setInterval(tickMs_);
}

void TQSocket::StartCount() {
    count_ = timeOut_;
    if (count_ <= 0)
        count_ = 1;
    timer_.start();
}

void TQSocket::StopCount() {
    count_ = 0;
    timer_.stop();
}

void TQSocket::Tick() {
    if (count_ <= 0) {
        timer_.stop();
        return;
    }
    if (--count_ > 0)
        return;
    StopCount();
    if (OnTimeOut)
        OnTimeOut();
    else
        Close();
}

void TQSocket::MakeSocket() {
    socket_ = new QSslSocket(this);
    socket_->setProxy(QNetworkProxy::NoProxy);
    connect(socket_, &QSslSocket::connected, this, &TQSocket::SocketConnected);
    connect(socket_, &QSslSocket::errorOccurred, this, &TQSocket::SocketError);
    connect(socket_, &QSslSocket::disconnected, this, &TQSocket::SocketDisconnected);
    connect(socket_, &QSslSocket::readyRead, this, [this] {
        if (shutting_ || !connected_)
            return;
        if (OnRead)
            OnRead();
        StopCount();
    });
    const auto written = [this] {
        if (!shutting_ && !flushing_ && connected_ && OnWrite)
            OnWrite();
    };
    connect(socket_, &QSslSocket::bytesWritten, this, written);
    connect(socket_, &QSslSocket::encryptedBytesWritten, this, written);
    connect(socket_, &QSslSocket::encrypted, this, [this] {
        if (!shutting_ && connected_ && OnEncrypted)
            OnEncrypted();
    });
    connect(socket_, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
        if (!shutting_ && connected_ && OnTlsErrors && OnTlsErrors(errors))
            socket_->ignoreSslErrors();
    });
}

// A socket that has carried TLS keeps some of that session's state in Qt (a new connection
// would, for one, end without its close notification): each TLS connection gets a new one.
// The old one finishes closing on its own and is deleted once back in the event loop, never
// under a handler that may still be inside its signal.
void TQSocket::RenewAfterTls() {
    if (!tlsUsed_)
        return;
    tlsUsed_ = false;
    QSslSocket* old = socket_;
    disconnect(old, nullptr, this, nullptr);
    if (old->state() == QAbstractSocket::ClosingState) {
        // Its close notification is still on its way out.
        connect(old, &QAbstractSocket::disconnected, old, &QObject::deleteLater);
        QTimer::singleShot(30000, old, &QObject::deleteLater);
    } else {
        old->abort();
        old->deleteLater();
    }
    MakeSocket();
}

void TQSocket::EnsureObjects() {
    if (socket_)
        return;
    MakeSocket();
    server_ = new DescriptorServer(this);
    server_->setProxy(QNetworkProxy::NoProxy);
    server_->setMaxPendingConnections(2);
    connect(server_, &QTcpServer::newConnection, this, [this] {
        if (OnAccept)
            OnAccept();
    });
}

bool TQSocket::Listening() const {
    return server_ && server_->isListening();
}

void TQSocket::CreateSocket() {
    if (hasSocket_)
        return;
    EnsureObjects();
    hasSocket_ = true;
    connected_ = false;
}

// Closes what is open without calling any handler; `orderly` lets queued output go first.
void TQSocket::Shut(bool orderly) {
    if (!socket_)
        return;
    shutting_ = true;
    if (orderly && socket_->state() == QAbstractSocket::ConnectedState)
        socket_->disconnectFromHost();
    if (socket_->state() != QAbstractSocket::UnconnectedState && !orderly)
        socket_->abort();
    shutting_ = false;
    if (server_->isListening())
        server_->close();
    server_->Drop();
    connecting_ = false;
    connected_ = false;
}

void TQSocket::Recreate() {
    // A lookup still under way would otherwise connect the new socket when its answer comes.
    CancelLookup();
    StopCount();
    Shut(false);
    hasSocket_ = false;
    CreateSocket();
}

bool TQSocket::Resolve(const QString& name) {
    if (lookupId_ >= 0)
        return false;
    lookupName_ = name;
    lastError_ = 0;
    lookupId_ = QHostInfo::lookupHost(name, this, [this](const QHostInfo& info) {
        // IPv4 first: the usual PORT and PASV speak only IPv4.
        QHostAddress address;
        for (const QHostAddress& a : info.addresses()) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                address = a;
                break;
            }
        }
        if (address.isNull() && !info.addresses().isEmpty())
            address = info.addresses().front();
        int error = 0;
        if (info.error() != QHostInfo::NoError || address.isNull())
            error = info.error() == QHostInfo::HostNotFound || address.isNull() ? wsa::kHostNotFound
                                                                                : wsa::kNoRecovery;
        LookedUp(info.lookupId(), address, error);
    });
    StartCount();
    return true;
}

void TQSocket::LookedUp(int id, const QHostAddress& address, int error) {
    if (id != lookupId_)
        return;
    StopCount();
    lastError_ = error;
    if (error == 0)
        address_ = address;
    lookupId_ = -1;
    NameResolved();
}

void TQSocket::NameResolved() {}

bool TQSocket::SetAddressText(const QString& text) {
    QHostAddress address;
    if (!address.setAddress(text)) {
        address_ = QHostAddress();
        return false;
    }
    address_ = address;
    return true;
}

QString TQSocket::AddressText() const {
    return address_.isNull() ? QString() : address_.toString();
}

bool TQSocket::Connect() {
    CreateSocket();
    lastError_ = 0;
    if (address_.isNull()) {
        lastError_ = wsa::kAddressNotAvailable;
        return false;
    }
    RenewAfterTls();
    Shut(false);  // whatever the socket held before
    tlsClosedByPeer_ = false;
    connecting_ = true;
    connected_ = false;
    socket_->connectToHost(address_, port_);
    if (connecting_ && !connected_)
        StartCount();
    return true;
}

bool TQSocket::Listen() {
    EnsureObjects();
    Shut(false);
    lastError_ = 0;
    if (!server_->listen(address_, port_)) {
        lastError_ = WinsockErrorOf(server_->serverError());
        hasSocket_ = false;
        return false;
    }
    hasSocket_ = true;
    return true;
}

qintptr TQSocket::TakePending() {
    if (!server_ || server_->pending.empty())
        return -1;
    const qintptr fd = server_->pending.front();
    server_->pending.pop_front();
    return fd;
}

TQSocket::AcceptResult TQSocket::AcceptFrom(TQSocket& listener, const QHostAddress& peer,
                                            QHostAddress* refused) {
    const qintptr fd = listener.TakePending();
    if (fd < 0) {
        lastError_ = wsa::kInvalid;
        return AcceptResult::NonePending;
    }
    if (!peer.isNull()) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        QHostAddress from;
        if (::getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&address), &length) ==
            0)
            from.setAddress(reinterpret_cast<sockaddr*>(&address));
        if (!from.isEqual(peer, QHostAddress::TolerantConversion)) {
            ::close(static_cast<int>(fd));
            if (refused)
                *refused = from;
            return AcceptResult::Refused;
        }
    }
    EnsureObjects();
    RenewAfterTls();
    Shut(false);
    tlsClosedByPeer_ = false;
    if (!socket_->setSocketDescriptor(fd)) {
        ::close(static_cast<int>(fd));
        lastError_ = WinsockErrorOf(socket_->error());
        return AcceptResult::NonePending;
    }
    hasSocket_ = true;
    connected_ = true;
    lastError_ = 0;
    NoDelay();
    return AcceptResult::Accepted;
}

void TQSocket::CollectConnections() {
    if (server_ && server_->isListening())
        server_->waitForNewConnection(0);
}

bool TQSocket::Accept(TQSocket& listener) {
    return AcceptFrom(listener, QHostAddress()) == AcceptResult::Accepted;
}

void TQSocket::CancelLookup() {
    // The lookup is left to finish and its result ignored by its id: an aborted lookup
    // would never free its result handler.
    lookupId_ = -1;
}

void TQSocket::Close() {
    CancelLookup();
    StopCount();
    if (!hasSocket_)
        return;
    Shut(true);
    hasSocket_ = false;
    if (OnClose)
        OnClose(0);
}

void TQSocket::SocketConnected() {
    if (shutting_ || !connecting_)
        return;
    connecting_ = false;
    connected_ = true;
    lastError_ = 0;
    StopCount();
    NoDelay();
    if (OnConnect)
        OnConnect();
}

void TQSocket::SocketError() {
    if (shutting_)
        return;
    const auto error = socket_->error();
    if (error == QAbstractSocket::RemoteHostClosedError && socket_->isEncrypted() &&
        socket_->errorString() == QSslSocket::tr("The TLS/SSL connection has been closed")) {
        // The peer's close notification: it may wait for ours before it closes the
        // connection, so ours answers it (once the TLS code has returned).
        tlsClosedByPeer_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (connected_ && !shutting_)
                    Ended(0, true);
            },
            Qt::QueuedConnection);
        return;
    }
    if (connecting_) {
        // A failed set-up arrives as a connect event with an error.
        connecting_ = false;
        connected_ = false;
        lastError_ = WinsockErrorOf(error);
        StopCount();
        if (OnConnect)
            OnConnect();
        return;
    }
    if (!connected_)
        return;
    if (error == QAbstractSocket::RemoteHostClosedError) {
        // An orderly close by the peer: the disconnected notification follows (or has come).
        if (socket_->state() == QAbstractSocket::UnconnectedState)
            SocketDisconnected();
        return;
    }
    lastError_ = WinsockErrorOf(error);
    if (socket_->mode() != QSslSocket::UnencryptedMode) {
        // A TLS failure is reported from inside the TLS code: the connection is ended once
        // it has returned, so that no handler closes the socket under it.
        const int ended = lastError_;
        QMetaObject::invokeMethod(
            this,
            [this, ended] {
                if (connected_ && !shutting_)
                    Ended(ended);
            },
            Qt::QueuedConnection);
        return;
    }
    Ended(lastError_);
}

void TQSocket::SocketDisconnected() {
    if (shutting_ || !connected_)
        return;
    Ended(0);
}

// The peer or an error ended the connection: what came before it is read first (and after an
// orderly end the write handler hears of it), then the close handler runs. A handler may close
// the socket itself meanwhile.
void TQSocket::Ended(int error, bool answerTlsClose) {
    if (OnRead)
        OnRead();
    if (!connected_)
        return;
    if (error == 0 && OnWrite) {
        OnWrite();
        if (!connected_)
            return;
    }
    Shut(answerTlsClose);
    hasSocket_ = false;
    if (OnClose)
        OnClose(error);
}

qint64 TQSocket::Send(const char* data, qint64 length) {
    if (!socket_ || !connected_) {
        lastError_ = wsa::kNotConnected;
        return 0;
    }
    const qint64 n = socket_->write(data, length);
    if (n < 0) {
        lastError_ = WinsockErrorOf(socket_->error());
        return 0;
    }
    lastError_ = 0;
    return n;
}

// Commands and the end of a file go out as they are written: each one is waited for by the
// other side, so holding a small segment back for an acknowledgement only adds a delay.
void TQSocket::NoDelay() {
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void TQSocket::Flush() {
    if (!socket_ || !connected_)
        return;
    flushing_ = true;
    socket_->flush();
    flushing_ = false;
}

qint64 TQSocket::Receive(char* buffer, qint64 size) {
    if (!socket_ || !socket_->isOpen())
        return 0;
    const qint64 n = socket_->read(buffer, size);
    return n > 0 ? n : 0;
}

qint64 TQSocket::BytesAvailable() const {
    return socket_ && socket_->isOpen() ? socket_->bytesAvailable() : 0;
}

qint64 TQSocket::BytesToWrite() const {
    return socket_ && socket_->isOpen() ? socket_->bytesToWrite() + socket_->encryptedBytesToWrite()
                                        : 0;
}

void TQSocket::StartTls(const QSslConfiguration& configuration, const QString& peerName) {
    if (!socket_ || !connected_)
        return;
    tlsClosedByPeer_ = false;
    tlsUsed_ = true;
    socket_->setSslConfiguration(configuration);
    socket_->setPeerVerifyName(peerName);
    socket_->startClientEncryption();
}

bool TQSocket::Encrypted() const {
    return socket_ && socket_->isEncrypted();
}

QSslConfiguration TQSocket::TlsConfiguration() const {
    return socket_ ? socket_->sslConfiguration() : QSslConfiguration();
}

QSslCertificate TQSocket::PeerCertificate() const {
    return socket_ ? socket_->peerCertificate() : QSslCertificate();
}

QString TQSocket::TlsProtocolName() const {
    if (!socket_)
        return {};
    switch (socket_->sessionProtocol()) {
        case QSsl::TlsV1_2:
            return "TLS 1.2";
        case QSsl::TlsV1_3:
            return "TLS 1.3";
        default:
            return "TLS";
    }
}

QString TQSocket::ErrorText() const {
    return socket_ ? socket_->errorString() : QString();
}

QHostAddress TQSocket::LocalAddress() const {
    if (Listening())
        return server_->serverAddress();
    if (socket_ && socket_->state() != QAbstractSocket::UnconnectedState)
        return socket_->localAddress();
    return {};
}

std::uint16_t TQSocket::LocalPort() const {
    if (Listening())
        return server_->serverPort();
    if (socket_ && socket_->state() != QAbstractSocket::UnconnectedState)
        return socket_->localPort();
    return 0;
}

QHostAddress TQSocket::PeerAddress() const {
    return socket_ && socket_->state() != QAbstractSocket::UnconnectedState ? socket_->peerAddress()
                                                                            : QHostAddress();
}

}  // namespace tavo::ftp
