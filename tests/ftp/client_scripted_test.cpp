// TQFtp and TQSocket against a scripted in-process server: exact command transcripts.
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ftp/ftp_protocol.h"
#include "ftp/qftp.h"
#include "ftp_test_support.h"

using namespace tavo::ftp;
using namespace ftptest;
using Lines = std::vector<std::string>;

namespace {

// A caller that could take a resume: the client probes REST at login and asks SIZE before a
// store, as these scripts expect. Without such a handler neither is sent.
void WantsResume(TQFtp& ftp) {
    ftp.OnFtpNeedInfo = [](TQFtp*, TQFtpInfoNeeded, QString&) {};
}

class Scripted : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        Configure(ftp, server.port(), temp.path() + "/ftpcache/");
        WantsResume(ftp);
    }
    void LoginOk() {
        server.addLogin();
        ftp.Login();
        ASSERT_TRUE(WaitFor([&] { return rec.Has("LoggedIn") || !rec.errors.empty(); }))
            << rec.Joined();
        ASSERT_TRUE(ftp.LoggedIn()) << rec.Joined();
    }
    // TYPE A, PORT and LIST, answered with `listing` over an active data connection.
    void ScriptListing(const std::string& listing) {
        server.add("TYPE A", "200 ok\r\n");
        ScriptRelisting(listing);
    }
    // PORT and LIST: the client sends TYPE A once.
    void ScriptRelisting(const std::string& listing) {
        server.add("PORT *", [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
        server.add("LIST",
                   [listing](ScriptedServer& s, const std::string&) { s.sendListing(listing); });
    }
    QString LocalFile(const QString& name, const QByteArray& bytes) {
        const QString path = temp.path() + "/" + name;
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }

    QTemporaryDir temp;
    ScriptedServer server;
    TQFtp ftp;
    Recorder rec{ftp};
};

}  // namespace

TEST_F(Scripted, LoginWithMultiLineWelcomeSplitAcrossReads) {
    server.welcome = {"220-Welcome\r\n220-to the ", "scripted\r\n  server\r\n22", "0 ready\r\n"};
    LoginOk();
    EXPECT_EQ(server.transcript,
              (Lines{"USER bob", "PASS secret", "SYST", "REST 100", "REST 0", "PWD"}));
    EXPECT_TRUE(server.mismatches.empty());
    EXPECT_EQ(ftp.CurrentDirectory(), "/");
    EXPECT_EQ(ftp.ServerType(), ftpstUNIX);
    EXPECT_TRUE(ftp.ServerAcceptsRest());
    EXPECT_EQ(rec.CountInfo(ftpInfoMultiLineReply), 1);
    EXPECT_EQ(ftp.LastMultiLineReply().size(), 4u);
    EXPECT_TRUE(rec.Has("info 0 127.0.0.1"));
    EXPECT_TRUE(rec.Has("info 6 This site can resume broken downloads/uploads"));
    EXPECT_TRUE(rec.Has("info 12 Logged in"));
    EXPECT_TRUE(ftp.Connected());
    EXPECT_FALSE(ftp.Busy());
    // The PASS command is logged masked.
    bool masked = false;
    for (const auto& [code, text] : rec.infos) {
        if (code == ftpInfoCommandSent && text.rfind("PASS", 0) == 0)
            masked = text == "PASS (want to know) :-P\r\n";
    }
    EXPECT_TRUE(masked);
}

TEST_F(Scripted, User230SkipsPassAndRestRefusedMeansNoResume) {
    server.add("USER bob", "230 No password needed\r\n");
    server.add("SYST", "215 Windows_NT\r\n");
    server.add("REST 100", "502 Not implemented\r\n");
    server.add("PWD", "257 \"/home\"\r\n");
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return rec.Has("LoggedIn"); })) << rec.Joined();
    EXPECT_EQ(server.transcript, (Lines{"USER bob", "SYST", "REST 100", "PWD"}));
    EXPECT_EQ(ftp.ServerType(), ftpstDefault);  // "WINDWOS_NT" as written does not match
    EXPECT_FALSE(ftp.ServerAcceptsRest());
    EXPECT_TRUE(rec.Has("info 17 This site cannot resume broken downloads/uploads"));
    EXPECT_EQ(ftp.CurrentDirectory(), "/home");
}

TEST_F(Scripted, Pass332SendsAcct) {
    ftp.SetAccount("acct1");
    server.add("USER bob", "331 Password\r\n");
    server.add("PASS secret", "332 Need account\r\n");
    server.add("ACCT acct1", "230 ok\r\n");
    server.add("SYST", "500 What\r\n");
    server.add("REST 100", "350 ok\r\n");
    server.add("REST 0", "500 whatever\r\n");
    server.add("PWD", "257 \"/\"\r\n");
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return rec.Has("LoggedIn"); })) << rec.Joined();
    EXPECT_EQ(server.transcript, (Lines{"USER bob", "PASS secret", "ACCT acct1", "SYST", "REST 100",
                                        "REST 0", "PWD"}));
    EXPECT_EQ(ftp.ServerType(), ftpstDefault);
}

TEST_F(Scripted, AcctRefusedIsAccessDenied) {
    server.add("USER bob", "331 Password\r\n");
    server.add("PASS secret", "332 Need account\r\n");
    server.add("ACCT acct", "530 no\r\n");
    ftp.SetAccount("acct");
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return rec.quits == 1; })) << rec.Joined();
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpAccessDenied}));
    EXPECT_FALSE(rec.Has("LoggedIn"));
    EXPECT_FALSE(ftp.Connected());
}

TEST_F(Scripted, SystTextsThroughTheClient) {
    const std::pair<const char*, TQFtpServerType> cases[] = {
        {"215 VMS MultiNet V4.4", ftpstVmsMultinet},
        {"215 VM/VPS", ftpstVMVPS},
        {"215 UNIX Type: L8", ftpstUNIX},
        {"215 WINDWOS_NT", ftpstMSFTP},
        {"502 no", ftpstDefault},
    };
    for (const auto& [text, type] : cases) {
        ScriptedServer s;
        TQFtp client;
        Recorder r(client);
        Configure(client, s.port(), temp.path());
        WantsResume(client);
        s.add("USER bob", "230 ok\r\n");
        s.add("SYST", std::string(text) + "\r\n");
        s.add("REST 100", "502 no\r\n");
        s.add("PWD", "257 \"/\"\r\n");
        client.Login();
        ASSERT_TRUE(WaitFor([&] { return r.Has("LoggedIn"); })) << text;
        EXPECT_EQ(client.ServerType(), type) << text;
    }
}

TEST_F(Scripted, KnownServerTypeSkipsSystAndInitialDirectory) {
    ftp.SetServerType(ftpstUNIX);
    ftp.SetInitialDirectory("/pub");
    server.add("USER bob", "230 ok\r\n");
    server.add("REST 100", "502 no\r\n");
    server.add("CWD /pub", "250 \"/pub\" is current\r\n");
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return rec.Has("LoggedIn"); })) << rec.Joined();
    EXPECT_EQ(server.transcript, (Lines{"USER bob", "REST 100", "CWD /pub"}));
    EXPECT_EQ(ftp.CurrentDirectory(), "/pub");
}

TEST_F(Scripted, InitialDirectoryWithoutQuoteAsksPwd) {
    ftp.SetServerType(ftpstUNIX);
    ftp.SetInitialDirectory("/pub");
    server.add("USER bob", "230 ok\r\n");
    server.add("REST 100", "502 no\r\n");
    server.add("CWD /pub", "250 ok\r\n");
    server.add("PWD", "257 \"/pub\"\r\n");
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return rec.Has("LoggedIn"); })) << rec.Joined();
    EXPECT_EQ(server.transcript, (Lines{"USER bob", "REST 100", "CWD /pub", "PWD"}));
}

