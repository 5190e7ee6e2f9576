#include "ftp/listing_parser.h"

#include <gtest/gtest.h>

#include <string>

using namespace tavo::ftp;

namespace {

constexpr int kYear = 2026;

struct Row {
    TQFtpServerType type;
    const char* line;
    bool entry;
    bool directory;
    const char* name;
    const char* size;
    const char* date;  // nullptr: not checked
};

}  // namespace

TEST(ListingParser, Table) {
    const Row rows[] = {
        // Unix with a group column: directory and file (token 4 begins with a digit).
        {ftpstUNIX, "drwxr-xr-x   2 user     group        4096 Jan 15 12:34 tavo-img", true, true,
         "tavo-img", "4096", "1/15/2026 12:34 AM"},
        {ftpstUNIX, "-rw-r--r--   1 user     group        9500 Jan 15 12:34 a.jpg", true, false,
         "a.jpg", "9500", "1/15/2026 12:34 AM"},
        // Without a group column; a name with inner blanks; a year.
        {ftpstDefault, "-rw-r--r-- 1 owner 9500 Feb 3 2024 my  holiday photo.jpg", true, false,
         "my  holiday photo.jpg", "9500", "2/3/2024 12:00 AM"},
        // Afternoon times, one leading zero removed.
        {ftpstUNIX, "-rw-r--r-- 1 u g 1 Mar  7 13:30 x", true, false, "x", "1", "3/7/2026 1:30 PM"},
        {ftpstUNIX, "-rw-r--r-- 1 u g 1 Dec 24 09:05 x", true, false, "x", "1",
         "12/24/2026 9:05 AM"},
        {ftpstUNIX, "-rw-r--r-- 1 u g 1 Jun 1 00:10 x", true, false, "x", "1", "6/1/2026 0:10 AM"},
        {ftpstUNIX, "-rw-r--r-- 1 u g 1 Jul 1 2020 x", true, false, "x", "1", "7/1/2020 12:00 AM"},
        {ftpstUNIX, "-rw-r--r-- 1 u g 1 Apr 1 2020 x", true, false, "x", "1", "4/1/2020 12:00 AM"},
        {ftpstUNIX, "-rw-r--r-- 1 u g 1 Aug 1 2020 x", true, false, "x", "1", "8/1/2020 12:00 AM"},
        {ftpstUNIX, "-rw-r--r-- 1 u g 1 May 1 2020 x", true, false, "x", "1", "5/1/2020 12:00 AM"},
        {ftpstUNIX, "-rw-r--r-- 1 u g 1 Sep 1 2020 x", true, false, "x", "1", "9/1/2020 12:00 AM"},
        {ftpstUNIX, "-rw-r--r-- 1 u g 1 Oct 1 2020 x", true, false, "x", "1", "10/1/2020 12:00 AM"},
        {ftpstUNIX, "-rw-r--r-- 1 u g 1 Nov 1 2020 x", true, false, "x", "1", "11/1/2020 12:00 AM"},
        // Links: a file target pattern makes a file, otherwise a directory.
        {ftpstUNIX, "lrwxrwxrwx 1 u g 9 Jan 15 12:34 notes -> notes.txt", true, false, "notes", "9",
         nullptr},
        {ftpstUNIX, "lrwxrwxrwx 1 u g 9 Jan 15 12:34 pub -> /srv/pub", true, true, "pub", "9",
         nullptr},
        {ftpstUNIX, "lrwxrwxrwx 1 u g 9 Jan 15 12:34 doc -> README", true, false, "doc", "9",
         nullptr},
        {ftpstUNIX, "lrwxrwxrwx 1 u g 9 Jan 15 12:34 a -> b.tar.gz", true, false, "a", "9",
         nullptr},
        // "total", unknown first characters and empty lines give nothing.
        {ftpstUNIX, "total 12", false, false, "", "", nullptr},
        {ftpstUNIX, "", false, false, "", "", nullptr},
        {ftpstUNIX, "crw-r--r-- 1 u g 1 Jan 1 2020 dev", false, false, "", "", nullptr},
        {ftpstUNIX, "-rw-r--r--", false, false, "", "", nullptr},
        // "." and ".." parse as directories (the client keeps them out of the list).
        {ftpstUNIX, "drwxr-xr-x 2 u g 4096 Jan 15 12:34 .", true, true, ".", "4096", nullptr},
        // DOS style with <DIR> and the name in column 40.
        {ftpstDefault, "01-15-24  09:30PM       <DIR>          tavo-img", true, true, "tavo-img",
         "0", "01/15/24 09:30 PM"},
        {ftpstMSFTP, "01-15-24  09:30AM                 9500 my file.html", true, false,
         "my file.html", "9500", "01/15/24 09:30 AM"},
        // EPLF.
        {ftpstDefault, "+i8388621.48594,m825718503,r,s280,\tdjb.html", true, false, "djb.html",
         "280", "03/01/1996 22:15"},
        {ftpstDefault, "+i8388621.50690,m824255907,/,\t514", true, true, "514", "0", nullptr},
        {ftpstDefault, "+/,mbad,\tx", true, true, "x", "0", "1/1/80 12:00"},
        {ftpstDefault, "+r,s1,\t", false, false, "", "", nullptr},
        // VMS.
        {ftpstVmsMultinet, "CII-MANUAL.TEX;1  213/216  29-JAN-1996 03:33:12  [ANONYMOU,ANONYMOUS]",
         true, false, "CII-MANUAL.TEX", "213/216", nullptr},
        {ftpstVmsUcx, "SUBDIR.DIR;1  1/3  29-JAN-1996 03:33:12  [ANONYMOU,ANONYMOUS]", true, true,
         "SUBDIR", "1/3", nullptr},
        {ftpstVmsUcx, "Total of 2 files", false, false, "", "", nullptr},
        // VM and VM/VPS.
        {ftpstVM, "PROFILE  EXEC     V         17         19          1 Jan 15 1995 -", true, false,
         "PROFILE.EXEC", "17", "1/1/80 12:00"},
        {ftpstVMVPS, "README   TXT   1200 V 80 1 1 1995 Mar -", true, false, "README.TXT", "1200",
         nullptr},
        {ftpstVMVPS, "==== totals: 3 tracks", false, false, "", "", nullptr},
        // NetTerm, Netware, NetPresenz.
        {ftpstNetTerm, "-rw-rw-rw- owner 1234 Jan 15 12:34 net.txt", true, false, "net.txt", "1234",
         "1/15/2026 12:34 AM"},
        {ftpstNetware, "d [RWCEAFMS] owner 512 Jan 15 12:34 pubdir", true, true, "pubdir", "512",
         "1/15/2026 12:34 AM"},
        {ftpstNetware, "- [RWCEAFMS] owner 2048 Feb 3 2024 file.dat", true, false, "file.dat",
         "2048", "2/3/2024 12:00 AM"},
        {ftpstNetPresenz, "drwxrwxr-x      folder        2 May 10  1996 network", true, true,
         "network", "2", "5/10/1996 12:00 AM"},
        {ftpstNetPresenz, "-------r--         326  1391972  1392298 Nov 22  1995 MegaPhone.sit",
         true, false, "MegaPhone.sit", "1392298", "11/22/1995 12:00 AM"},
        // A Windows server detected as default still reads DOS lines by their first character.
        {ftpstDefault, "02-03-24  11:00AM                   12 readme.txt", true, false,
         "readme.txt", "12", "02/03/24 11:00 AM"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const auto entry = ParseListingLine(row.type, row.line, kYear);
        ASSERT_EQ(entry.has_value(), row.entry);
        if (!entry)
            continue;
        EXPECT_EQ(entry->directory, row.directory);
        EXPECT_EQ(entry->info.Name, row.name);
        EXPECT_EQ(entry->info.Size, row.size);
        if (row.date) {
            EXPECT_EQ(entry->info.DateTime, row.date);
        }
    }
}

TEST(ListingParser, UnixColumns) {
    auto e = ParseListingLine(ftpstUNIX,
                              "lrwxrwxrwx 1 alice staff 11 Jan 15 12:34 notes -> notes.txt", kYear);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->info.Attributes, "lrwxrwxrwx");
    EXPECT_EQ(e->info.Owner, "alice");
    EXPECT_EQ(e->info.Group, "staff");
    EXPECT_EQ(e->info.LinkTarget, "-> notes.txt");
    EXPECT_EQ(e->info.Description, "");
    auto eplf =
        ParseListingLine(ftpstDefault, "+i8388621.48594,m825718503,r,s280,\tdjb.html", kYear);
    ASSERT_TRUE(eplf);
    EXPECT_EQ(eplf->info.LinkTarget, "8388621.48594");
}

