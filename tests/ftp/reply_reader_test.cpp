#include "ftp/reply_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp/ftp_protocol.h"

using namespace tavo::ftp;

namespace {

struct Fed {
    std::vector<std::string> finals;
    std::vector<bool> multi;
    std::vector<std::vector<std::string>> lines;
};

// Feeds the text whole, line by line, or byte by byte.
Fed FeedIn(const std::string& text, int mode, FtpReplyReader* reuse = nullptr) {
    FtpReplyReader own;
    FtpReplyReader& reader = reuse ? *reuse : own;
    Fed fed;
    auto take = [&](std::string_view piece) {
        for (auto& r : reader.Feed(piece)) {
            fed.finals.push_back(r.line);
            fed.multi.push_back(r.closesMultiLine);
            fed.lines.push_back(r.lines);
        }
    };
    if (mode == 0) {
        take(text);
    } else if (mode == 1) {
        std::size_t start = 0;
        while (start < text.size()) {
            auto lf = text.find('\n', start);
            std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
            take(std::string_view(text).substr(start, end - start));
            start = end;
        }
    } else {
        for (char c : text)
            take(std::string_view(&c, 1));
    }
    return fed;
}

class ReplyReaderModes : public ::testing::TestWithParam<int> {};

}  // namespace

TEST_P(ReplyReaderModes, SingleLinesCutAtLfWithCrDropped) {
    const Fed fed = FeedIn("220 ready\r\n331 Password\n230 ok\r\n", GetParam());
    EXPECT_EQ(fed.finals, (std::vector<std::string>{"220 ready", "331 Password", "230 ok"}));
    EXPECT_EQ(fed.multi, (std::vector<bool>{false, false, false}));
}

TEST_P(ReplyReaderModes, MultiLineWelcomeGivesOnlyTheFinalLine) {
    const Fed fed = FeedIn(
        "220-Welcome to NetTerm FTP server\r\n"
        "220-second line\r\n"
        "   indented continuation\r\n"
        "220 ready\r\n",
        GetParam());
    ASSERT_EQ(fed.finals, (std::vector<std::string>{"220 ready"}));
    EXPECT_TRUE(fed.multi[0]);
    EXPECT_EQ(fed.lines[0],
              (std::vector<std::string>{"220-Welcome to NetTerm FTP server", "220-second line",
                                        "   indented continuation", "220 ready"}));
}

TEST_P(ReplyReaderModes, LinesWithOtherCodesInsideAreContinuations) {
    const Fed fed = FeedIn(
        "211-Features:\r\n"
        " MDTM\r\n"
        "200 not the end\r\n"
        "211x not the end either\r\n"
        "211 End\r\n"
        "200 next\r\n",
        GetParam());
    EXPECT_EQ(fed.finals, (std::vector<std::string>{"211 End", "200 next"}));
    EXPECT_EQ(fed.lines[0].size(), 5u);
    EXPECT_TRUE(fed.multi[0]);
    EXPECT_FALSE(fed.multi[1]);
}

TEST_P(ReplyReaderModes, EmptyLinesIgnored) {
    const Fed fed = FeedIn("\r\n\r\n200 ok\r\n\n", GetParam());
    EXPECT_EQ(fed.finals, (std::vector<std::string>{"200 ok"}));
}

INSTANTIATE_TEST_SUITE_P(WholeLineByteWise, ReplyReaderModes, ::testing::Values(0, 1, 2));

TEST(ReplyReader, UnfinishedTailKeptAcrossReads) {
    FtpReplyReader reader;
    EXPECT_TRUE(reader.Feed("220 hel").empty());
    EXPECT_EQ(reader.Tail(), "220 hel");
    auto out = reader.Feed("lo\r\n230");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].line, "220 hello");
    EXPECT_EQ(reader.Tail(), "230");
    out = reader.Feed(" in\r");
    EXPECT_TRUE(out.empty());
    out = reader.Feed("\n");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].line, "230 in");
}

TEST(ReplyReader, ResetForgetsTailAndOpenReply) {
    FtpReplyReader reader;
    reader.Feed("220-open\r\npartial");
    EXPECT_TRUE(reader.InMultiLine());
    reader.Reset();
    EXPECT_FALSE(reader.InMultiLine());
    EXPECT_EQ(reader.Tail(), "");
    auto out = reader.Feed("200 ok\r\n");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_FALSE(out[0].closesMultiLine);
}