TEST_F(Scripted, NetTermWelcomeAndDrivePath) {
    server.welcome = {"220-Hello\r\n220 NetTerm FTP server ready\r\n"};
    server.add("USER bob", "230 ok\r\n");
    server.add("REST 100", "502 no\r\n");
    server.add("PWD", "257 \"/C:/web/site\"\r\n");
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return rec.Has("LoggedIn"); })) << rec.Joined();
    EXPECT_EQ(ftp.ServerType(), ftpstNetTerm);
    EXPECT_EQ(server.transcript, (Lines{"USER bob", "REST 100", "PWD"}));  // no SYST
    EXPECT_EQ(ftp.CurrentDirectory(), "/web/site");
}

TEST_F(Scripted, ServUPathConversion) {
    ftp.SetServerType(ftpstServU);
    server.add("USER bob", "230 ok\r\n");
    server.add("REST 100", "502 no\r\n");
    server.add("PWD", "257 \"D:\\web\\site\"\r\n");
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return rec.Has("LoggedIn"); })) << rec.Joined();
    EXPECT_EQ(ftp.CurrentDirectory(), "/web/site");
}

TEST_F(Scripted, PwdRefusedAtLoginIsFatal) {
    server.add("USER bob", "230 ok\r\n");
    server.add("SYST", "215 UNIX\r\n");
    server.add("REST 100", "502 no\r\n");
    server.add("PWD", "550 no\r\n");
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return rec.quits == 1; })) << rec.Joined();
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpProtocolError}));
    EXPECT_FALSE(rec.Has("LoggedIn"));
}

TEST_F(Scripted, WelcomeNot2xxIsServerDown) {
    server.welcome = {"421 Too many users\r\n"};
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return rec.quits == 1; })) << rec.Joined();
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpServerDown}));
}

struct ProxyCase {
    TQFtpProxyType type;
    quint16 port;
    std::vector<std::pair<std::string, std::string>> steps;
};

TEST_F(Scripted, ProxyVariants) {
    const ProxyCase cases[] = {
        {proxyHost, 21, {{"HOST ftp.example.com", "331 go on\r\n"}, {"USER bob", "230 ok\r\n"}}},
        {proxyHostUser, 21, {{"USER ftp.example.com!bob", "230 ok\r\n"}}},
        {proxyHostUser, 2121, {{"USER ftp.example.com:2121!bob", "230 ok\r\n"}}},
        {proxyOpen,
         21,
         {{"OPEN ftp.example.com", "220 connected\r\n"}, {"USER bob", "230 ok\r\n"}}},
        {proxySite,
         21,
         {{"USER puser", "331 pw\r\n"},
          {"PASS ppass", "230 proxy ok\r\n"},
          {"SITE ftp.example.com", "220 connected\r\n"},
          {"USER bob", "230 ok\r\n"}}},
        {proxyUserSite, 21, {{"USER bob@ftp.example.com", "230 ok\r\n"}}},
        {proxyUserSite, 2121, {{"USER bob@ftp.example.com:2121", "230 ok\r\n"}}},
    };
    for (const auto& c : cases) {
        ScriptedServer s;
        TQFtp client;
        Recorder r(client);
        Configure(client, c.port, temp.path());
        WantsResume(client);
        client.SetServer("ftp.example.com");
        client.SetProxyType(c.type);
        client.SetProxyServer("127.0.0.1");
        client.SetProxyPort(s.port());
        client.SetProxyUsername("puser");
        client.SetProxyPassword("ppass");
        client.SetServerType(ftpstUNIX);
        Lines expected;
        for (const auto& [cmd, reply] : c.steps) {
            s.add(cmd, reply);
            expected.push_back(cmd);
        }
        s.add("REST 100", "502 no\r\n");
        s.add("PWD", "257 \"/\"\r\n");
        expected.push_back("REST 100");
        expected.push_back("PWD");
        client.Login();
        ASSERT_TRUE(WaitFor([&] { return r.Has("LoggedIn") || !r.errors.empty(); }));
        EXPECT_TRUE(r.errors.empty()) << r.Joined();
        EXPECT_EQ(s.transcript, expected) << "proxy type " << c.type;
        EXPECT_EQ(client.Server(), "ftp.example.com");
        EXPECT_EQ(client.Port(), c.port);
    }
}

TEST_F(Scripted, EmptyProxyServerMeansNoProxy) {
    ftp.SetProxyType(proxySite);
    LoginOk();
    EXPECT_EQ(ftp.ProxyType(), proxyNone);
}

TEST_F(Scripted, WrongPasswordWithThreeRetries) {
    ftp.SetRetries(3);
    server.add("USER bob", "331 Password\r\n");
    server.add("PASS secret", "530 Login incorrect\r\n");
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return rec.quits == 1; })) << rec.Joined();
    EXPECT_EQ(rec.Count("error ftpAccessDenied"), 4) << rec.Joined();
    EXPECT_EQ(rec.Count("info 18 Retrying..."), 3);
    EXPECT_EQ(rec.Count("info 21 Retry Finished"), 1);
    EXPECT_EQ(server.connections, 4);
    EXPECT_FALSE(ftp.Connected());
    // Retry Finished comes after the last error, then Disconnected.
    const auto& log = rec.log;
    auto finished = std::find(log.begin(), log.end(), "info 21 Retry Finished");
    ASSERT_NE(finished, log.end());
    EXPECT_EQ(*(finished + 1), "info 1 Disconnected");
    EXPECT_EQ(*(finished - 1), "error ftpAccessDenied");
}

TEST_F(Scripted, ConnectionRefusedIsReportedOnceWithoutRetries) {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    ftp.SetPort(port);
    ftp.SetRetries(3);
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return !rec.errors.empty(); }));
    Pump(100);
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpConnectionRefused}));
    EXPECT_EQ(rec.CountInfo(ftpInfoRetrying), 0);
    EXPECT_FALSE(ftp.Connected());
}

// A listening socket whose accept queue is full: further connection attempts get no answer.
class UnansweredListener {
public:
    UnansweredListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(fd_, 0) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        for (auto& filler : fillers_)
            filler.connectToHost(QHostAddress::LocalHost, port_);
        Pump(200);
    }
    ~UnansweredListener() {
        for (auto& filler : fillers_)
            filler.abort();
        if (fd_ >= 0)
            ::close(fd_);
    }
    quint16 port() const { return port_; }

private:
    int fd_ = -1;
    quint16 port_ = 0;
    QTcpSocket fillers_[3];
};

TEST_F(Scripted, ConnectionSetUpTimesOut) {
    UnansweredListener listener;
    ASSERT_NE(listener.port(), 0);
    ftp.SetPort(listener.port());
    ftp.SetTickIntervalMs(20);
    ftp.SetTimeOut(5);
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return !rec.errors.empty(); }, 3000)) << rec.Joined();
    Pump(200);
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpConnectTimeOut})) << rec.Joined();
    EXPECT_EQ(rec.CountInfo(ftpInfoConnected), 0);
    EXPECT_FALSE(ftp.Connected());
    EXPECT_FALSE(ftp.Busy());
}

