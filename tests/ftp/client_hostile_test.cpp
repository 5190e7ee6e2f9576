// TQFtp against servers that misbehave: endless, oversized or malformed replies, hostile
// listings and data connections. Whatever comes, each operation ends within seconds.
#include <QDirIterator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>
#include <random>

#include "ftp/qftp.h"
#include "ftp/reply_reader.h"
#include "ftp_test_support.h"

using namespace tavo::ftp;
using namespace ftptest;

namespace {

using Action = std::function<void(ScriptedServer&, const std::string&)>;
using Script = std::function<void(ScriptedServer&)>;

enum class End { Stays, Closes, Either };  // the control connection once the operation is over

struct Row {
    const char* name;
    Script script;                    // the server after the login (before it, for no `run`)
    std::function<void(TQFtp&)> run;  // the operation; none: the login is the operation
    std::vector<FtpError> errors;     // the errors allowed, at least one of them; none: no error
    const char* event;                // the operation's event, due when the connection stays
    End end;
    int files = -1, directories = -1;  // the entries kept, when counted
};

Action Say(std::string text) {
    return [text](ScriptedServer& s, const std::string&) { s.send(text); };
}
Script On(std::string command, Action answer) {
    return [=](ScriptedServer& s) { s.add(command, answer); };
}
// TYPE A and PORT accepted, `list` answers LIST.
Script Listing(Action list) {
    return [list](ScriptedServer& s) {
        s.add("TYPE A", "200 ok\r\n");
        s.add("PORT *", [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
        s.add("LIST", list);
    };
}
Script ListingOf(std::string text) {
    return Listing([text](ScriptedServer& s, const std::string&) { s.sendListing(text); });
}
// `type` accepted, EPSV refused, `pasv` answers PASV and `list` a LIST if one follows.
Script Passive(const char* type, Action pasv, Action list = {}) {
    return [=](ScriptedServer& s) {
        s.add(type, "200 ok\r\n");
        s.add("EPSV", "500 'EPSV': command not understood.\r\n");
        s.add("PASV", pasv);
        s.add("LIST", list);
    };
}
// TYPE A accepted, `epsv` answers EPSV.
Script ExtendedPassive(Action epsv) {
    return [=](ScriptedServer& s) {
        s.add("TYPE A", "200 ok\r\n");
        s.add("EPSV", epsv);
    };
}
// 150, then `bytes` on a data connection that stays open; `finalReply` 50 ms later.
Action OpenEnded(std::string bytes, std::string finalReply) {
    return [=](ScriptedServer& s, const std::string&) {
        s.send("150 Here comes the listing\r\n");
        s.withData([&s, bytes, finalReply](QTcpSocket* d) {
            d->write(bytes.data(), static_cast<qint64>(bytes.size()));
            QTimer::singleShot(50, &s, [&s, finalReply] { s.send(finalReply); });
        });
    };
}
// TYPE I and PORT accepted; STOR big.bin cut by `cut` after `after` bytes.
Script StoreCut(qint64 after, std::function<void(ScriptedServer&, QTcpSocket*)> cut) {
    return [=](ScriptedServer& s) {
        s.add("TYPE I", "200 ok\r\n");
        s.add("PORT *", [](ScriptedServer& s, const std::string& c) { s.rememberPort(c); });
        s.add("STOR big.bin", [=](ScriptedServer& s, const std::string&) {
            s.receiveUntil(after, [&s, cut](QTcpSocket* d) { cut(s, d); });
        });
    };
}

std::string File(const std::string& name) {
    return "-rw-r--r-- 1 u g 3 Jan 15 12:34 " + name + "\r\n";
}
std::string Dir(const std::string& name) {
    return "drwxr-xr-x 2 u g 4096 Jan 15 12:34 " + name + "\r\n";
}
std::string Many(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += File("f" + std::to_string(i) + ".html");
    return text;
}
// Entries with random bytes for names, then random bytes (below the line cap whatever ends
// a line).
std::string RandomListing() {
    std::mt19937 random(7);
    std::string text;
    for (int i = 0; i < 300; ++i) {
        std::string name(1 + random() % 12, ' ');
        std::generate(name.begin(), name.end(), [&] { return static_cast<char>(random()); });
        text += File(name);
    }
    for (int i = 0; i < 60 * 1024; ++i)
        text += static_cast<char>(random());
    return text;
}

bool Unsafe(const std::string& name) {
    return name == "." || name == ".." || name.size() >= (64 << 10) ||
           name.find_first_of(std::string("/\r\n\0", 4)) != std::string::npos;
}

TEST(Hostile, EveryOperationEndsAndKeepsItsEntriesSafe) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString cacheFolder = temp.path() + "/ftpcache";
    const QString big = temp.path() + "/big.bin";
    QFile file(big);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4 << 20, 'x'));
    file.close();
    const std::string nul(1, '\0'), good = File("good.html");
    const auto cd = [](TQFtp& f) { f.ChangeDirectory("x"); };
    const auto refresh = [](TQFtp& f) { f.Refresh(); };
    const auto passive = [](TQFtp& f) {
        f.SetPassive(true);
        f.Refresh();
    };
    const auto store = [big](TQFtp& f) { f.UploadFile(big, "big.bin"); };
    const std::vector<FtpError> protocol{ftpProtocolError}, timeOut{ftpTimeOut}, none;
    const Action port0 = Say("227 Passive (127,0,0,1,0,0)\r\n");