TEST(ReplyReader, LastMultiLineKept) {
    FtpReplyReader reader;
    reader.Feed("230-a\r\n230 b\r\n200 c\r\n");
    EXPECT_EQ(reader.LastMultiLine(), (std::vector<std::string>{"230-a", "230 b"}));
}

// ---------------------------------------------------------------- protocol helpers

TEST(FtpProtocol, SystDetection) {
    struct Case {
        const char* reply;
        TQFtpServerType type;
    } cases[] = {
        {"215 UNIX Type: L8", ftpstUNIX},
        {"215 Windows_NT", ftpstDefault},
        {"215 WINDWOS_NT version 5", ftpstMSFTP},
        {"215 VMS MultiNet V4.4", ftpstVmsMultinet},
        {"215 VMS", ftpstVmsUcx},
        {"215 VM/CMS", ftpstVM},
        {"215 VM VPS", ftpstVMVPS},
        {"215 BSD-44", ftpstBSD},
        {"215 SunOS", ftpstSunOS},
        {"215 CLIX", ftpstClix},
        {"215 ULTRIX", ftpstULTRIX},
        {"215 MVS is the operating system", ftpstMVS},
        {"215 QVT", ftpstQVT},
        {"215 NCSA", ftpstNCSA},
        {"215 WFTPD", ftpstWFTPD},
        {"215 Chameleon", ftpstChameleon},
        {"215 MACOS Peter's Server", ftpstDefault},
        {"500 SYST not understood", ftpstDefault},
        {"502 Command not implemented", ftpstDefault},
        {"215 UNIX emulated by BSD", ftpstUNIX},  // first test wins
        {"215 unix lower case", ftpstUNIX},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DetectServerType(c.reply), c.type) << c.reply;
}

TEST(FtpProtocol, WinsockMapping) {
    EXPECT_FALSE(MapWinsockError(0));
    EXPECT_FALSE(MapWinsockError(10038));
    EXPECT_FALSE(MapWinsockError(10057));
    struct Case {
        int wsa;
        FtpError code;
        const char* text;
    } cases[] = {
        {10013, ftpInvalidAddress, "Invalid address specified"},
        {10022, ftpInternalError, ""},
        {10024, ftpOutofSockets, "Out of sockets"},
        {10049, ftpAddressNotAvailable, "Address not available"},
        {10050, ftpNetworkDown, "Network down"},
        {10051, ftpNetworkUnreachable, "Network unreachable"},
        {10052, ftpGeneralWinsockError, "General Winsock Error"},
        {10055, ftpGeneralWinsockError, "General Winsock Error"},
        {10053, ftpConnAborted, "Connection aborted due to timeout or other failure"},
        {10054, ftpConnReset, "Connection reset by remote side"},
        {10060, ftpConnectTimeOut, "Connection timed out"},
        {10061, ftpConnectionRefused, "Connection Refused"},
        {10065, ftpHostUnreachable, "Host unreachable"},
        {11001, ftpAddressResolutionError, "Address resolution error"},
        {11004, ftpAddressResolutionError, "Address resolution error"},
        {10048, ftpInternalError,
         "Unexpected internal error in component (WinSock Error Code: 10048)"},
    };
    for (const auto& c : cases) {
        auto m = MapWinsockError(c.wsa);
        ASSERT_TRUE(m) << c.wsa;
        EXPECT_EQ(m->code, c.code) << c.wsa;
        EXPECT_EQ(m->text, c.text) << c.wsa;
    }
}

TEST(FtpProtocol, ErrorNames) {
    EXPECT_STREQ(FtpErrorName(ftpNone), "ftpNone");
    EXPECT_STREQ(FtpErrorName(ftpConnReset), "ftpConnReset");
    EXPECT_STREQ(FtpErrorName(ftpServerDown), "ftpServerDown");
    EXPECT_STREQ(FtpErrorName(ftpTransferResumeFailed), "ftpTransferResumeFailed");
    EXPECT_EQ(static_cast<int>(ftpAccessDenied), 26);
    EXPECT_EQ(static_cast<int>(ftpTimeOut), 24);
    EXPECT_EQ(static_cast<int>(ftpstNetPresenz), 21);
}