TEST_F(Scripted, ResolutionTimeOutDoesNotConnectLater) {
    server.addLogin();
    ftp.SetServer("localhost");
    ftp.Login();
    ASSERT_TRUE(ftp.ResolvePending());
    // The count runs out before the answer comes.
    ASSERT_TRUE(ftp.OnTimeOut);
    ftp.OnTimeOut();
    Pump(500);
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpConnectTimeOut})) << rec.Joined();
    EXPECT_EQ(rec.CountInfo(ftpInfoResolved), 0);
    EXPECT_EQ(server.connections, 0);
    EXPECT_FALSE(ftp.Connected());
    EXPECT_FALSE(rec.Has("LoggedIn"));
}

TEST_F(Scripted, EmptyServerAsksThenGivesNoServer) {
    ftp.SetServer("");
    int asked = 0;
    ftp.OnFtpNeedInfo = [&](TQFtp*, TQFtpInfoNeeded need, QString&) { asked += need == niServer; };
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return !rec.errors.empty(); }));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpNoServer}));
}

TEST_F(Scripted, HostNameIsResolved) {
    ftp.SetServer("localhost");
    LoginOk();
    EXPECT_EQ(rec.CountInfo(ftpInfoResolving), 1);
    EXPECT_EQ(rec.CountInfo(ftpInfoResolved), 1);
}

TEST_F(Scripted, DigitFirstHostNameIsTakenAsAnAddressAndFails) {
    ftp.SetServer("1password.example");
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return !rec.errors.empty(); }));
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpAddressNotAvailable}));
    EXPECT_EQ(rec.CountInfo(ftpInfoResolving), 0);
}

TEST_F(Scripted, ReadyCheck) {
    ftp.ChangeDirectory("/x");
    EXPECT_TRUE(rec.Has("info 1 Not connected to the server"));
    LoginOk();
    server.add("CWD /a", std::string());  // never answered while we try a second operation
    ftp.ChangeDirectory("/a");
    EXPECT_TRUE(ftp.Busy());
    ftp.MakeDirectory("b");
    EXPECT_TRUE(rec.Has("info 5 The component is busy doing something"));
    Pump(50);
    EXPECT_EQ(server.transcript.back(), "CWD /a");
}

TEST_F(Scripted, ChangeDirectoryVariantsAndRefusals) {
    LoginOk();
    server.add("CWD sub", "250 \"/sub\" is current\r\n");
    server.add("CWD ../other", "250 Okay\r\n");  // only the server knows where ".." leads
    server.add("PWD", "257 \"/other\"\r\n");
    server.add("CWD deeper/still", "250 Okay\r\n");  // below a known folder: no PWD
    server.add("CWD missing", "550 No such directory\r\n");
    server.add("MKD made", "257 \"/made\" created\r\n");
    server.add("MKD made", "550 exists\r\n");
    ftp.ChangeDirectory("sub");
    ASSERT_TRUE(WaitFor([&] { return rec.Count("DirectoryChanged") == 1; }));
    EXPECT_EQ(ftp.CurrentDirectory(), "/sub");
    ftp.ChangeDirectory("../other");
    ASSERT_TRUE(WaitFor([&] { return rec.Count("DirectoryChanged") == 2; }));
    EXPECT_EQ(ftp.CurrentDirectory(), "/other");
    ftp.ChangeDirectory("deeper/still");
    ASSERT_TRUE(WaitFor([&] { return rec.Count("DirectoryChanged") == 3; }));
    EXPECT_EQ(ftp.CurrentDirectory(), "/other/deeper/still");
    ftp.ChangeDirectory("missing");
    ASSERT_TRUE(WaitFor([&] { return rec.Count("DirectoryChanged") == 4; }));
    EXPECT_EQ(ftp.CurrentDirectory(), "");
    EXPECT_EQ(rec.errors.back(), ftpPermissionDenied);
    ftp.MakeDirectory("made");
    ASSERT_TRUE(WaitFor([&] { return rec.Count("DirectoryCreated") == 1; }));
    ftp.MakeDirectory("made");
    ASSERT_TRUE(WaitFor([&] { return rec.Count("DirectoryCreated") == 2; }));
    EXPECT_EQ(rec.Count("error ftpPermissionDenied"), 2);
    EXPECT_TRUE(ftp.Connected());
    EXPECT_TRUE(server.mismatches.empty());
    // The error comes before the completion event.
    auto it = std::find(rec.log.begin(), rec.log.end(), "error ftpPermissionDenied");
    EXPECT_EQ(*(it + 1), "DirectoryChanged");
}

TEST_F(Scripted, UnsendableArgumentIsRefusedNotSent) {
    ftp.SetCache(false);
    LoginOk();
    const size_t before = server.transcript.size();
    const QString local = LocalFile("a.txt", "a");
    const std::pair<const char*, QString> arguments[] = {
        {"CR LF", "x\r\nDELE important"},
        {"LF", "y\nz"},
        {"emoji", QString::fromUtf8("写真\xF0\x9F\x98\x80")},
        {"not in code page 932", QString::fromUtf8("a\xC2\xA6")},  // U+00A6
        {"unpaired surrogate", QString(QChar(0xD800))},
    };
    const std::pair<const char*, std::function<void(const QString&)>> operations[] = {
        {"DirectoryChanged", [&](const QString& a) { ftp.ChangeDirectory(a); }},
        {"DirectoryCreated", [&](const QString& a) { ftp.MakeDirectory(a); }},
        {"FileStored", [&](const QString& a) { ftp.UploadFile(local, a); }},
        {"FileReceived", [&](const QString& a) { ftp.DownloadFile(a, temp.path() + "/d"); }},
        {"ListingDone",
         [&](const QString& a) {
             ftp.SetFileMask(a);
             ftp.Refresh();
         }},
    };
    for (const auto& [what, argument] : arguments) {
        for (const auto& [event, operation] : operations) {
            const int events = rec.Count(event);
            const size_t errors = rec.errors.size();
            operation(argument);
            ASSERT_TRUE(WaitFor([&] { return rec.Count(event) == events + 1; }))
                << what << " " << event;
            EXPECT_EQ(rec.errors.size(), errors + 1) << what << " " << event;
            EXPECT_EQ(rec.errors.back(), ftpProtocolError) << what << " " << event;
        }
    }
    Pump(50);
    EXPECT_EQ(server.transcript.size(), before);
    EXPECT_TRUE(ftp.Connected());
}

TEST_F(Scripted, UserNameNotInShiftJisEndsTheLogin) {
    ftp.SetUsername(QString::fromUtf8("bob\xF0\x9F\x98\x80"));
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return rec.quits == 1; })) << rec.Joined();
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpProtocolError}));
    EXPECT_TRUE(server.transcript.empty());
    EXPECT_FALSE(rec.Has("LoggedIn"));
}

