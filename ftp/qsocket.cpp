#include "ftp/qsocket.h"

#include <QHostInfo>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>

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

TQSocket::TQSocket(QObject* parent) : QObject(parent) {
    timer_.setInterval(tickMs_);
    connect(&timer_, &QTimer::timeout, this, &TQSocket::Tick);
}

TQSocket::~TQSocket() {
    CancelLookup();
    OnClose = nullptr;
    OnRead = nullptr;
    OnWrite = nullptr;
    if (socket_ || server_)
        Detach(false);
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

void TQSocket::CreateSocket() {
    if (socket_ || server_)
        return;
    auto* socket = new QTcpSocket(this);
    socket->setProxy(QNetworkProxy::NoProxy);
    Attach(socket);
    connected_ = false;
}

void TQSocket::Attach(QTcpSocket* socket) {
    socket_ = socket;
    connect(socket, &QTcpSocket::connected, this, &TQSocket::SocketConnected);
    connect(socket, &QTcpSocket::errorOccurred, this, &TQSocket::SocketError);
    connect(socket, &QTcpSocket::disconnected, this, &TQSocket::SocketDisconnected);
    connect(socket, &QTcpSocket::readyRead, this, [this] {
        if (OnRead)
            OnRead();
        StopCount();
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this] {
        if (OnWrite)
            OnWrite();
    });
}

void TQSocket::Detach(bool orderly) {
    if (socket_) {
        QTcpSocket* socket = socket_;
        socket_ = nullptr;
        disconnect(socket, nullptr, this, nullptr);
        if (orderly && socket->state() == QAbstractSocket::ConnectedState &&
            socket->bytesToWrite() > 0) {
            // Deliver what is queued, then go.
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
            socket->disconnectFromHost();
        } else {
            if (orderly)
                socket->close();
            else
                socket->abort();
            socket->deleteLater();
        }
    }
    if (server_) {
        QTcpServer* server = server_;
        server_ = nullptr;
        disconnect(server, nullptr, this, nullptr);
        server->close();
        server->deleteLater();
    }
    connecting_ = false;
}

void TQSocket::Recreate() {
    // A lookup still under way would otherwise connect the new socket when its answer comes.
    CancelLookup();
    StopCount();
    if (socket_ || server_)
        Detach(false);
    connected_ = false;
    CreateSocket();
}

bool TQSocket::Resolve(const QString& name) {
    if (lookupId_ >= 0)
        return false;
    lookupName_ = name;
    lastError_ = 0;
    lookupId_ = QHostInfo::lookupHost(name, this, [this](const QHostInfo& info) {
        QHostAddress address;
        for (const QHostAddress& a : info.addresses()) {
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                address = a;
                break;
            }
        }
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
    if (!address.setAddress(text) || address.protocol() != QAbstractSocket::IPv4Protocol) {
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
    if (!socket_) {
        lastError_ = wsa::kNotSocket;
        return false;
    }
    lastError_ = 0;
    if (address_.isNull() || address_.protocol() != QAbstractSocket::IPv4Protocol) {
        lastError_ = wsa::kAddressNotAvailable;
        return false;
    }
    connecting_ = true;
    socket_->connectToHost(address_, port_);
    if (connecting_ && !connected_)
        StartCount();
    return true;
}

bool TQSocket::Listen() {
    if (socket_)
        Detach(false);
    if (server_)
        Detach(false);
    lastError_ = 0;
    auto* server = new QTcpServer(this);
    server->setProxy(QNetworkProxy::NoProxy);
    server->setMaxPendingConnections(2);
    if (!server->listen(address_, port_)) {
        lastError_ = WinsockErrorOf(server->serverError());
        delete server;
        return false;
    }
    server_ = server;
    connect(server, &QTcpServer::newConnection, this, [this] {
        if (OnAccept)
            OnAccept();
    });
    return true;
}

bool TQSocket::Accept(TQSocket& listener) {
    if (!listener.server_ || !listener.server_->hasPendingConnections()) {
        lastError_ = wsa::kInvalid;
        return false;
    }
    QTcpSocket* socket = listener.server_->nextPendingConnection();
    if (socket_ || server_)
        Detach(false);
    socket->setParent(this);
    Attach(socket);
    connected_ = true;
    lastError_ = 0;
    return true;
}

void TQSocket::CancelLookup() {
    if (lookupId_ < 0)
        return;
    QHostInfo::abortHostLookup(lookupId_);
    // A result already on its way is ignored by its id.
    lookupId_ = -1;
}

void TQSocket::Close() {
    CancelLookup();
    StopCount();
    if (!socket_ && !server_)
        return;
    Detach(true);
    connected_ = false;
    if (OnClose)
        OnClose(0);
}

void TQSocket::SocketConnected() {
    connecting_ = false;
    connected_ = true;
    lastError_ = 0;
    StopCount();
    if (OnConnect)
        OnConnect();
}

void TQSocket::SocketError() {
    if (!socket_)
        return;
    const auto error = socket_->error();
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
    const int e = lastError_;
    QTcpSocket* before = socket_;
    if (OnRead)
        OnRead();
    if (socket_ != before)
        return;
    Detach(false);
    connected_ = false;
    if (OnClose)
        OnClose(e);
}

void TQSocket::SocketDisconnected() {
    if (!socket_)
        return;
    QTcpSocket* before = socket_;
    if (connected_) {
        if (OnRead)
            OnRead();
        if (socket_ != before)
            return;
        if (OnWrite)
            OnWrite();
        if (socket_ != before)
            return;
    }
    Detach(false);
    connected_ = false;
    if (OnClose)
        OnClose(0);
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

qint64 TQSocket::Receive(char* buffer, qint64 size) {
    if (!socket_)
        return 0;
    const qint64 n = socket_->read(buffer, size);
    return n > 0 ? n : 0;
}

qint64 TQSocket::BytesAvailable() const {
    return socket_ ? socket_->bytesAvailable() : 0;
}

qint64 TQSocket::BytesToWrite() const {
    return socket_ ? socket_->bytesToWrite() : 0;
}

QHostAddress TQSocket::LocalAddress() const {
    if (socket_)
        return socket_->localAddress();
    if (server_)
        return server_->serverAddress();
    return {};
}

std::uint16_t TQSocket::LocalPort() const {
    if (socket_)
        return socket_->localPort();
    if (server_)
        return server_->serverPort();
    return 0;
}

QHostAddress TQSocket::PeerAddress() const {
    return socket_ ? socket_->peerAddress() : QHostAddress();
}

}  // namespace tavo::ftp