    const Row rows[] = {
        {"greeting of 1 MiB without a line end",
         [](ScriptedServer& s) { s.welcome = {std::string(1 << 20, '2')}; }, nullptr, protocol,
         nullptr, End::Closes},
        {"greeting hello", [](ScriptedServer& s) { s.welcome = {"hello\r\n"}; }, nullptr, protocol,
         nullptr, End::Closes},
        {"reply trickled a byte per 20 ms",
         On("CWD x", [](ScriptedServer& s, const std::string&) { s.repeat("250 \"/x\"", 20, 1); }),
         cd, timeOut, nullptr, End::Closes},
        {"multi-line reply that never closes",
         On("CWD x",
            [](ScriptedServer& s, const std::string&) {
                s.send("250-x\r\n");
                s.repeat(" more\r\n", 20);
            }),
         cd, timeOut, nullptr, End::Closes},
        {"multi-line reply of 2 MiB",
         On("CWD x", Say("250-x\r\n" + QByteArray(" more\r\n").repeated(300000).toStdString())), cd,
         protocol, nullptr, End::Closes},
        {"NUL in a reply", On("CWD x", Say("250 \"/x\"" + nul + "\r\n")), cd, protocol, nullptr,
         End::Closes},
        {"NUL in a multi-line reply", On("CWD x", Say("250-x\r\n a" + nul + "b\r\n250 \"/x\"\r\n")),
         cd, protocol, nullptr, End::Closes},
        {"reply line of 70 KiB", On("CWD x", Say("250 " + std::string(70 << 10, 'x') + "\r\n")), cd,
         protocol, nullptr, End::Closes},
        {"hello", On("CWD x", Say("hello\r\n")), cd, protocol, nullptr, End::Closes},
        {"1", On("CWD x", Say("1\r\n")), cd, protocol, nullptr, End::Closes},
        {"22x ok", On("CWD x", Say("22x ok\r\n")), cd, protocol, nullptr, End::Closes},
        {"empty lines around a reply", On("CWD x", Say("\r\n\r\n250 \"/x\" is current\r\n\r\n")),
         cd, none, "DirectoryChanged", End::Stays},
        {"RNTO refused",
         [](ScriptedServer& s) {
             s.add("RNFR a", "350 ready\r\n");
             s.add("RNTO b", "553 exists\r\n");
         },
         [](TQFtp& f) { f.RenameFile("a", "b"); },
         {ftpPermissionDenied},
         "FileRenamed",
         End::Stays},
        {"DELE refused",
         On("DELE a", Say("550 No such file\r\n")),
         [](TQFtp& f) { f.DeleteFile("a"); },
         {ftpPermissionDenied},
         "FileDeleted",
         End::Stays},
        {"PASV to a foreign address",
         Passive(
             "TYPE A", [](ScriptedServer& s, const std::string&) { s.openPassive("10,9,8,7"); },
             [good](ScriptedServer& s, const std::string&) { s.sendListing(good); }),
         passive, none, "ListingDone", End::Stays, 1, 0},
        {"PASV port 0", Passive("TYPE A", port0), passive, protocol, "ListingDone", End::Stays},
        {"EPSV port 0", ExtendedPassive(Say("229 (|||0|)\r\n")), passive, protocol, "ListingDone",
         End::Stays},
        {"EPSV port over 65535", ExtendedPassive(Say("229 (|||65536|)\r\n")), passive, protocol,
         "ListingDone", End::Stays},
        {"PASV number over 255", Passive("TYPE A", Say("227 Passive (127,0,0,1,256,7)\r\n")),
         passive, protocol, "ListingDone", End::Stays},
        {"PASV port 0 for a store", Passive("TYPE I", port0),
         [big](TQFtp& f) {
             f.SetPassive(true);
             f.UploadFile(big, "big.bin");
         },
         protocol, "FileStored", End::Stays},
        {"entries that name no entry of the folder",
         ListingOf(good + File("../../x") + File("a/b") + Dir("a/b") + File("a\rb") + Dir("c\rd") +
                   File("a" + nul + "b") + Dir(nul) + File(".") + File("..") + Dir(".") +
                   Dir("..")),
         refresh, none, "ListingDone", End::Stays, 1, 0},
        {"entry holding LF", ListingOf(good + File("a\nb")), refresh, none, "ListingDone",
         End::Stays},
        {"100,000 entries", ListingOf(Many(100000)), refresh, none, "ListingDone", End::Stays,
         100000, 0},
        {"random bytes", ListingOf(RandomListing()), refresh, none, "ListingDone", End::Stays},
        {"listing line of 70 KiB", ListingOf(File(std::string(70 << 10, 'n')) + good), refresh,
         protocol, "ListingDone", End::Either},
        {"listing over its cap", ListingOf(Many(50000)),
         [](TQFtp& f) {
             FtpLimits limits;
             limits.listingBytes = 1 << 20;
             f.SetLimits(limits);
             f.Refresh();
         },
         protocol, "ListingDone", End::Either},
        {"data connection that never closes", Listing(OpenEnded(good, "")), refresh, timeOut,
         nullptr, End::Closes},
        {"226 while the data connection stays open",
         Listing(OpenEnded(good, "226 Transfer complete\r\n")), refresh, timeOut, nullptr,
         End::Closes},
        {"1xx for ever",
         Listing([](ScriptedServer& s, const std::string&) { s.repeat("150 Opening\r\n", 50); }),
         refresh,
         {ftpDataConnectionFailed},
         nullptr,
         End::Closes},
        {"folder ../../.. in the reply",
         [good](ScriptedServer& s) {
             s.add("CWD x", "250 \"/../../..\" is current\r\n");
             ListingOf(good)(s);
         },
         [](TQFtp& f) {
             f.OnDirectoryChanged = [](TQFtp* c) { c->Refresh(); };
             f.ChangeDirectory("x");
         },
         none, "ListingDone", End::Stays, 1, 0},
        {"421 and close while storing",
         StoreCut(1,
                  [](ScriptedServer& s, QTcpSocket* d) {
                      s.send("421 Closing control connection\r\n");
                      s.closeControl();
                      d->abort();
                  }),
         store,
         {ftpPrematureDisconnect, ftpDataError, ftpPermissionDenied, ftpProtocolError},
         nullptr,
         End::Closes},
        // The server's copy is not whole, whatever its reply says.
        {"data half-closed after 64 KiB, then 226",
         StoreCut(64 << 10,
                  [](ScriptedServer& s, QTcpSocket* d) {
                      ::shutdown(d->socketDescriptor(), SHUT_WR);
                      s.send("226 Transfer complete\r\n");
                  }),
         store,
         {ftpDataError},
         "FileStored",
         End::Either},
        {"data closed after 64 KiB, then 226",
         StoreCut(64 << 10,
                  [](ScriptedServer& s, QTcpSocket* d) {
                      d->close();
                      s.send("226 Transfer complete\r\n");
                  }),
         store,
         {ftpDataError},
         "FileStored",
         End::Either},
    };

    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedServer server;
        TQFtp ftp;
        Recorder rec(ftp);
        Configure(ftp, server.port(), cacheFolder);
        ftp.SetReplyTimeOutMs(300);
        if (row.run)
            server.addPlainLogin();
        row.script(server);
        ftp.Login();
        if (row.run) {
            ASSERT_TRUE(WaitFor([&] { return ftp.LoggedIn() || rec.quits > 0; })) << rec.Joined();
            row.run(ftp);
        }
        const bool ended =
            // Generous for the sanitizer build, where 100,000 entries take seconds.
            WaitFor([&] { return rec.quits > 0 || (row.event && rec.Has(row.event)); }, 20000);
        Pump(100);