TEST(FtpProtocol, QuotedPaths) {
    bool found = false;
    EXPECT_EQ(QuotedText("257 \"/home/user\" is current", &found), "/home/user");
    EXPECT_TRUE(found);
    EXPECT_EQ(QuotedText("250 CWD ok", &found), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(QuotedText("257 \"/a \"\"b\"\"\" x"), "/a ");  // doubled quotes are not undone
    EXPECT_EQ(ConvertDrivePath("/C:/dir/sub"), "/dir/sub");
    EXPECT_EQ(ConvertDrivePath("C:\\dir\\sub"), "/dir/sub");
    // 表 is 0x95 0x5C: its second byte is no separator.
    EXPECT_EQ(ConvertDrivePath("C:\\\x95\x5C\\sub"), "/\x95\x5C/sub");
}

TEST(FtpProtocol, PortAndPasv) {
    EXPECT_EQ(PortArgument((192u << 24) | (168u << 16) | (0u << 8) | 5u, 1035), "192,168,0,5,4,11");
    auto p = ParsePasvReply("227 Entering Passive Mode (10,0,0,1,4,1).");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->ipv4HostOrder, (10u << 24) | 1u);
    EXPECT_EQ(p->port, 1025);
    EXPECT_TRUE(ParsePasvReply("227 ( 127,0,0,1,200,10 )"));
    EXPECT_FALSE(ParsePasvReply("227 Entering Passive Mode 10,0,0,1,4,1"));
    EXPECT_FALSE(ParsePasvReply("227 (10,0,0,1,4)"));
    EXPECT_FALSE(ParsePasvReply("227 (10,0,0,1,4,1,7)"));
    EXPECT_FALSE(ParsePasvReply("227 (10,0,0,1,4,x)"));
    EXPECT_FALSE(ParsePasvReply("227 (10,0,0,1,4,256)"));
}

TEST(FtpProtocol, LineBreaksAndMask) {
    EXPECT_TRUE(HoldsLineBreak("a\r\nDELE x"));
    EXPECT_TRUE(HoldsLineBreak("a\nb"));
    EXPECT_FALSE(HoldsLineBreak("a b"));
    EXPECT_EQ(MaskedCommand("PASS secret\r\n"), "PASS (want to know) :-P\r\n");
    EXPECT_EQ(MaskedCommand("USER bob\r\n"), "USER bob\r\n");
}

// Only well-formed replies get through, and nothing grows past its cap.
TEST(ReplyReader, RefusesMalformedAndOversizedReplies) {
    FtpLimits small;
    small.lineBytes = 100;
    small.replyBytes = 300;
    const struct Case {
        const char* what;
        std::string text;
        std::size_t repliesBefore;  // good replies handed on before the failure
        bool fails;
    } cases[] = {
        {"a word", "hello\r\n", 0, true},
        {"one digit", "200 ok\r\n1\r\n", 1, true},
        {"no separator", "220x ready\r\n", 0, true},
        {"letters in the code", "2a0 ready\r\n", 0, true},
        {"a NUL byte", std::string("200 o\0k\r\n", 9), 0, true},
        {"a NUL byte inside a multi-line reply", std::string("211-a\r\n b\0\r\n211 c\r\n", 19), 0,
         true},
        {"a line over the cap without its end", "200 " + std::string(200, 'x'), 0, true},
        {"a multi-line reply over the cap",
         "211-a\r\n" + std::string(5, ' ') +
             [] {
                 std::string lines;
                 for (int i = 0; i < 10; ++i)
                     lines += " " + std::string(50, 'y') + "\r\n";
                 return lines;
             }() +
             "211 end\r\n",
         0, true},
        {"continuations may be any text", "211-a\r\nhello\r\n  1\r\n211 end\r\n", 1, false},
        {"a line at the cap", "200 " + std::string(96, 'x') + "\r\n", 1, false},
    };
    for (const Case& c : cases) {
        for (int mode : {0, 2}) {
            FtpReplyReader reader;
            reader.SetLimits(small);
            std::size_t replies = 0;
            if (mode == 0) {
                replies += reader.Feed(c.text).size();
            } else {
                for (char ch : c.text)
                    replies += reader.Feed(std::string_view(&ch, 1)).size();
            }
            EXPECT_EQ(!reader.Failure().empty(), c.fails) << c.what << " " << reader.Failure();
            EXPECT_EQ(replies, c.repliesBefore) << c.what;
            EXPECT_LE(reader.Tail().size(), small.lineBytes + 1) << c.what;
            // After a failure nothing more is taken.
            if (c.fails) {
                EXPECT_TRUE(reader.Feed("200 ok\r\n").empty()) << c.what;
            }
        }
    }
    EXPECT_EQ(QuotedLine(std::string("a\0b\x1b", 4)), "\"a\\x00b\\x1B\"");
    EXPECT_EQ(QuotedLine(std::string(100, 'z')), "\"" + std::string(80, 'z') + "\"...");
}

