// `TQSocket`: one TCP socket turned into handler calls, with a time-out
// count in ticks (one second each unless a test shortens `TickIntervalMs`). On Qt: a
// QSslSocket for connections (plain until `StartTls`), a QTcpServer for listening, QHostInfo for
// asynchronous name resolution; socket errors are reported as WinSock error numbers.
//
// Each wrapper keeps its one socket and QTcpServer for its whole life and only closes and
// reopens them: a handler may run a nested event loop (a message box) while Qt is still
// inside the socket's own signal, and a socket deleted there would crash on the way back.
// (After TLS the socket is replaced, and the old one deleted later from the event loop.)
#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>

class QSslCertificate;
class QSslConfiguration;
class QSslError;
class QSslSocket;
class QTcpServer;

namespace tavo::ftp {

class TQSocket : public QObject {
    Q_OBJECT

public:
    explicit TQSocket(QObject* parent = nullptr);
    ~TQSocket() override;

    // Handlers set by the owner. The connect handler runs also on failure: it examines
    // `LastError()`. The close handler gets the WinSock error that ended the connection
    // (0 for an orderly close or one made by `Close`).
    std::function<void()> OnRead;
    std::function<void()> OnWrite;
    std::function<void()> OnAccept;
    std::function<void()> OnConnect;
    std::function<void(int)> OnClose;
    std::function<void()> OnTimeOut;
    // TLS: the handshake completed; or it found faults in the server's certificate, which
    // the handler accepts by returning true (anything else ends the handshake).
    std::function<void()> OnEncrypted;
    std::function<bool(const QList<QSslError>&)> OnTlsErrors;

    // Seconds (ticks) for name resolution and connection set-up; default 20.
    int TimeOut() const { return timeOut_; }
    void SetTimeOut(int ticks) { timeOut_ = ticks; }
    // Length of one tick; 1000 ms unless a test shortens it.
    int TickIntervalMs() const { return tickMs_; }
    void SetTickIntervalMs(int ms);

    // False (default): a would-block result is no error.
    bool ReportWouldBlock() const { return reportWouldBlock_; }
    void SetReportWouldBlock(bool on) { reportWouldBlock_ = on; }

    void CreateSocket();
    // Cancels a pending resolution, stops the count, closes the handle without any
    // notification and creates a new socket.
    void Recreate();

    // Starts asynchronous resolution unless one is pending; starts the count when it did.
    bool Resolve(const QString& name);
    bool ResolvePending() const { return lookupId_ >= 0; }
    // Dotted-quad text to the address; false (and an invalid address) when it is not one.
    bool SetAddressText(const QString& text);
    void SetAddress(const QHostAddress& address) { address_ = address; }
    QHostAddress Address() const { return address_; }
    QString AddressText() const;
    void SetPort(std::uint16_t port) { port_ = port; }
    std::uint16_t Port() const { return port_; }

    // Starts connecting to the address and port; false with `LastError()` set when it could
    // not start. The result comes through the connect handler.
    bool Connect();
    // Binds to the address and port and listens; accept notifications follow.
    bool Listen();
    // Takes the pending connection of a listening socket.
    bool Accept(TQSocket& listener);
    enum class AcceptResult { Accepted, Refused, NonePending };
    // Takes the pending connection only when it comes from `peer`; any other is closed, and
    // its address goes to `refused` when given.
    AcceptResult AcceptFrom(TQSocket& listener, const QHostAddress& peer,
                            QHostAddress* refused = nullptr);
    // Listening: takes at once the connections the system holds for the listener, without
    // waiting for the event loop (the accept handler runs for each).
    void CollectConnections();
    // Starts TLS as the client on the open connection, verifying the server's certificate for
    // `peerName`; the result comes through the encrypted handler or the close handler.
    void StartTls(const QSslConfiguration& configuration, const QString& peerName);
    bool Encrypted() const;
    // The connection was encrypted and the server ended its TLS with a close notification (a
    // connection cut without one may have been cut short by anyone on the way).
    bool TlsClosedByPeer() const { return tlsClosedByPeer_; }
    // The configuration after the handshake, with the session to resume on another connection.
    QSslConfiguration TlsConfiguration() const;
    QSslCertificate PeerCertificate() const;
    QString TlsProtocolName() const;
    QString ErrorText() const;
    // Cancels a pending resolution, stops the count; if there is a socket: closes it
    // (pending output is still delivered), then the close handler.
    void Close();

    // Bytes queued for sending (0 when nothing could be); received bytes (0 when none).
    qint64 Send(const char* data, qint64 length);
    // Hands what is queued to the system now rather than on the next pass of the event loop;
    // the write handler is not called for it.
    void Flush();
    qint64 Receive(char* buffer, qint64 size);
    qint64 BytesAvailable() const;
    // Bytes handed to Send and not yet passed to the system.
    qint64 BytesToWrite() const;

    QHostAddress LocalAddress() const;
    std::uint16_t LocalPort() const;
    QHostAddress PeerAddress() const;

    bool Connected() const { return connected_; }
    bool HasSocket() const { return hasSocket_; }
    bool Listening() const;
    int LastError() const { return lastError_; }
    void SetLastError(int e) { lastError_ = e; }

    // The count (exposed for tests of the tick logic).
    void StartCount();
    void StopCount();
    bool Counting() const { return count_ > 0; }

protected:
    // Called when a name has been resolved (`LastError()` tells whether it failed).
    virtual void NameResolved();

private:
    void Tick();
    void CancelLookup();
    void EnsureObjects();
    void MakeSocket();
    void RenewAfterTls();
    void NoDelay();
    void Shut(bool orderly);
    qintptr TakePending();
    void SocketConnected();
    void SocketError();
    void SocketDisconnected();
    void Ended(int error, bool answerTlsClose = false);
    void LookedUp(int id, const QHostAddress& address, int error);

    int timeOut_ = 20;
    int tickMs_ = 1000;
    int count_ = 0;
    QTimer timer_;
    bool reportWouldBlock_ = false;

    QHostAddress address_;
    std::uint16_t port_ = 0;
    QSslSocket* socket_ = nullptr;
    class DescriptorServer* server_ = nullptr;
    bool hasSocket_ = false;
    bool shutting_ = false;  // our own close: the socket's signals are not the peer's
    bool flushing_ = false;  // bytes written by Flush are the caller's own doing
    bool connected_ = false;
    bool connecting_ = false;
    bool tlsClosedByPeer_ = false;
    bool tlsUsed_ = false;
    int lastError_ = 0;
    int lookupId_ = -1;
    QString lookupName_;
};

// The WinSock number for a Qt socket error.
int WinsockErrorOf(int qtSocketError);

}  // namespace tavo::ftp