TEST(ListingParser, Tokens) {
    EXPECT_EQ(ListingToken("a  b   c d", 0), "a");
    EXPECT_EQ(ListingToken("a  b   c d", 1), "b");
    EXPECT_EQ(ListingToken("a  b   c d", 2), "c");
    EXPECT_EQ(ListingToken("a  b   c d", 3), "");  // the last word is never a token
    EXPECT_EQ(ListingToken("a", 0), "");
    EXPECT_EQ(NameAfterToken("a b c  d e f ", 2), "d e f");
    EXPECT_EQ(NameAfterToken("a b c -> d", 1), "c");
    EXPECT_EQ(NameAfterToken("a b", 3), "");
}

TEST(ListingParser, DateNormalisation) {
    EXPECT_EQ(NormaliseListingDate("Jan 15 12:34", 2026), "1/15/2026 12:34 AM");
    EXPECT_EQ(NormaliseListingDate("Jun 5 23:59", 2026), "6/5/2026 11:59 PM");
    EXPECT_EQ(NormaliseListingDate("Jul 5 12:00", 2026), "7/5/2026 12:00 AM");
    EXPECT_EQ(NormaliseListingDate("Mar 5 1:30:00", 2026), "3/5/2026 1:30:00 AM");
    EXPECT_EQ(NormaliseListingDate("Mar 5 ab:cd", 2026), "1/1/80 12:00");
    EXPECT_EQ(NormaliseListingDate("garbage", 2026), "1/1/80 12:00");
    EXPECT_EQ(EplfDate("0"), "01/01/1970 00:00");
    EXPECT_EQ(EplfDate("x"), "1/1/80 12:00");
}

