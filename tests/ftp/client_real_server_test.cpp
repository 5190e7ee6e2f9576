// TQFtp against real servers started by the test: pyftpdlib always, vsftpd where it can run.
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

#include "ftp/qftp.h"
#include "ftp_test_support.h"
#include "real_server.h"

using namespace tavo::ftp;
using namespace ftptest;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

RealServer* StartedServer(const std::string& kind, std::string* why) {
    static std::unique_ptr<PyFtpdlib> py;
    static std::unique_ptr<Vsftpd> vs, vsTls;
    static bool tried[3] = {false, false, false};
    RealServer* server = nullptr;
    bool ok = false;
    if (kind == "pyftpdlib") {
        if (!tried[0]) {
            tried[0] = true;
            py = std::make_unique<PyFtpdlib>();
            if (!py->Start())
                *why = py->failure.toStdString();
        }
        server = py.get();
        ok = py->Running();
        if (!ok)
            *why = py->failure.toStdString();
    } else {
        const bool tls = kind == "vsftpd-tls";
        auto& started = tls ? vsTls : vs;
        if (!tried[tls ? 2 : 1]) {
            tried[tls ? 2 : 1] = true;
            started = std::make_unique<Vsftpd>(tls);
            started->Start();
        }
        server = started.get();
        ok = started->Running();
        if (!ok)
            *why = started->failure.toStdString();
    }
    if (ok) {
        // Fixture files: a file, a sub-folder and a name with a space.
        WriteFile(server->home + "/hello.txt", "hello world\n");
        QDir().mkpath(server->home + "/sub");
        WriteFile(server->home + "/with space.txt", "abc");
    }
    return ok ? server : nullptr;
}

struct Param {
    std::string server;
    bool passive;
};

void PrintTo(const Param& p, std::ostream* os) {
    *os << p.server << (p.passive ? " passive" : " active");
}

class RealServerTest : public ::testing::TestWithParam<Param> {
protected:
    void SetUp() override {
        std::string why;
        server_ = StartedServer(GetParam().server, &why);
        if (!server_)
            GTEST_SKIP() << GetParam().server << " cannot run here: " << why;
        ftp.SetServer("127.0.0.1");
        ftp.SetPort(server_->port);
        ftp.SetUsername(server_->user);
        ftp.SetPassword(server_->password);
        ftp.SetRetries(0);
        ftp.SetPassive(GetParam().passive);
        ftp.SetCache(false);
        ftp.SetCacheFolder(temp.path() + "/ftpcache/");
        ftp.SetReplyTimeOutMs(20000);
        if (auto* vsftpd = dynamic_cast<Vsftpd*>(server_);
            vsftpd && server_->name == "vsftpd-tls") {
            ftp.SetSecurity(FtpSecurity::Tls);
            ftp.SetExtraCaCertificates(QSslCertificate::fromPath(vsftpd->CertificatePath()));
        }
    }
    void TearDown() override {
        if (server_ && ftp.Connected() && !ftp.Busy()) {
            ftp.Quit();
            WaitFor([&] { return !ftp.Connected(); }, 5000);
        }
    }
    bool Wait(const std::string& event, int count = 1, int ms = 20000) {
        return WaitFor([&] { return rec.Count(event) >= count || rec.quits > 0; }, ms) &&
               rec.Count(event) >= count;
    }
    void LoginAndEnterWork() {
        ftp.Login();
        ASSERT_TRUE(Wait("LoggedIn")) << rec.Joined();
        ftp.ChangeDirectory(server_->workDir);
        ASSERT_TRUE(Wait("DirectoryChanged")) << rec.Joined();
        ASSERT_TRUE(rec.errors.empty()) << rec.Joined();
    }
    QString Suffix() const {
        return QString::fromStdString(GetParam().passive ? "-pasv" : "-port");
    }

    RealServer* server_ = nullptr;
    QTemporaryDir temp;
    TQFtp ftp;
    Recorder rec{ftp};
};

}  // namespace