TEST_F(Scripted, JapaneseNamesGoOnTheWireAsShiftJis) {
    LoginOk();
    // 日記 93 FA 8B 4C, 表 95 5C, ソフト 83 5C 83 74 83 67: second bytes that are "\" too.
    const std::string nikki = "\x93\xFA\x8B\x4C", hyou = "\x95\x5C",
                      soft = "\x83\x5C\x83\x74\x83\x67";
    server.add("CWD " + nikki + "/" + hyou, "250 \"/" + nikki + "/" + hyou + "\" is current\r\n");
    server.add("MKD " + soft, "257 \"" + soft + "\" created\r\n");
    server.add("CWD " + soft, "250 ok\r\n");
    server.add("PWD", "257 \"/" + nikki + "/" + hyou + "/" + soft + "\"\r\n");
    ftp.ChangeDirectory(QString::fromUtf8("日記/表"));
    ASSERT_TRUE(WaitFor([&] { return rec.Count("DirectoryChanged") == 1; }));
    EXPECT_EQ(ftp.CurrentDirectory(), QString::fromUtf8("/日記/表"));
    ftp.MakeDirectory(QString::fromUtf8("ソフト"));
    ASSERT_TRUE(WaitFor([&] { return rec.Count("DirectoryCreated") == 1; }));
    ftp.ChangeDirectory(QString::fromUtf8("ソフト"));
    ASSERT_TRUE(WaitFor([&] { return rec.Count("DirectoryChanged") == 2; }));
    EXPECT_EQ(ftp.CurrentDirectory(), QString::fromUtf8("/日記/表/ソフト"));
    EXPECT_EQ(ftp.LastReply(), QString::fromUtf8("257 \"/日記/表/ソフト\""));
    EXPECT_TRUE(rec.errors.empty()) << rec.Joined();
    EXPECT_TRUE(server.mismatches.empty()) << server.mismatches.front();
    // The session log shows the commands and replies as text.
    const auto has = [&](FtpInfo code, const char* utf8) {
        return std::count(rec.infos.begin(), rec.infos.end(),
                          std::pair<int, std::string>{code, utf8}) == 1;
    };
    EXPECT_TRUE(has(ftpInfoCommandSent, "MKD ソフト\r\n"));
    EXPECT_TRUE(has(ftpInfoReplyReceived, "257 \"ソフト\" created\r\n"));
}

TEST_F(Scripted, ListingNamesAreShiftJis) {
    ftp.SetCache(false);
    LoginOk();
    const std::string listing =
        "drwxr-xr-x 2 u g 4096 Jan 15 12:34 \x83\x5C\x83\x74\x83\x67\r\n"
        "-rw-r--r-- 1 u g 3 Feb 3 2024 \x93\xFA\x8B\x4C.html\r\n";
    ScriptListing(listing);
    ftp.Refresh();
    ASSERT_TRUE(WaitFor([&] { return rec.Has("ListingDone"); })) << rec.Joined();
    EXPECT_TRUE(rec.errors.empty()) << rec.Joined();
    ASSERT_EQ(ftp.Files().Count(), 1);
    ASSERT_EQ(ftp.Directories().Count(), 1);
    EXPECT_EQ(ftp.Files().Get(0).Name, "\x93\xFA\x8B\x4C.html");
    EXPECT_EQ(ftp.Directories().Get(0).Name, "\x83\x5C\x83\x74\x83\x67");
    EXPECT_EQ(ftp.FindFile(QString::fromUtf8("日記.html")), 0);
    EXPECT_EQ(ftp.FindDirectory(QString::fromUtf8("ソフト")), 0);
    EXPECT_EQ(ftp.FindFile(QString::fromUtf8("ソフト")), -1);
    EXPECT_EQ(ftp.FindFile(QString::fromUtf8("日記\xF0\x9F\x98\x80.html")), -1);
    const std::pair<int, std::string> line{ftpInfoProgress,
                                           "-rw-r--r-- 1 u g 3 Feb 3 2024 日記.html"};
    EXPECT_EQ(std::count(rec.infos.begin(), rec.infos.end(), line), 1);
}

