// Shared pieces of the FTP client tests: waiting on the event loop, an event recorder, and
// a scripted in-process FTP server whose replies each test declares.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ftp/qftp.h"

namespace ftptest {

inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

inline void Pump(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Records every notice, error and event of a client as lines: "info 12 Logged in",
// "error 26", "LoggedIn", ...
struct Recorder {
    std::vector<std::string> log;
    std::vector<tavo::ftp::FtpError> errors;
    std::vector<std::pair<int, std::string>> infos;
    int quits = 0;

    explicit Recorder(tavo::ftp::TQFtp& ftp) {
        using namespace tavo::ftp;
        ftp.OnFtpInfo = [this](TQFtp*, FtpInfo i, const QString& t) {
            infos.emplace_back(static_cast<int>(i), t.toStdString());
            if (i != ftpInfoReplyReceived && i != ftpInfoProgress && i != ftpInfoCommandSent &&
                i != ftpInfoEntryFound)
                log.push_back("info " + std::to_string(i) + " " + t.toStdString());
        };
        ftp.OnFtpError = [this](TQFtp*, FtpError e, const QString&) {
            errors.push_back(e);
            log.push_back(std::string("error ") + FtpErrorName(e));
        };
        ftp.OnLoggedIn = [this](TQFtp*) { log.push_back("LoggedIn"); };
        ftp.OnDirectoryChanged = [this](TQFtp*) { log.push_back("DirectoryChanged"); };
        ftp.OnDirectoryCreated = [this](TQFtp*) { log.push_back("DirectoryCreated"); };
        ftp.OnListingDone = [this](TQFtp*) { log.push_back("ListingDone"); };
        ftp.OnFileStored = [this](TQFtp*) { log.push_back("FileStored"); };
        ftp.OnFileRenamed = [this](TQFtp*) { log.push_back("FileRenamed"); };
        ftp.OnFileDeleted = [this](TQFtp*) { log.push_back("FileDeleted"); };
        ftp.OnFileReceived = [this](TQFtp*) { log.push_back("FileReceived"); };
        ftp.OnFtpQuit = [this](TQFtp*) {
            ++quits;
            log.push_back("Quit");
        };
    }
    bool Has(const std::string& line) const {
        for (const auto& l : log) {
            if (l == line)
                return true;
        }
        return false;
    }
    int Count(const std::string& line) const {
        int n = 0;
        for (const auto& l : log)
            n += l == line;
        return n;
    }
    int CountInfo(int code) const {
        int n = 0;
        for (const auto& i : infos)
            n += i.first == code;
        return n;
    }
    std::string Joined() const {
        std::string s;
        for (const auto& l : log)
            s += l + "\n";
        return s;
    }
};

// Hands out QSslSockets (still plain) once the server has a certificate, so that a step can
// start TLS on them; plain QTcpSockets otherwise.
class SocketListener : public QTcpServer {
public:
    explicit SocketListener(const QSslConfiguration& tls) : tls_(tls) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        QTcpSocket* s =
            tls_.localCertificate().isNull() ? new QTcpSocket(this) : new QSslSocket(this);
        s->setSocketDescriptor(descriptor);
        addPendingConnection(s);
    }

private:
    const QSslConfiguration& tls_;
};

// A scripted FTP server on 127.0.0.1 (or another local address). Each connection starts the
// script from the top: the welcome, then per received command the next step, whose command
// must match exactly (a step ending in "*" matches by prefix). Commands with an aside are
// answered wherever they come, without taking a step. Every command received is kept in
// `transcript`.
class ScriptedServer : public QObject {
public:
    struct Step {
        std::string command;
        std::function<void(ScriptedServer&, const std::string&)> action;
    };

    explicit ScriptedServer(const QHostAddress& address = QHostAddress::LocalHost) {
        server_.listen(address, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, this, [this] { Accepted(); });
    }

    quint16 port() const { return server_.serverPort(); }
    bool listening() const { return server_.isListening(); }

