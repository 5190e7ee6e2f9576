// TQFtp with TLS against the scripted server: every way the server can refuse, break off or
// tamper with TLS ends the session with the reason, once, with no retry and no password sent
// in clear text.
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ftp/qftp.h"
#include "ftp_test_support.h"

using namespace tavo::ftp;
using namespace ftptest;
using Lines = std::vector<std::string>;

namespace {

using Action = std::function<void(ScriptedServer&, const std::string&)>;
using Script = std::function<void(ScriptedServer&)>;

struct Identity {
    QSslCertificate certificate;
    QSslKey key;
};

// A self-signed certificate made by the openssl tool; empty when it could not run.
Identity MakeIdentity(const QString& folder, const QString& name, const QString& altName) {
    const QString key = folder + "/" + name + ".key", cert = folder + "/" + name + ".pem";
    QProcess openssl;
    openssl.start("openssl",
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                   "-days", "2", "-subj", "/CN=" + name, "-addext", "subjectAltName=" + altName});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return Identity();
    QFile keyFile(key);
    if (!keyFile.open(QIODevice::ReadOnly))
        return Identity();
    const auto certs = QSslCertificate::fromPath(cert);
    return {certs.isEmpty() ? QSslCertificate() : certs.front(), QSslKey(&keyFile, QSsl::Rsa)};
}

Action Say(std::string text) {
    return [text](ScriptedServer& s, const std::string&) { s.send(text); };
}
Action StartTls(std::string reply = "234 Proceed with negotiation\r\n") {
    return [reply](ScriptedServer& s, const std::string&) { s.startTls(reply); };
}
// Answers AUTH TLS with `reply` but takes no part in TLS: the client's handshake is dropped
// and `onHello` runs on it.
Action NoHandshake(std::string reply, std::function<void(ScriptedServer&)> onHello = {}) {
    return [=](ScriptedServer& s, const std::string&) {
        s.send(reply);
        s.onRaw = [&s, onHello] {
            if (onHello)
                onHello(s);
        };
    };
}
// AUTH TLS answered by `auth`, then the login, PBSZ 0, PROT P answered by `prot`, SYST, PWD.
Script Login(Action auth, Action prot = Say("200 PROT now Private\r\n")) {
    return [=](ScriptedServer& s) {
        s.add("AUTH TLS", auth);
        s.add("USER bob", "331 Password required\r\n");
        s.add("PASS secret", "230 Logged in\r\n");
        s.add("PBSZ 0", "200 PBSZ=0\r\n");
        s.add("PROT P", prot);
        s.add("SYST", "215 UNIX Type: L8\r\n");
        s.add("PWD", "257 \"/\" is the current directory\r\n");
    };
}
// After the login, a passive listing whose 226 comes before its data connection's bytes;
// `hold`: that connection then stays open for the test to cut.
Script Listing(bool hold) {
    return [hold](ScriptedServer& s) {
        Login(StartTls())(s);
        s.finalReplyFirst = true;
        s.holdData = hold;
        s.add("TYPE A", "200 ok\r\n");
        s.add("EPSV", [](ScriptedServer& s, const std::string&) { s.openExtendedPassive(); });
        s.add("LIST", [](ScriptedServer& s, const std::string&) {
            s.sendListing(
                "-rw-r--r-- 1 u g 3 Jan 15 12:34 a.html\r\n"
                "drwxr-xr-x 2 u g 4096 Jan 15 12:34 img\r\n");
        });
    };
}

enum class Shows { Nothing, Ours, Other };  // the certificate the client must have seen
// The step that fails or succeeds: the login, or a listing after it (Cut: once the client
// holds the whole listing and the 226, its data connection ends without TLS's close).
enum class Step { Login, Listing, Cut };

struct Row {
    const char* name;
    Script script;
    Shows shows;
    Shows trusted;  // whose digest the user trusted (Nothing: none)
    Step step;
    FtpError error;  // ftpNone: the step succeeds
};