TEST_F(Scripted, ListingActiveThenCache) {
    LoginOk();
    const std::string listing =
        "drwxr-xr-x 2 u g 4096 Jan 15 12:34 .\r\n"
        "drwxr-xr-x 2 u g 4096 Jan 15 12:34 ..\r\n"
        "drwxr-xr-x 2 u g 4096 Jan 15 12:34 tavo-img\r\n"
        "-rw-r--r-- 1 u g 9500 Jan 15 12:34 a page.html\r\n"
        "-rw-r--r-- 1 u g 1 Jan 15 12:34 unfinished";
    ScriptListing(listing);
    ftp.Refresh();
    ASSERT_TRUE(WaitFor([&] { return rec.Has("ListingDone"); })) << rec.Joined();
    EXPECT_TRUE(server.mismatches.empty());
    EXPECT_EQ(server.lastPortHost(), "127.0.0.1");
    EXPECT_EQ(ftp.Directories().Count(), 1);
    EXPECT_EQ(ftp.FindDirectory("TAVO-IMG"), 0);
    EXPECT_EQ(ftp.FindFile("tavo-img"), -1);
    EXPECT_EQ(ftp.FindFile("A Page.html"), 0);
    EXPECT_EQ(ftp.Files().Count(), 1);  // the last line without CR LF is not parsed
    EXPECT_EQ(ftp.RawListing().size(), 4u);
    EXPECT_TRUE(rec.Has("info 14 "));
    // info 11 before info 10.
    auto eleven = std::find(rec.log.begin(), rec.log.end(), "info 11 ");
    ASSERT_NE(eleven, rec.log.end());
    EXPECT_EQ(*(eleven + 1), "info 10 ");
    // The cache file was written; a second Refresh with Cache on sends nothing.
    EXPECT_TRUE(QFile::exists(temp.path() + "/ftpcache/" +
                              QString::fromStdString(SafeCacheName(ftp.CacheKey())) + ".cachef"));
    const size_t before = server.transcript.size();
    ftp.Refresh();
    ASSERT_TRUE(WaitFor([&] { return rec.Count("ListingDone") == 2; }));
    EXPECT_EQ(server.transcript.size(), before);
    EXPECT_EQ(ftp.FindFile("a page.html"), 0);
    // With Cache off the server is asked again; TYPE is not sent twice.
    ftp.SetCache(false);
    server.add("PORT *", [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
    server.add("LIST", [](ScriptedServer& s, const std::string&) { s.sendListing(""); });
    ftp.Refresh();
    ASSERT_TRUE(WaitFor([&] { return rec.Count("ListingDone") == 3; }));
    EXPECT_TRUE(server.mismatches.empty()) << server.mismatches.front();
    EXPECT_EQ(ftp.Files().Count(), 0);
}

// Lines without a year take the client's; across New Year that is the year it was made in.
TEST_F(Scripted, YearLessListingDatesTakeTheClientsYear) {
    ftp.SetCache(false);
    LoginOk();
    const std::pair<QDate, std::string> rows[] = {{QDate(2026, 12, 31), "12/31/2026 11:59 PM"},
                                                  {QDate(2027, 1, 1), "12/31/2027 11:59 PM"},
                                                  {QDate(2024, 2, 29), "12/31/2024 11:59 PM"}};
    int listings = 0;
    for (const auto& [today, dateTime] : rows) {
        ftp.SetToday(today);
        const std::string line = "-rw-r--r-- 1 u g 3 Dec 31 23:59 a.html\r\n";
        listings == 0 ? ScriptListing(line) : ScriptRelisting(line);
        ftp.Refresh();
        ASSERT_TRUE(WaitFor([&] { return rec.Count("ListingDone") == listings + 1; }))
            << rec.Joined();
        ++listings;
        ASSERT_EQ(ftp.Files().Count(), 1);
        EXPECT_EQ(ftp.Files().Get(0).DateTime, dateTime) << today.toString().toStdString();
    }
}

// The cache ages by the client's today, so a day far ahead finds the listing stale.
TEST_F(Scripted, CachedListingAgesByTheClientsToday) {
    ftp.SetCacheExpire(7);
    LoginOk();
    ScriptListing("-rw-r--r-- 1 u g 3 Feb 3 2024 a.html\r\n");
    ftp.Refresh();
    ASSERT_TRUE(WaitFor([&] { return rec.Count("ListingDone") == 1; })) << rec.Joined();
    const std::pair<QDate, bool> rows[] = {{QDate(2000, 1, 1), false}, {QDate(9999, 12, 31), true}};
    for (const auto& [today, asksServer] : rows) {
        ftp.SetToday(today);
        const size_t before = server.transcript.size();
        const int done = rec.Count("ListingDone");
        if (asksServer)
            ScriptRelisting("-rw-r--r-- 1 u g 3 Feb 3 2024 a.html\r\n");
        ftp.Refresh();
        ASSERT_TRUE(WaitFor([&] { return rec.Count("ListingDone") == done + 1; })) << rec.Joined();
        EXPECT_EQ(server.transcript.size() > before, asksServer) << today.toString().toStdString();
        EXPECT_EQ(ftp.Files().Count(), 1);
    }
    EXPECT_TRUE(server.mismatches.empty()) << server.mismatches.front();
}

// EPSV first; PASV only when EPSV is refused for good (5xx), and then for the rest of the
// session; the address a PASV reply names is never taken.
TEST_F(Scripted, PassiveListingTakesEpsvThenPasvAndConnectsToTheControlPeer) {
    using Action = std::function<void(ScriptedServer&, const std::string&)>;
    const auto reply = [](std::string text) {
        return [text](ScriptedServer& s, const std::string&) { s.send(text); };
    };
    const Action extended = [](ScriptedServer& s, const std::string&) { s.openExtendedPassive(); };
    const Action thirdHost = [](ScriptedServer& s, const std::string&) {
        s.openPassive("10,9,8,7");
    };
    const Action refused = reply("500 'EPSV': command not understood.\r\n");
    const struct {
        const char* name;
        std::vector<std::pair<std::string, Action>> steps;  // after TYPE A, before LIST
        std::vector<FtpError> errors;
    } rows[] = {
        {"EPSV accepted", {{"EPSV", extended}}, {}},
        {"EPSV failing for now",
         {{"EPSV", reply("425 No port free\r\n")}},
         {ftpDataConnectionFailed}},
        {"EPSV refused, PASV naming a third host", {{"EPSV", refused}, {"PASV", thirdHost}}, {}},
        {"PASV refused", {{"PASV", reply("502 Not here\r\n")}}, {ftpDataConnectionFailed}},
    };
    ftp.SetPassive(true);
    ftp.SetCache(false);
    LoginOk();
    server.add("TYPE A", "200 ok\r\n");
    for (const auto& row : rows) {
        rec.errors.clear();
        rec.log.clear();
        for (const auto& [command, action] : row.steps)
            server.add(command, action);
        if (row.errors.empty())
            server.add("LIST", [](ScriptedServer& s, const std::string&) {
                s.sendListing("-rw-r--r-- 1 u g 3 Feb 3 2024 x y.txt\r\n");
            });
        ftp.Refresh();
        ASSERT_TRUE(WaitFor([&] { return rec.Has("ListingDone"); })) << row.name << rec.Joined();
        EXPECT_EQ(rec.errors, row.errors) << row.name << rec.Joined();
        EXPECT_EQ(ftp.Files().Count(), row.errors.empty() ? 1 : 0) << row.name;
        EXPECT_TRUE(server.mismatches.empty()) << row.name << server.mismatches.front();
        EXPECT_TRUE(ftp.Connected()) << row.name;
    }
}

TEST_F(Scripted, ListingRefusals) {
    ftp.SetCache(false);
    LoginOk();
    server.add("TYPE A", "200 ok\r\n");
    server.add("PORT *", [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
    server.add("LIST", "550 No permission\r\n");
    ftp.Refresh();
    ASSERT_TRUE(WaitFor([&] { return rec.Has("ListingDone"); }));
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpPermissionDenied}));
    // PORT refused: no data connection, then the event.
    server.add("PORT *", "500 Illegal PORT command.\r\n");
    ftp.Refresh();
    ASSERT_TRUE(WaitFor([&] { return rec.Count("ListingDone") == 2; }));
    EXPECT_EQ(rec.errors.back(), ftpDataConnectionFailed);
    EXPECT_TRUE(ftp.Connected());
    EXPECT_TRUE(server.mismatches.empty());
}

TEST_F(Scripted, UploadTypeOnceSizeResumeAndRefusal) {
    LoginOk();
    QByteArray bytes;
    for (int i = 0; i < 100000; ++i)
        bytes += char(i * 7);
    const QString local = LocalFile("b.bin", bytes);
    server.add("TYPE I", "200 ok\r\n");
    server.add("SIZE b.bin", "550 no such file\r\n");
    server.add("PORT *", [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
    server.add("STOR b.bin", [](ScriptedServer& s, const std::string&) { s.receiveStore(); });
    ftp.SetTransferMode(BinaryTransfer);
    ftp.UploadFile(local, "b.bin");
    ASSERT_TRUE(WaitFor([&] { return rec.Has("FileStored"); })) << rec.Joined();
    EXPECT_EQ(server.stored, bytes);
    EXPECT_EQ(ftp.BytesTransferred(), bytes.size());
    EXPECT_TRUE(rec.errors.empty());
    // info 13 with the size comes before any progress.
    int first13 = -1, first8 = -1;
    for (int i = 0; i < static_cast<int>(rec.infos.size()); ++i) {
        if (rec.infos[i].first == 13 && first13 < 0)
            first13 = i;
        if (rec.infos[i].first == 8 && first8 < 0)
            first8 = i;
    }
    ASSERT_GE(first13, 0);
    EXPECT_EQ(rec.infos[first13].second, "100000");
    EXPECT_LT(first13, first8);

    // Second upload: no TYPE; the remote size > 0 and the answer "Resume" sends REST.
    ftp.OnFtpNeedInfo = [](TQFtp*, TQFtpInfoNeeded need, QString& v) {
        if (need == niResumeOrOverwrite)
            v = "Resume";
    };
    server.add("SIZE b.bin", "213 40000\r\n");
    server.add("PORT *", [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
    server.add("REST 40000", "350 ok\r\n");
    server.add("STOR b.bin", [](ScriptedServer& s, const std::string&) { s.receiveStore(); });
    ftp.UploadFile(local, "b.bin");
    ASSERT_TRUE(WaitFor([&] { return rec.Count("FileStored") == 2; })) << rec.Joined();
    EXPECT_EQ(server.stored, bytes.mid(40000));

    // A refused STOR: error, then the event; the connection stays. Without a need-info
    // handler nobody could answer a resume question: no SIZE is asked.
    ftp.OnFtpNeedInfo = nullptr;
    server.add("PORT *", [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
    server.add("STOR b.bin", "553 Not allowed\r\n");
    ftp.UploadFile(local, "b.bin");
    ASSERT_TRUE(WaitFor([&] { return rec.Count("FileStored") == 3; })) << rec.Joined();
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpPermissionDenied}));
    EXPECT_TRUE(ftp.Connected());
    EXPECT_TRUE(server.mismatches.empty()) << server.mismatches.front();
    EXPECT_EQ(std::count(server.transcript.begin(), server.transcript.end(), "TYPE I"), 1);
    // A listing after binary uploads sends TYPE A again.
    ftp.SetCache(false);
    server.add("TYPE A", "200 ok\r\n");
    server.add("PORT *", [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
    server.add("LIST", [](ScriptedServer& s, const std::string&) { s.sendListing(""); });
    ftp.Refresh();
    ASSERT_TRUE(WaitFor([&] { return rec.Has("ListingDone"); })) << rec.Joined();
    ASSERT_GE(server.transcript.size(), 3u);
    EXPECT_EQ(server.transcript[server.transcript.size() - 3], "TYPE A");
    EXPECT_TRUE(server.mismatches.empty()) << server.mismatches.front();
}

TEST_F(Scripted, UploadEmptyFilePassive) {
    ftp.SetPassive(true);
    LoginOk();
    server.add("TYPE A", "200 ok\r\n");
    server.add("SIZE e.txt", "550 no\r\n");
    server.add("EPSV", [](ScriptedServer& s, const std::string&) { s.openExtendedPassive(); });
    server.add("STOR e.txt", [](ScriptedServer& s, const std::string&) { s.receiveStore(); });
    ftp.SetTransferMode(AsciiTransfer);
    ftp.UploadFile(LocalFile("e.txt", ""), "e.txt");
    ASSERT_TRUE(WaitFor([&] { return rec.Has("FileStored"); })) << rec.Joined();
    EXPECT_TRUE(rec.Has("info 13 0"));
    EXPECT_TRUE(server.stored.isEmpty());
    EXPECT_TRUE(rec.errors.empty()) << rec.Joined();
}

// In active mode the data connection that never comes from the server ends the transfer
// with that cause, not with a time-out; a host that connects in its place is refused and
// named.
TEST_F(Scripted, ActiveDataConnectionThatNeverComesFromTheServer) {
    QTcpSocket intruder;
    if (!intruder.bind(QHostAddress(QStringLiteral("127.0.0.2"))))
        GTEST_SKIP() << "127.0.0.2 cannot be bound here";
    const struct {
        const char* name;
        bool intrude;           // 127.0.0.2 connects to the client's port, the server never
        const char* listReply;  // after the intruder was turned away
        const char* detail;     // in the error's text
    } rows[] = {
        {"425 from the server", false, "425 Can't open data connection.\r\n",
         "425 Can't open data connection."},
        {"another host, then 226", true, "226 Transfer complete\r\n",
         "a data connection from 127.0.0.2, not from the server 127.0.0.1, was refused"},
    };
    ftp.SetCache(false);
    ftp.SetReplyTimeOutMs(20000);  // a time-out must not be what ends it
    QString errorText;
    QMetaObject::Connection turnedAway;
    ftp.AddErrorListener([&](TQFtp*, FtpError, const QString& text) { errorText = text; });
    LoginOk();
    server.add("TYPE A", "200 ok\r\n");
    for (const auto& row : rows) {
        rec.log.clear();
        rec.errors.clear();
        rec.infos.clear();
        server.add("PORT *", [&](ScriptedServer& s, const std::string& c) {
            s.rememberPort(c);
            if (row.intrude)
                intruder.connectToHost(QHostAddress(QString::fromStdString(s.lastPortHost())),
                                       s.lastPort());
        });
        server.add("LIST", [&](ScriptedServer& s, const std::string&) {
            s.send("150 Here comes the listing\r\n");
            if (!row.intrude)
                return s.send(row.listReply);
            turnedAway = QObject::connect(&intruder, &QTcpSocket::disconnected, &s,
                                          [&s, &row] { s.send(row.listReply); });
        });
        ftp.Refresh();
        ASSERT_TRUE(WaitFor([&] { return rec.Has("ListingDone"); }, 10000))
            << row.name << rec.Joined();
        EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpDataConnectionFailed})) << row.name;
        EXPECT_TRUE(errorText.contains(QString::fromLatin1(row.detail)))
            << row.name << errorText.toStdString();
        const bool logged = std::any_of(rec.infos.begin(), rec.infos.end(), [](const auto& i) {
            return i.first == ftpInfoDebug &&
                   i.second.find("Refused a data connection from 127.0.0.2") != std::string::npos;
        });
        EXPECT_EQ(logged, row.intrude) << row.name << rec.Joined();
        EXPECT_TRUE(ftp.Connected()) << row.name;
        QObject::disconnect(turnedAway);
    }
    EXPECT_TRUE(server.mismatches.empty()) << server.mismatches.front();
}

TEST_F(Scripted, UploadLocalFileErrors) {
    LoginOk();
    ftp.UploadFile(temp.path() + "/missing", "x");
    ASSERT_TRUE(WaitFor([&] { return rec.Has("FileStored"); }));
    ftp.UploadFile(LocalFile("a", "a"), "");
    ASSERT_TRUE(WaitFor([&] { return rec.Count("FileStored") == 2; }));
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpFileOpen, ftpFileNotFound}));
}

