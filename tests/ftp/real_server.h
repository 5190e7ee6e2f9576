// Real FTP servers for tests and benchmarks: pyftpdlib and vsftpd on 127.0.0.1, on free
// ports, with temporary folders, stopped by process id.
#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

#include <memory>
#include <string>

namespace ftptest {

inline quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

inline bool AcceptsConnections(quint16 port, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (s.waitForConnected(200) && s.waitForReadyRead(2000)) {
            const QByteArray welcome = s.readAll();
            s.abort();
            if (welcome.startsWith("220"))
                return true;
        }
        QThread::msleep(50);
    }
    return false;
}

class RealServer {
public:
    virtual ~RealServer() { Stop(); }

    quint16 port = 0;
    QString user, password;
    QString home;     // local folder the client sees as its working folder
    QString workDir;  // that folder's remote path
    QString failure;  // why it could not start
    QString name;
    bool quiet = false;  // the server's own log to /dev/null (benchmarks)

    bool Running() const { return process_ && process_->state() == QProcess::Running; }

    void Stop() {
        if (process_ && process_->state() != QProcess::NotRunning) {
            process_->terminate();
            if (!process_->waitForFinished(3000)) {
                process_->kill();
                process_->waitForFinished(3000);
            }
        }
        process_.reset();
    }

    // Kills the server's session processes (not the server itself), as a dropped line would
    // end the sessions.
    void KillSessions() {
        if (!process_)
            return;
        QList<qint64> family{process_->processId()};
        for (bool grew = true; grew;) {
            grew = false;
            for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
                bool number = false;
                const qint64 pid = entry.toLongLong(&number);
                if (!number || family.contains(pid))
                    continue;
                QFile stat("/proc/" + entry + "/stat");
                if (!stat.open(QIODevice::ReadOnly))
                    continue;
                const QByteArray text = stat.readAll();
                // "pid (name) state ppid …": the name may hold anything but ends at the last ')'.
                const QList<QByteArray> rest = text.mid(text.lastIndexOf(')') + 2).split(' ');
                if (rest.size() > 1 && family.contains(rest[1].toLongLong())) {
                    family << pid;
                    grew = true;
                }
            }
        }
        for (qsizetype i = 1; i < family.size(); ++i)
            ::kill(static_cast<pid_t>(family[i]), SIGKILL);
    }

protected:
    bool Launch(const QString& program, const QStringList& args) {
        for (int attempt = 0; attempt < 5; ++attempt) {
            Stop();
            port = FreePort();
            QStringList a = args;
            a.replaceInStrings("%PORT%", QString::number(port));
            WritePortFiles();
            process_ = std::make_unique<QProcess>();
            // Should the test die, the server goes with it.
            process_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
            process_->setProcessChannelMode(quiet ? QProcess::SeparateChannels
                                                  : QProcess::ForwardedErrorChannel);
            if (quiet)
                process_->setStandardErrorFile(QProcess::nullDevice());
            process_->setStandardOutputFile(QProcess::nullDevice());
            process_->start(program, a);
            if (!process_->waitForStarted(5000)) {
                failure = program + " did not start";
                continue;
            }
            // Another test's server may have taken the port between FreePort and the bind:
            // then the connection reaches that server while this one ends at once.
            if (AcceptsConnections(port, 10000) && !process_->waitForFinished(300))
                return true;
            failure = program + " did not accept connections on port " + QString::number(port);
        }
        Stop();
        return false;
    }
    virtual void WritePortFiles() {}

    std::unique_ptr<QProcess> process_;
};

class PyFtpdlib : public RealServer {
public:
    PyFtpdlib() {
        name = "pyftpdlib";
        user = "bob";
        password = "secret";
        home = dir_.path() + "/home";
        workDir = "/";
        QDir().mkpath(home);
    }
    bool Start() {
        if (!QFile::exists("/usr/bin/python3")) {
            failure = "/usr/bin/python3 is missing";
            return false;
        }
        return Launch("/usr/bin/python3", {"-m", "pyftpdlib", "-i", "127.0.0.1", "-p", "%PORT%",
                                           "-w", "-d", home, "-u", user, "-P", password});
    }

private:
    QTemporaryDir dir_;
};