// Real listings of the servers the tests run (pyftpdlib and vsftpd), CR LF removed.
TEST(ListingParser, RealServerLines) {
    const char* pyftpdlib[] = {
        "-rw-r--r--   1 root     root           12 Jan 15 10:00 hello.txt",
        "drwxr-xr-x   2 root     root         4096 Jan 15 10:00 sub",
        "-rw-r--r--   1 root     root            3 Jan 15 10:00 with space.txt",
    };
    const char* vsftpd[] = {
        "-rw-r--r--    1 0        0              12 Jan 15 10:00 hello.txt",
        "drwxr-xr-x    2 0        0            4096 Jan 15 10:00 sub",
        "-rw-r--r--    1 0        0               3 Jan 15  2024 with space.txt",
    };
    for (const char** set : {pyftpdlib, vsftpd}) {
        auto a = ParseListingLine(ftpstUNIX, set[0], kYear);
        auto b = ParseListingLine(ftpstUNIX, set[1], kYear);
        auto c = ParseListingLine(ftpstUNIX, set[2], kYear);
        ASSERT_TRUE(a && b && c);
        EXPECT_EQ(a->info.Name, "hello.txt");
        EXPECT_EQ(a->info.Size, "12");
        EXPECT_FALSE(a->directory);
        EXPECT_EQ(b->info.Name, "sub");
        EXPECT_TRUE(b->directory);
        EXPECT_EQ(c->info.Name, "with space.txt");
        EXPECT_EQ(c->info.Size, "3");
    }
}

TEST(FileInfoList, AddFindCopySet) {
    TQFtpFileInfoList list;
    QFtpFileInfo info;
    info.Name = "Tavo-Img";
    info.Size = "0";
    list.Add(info);
    info.Name = "b.jpg";
    list.Add(info);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Find("tavo-img"), 0);
    EXPECT_EQ(list.Find("B.JPG"), 1);
    EXPECT_EQ(list.Find("c"), -1);
    // Names in code page 932: "ア.gif" (0x83 0x41) is not "ヂ.gif" (0x83 0x61), whatever the
    // letter case rule does for ASCII.
    TQFtpFileInfoList japanese;
    info.Name = "\x83\x41.gif";
    japanese.Add(info);
    EXPECT_EQ(japanese.Find("\x83\x61.gif"), -1);
    EXPECT_EQ(japanese.Find("\x83\x41.GIF"), 0);
    list.Set(1, TQFtpFileInfoList::colSize, "42");
    EXPECT_EQ(list.Get(1).Size, "42");
    TQFtpFileInfoList copy;
    copy.Add(info);
    copy.Add(info);
    copy.Add(info);
    copy.CopyFrom(list);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.Get(0), list.Get(0));
    copy.Clear();
    EXPECT_EQ(copy.Count(), 0);
}