TEST_F(Scripted, PrematureDisconnectMidTransfer) {
    LoginOk();
    server.add("TYPE I", "200 ok\r\n");
    server.add("SIZE big", "550 no\r\n");
    server.add("PORT *", [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
    server.add("STOR big", [](ScriptedServer& s, const std::string&) {
        s.send("150 go\r\n");
        s.withData([&s](QTcpSocket* d) {
            QObject::connect(d, &QTcpSocket::readyRead, d, [d, &s] {
                d->readAll();
                d->abort();
                s.closeControl();
            });
        });
    });
    ftp.UploadFile(LocalFile("big", QByteArray(4 << 20, 'x')), "big");
    ASSERT_TRUE(WaitFor([&] { return rec.quits == 1; })) << rec.Joined();
    EXPECT_FALSE(ftp.Connected());
    EXPECT_FALSE(ftp.Busy());
    // The data connection ending first is no error of its own: the lost control connection is.
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpPrematureDisconnect})) << rec.Joined();
    EXPECT_TRUE(rec.Has("info 1 Disconnected"));
}

// A transfer completes once its data connection has ended and its final reply has come, in
// either order.
TEST_F(Scripted, TransferCompletesOnceWhicheverHalfComesLast) {
    ftp.SetCache(false);
    LoginOk();
    const QByteArray payload = QByteArray("-rw-r--r-- 1 u g 3 Feb 3 2024 a.txt\r\n").repeated(3000);
    const QString upload = LocalFile("up.bin", payload);
    const QString download = temp.path() + "/down.bin";
    struct Operation {
        const char* event;
        std::function<void()> start;
        std::function<void()> check;
    };
    const Operation operations[] = {
        {"ListingDone",
         [&] {
             server.add("TYPE A", "200 ok\r\n");
             server.add("PORT *",
                        [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
             server.add("LIST", [payload](ScriptedServer& s, const std::string&) {
                 s.sendListing(payload.toStdString());
             });
             ftp.Refresh();
         },
         [&] { EXPECT_EQ(ftp.Files().Count(), 3000); }},
        {"FileReceived",
         [&] {
             server.add("TYPE I", "200 ok\r\n");
             server.add("PORT *",
                        [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
             server.add("RETR down.bin", [payload](ScriptedServer& s, const std::string&) {
                 s.sendData("150 Opening data connection\r\n", payload.toStdString());
             });
             ftp.DownloadFile("down.bin", download);
         },
         [&] {
             QFile f(download);
             ASSERT_TRUE(f.open(QIODevice::ReadOnly));
             EXPECT_EQ(f.readAll(), payload);
         }},
        {"FileStored",
         [&] {
             // TYPE I is still in force from the download.
             server.add("SIZE up.bin", "550 no\r\n");
             server.add("PORT *",
                        [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
             server.add("STOR up.bin",
                        [](ScriptedServer& s, const std::string&) { s.receiveStore(); });
             ftp.UploadFile(upload, "up.bin");
         },
         [&] {
             ASSERT_TRUE(WaitFor([&] { return server.storeDone; }));
             EXPECT_EQ(server.stored, payload);
         }},
    };
    // The second half comes well after the first, so that a completion on either half alone
    // shows.
    server.halvesGapMs = 100;
    for (const bool replyFirst : {false, true}) {
        server.finalReplyFirst = replyFirst;
        for (const Operation& op : operations) {
            SCOPED_TRACE(std::string(op.event) + (replyFirst ? ", reply first" : ", data first"));
            const int before = rec.Count(op.event);
            const int transfersDone = rec.CountInfo(ftpInfoTransferDone);
            op.start();
            ASSERT_TRUE(WaitFor([&] { return rec.Count(op.event) == before + 1; })) << rec.Joined();
            EXPECT_EQ(ftp.LastReply(), "226 Transfer complete");
            Pump(150);
            EXPECT_EQ(rec.Count(op.event), before + 1);
            EXPECT_EQ(rec.CountInfo(ftpInfoTransferDone), transfersDone + 1);
            op.check();
            EXPECT_TRUE(rec.errors.empty()) << rec.Joined();
            EXPECT_FALSE(ftp.Busy());
        }
    }
    EXPECT_TRUE(server.mismatches.empty()) << server.mismatches.front();
}

TEST_F(Scripted, UnsolicitedReplyIsOnlyLogged) {
    LoginOk();
    const int events = static_cast<int>(rec.log.size());
    server.send("421 Service closing soon, maybe\r\n");
    ASSERT_TRUE(WaitFor([&] {
        return std::count(rec.infos.begin(), rec.infos.end(),
                          std::pair<int, std::string>{ftpInfoReplyReceived,
                                                      "421 Service closing soon, maybe\r\n"}) == 1;
    }));
    Pump(100);
    EXPECT_EQ(static_cast<int>(rec.log.size()), events) << rec.Joined();
    EXPECT_TRUE(rec.errors.empty());
    EXPECT_EQ(ftp.LastReply(), "421 Service closing soon, maybe");
    EXPECT_TRUE(ftp.Connected());
    EXPECT_TRUE(ftp.LoggedIn());
    EXPECT_FALSE(ftp.Busy());
    EXPECT_EQ(ftp.CurrentDirectory(), "/");
    // The next command gets its own reply.
    server.add("CWD sub", "250 \"/sub\"\r\n");
    ftp.ChangeDirectory("sub");
    ASSERT_TRUE(WaitFor([&] { return rec.Has("DirectoryChanged"); }));
    EXPECT_EQ(ftp.CurrentDirectory(), "/sub");
    EXPECT_TRUE(rec.errors.empty());
}

TEST_F(Scripted, ServerThatNeverAnswersTimesOut) {
    LoginOk();
    ftp.SetReplyTimeOutMs(150);
    server.add("CWD slow", std::string());
    ftp.ChangeDirectory("slow");
    ASSERT_TRUE(WaitFor([&] { return rec.quits == 1; }, 3000)) << rec.Joined();
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpTimeOut}));
    EXPECT_FALSE(ftp.Busy());
    EXPECT_FALSE(ftp.Connected());
}

TEST_F(Scripted, SilentServerBeforeLoginTimesOutAndRetries) {
    server.welcome = {};
    ftp.SetReplyTimeOutMs(100);
    ftp.SetRetries(1);
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return rec.quits == 1; }, 3000)) << rec.Joined();
    EXPECT_EQ(rec.Count("error ftpTimeOut"), 2);
    EXPECT_EQ(rec.Count("info 18 Retrying..."), 1);
    EXPECT_EQ(rec.Count("info 21 Retry Finished"), 1);
}