        // What differs from the row, on one line.
        std::string errors, differs;
        for (FtpError e : rec.errors)
            errors += std::string(FtpErrorName(e)) + " ";
        const auto allowed = [&](FtpError e) {
            return std::find(row.errors.begin(), row.errors.end(), e) != row.errors.end();
        };
        const bool endedAsDue = row.end == End::Stays ? rec.Count(row.event) == 1 && ftp.Connected()
                                : row.end == End::Closes
                                    ? rec.quits == 1 && !ftp.Connected()
                                    : rec.quits == 1 || rec.Count(row.event) == 1;
        const int files = ftp.Files().Count(), directories = ftp.Directories().Count();
        int unsafe = 0;
        for (const TQFtpFileInfoList* list : {&ftp.Files(), &ftp.Directories()}) {
            for (int i = 0; i < list->Count(); ++i)
                unsafe += Unsafe(list->Get(i).Name);
        }
        const std::pair<bool, std::string> checks[] = {
            {ended, "still running"},
            {rec.errors.empty() == row.errors.empty() &&
                 std::all_of(rec.errors.begin(), rec.errors.end(), allowed),
             "errors " + errors},
            {endedAsDue, ftp.Connected() ? "connected" : "closed"},
            {!ftp.Busy(), "busy"},
            {row.files < 0 || files == row.files, std::to_string(files) + " files"},
            {row.directories < 0 || directories == row.directories,
             std::to_string(directories) + " directories"},
            {unsafe == 0, std::to_string(unsafe) + " unsafe names kept"},
        };
        for (const auto& [ok, what] : checks)
            differs += ok ? "" : what + "; ";
        EXPECT_EQ(differs, "") << rec.Joined();
    }

    // Nothing lands outside the cache folder, and in it only cache files with safe names.
    const QRegularExpression safe(R"(^[^/\\"*:?]+\.cache[df]$)");
    int cached = 0;
    QDirIterator it(temp.path(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo found(it.next());
        if (found.absoluteFilePath() == big)
            continue;
        EXPECT_EQ(found.absolutePath(), cacheFolder) << found.absoluteFilePath().toStdString();
        EXPECT_TRUE(safe.match(found.fileName()).hasMatch()) << found.fileName().toStdString();
        ++cached;
    }
    EXPECT_GT(cached, 0);
}

}  // namespace