// The log gets whole lines only: a two-byte character cut between two reads stays whole.
TEST(ReplyReader, CompleteTextHoldsWholeLines) {
    FtpReplyReader reader;
    reader.Feed("257 \"\x93\xFA");
    EXPECT_EQ(reader.TakeCompleteText(), "");
    reader.Feed("\x8B");
    reader.Feed("\x4C\"\r\n200-a\r\n200 b");
    EXPECT_EQ(reader.TakeCompleteText(), "257 \"\x93\xFA\x8B\x4C\"\r\n200-a\r\n");
    reader.Feed("\r\n");
    EXPECT_EQ(reader.TakeCompleteText(), "200 b\r\n");
}

TEST(FtpProtocol, ServerAddressesAndExtendedPassive) {
    const struct Case {
        const char* text;
        const char* host;  // nullptr: refused
        std::uint16_t port;
    } cases[] = {
        {"ftp.example.com", "ftp.example.com", 0},
        {" ftp.example.com:2121 ", "ftp.example.com", 2121},
        {"192.0.2.1:21", "192.0.2.1", 21},
        {"[::1]:2121", "::1", 2121},
        {"[2001:db8::1]", "2001:db8::1", 0},
        {"2001:db8::1", "2001:db8::1", 0},
        {"host:", nullptr, 0},
        {"host:0", nullptr, 0},
        {"host:65536", nullptr, 0},
        {"host:21x", nullptr, 0},
        {"[::1", nullptr, 0},
        {"[::1]x", nullptr, 0},
        {":21", nullptr, 0},
        {"", nullptr, 0},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseServerAddress(c.text);
        ASSERT_EQ(parsed.has_value(), c.host != nullptr) << c.text;
        if (parsed) {
            EXPECT_EQ(parsed->host, c.host) << c.text;
            EXPECT_EQ(parsed->port, c.port) << c.text;
        }
    }
    EXPECT_EQ(ParseEpsvReply("229 Entering Extended Passive Mode (|||40001|)"), 40001);
    EXPECT_EQ(ParseEpsvReply("229 (!!!21!)"), 21);
    EXPECT_FALSE(ParseEpsvReply("229 (|||0|)"));
    EXPECT_FALSE(ParseEpsvReply("229 (|||70000|)"));
    EXPECT_FALSE(ParseEpsvReply("229 (||1|2|)"));
    EXPECT_FALSE(ParseEpsvReply("229 (|||"));
    EXPECT_FALSE(ParsePasvReply("227 (127,0,0,1,0,0)"));  // port 0 names no port
}

TEST(FtpProtocol, ResolvedDirectory) {
    const struct Case {
        const char* current;
        const char* argument;
        const char* resolved;  // nullptr: only the server can tell
    } cases[] = {
        {"/", "tavo-img", "/tavo-img"},
        {"/home/u", "diary/tavo-img/", "/home/u/diary/tavo-img"},
        {"/home/u", "/www//site", "/www/site"},
        {"/x", "/", "/"},
        {"/x", "../y", nullptr},
        {"/x", "./y", nullptr},
        {"/x", "~/y", nullptr},
        {"/x", "\x95\x5C", nullptr},  // a backslash byte: a drive path, or a name in it
        {"", "y", nullptr},
        {"C:/x", "y", nullptr},
        {"/x", "", nullptr},
    };
    for (const Case& c : cases) {
        const auto resolved = ResolvedDirectory(c.current, c.argument);
        EXPECT_EQ(resolved.has_value(), c.resolved != nullptr) << c.current << " " << c.argument;
        if (resolved && c.resolved) {
            EXPECT_EQ(*resolved, c.resolved) << c.current << " " << c.argument;
        }
    }
}