TEST_F(Scripted, KeepAliveNoopUntilRefused) {
    ftp.SetNoopIntervalMs(40);
    LoginOk();
    server.add("NOOP", "200 ok\r\n");
    server.add("NOOP", "502 not implemented\r\n");
    ASSERT_TRUE(WaitFor([&] { return server.transcript.size() >= 8; }, 3000));
    Pump(200);
    EXPECT_EQ(std::count(server.transcript.begin(), server.transcript.end(), "NOOP"), 2);
    EXPECT_FALSE(ftp.ServerAcceptsNoop());
    EXPECT_FALSE(ftp.Busy());
    EXPECT_EQ(rec.Count("LoggedIn"), 1);  // NOOP raises no event
}

TEST_F(Scripted, QuitEndsSession) {
    LoginOk();
    server.add("QUIT", [](ScriptedServer& s, const std::string&) {
        s.send("221 Bye\r\n");
        s.closeControl();
    });
    ftp.Quit();
    ASSERT_TRUE(WaitFor([&] { return rec.quits == 1; })) << rec.Joined();
    EXPECT_FALSE(ftp.Connected());
    EXPECT_FALSE(ftp.LoggedIn());
    EXPECT_TRUE(rec.errors.empty()) << rec.Joined();
}

TEST_F(Scripted, DownloadWithResume) {
    LoginOk();
    const QString local = LocalFile("d.bin", "0123");
    ftp.OnFtpNeedInfo = [](TQFtp*, TQFtpInfoNeeded need, QString& v) {
        if (need == niResumeOrOverwrite)
            v = "Resume";
    };
    server.add("TYPE I", "200 ok\r\n");
    server.add("SIZE d.bin", "213 10\r\n");
    server.add("PORT *", [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
    server.add("REST 4", "350 ok\r\n");
    server.add("RETR d.bin", [](ScriptedServer& s, const std::string&) {
        s.send("150 Opening BINARY mode data connection for d.bin (6 bytes)\r\n");
        s.withData([&s](QTcpSocket* d) {
            d->write("456789");
            QObject::connect(d, &QTcpSocket::bytesWritten, d, [d] { d->disconnectFromHost(); });
            QObject::connect(d, &QTcpSocket::disconnected, &s, [&s] { s.send("226 done\r\n"); });
        });
    });
    ftp.DownloadFile("d.bin", local);
    ASSERT_TRUE(WaitFor([&] { return rec.Has("FileReceived"); })) << rec.Joined();
    QFile f(local);
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(f.readAll(), "0123456789");
    EXPECT_TRUE(rec.Has("info 13 6"));
    EXPECT_TRUE(server.mismatches.empty()) << server.mismatches.front();
}

TEST_F(Scripted, ListenersAfterHandlerFourSlots) {
    std::vector<int> order;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ftp.AddInfoListener([&order, i](TQFtp*, FtpInfo info, const QString&) {
            if (info == ftpInfoLoggedIn)
                order.push_back(i);
        }),
                  i);
    EXPECT_EQ(ftp.AddInfoListener([](TQFtp*, FtpInfo, const QString&) {}), -1);
    ftp.RemoveInfoListener(2);
    int errors = 0;
    EXPECT_EQ(ftp.AddErrorListener([&](TQFtp*, FtpError, const QString&) { ++errors; }), 0);
    LoginOk();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 3}));
    ftp.ChangeDirectory("x");
    server.add("CWD x", "550 no\r\n");
    ASSERT_TRUE(WaitFor([&] { return rec.Has("DirectoryChanged"); }));
    EXPECT_EQ(errors, 1);
}

// ---------------------------------------------------------------- TQSocket

TEST(QSocket, CountRunsOutToHandlerOrClose) {
    TQSocket s;
    s.SetTickIntervalMs(5);
    s.SetTimeOut(3);
    int timeouts = 0, closes = 0;
    s.OnTimeOut = [&] { ++timeouts; };
    s.OnClose = [&](int) { ++closes; };
    s.CreateSocket();
    s.StartCount();
    ASSERT_TRUE(WaitFor([&] { return timeouts == 1; }, 2000));
    EXPECT_EQ(closes, 0);
    EXPECT_TRUE(s.HasSocket());
    s.OnTimeOut = nullptr;
    s.StartCount();
    ASSERT_TRUE(WaitFor([&] { return closes == 1; }, 2000));
    EXPECT_FALSE(s.HasSocket());
}

TEST(QSocket, CloseWithoutSocketCallsNoHandler) {
    TQSocket s;
    int closes = 0;
    s.OnClose = [&](int) { ++closes; };
    s.StartCount();
    s.Close();
    EXPECT_FALSE(s.Counting());
    EXPECT_EQ(closes, 0);
    s.CreateSocket();
    s.Close();
    EXPECT_EQ(closes, 1);
}