    // Welcome pieces, each sent separately with a short pause (replies split across reads).
    std::vector<std::string> welcome{"220 scripted ready\r\n"};
    std::vector<Step> script;
    std::vector<std::string> transcript;
    std::vector<std::string> mismatches;
    QByteArray stored;  // bytes received by STOR
    int connections = 0;
    bool storeDone = false;
    std::function<void(ScriptedServer&)> onConnect;  // after the welcome is under way
    // TLS: the certificate and key; set, `startTls` encrypts the control connection and every
    // passive data connection is encrypted before its bytes go.
    QSslConfiguration tls;
    bool holdData = false;  // a data connection stays open once its bytes are out (`cutData`)
    std::vector<std::string> clearText;  // the commands of `transcript` that came unencrypted
    std::function<void()> onRaw;         // set: whatever comes is dropped and this runs

    void add(std::string command, std::string reply) {
        script.push_back({std::move(command), [reply](ScriptedServer& s, const std::string&) {
                              if (!reply.empty())
                                  s.send(reply);
                          }});
    }
    void add(std::string command, std::function<void(ScriptedServer&, const std::string&)> f) {
        script.push_back({std::move(command), std::move(f)});
    }
    // Answers commands starting with `prefix` wherever they come.
    void aside(std::string prefix, std::function<void(ScriptedServer&, const std::string&)> f) {
        asides_.push_back({std::move(prefix), std::move(f)});
    }
    void aside(std::string prefix, std::string reply) {
        aside(std::move(prefix), [reply](ScriptedServer& s, const std::string&) { s.send(reply); });
    }
    void addLogin() {
        add("USER bob", "331 Password required\r\n");
        add("PASS secret", "230 Logged in\r\n");
        add("SYST", "215 UNIX Type: L8\r\n");
        add("REST 100", "350 Restarting at 100\r\n");
        add("REST 0", "350 Restarting at 0\r\n");
        add("PWD", "257 \"/\" is the current directory\r\n");
    }
    // The login of a client that wants no resume: USER, PASS, SYST, PWD. A REST probe is
    // refused wherever it comes, which keeps a client that still sends one off SIZE too.
    void addPlainLogin() {
        aside("REST ", "502 Command not implemented\r\n");
        add("USER bob", "331 Password required\r\n");
        add("PASS secret", "230 Logged in\r\n");
        add("SYST", "215 UNIX Type: L8\r\n");
        add("PWD", "257 \"/\" is the current directory\r\n");
    }

    void send(const std::string& text) {
        if (control_) {
            control_->write(text.data(), static_cast<qint64>(text.size()));
            control_->flush();
        }
    }
    // Sends pieces with pauses, so that the client reads them separately.
    void sendPieces(std::vector<std::string> pieces, int gapMs = 15) {
        int delay = 0;
        for (auto& p : pieces) {
            QTimer::singleShot(delay, this, [this, p] { send(p); });
            delay += gapMs;
        }
    }
    // Sends `text` every `everyMs` (`bytesPerTick` bytes of it at a time, going round; all of
    // it when 0) for as long as this control connection lasts.
    void repeat(std::string text, int everyMs, std::size_t bytesPerTick = 0) {
        auto* timer = new QTimer(this);
        QPointer<QTcpSocket> target = control_;
        auto next = std::make_shared<std::size_t>(0);
        QObject::connect(timer, &QTimer::timeout, timer, [=, this] {
            if (!target || target != control_ ||
                target->state() != QAbstractSocket::ConnectedState) {
                timer->deleteLater();
                return;
            }
            if (bytesPerTick == 0) {
                send(text);
                return;
            }
            std::string piece;
            for (std::size_t i = 0; i < bytesPerTick; ++i)
                piece += text[(*next)++ % text.size()];
            send(piece);
        });
        timer->start(everyMs);
    }
    void closeControl() {
        if (control_)
            control_->disconnectFromHost();
    }
    // The reply accepting AUTH TLS, then the handshake as the server.
    void startTls(const std::string& reply = "234 Proceed with negotiation\r\n") {
        send(reply);
        if (control_)
            secure(control_, [] {});
    }
    // Runs `then` once `s` is encrypted (at once when it is a plain socket).
    void secure(QTcpSocket* s, std::function<void()> then) {
        auto* ssl = qobject_cast<QSslSocket*>(s);
        if (!ssl)
            return then();
        QObject::connect(ssl, &QSslSocket::encrypted, this, then);
        ssl->setSslConfiguration(tls);
        ssl->startServerEncryption();
    }
    // Ends a data connection whose bytes are out (under TLS with its close notification),
    // or holds it for `cutData`.
    void endData(QTcpSocket* s) {
        if (holdData)
            held_ = s;
        else
            s->disconnectFromHost();
    }
    // Ends the held data connection with the TCP connection alone, as a cut on the way would:
    // no TLS close notification.
    void cutData() {
        if (held_)
            ::shutdown(static_cast<int>(held_->socketDescriptor()), SHUT_WR);
    }