TEST(ClientTls, RefusalsEndTheSessionWithTheirReason) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const Identity ours = MakeIdentity(temp.path(), "127.0.0.1", "IP:127.0.0.1");
    const Identity other = MakeIdentity(temp.path(), "other.example", "DNS:other.example");
    ASSERT_FALSE(ours.certificate.isNull() || ours.key.isNull()) << "openssl failed";
    ASSERT_FALSE(other.certificate.isNull() || other.key.isNull()) << "openssl failed";
    const auto digest = [&](Shows who) {
        return who == Shows::Nothing
                   ? QByteArray()
                   : CertificateSha256((who == Shows::Ours ? ours : other).certificate);
    };
    const auto closeControl = [](ScriptedServer& s) { s.closeControl(); };
    const auto inject = [](ScriptedServer& s) { s.send("220 injected\r\n"); };
    const Shows no = Shows::Nothing, us = Shows::Ours, them = Shows::Other;

    const Row rows[] = {
        {"AUTH TLS refused with 502", Login(Say("502 Command not implemented\r\n")), no, no,
         Step::Login, ftpTlsNotOffered},
        {"234, then the connection closes on the ClientHello",
         Login(NoHandshake("234 ok\r\n", closeControl)), no, no, Step::Login, ftpTlsError},
        {"234 and a clear-text reply in one write",
         Login(NoHandshake("234 ok\r\n220 injected\r\n")), no, no, Step::Login, ftpTlsError},
        {"234, then a clear-text reply for the ClientHello",
         Login(NoHandshake("234 ok\r\n", inject)), no, no, Step::Login, ftpTlsError},
        {"234 and an unfinished clear-text line, then TLS", Login(StartTls("234 ok\r\n230 in")), no,
         no, Step::Login, ftpTlsError},
        {"234 and an open multi-line reply, then TLS", Login(StartTls("234 ok\r\n230-in\r\n")), no,
         no, Step::Login, ftpTlsError},
        {"certificate for another name", Login(StartTls()), them, no, Step::Login,
         ftpCertificateUntrusted},
        {"certificate for another name, trusted by the user", Login(StartTls()), them, them,
         Step::Login, ftpNone},
        {"verified certificate, another one trusted", Login(StartTls()), us, them, Step::Login,
         ftpCertificateChanged},
        {"PROT P refused with 534", Login(StartTls(), Say("534 Request denied\r\n")), us, no,
         Step::Login, ftpTlsError},
        {"listing cut without TLS close", Listing(true), us, no, Step::Cut, ftpDataError},
        {"listing ended with TLS close", Listing(false), us, no, Step::Listing, ftpNone},
    };

    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedServer server;
        const Identity& shown = row.shows == Shows::Other ? other : ours;
        server.tls = QSslConfiguration::defaultConfiguration();
        server.tls.setLocalCertificate(shown.certificate);
        server.tls.setPrivateKey(shown.key);
        server.tls.setPeerVerifyMode(QSslSocket::VerifyNone);
        row.script(server);

        TQFtp ftp;
        Recorder rec(ftp);
        Configure(ftp, server.port(), temp.path() + "/ftpcache/");
        ftp.SetSecurity(FtpSecurity::Tls);
        ftp.SetExtraCaCertificates({ours.certificate, other.certificate});
        ftp.SetTrustedCertificate(digest(row.trusted));
        ftp.SetRetries(2);
        ftp.SetRetryIntervalMs(10);
        ftp.SetReplyTimeOutMs(3000);
        ftp.Login();
        if (row.step != Step::Login) {
            ASSERT_TRUE(WaitFor([&] { return ftp.LoggedIn() || rec.quits > 0; })) << rec.Joined();
            ftp.SetCache(false);
            ftp.SetPassive(true);
            ftp.Refresh();
        }
        if (row.step == Step::Cut) {
            const auto replied = [&] {
                for (const auto& [code, text] : rec.infos) {
                    if (code == ftpInfoReplyReceived && text.find("226 ") != std::string::npos)
                        return true;
                }
                return false;
            };
            EXPECT_TRUE(WaitFor([&] { return ftp.RawListing().size() == 2 && replied(); }));
            server.cutData();
        }
        const std::string event = row.step == Step::Login ? "LoggedIn" : "ListingDone";
        EXPECT_TRUE(WaitFor([&] { return rec.quits > 0 || rec.Has(event); })) << rec.Joined();
        Pump(100);  // time for a retry that must not come

        EXPECT_EQ(rec.errors,
                  row.error == ftpNone ? std::vector<FtpError>{} : std::vector<FtpError>{row.error})
            << rec.Joined();
        EXPECT_EQ(server.clearText, Lines{"AUTH TLS"});
        EXPECT_EQ(server.mismatches, Lines{});
        EXPECT_EQ(server.connections, 1);
        EXPECT_EQ(CertificateSha256(ftp.ServerCertificate()), digest(row.shows));
        if (row.error == ftpNone) {
            EXPECT_EQ(rec.Count(event), 1) << rec.Joined();
            EXPECT_EQ(rec.quits, 0);
            EXPECT_TRUE(ftp.Connected());
            EXPECT_FALSE(ftp.TlsProtocol().isEmpty());
        } else {
            EXPECT_EQ(rec.Count(event), 0) << rec.Joined();
            EXPECT_EQ(rec.quits, 1);
            EXPECT_FALSE(ftp.Connected());
        }
        if (row.step != Step::Login) {
            EXPECT_EQ(ftp.RawListing().size(), 2u);  // it came, whole, over TLS
            EXPECT_EQ(ftp.Files().Count(), row.error == ftpNone ? 1 : 0);
            EXPECT_EQ(ftp.Directories().Count(), row.error == ftpNone ? 1 : 0);
        }
    }
}

}  // namespace