TEST_P(RealServerTest, LoginDirectoriesListingUploadsQuit) {
    LoginAndEnterWork();
    EXPECT_EQ(ftp.ServerType(), ftpstUNIX);
    const QString work = ftp.CurrentDirectory();

    // CWD into an existing and a missing folder.
    ftp.ChangeDirectory("sub");
    ASSERT_TRUE(Wait("DirectoryChanged", 2));
    EXPECT_TRUE(ftp.CurrentDirectory().endsWith("/sub")) << ftp.CurrentDirectory().toStdString();
    ftp.ChangeDirectory(work);
    ASSERT_TRUE(Wait("DirectoryChanged", 3));
    ftp.ChangeDirectory("no-such-folder");
    ASSERT_TRUE(Wait("DirectoryChanged", 4));
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpPermissionDenied}));
    ftp.ChangeDirectory(work);
    ASSERT_TRUE(Wait("DirectoryChanged", 5));

    // MKD.
    const QString made = "made" + Suffix();
    ftp.MakeDirectory(made);
    ASSERT_TRUE(Wait("DirectoryCreated"));
    EXPECT_EQ(rec.errors.size(), 1u) << rec.Joined();
    EXPECT_TRUE(QFileInfo(server_->home + "/" + made).isDir());

    // LIST.
    ftp.Refresh();
    ASSERT_TRUE(Wait("ListingDone")) << rec.Joined();
    EXPECT_EQ(rec.errors.size(), 1u) << rec.Joined();
    EXPECT_GE(ftp.FindFile("hello.txt"), 0);
    EXPECT_GE(ftp.FindFile("with space.txt"), 0);
    EXPECT_GE(ftp.FindDirectory("sub"), 0);
    EXPECT_GE(ftp.FindDirectory(made), 0);
    EXPECT_EQ(ftp.FindFile("sub"), -1);
    EXPECT_EQ(ftp.Files().Get(ftp.FindFile("hello.txt")).Size, "12");

    // STOR of a text file in ASCII mode.
    const QByteArray text = "<html>\n<body>日記</body>\n</html>\n";
    WriteFile(temp.path() + "/page.html", text);
    ftp.SetTransferMode(AsciiTransfer);
    const QString page = "page" + Suffix() + ".html";
    ftp.UploadFile(temp.path() + "/page.html", page);
    ASSERT_TRUE(Wait("FileStored")) << rec.Joined();
    EXPECT_EQ(rec.errors.size(), 1u) << rec.Joined();
    EXPECT_EQ(ReadFile(server_->home + "/" + page), text);

    // STOR of a binary file of several megabytes.
    QByteArray bytes(6 * 1024 * 1024 + 123, Qt::Uninitialized);
    QRandomGenerator gen(42);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(gen.generate() & 0xff);
    WriteFile(temp.path() + "/big.bin", bytes);
    ftp.SetTransferMode(BinaryTransfer);
    const QString big = "big" + Suffix() + ".bin";
    ftp.UploadFile(temp.path() + "/big.bin", big);
    ASSERT_TRUE(Wait("FileStored", 2, 60000)) << rec.Joined();
    EXPECT_EQ(rec.errors.size(), 1u) << rec.Joined();
    EXPECT_EQ(ftp.BytesTransferred(), bytes.size());
    EXPECT_TRUE(ReadFile(server_->home + "/" + big) == bytes);

    // Download it back.
    ftp.DownloadFile(big, temp.path() + "/back.bin");
    ASSERT_TRUE(Wait("FileReceived", 1, 60000)) << rec.Joined();
    EXPECT_TRUE(ReadFile(temp.path() + "/back.bin") == bytes);

    // QUIT.
    ftp.Quit();
    ASSERT_TRUE(WaitFor([&] { return rec.quits == 1; })) << rec.Joined();
    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(rec.errors.size(), 1u) << rec.Joined();
}

// Names travel as Shift_JIS bytes, as earlier versions created them on users' servers.
TEST_P(RealServerTest, JapaneseNamesAreShiftJisOnTheServer) {
    if (GetParam().server == "pyftpdlib")
        GTEST_SKIP() << "pyftpdlib reads commands as UTF-8; vsftpd keeps the bytes it gets";
    LoginAndEnterWork();
    const QString folder = QString::fromUtf8("日記ソフト") + Suffix();
    const QString file = QString::fromUtf8("表.txt");
    // 日記ソフト and 表.txt in Shift_JIS; ソ and 表 end in the byte of "\".
    const std::string folderBytes =
        "\x93\xFA\x8B\x4C\x83\x5C\x83\x74\x83\x67" + Suffix().toStdString();
    const std::string fileBytes = "\x95\x5C.txt";
    ftp.MakeDirectory(folder);
    ASSERT_TRUE(Wait("DirectoryCreated")) << rec.Joined();
    ftp.ChangeDirectory(folder);
    ASSERT_TRUE(Wait("DirectoryChanged", 2)) << rec.Joined();
    EXPECT_TRUE(ftp.CurrentDirectory().endsWith("/" + folder))
        << ftp.CurrentDirectory().toStdString();
    WriteFile(temp.path() + "/local.txt", "abc");
    ftp.UploadFile(temp.path() + "/local.txt", file);
    ASSERT_TRUE(Wait("FileStored")) << rec.Joined();
    ftp.Refresh();
    ASSERT_TRUE(Wait("ListingDone")) << rec.Joined();
    EXPECT_TRUE(rec.errors.empty()) << rec.Joined();
    ASSERT_GE(ftp.FindFile(file), 0);
    EXPECT_EQ(ftp.Files().Get(ftp.FindFile(file)).Name, fileBytes);
    const std::filesystem::path onServer =
        std::filesystem::path(server_->home.toStdString()) / folderBytes / fileBytes;
    EXPECT_TRUE(std::filesystem::is_regular_file(onServer)) << onServer;
}

TEST_P(RealServerTest, WrongPassword) {
    ftp.SetUsername(GetParam().server != "pyftpdlib" ? "nosuchuser" : server_->user);
    ftp.SetPassword("wrong");
    ftp.Login();
    ASSERT_TRUE(WaitFor([&] { return rec.quits == 1; }, 20000)) << rec.Joined();
    EXPECT_EQ(rec.errors, (std::vector<FtpError>{ftpAccessDenied}));
    EXPECT_FALSE(rec.Has("LoggedIn"));
}

INSTANTIATE_TEST_SUITE_P(Servers, RealServerTest,
                         ::testing::Values(Param{"pyftpdlib", false}, Param{"pyftpdlib", true},
                                           Param{"vsftpd", false}, Param{"vsftpd", true},
                                           Param{"vsftpd-tls", false}, Param{"vsftpd-tls", true}),
                         [](const ::testing::TestParamInfo<Param>& info) {
                             return (info.param.server == "vsftpd-tls" ? "vsftpd_tls"
                                                                       : info.param.server) +
                                    (info.param.passive ? "_passive" : "_active");
                         });