    // --- Data connections ---
    // "227 ... (h,h,h,h,p1,p2)" for a passive listener (the host given as text).
    void openPassive(const std::string& hostCommas = "127,0,0,1") {
        passive_ = std::make_unique<SocketListener>(tls);
        passive_->listen(QHostAddress::LocalHost, 0);
        const int p = passive_->serverPort();
        send("227 Entering Passive Mode (" + hostCommas + "," + std::to_string(p / 256) + "," +
             std::to_string(p % 256) + ").\r\n");
    }
    // "229 ... (|||port|)" for a passive listener.
    void openExtendedPassive() {
        passive_ = std::make_unique<SocketListener>(tls);
        passive_->listen(QHostAddress::LocalHost, 0);
        send("229 Entering Extended Passive Mode (|||" + std::to_string(passive_->serverPort()) +
             "|)\r\n");
    }
    void rememberPort(const std::string& command) {
        // PORT h1,h2,h3,h4,p1,p2
        const QStringList parts = QString::fromStdString(command.substr(5)).split(',');
        activeHost_ = QHostAddress(parts.mid(0, 4).join('.'));
        activePort_ = static_cast<quint16>(parts[4].toInt() * 256 + parts[5].toInt());
        passive_.reset();
        send("200 PORT command successful\r\n");
    }
    std::string lastPortHost() const { return activeHost_.toString().toStdString(); }
    quint16 lastPort() const { return activePort_; }
    // Opens the data connection (connect out in active mode, accept in passive) and runs f.
    void withData(std::function<void(QTcpSocket*)> f) {
        if (passive_) {
            auto take = [this, f] {
                QTcpSocket* s = passive_->nextPendingConnection();
                s->setParent(this);
                secure(s, [s, f] { f(s); });
            };
            if (passive_->hasPendingConnections())
                take();
            else
                QObject::connect(passive_.get(), &QTcpServer::newConnection, this, take);
        } else {
            auto* s = new QTcpSocket(this);
            QObject::connect(s, &QTcpSocket::connected, this, [s, f] { f(s); });
            s->connectToHost(activeHost_, activePort_);
        }
    }
    // The two halves of a transfer: by default the data connection ends, then the final 2xx
    // reply follows. `finalReplyFirst` sends that reply right after the 1xx one, before the
    // data connection opens. `halvesGapMs` is the pause between the first half and the second.
    bool finalReplyFirst = false;
    int halvesGapMs = 0;