TEST(QSocket, RefusedArrivesAsConnectEventWithError) {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    TQSocket s;
    int connects = 0;
    s.OnConnect = [&] { ++connects; };
    s.SetAddressText("127.0.0.1");
    s.SetPort(port);
    EXPECT_TRUE(s.Connect());  // would-block is no error
    EXPECT_EQ(s.LastError(), 0);
    ASSERT_TRUE(WaitFor([&] { return connects == 1; }));
    EXPECT_EQ(s.LastError(), wsa::kConnectionRefused);
    EXPECT_FALSE(s.Connected());
    EXPECT_FALSE(s.Counting());
}

TEST(QSocket, ListenAcceptSendReceiveAndPeerClose) {
    TQSocket listener, accepted, client;
    int accepts = 0, closes = 0, connects = 0;
    QByteArray got;
    listener.SetAddressText("127.0.0.1");
    listener.SetPort(0);
    listener.OnAccept = [&] {
        ++accepts;
        accepted.Accept(listener);
    };
    ASSERT_TRUE(listener.Listen());
    EXPECT_NE(listener.LocalPort(), 0);
    accepted.OnRead = [&] {
        char b[100];
        qint64 n;
        while ((n = accepted.Receive(b, sizeof b)) > 0)
            got.append(b, n);
    };
    accepted.OnClose = [&](int e) {
        EXPECT_EQ(e, 0);
        ++closes;
    };
    client.OnConnect = [&] { ++connects; };
    client.SetAddressText("127.0.0.1");
    client.SetPort(listener.LocalPort());
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(WaitFor([&] { return connects == 1 && accepts == 1; }));
    EXPECT_TRUE(client.Connected());
    EXPECT_TRUE(accepted.Connected());
    EXPECT_EQ(client.Send("hello", 5), 5);
    client.Close();
    ASSERT_TRUE(WaitFor([&] { return closes == 1; }));
    EXPECT_EQ(got, "hello");  // drained before the close handler
    EXPECT_FALSE(accepted.Connected());
    EXPECT_EQ(client.LocalPort(), 0);
}

TEST(QSocket, AsyncResolution) {
    TQSocket s;
    s.SetTimeOut(20);
    ASSERT_TRUE(s.Resolve("localhost"));
    EXPECT_FALSE(s.Resolve("localhost"));  // one pending request at a time
    EXPECT_TRUE(s.Counting());
    ASSERT_TRUE(WaitFor([&] { return !s.ResolvePending(); }));
    EXPECT_EQ(s.LastError(), 0);
    EXPECT_EQ(s.AddressText(), "127.0.0.1");
    EXPECT_FALSE(s.Counting());
    // A label longer than 63 characters fails before any query leaves the machine.
    ASSERT_TRUE(s.Resolve(QString(64, 'a') + ".example"));
    ASSERT_TRUE(WaitFor([&] { return !s.ResolvePending(); }));
    EXPECT_EQ(s.LastError(), wsa::kHostNotFound);
}

TEST(QSocket, RecreateCancelsAPendingResolution) {
    TQSocket s;
    ASSERT_TRUE(s.Resolve("localhost"));
    s.Recreate();
    EXPECT_FALSE(s.ResolvePending());
    EXPECT_FALSE(s.Counting());
    // The answer that was already under way must not be taken.
    Pump(300);
    EXPECT_EQ(s.AddressText(), "");
    // A new resolution works as before.
    ASSERT_TRUE(s.Resolve("localhost"));
    ASSERT_TRUE(WaitFor([&] { return !s.ResolvePending(); }));
    EXPECT_EQ(s.AddressText(), "127.0.0.1");
}

TEST(QSocket, WinsockErrorOfQtSocketErrors) {
    const std::pair<QAbstractSocket::SocketError, int> cases[] = {
        {QAbstractSocket::ConnectionRefusedError, wsa::kConnectionRefused},
        {QAbstractSocket::RemoteHostClosedError, wsa::kConnectionReset},
        {QAbstractSocket::HostNotFoundError, wsa::kHostNotFound},
        {QAbstractSocket::SocketAccessError, wsa::kAccess},
        {QAbstractSocket::SocketResourceError, wsa::kTooManySockets},
        {QAbstractSocket::SocketTimeoutError, wsa::kTimedOut},
        {QAbstractSocket::NetworkError, wsa::kNetworkUnreachable},
        {QAbstractSocket::AddressInUseError, wsa::kAddressInUse},
        {QAbstractSocket::SocketAddressNotAvailableError, wsa::kAddressNotAvailable},
        {QAbstractSocket::DatagramTooLargeError, wsa::kInvalid},
        {QAbstractSocket::UnsupportedSocketOperationError, wsa::kInvalid},
        {QAbstractSocket::ProxyConnectionRefusedError, wsa::kInvalid},
        {QAbstractSocket::OperationError, wsa::kInvalid},
        {QAbstractSocket::UnknownSocketError, wsa::kInvalid},
    };
    for (const auto& [qtError, expected] : cases)
        EXPECT_EQ(WinsockErrorOf(qtError), expected) << "Qt socket error " << qtError;
}

// With TAVO_FTP_TRACE set every state change is logged by name, and a client without a
// need-info handler sends neither the REST probe nor SIZE: nobody would use their answers.
TEST(ScriptedTrace, StateChangesAreLoggedByName) {
    static std::vector<std::string> trace;
    trace.clear();
    qputenv("TAVO_FTP_TRACE", "1");
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
            if (text.startsWith("state: "))
                trace.push_back(text.mid(7).toStdString());
        });
    QTemporaryDir temp;
    ScriptedServer server;
    TQFtp ftp;
    qunsetenv("TAVO_FTP_TRACE");
    Recorder rec(ftp);
    Configure(ftp, server.port(), temp.path());
    server.add("USER bob", "331 Password required\r\n");
    server.add("PASS secret", "230 Logged in\r\n");
    server.add("SYST", "215 UNIX Type: L8\r\n");
    server.add("PWD", "257 \"/\"\r\n");
    server.add("TYPE I", "200 ok\r\n");
    server.add("PORT *", [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
    server.add("STOR a.bin", [](ScriptedServer& s, const std::string&) { s.receiveStore(); });
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return rec.Has("LoggedIn"); })) << rec.Joined();
    QFile local(temp.path() + "/a.bin");
    ASSERT_TRUE(local.open(QIODevice::WriteOnly));
    local.write(QByteArray(3000, 'a'));
    local.close();
    ftp.UploadFile(local.fileName(), "a.bin");
    ASSERT_TRUE(WaitFor([&] { return rec.Has("FileStored"); })) << rec.Joined();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(rec.errors.empty()) << rec.Joined();
    EXPECT_TRUE(server.mismatches.empty()) << server.mismatches.front();
    EXPECT_EQ(server.stored.size(), 3000);
    const std::vector<std::string> expected{"DISCONNECTED -> CONNECTING",
                                            "CONNECTING -> WELCOME",
                                            "WELCOME -> USER",
                                            "USER -> PASS",
                                            "PASS -> SYST",
                                            "SYST -> PWD",
                                            "PWD -> COMPLETING",
                                            "COMPLETING -> IDLE",
                                            "IDLE -> TYPE",
                                            "TYPE -> PORT",
                                            "PORT -> STOR",
                                            "STOR -> TRANSFERRING"};
    ASSERT_GE(trace.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(trace.begin(), trace.begin() + expected.size()), expected);
    EXPECT_EQ(trace.back(), "COMPLETING -> IDLE");
}