// Anonymous upload set-up: a root-owned, non-writable root with a writable "pub". With `tls`,
// logins and data connections must use TLS (vsftpd's default requires data connections to
// resume the control connection's TLS session), with a certificate for 127.0.0.1 made here.
class Vsftpd : public RealServer {
public:
    explicit Vsftpd(bool tls = false) : tls_(tls) {
        name = tls ? "vsftpd-tls" : "vsftpd";
        user = "anonymous";
        password = "tavo@example.invalid";
        root_ = dir_.path() + "/root";
        home = root_ + "/pub";
        workDir = "/pub";
        QDir().mkpath(home);
        QDir().mkpath(dir_.path() + "/empty");
        const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                          QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QFile::setPermissions(dir_.path(), open);
        QFile::setPermissions(root_, open);
        QFile::setPermissions(dir_.path() + "/empty", open);
        QFile::setPermissions(home, open | QFile::WriteGroup | QFile::WriteOther);
    }
    bool Start() {
        if (!QFile::exists("/usr/sbin/vsftpd")) {
            failure = "/usr/sbin/vsftpd is not installed";
            return false;
        }
        if (::geteuid() != 0) {
            failure = "vsftpd needs root to start (the tests run as root in CI)";
            return false;
        }
        if (tls_ && !QFile::exists(CertificatePath()) && !NewCertificate())
            return false;
        return Launch("/bin/sh", {"-c", "exec /usr/sbin/vsftpd '" + config_() + "' 0>&2"});
    }

    // A certificate the system does not trust (it verifies against itself as authority).
    QString CertificatePath() const { return dir_.path() + "/cert.pem"; }
    // Makes a new key and certificate, for `name` (an address or a host name); the server
    // shows it from its next start.
    bool NewCertificate(const QString& name = "127.0.0.1") {
        const bool address = !name.isEmpty() && name[0].isDigit();
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                                  dir_.path() + "/key.pem", "-out", CertificatePath(), "-days", "2",
                                  "-subj", "/CN=" + name, "-addext",
                                  QString("subjectAltName=") + (address ? "IP:" : "DNS:") + name});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0) {
            failure = "openssl could not make a certificate: " + openssl.readAll();
            return false;
        }
        return true;
    }

private:
    QString config_() const { return dir_.path() + "/vsftpd.conf"; }
    void WritePortFiles() override {
        QFile f(config_());
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        const QString text = QString(
                                 "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\n"
                                 "listen_port=%1\nbackground=NO\n"
                                 "anonymous_enable=YES\nno_anon_password=YES\nanon_root=%2\n"
                                 "anon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                                 "anon_other_write_enable=YES\nanon_umask=022\n"
                                 "local_enable=YES\nwrite_enable=YES\ndelay_failed_login=0\n"
                                 "pam_service_name=vsftpd\nsecure_chroot_dir=%3\n"
                                 "pasv_enable=YES\npasv_address=127.0.0.1\nport_enable=YES\n"
                                 "connect_from_port_20=NO\nuse_localtime=NO\n")
                                 .arg(port)
                                 .arg(root_)
                                 .arg(dir_.path() + "/empty");
        f.write(text.toUtf8());
        if (tls_)
            f.write(QString("ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\n"
                            "force_anon_data_ssl=YES\nforce_local_logins_ssl=YES\n"
                            "force_local_data_ssl=YES\nrsa_cert_file=%1\n"
                            "rsa_private_key_file=%2\n")
                        .arg(CertificatePath(), dir_.path() + "/key.pem")
                        .toUtf8());
    }

    QTemporaryDir dir_;
    QString root_;
    bool tls_ = false;
};

}  // namespace ftptest