    // 150, the listing on the data connection, close, 226.
    void sendListing(const std::string& listing) {
        sendData("150 Here comes the listing\r\n", listing);
    }
    // The preliminary reply, the bytes on the data connection, close, the final reply (the
    // halves in the order and with the gap set above).
    void sendData(const std::string& preliminary, const std::string& bytes,
                  const std::string& finalReply = "226 Transfer complete\r\n") {
        send(preliminary);
        bothHalves(finalReply, [this, bytes](std::function<void()> ended) {
            withData([this, bytes, ended](QTcpSocket* s) {
                QObject::connect(s, &QTcpSocket::bytesWritten, s, [this, s] {
                    if (s->bytesToWrite() == 0)
                        endData(s);
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, ended);
                if (bytes.empty())
                    endData(s);
                else
                    s->write(bytes.data(), static_cast<qint64>(bytes.size()));
            });
        });
    }
    // 150, read everything until the client closes, the final reply (the halves in the
    // order and with the gap set above).
    void receiveStore(const std::string& finalReply = "226 Transfer complete\r\n") {
        stored.clear();
        storeDone = false;
        send("150 Ok to send data\r\n");
        bothHalves(finalReply, [this](std::function<void()> ended) {
            withData([this, ended](QTcpSocket* s) {
                QObject::connect(s, &QTcpSocket::readyRead, this,
                                 [this, s] { stored += s->readAll(); });
                QObject::connect(s, &QTcpSocket::disconnected, this, [this, s, ended] {
                    stored += s->readAll();
                    storeDone = true;
                    ended();
                });
                stored += s->readAll();
            });
        });
    }

    // 150, then once `after` bytes have come on the data connection, `cut` runs on it; what
    // comes later is read and dropped.
    void receiveUntil(qint64 after, std::function<void(QTcpSocket*)> cut) {
        send("150 Ok to send data\r\n");
        withData([after, cut](QTcpSocket* d) {
            auto got = std::make_shared<qint64>(0);
            QObject::connect(d, &QTcpSocket::readyRead, d, [d, got, after, cut] {
                const bool before = *got < after;
                *got += d->readAll().size();
                if (before && *got >= after)
                    cut(d);
            });
        });
    }

private:
    // Runs the data half (which calls its argument when the data connection has ended) and
    // sends the final reply, in the order and with the gap asked for.
    void bothHalves(const std::string& finalReply,
                    const std::function<void(std::function<void()>)>& dataHalf) {
        if (finalReplyFirst) {
            send(finalReply);
            QTimer::singleShot(halvesGapMs, this, [dataHalf] { dataHalf([] {}); });
            return;
        }
        dataHalf([this, finalReply] {
            if (halvesGapMs <= 0)
                send(finalReply);
            else
                QTimer::singleShot(halvesGapMs, this, [this, finalReply] { send(finalReply); });
        });
    }

    void Accepted() {
        while (server_.hasPendingConnections()) {
            QTcpSocket* s = server_.nextPendingConnection();
            control_ = s;
            ++connections;
            step_ = 0;
            buffer_.clear();
            QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] { Read(s); });
            sendPieces(welcome);
            if (onConnect)
                onConnect(*this);
        }
    }
    void Read(QTcpSocket* s) {
        if (onRaw) {
            s->readAll();
            return onRaw();
        }
        buffer_ += s->readAll().toStdString();
        std::size_t lf;
        while ((lf = buffer_.find("\r\n")) != std::string::npos) {
            std::string line = buffer_.substr(0, lf);
            buffer_.erase(0, lf + 2);
            transcript.push_back(line);
            if (auto* ssl = qobject_cast<QSslSocket*>(s); !ssl || !ssl->isEncrypted())
                clearText.push_back(line);
            const Step* aside = nullptr;
            for (const Step& a : asides_) {
                if (line.rfind(a.command, 0) == 0)
                    aside = &a;
            }
            if (aside) {
                aside->action(*this, line);
                continue;
            }
            if (step_ >= script.size()) {
                mismatches.push_back("unexpected: " + line);
                continue;
            }
            const Step& st = script[step_++];
            const bool prefix = !st.command.empty() && st.command.back() == '*';
            const bool match = prefix
                                   ? line.rfind(st.command.substr(0, st.command.size() - 1), 0) == 0
                                   : line == st.command;
            if (!match)
                mismatches.push_back("expected " + st.command + ", got " + line);
            if (st.action)
                st.action(*this, line);
        }
    }

    SocketListener server_{tls};
    std::vector<Step> asides_;
    QPointer<QTcpSocket> control_;
    std::string buffer_;
    std::size_t step_ = 0;
    std::unique_ptr<SocketListener> passive_;
    QPointer<QTcpSocket> held_;
    QHostAddress activeHost_;
    quint16 activePort_ = 0;
};

// A client set up for the scripted server: short waits so that nothing really waits.
inline void Configure(tavo::ftp::TQFtp& ftp, quint16 port, const QString& cacheFolder) {
    ftp.SetServer("127.0.0.1");
    ftp.SetPort(port);
    ftp.SetUsername("bob");
    ftp.SetPassword("secret");
    ftp.SetRetries(0);
    ftp.SetRetryIntervalMs(10);
    ftp.SetReplyTimeOutMs(5000);
    ftp.SetCacheFolder(cacheFolder);
}

}  // namespace ftptest
