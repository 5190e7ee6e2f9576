#include "ftp/listing_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "core/temp_folder.h"

using namespace tavo::ftp;
namespace fs = std::filesystem;

namespace {

TQFtpFileInfoList Sample(const char* name) {
    TQFtpFileInfoList list;
    QFtpFileInfo info;
    info.Name = name;
    info.Attributes = "-rw-r--r--";
    info.DateTime = "1/15/2026 12:34 AM";
    info.Size = "9500";
    info.LinkTarget = "";
    info.Owner = "alice";
    info.Group = "staff";
    info.Description = "";
    list.Add(info);
    info.Name = std::string(name) + " two";
    info.LinkTarget = "-> x.txt";
    list.Add(info);
    return list;
}

// Dates the file at noon, local time, on `yyyymmdd`, so that ages do not depend on the day
// the test runs.
void SetWritten(const fs::path& file, int yyyymmdd) {
    std::tm local{};
    local.tm_year = yyyymmdd / 10000 - 1900;
    local.tm_mon = yyyymmdd / 100 % 100 - 1;
    local.tm_mday = yyyymmdd % 100;
    local.tm_hour = 12;
    local.tm_isdst = -1;
    const auto when = std::chrono::system_clock::from_time_t(std::mktime(&local));
    fs::last_write_time(file, fs::file_time_type::clock::from_sys(when));
    ASSERT_EQ(YyyymmddOf(fs::file_time_type::clock::to_sys(fs::last_write_time(file))), yyyymmdd);
}

void SetWritten(const TQFtpListingCache& cache, std::string_view key, int yyyymmdd) {
    SetWritten(cache.FileFor(key, 'd'), yyyymmdd);
    SetWritten(cache.FileFor(key, 'f'), yyyymmdd);
}

}  // namespace

TEST(ListingCache, KeyAndSafeName) {
    EXPECT_EQ(ListingCacheKey("ftp.example.com", 21, "bob", "/pub"),
              "ftp.example.com[21]-(bob)-/pub");
    EXPECT_EQ(ListingCacheKey("h", 2121, "Anonymous", "/"), "h[2121]-/");
    EXPECT_EQ(ListingCacheKey("h", 21, "FTP", "/a"), "h[21]-/a");
    EXPECT_EQ(SafeCacheName("h[21]-(b:o*b?\")-/a\\b"), "h[21]-(b~o~b~~)--a-b");
}

TEST(ListingCache, FileFormatIsEightLinesPerEntry) {
    const std::string text = FormatCacheFile(Sample("a.jpg"));
    EXPECT_EQ(text,
              "2\r\n"
              "a.jpg\r\n-rw-r--r--\r\n1/15/2026 12:34 AM\r\n9500\r\n\r\nalice\r\nstaff\r\n\r\n"
              "a.jpg two\r\n-rw-r--r--\r\n1/15/2026 12:34 AM\r\n9500\r\n-> x.txt\r\nalice\r\n"
              "staff\r\n\r\n");
    auto back = ParseCacheFile(text);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->Count(), 2);
    EXPECT_EQ(back->Get(1), Sample("a.jpg").Get(1));
    auto empty = ParseCacheFile(FormatCacheFile(TQFtpFileInfoList()));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Count(), 0);
}

TEST(ListingCache, CorruptTextIsAbsent) {
    EXPECT_FALSE(ParseCacheFile(""));
    EXPECT_FALSE(ParseCacheFile("x\r\n"));
    EXPECT_FALSE(ParseCacheFile("2\r\na\r\nb\r\n"));
    EXPECT_FALSE(ParseCacheFile("-1\r\n"));
    std::string tooMany = FormatCacheFile(Sample("a")) + "extra\r\n";
    EXPECT_FALSE(ParseCacheFile(tooMany));
}

TEST(ListingCache, WriteThenReadWithExpiry) {
    TempFolder temp;
    TQFtpListingCache cache(temp.path() / "ftpcache");
    ASSERT_TRUE(cache.EnsureFolder());
    const std::string key = ListingCacheKey("127.0.0.1", 2121, "bob", "/pub/x");
    ASSERT_TRUE(cache.Write(key, Sample("dir"), Sample("file")));
    EXPECT_TRUE(fs::exists(temp.path() / "ftpcache" / "127.0.0.1[2121]-(bob)--pub-x.cached"));
    EXPECT_TRUE(fs::exists(temp.path() / "ftpcache" / "127.0.0.1[2121]-(bob)--pub-x.cachef"));

    SetWritten(cache, key, 20260615);
    TQFtpFileInfoList dirs, files;
    ASSERT_TRUE(cache.Read(key, 7, 20260615, dirs, files));
    EXPECT_EQ(dirs.Get(0).Name, "dir");
    EXPECT_EQ(files.Get(1).Name, "file two");

    // Fresh while today is below the file's date (yyyymmdd) + CacheExpire; the numbers are
    // compared, so a month or year end ages a listing at once. Below 1, any age will do.
    struct Row {
        int written, expireDays, today;
        bool fresh;
    };
    const Row rows[] = {{20260612, 7, 20260615, true},   {20260605, 7, 20260615, false},
                        {20260608, 7, 20260615, false},  {20260609, 7, 20260615, true},
                        {20261230, 7, 20261231, true},   {20261230, 7, 20270101, false},
                        {20261230, 90, 20270101, false}, {20200101, 0, 20270101, true},
                        {20260615, -1, 20260615, true}};
    for (const Row& row : rows) {
        SetWritten(cache, key, row.written);
        EXPECT_EQ(cache.Read(key, row.expireDays, row.today, dirs, files), row.fresh)
            << row.written << " + " << row.expireDays << " on " << row.today;
    }
    // Both files must be fresh, and usable.
    SetWritten(cache, key, 20260615);
    SetWritten(cache.FileFor(key, 'f'), 20260605);
    EXPECT_FALSE(cache.Read(key, 7, 20260615, dirs, files));
    fs::remove(cache.FileFor(key, 'd'));
    EXPECT_FALSE(cache.Read(key, 0, 20260615, dirs, files));
}

TEST(ListingCache, CorruptOrUnreadableFileCountsAsAbsent) {
    TempFolder temp;
    TQFtpListingCache cache(temp.path());
    const std::string key = "k";
    ASSERT_TRUE(cache.Write(key, Sample("d"), Sample("f")));
    WriteAll(cache.FileFor(key, 'd'), "3\r\nonly one line\r\n");
    SetWritten(cache, key, 20260615);
    TQFtpFileInfoList dirs, files;
    EXPECT_FALSE(cache.Read(key, 7, 20260615, dirs, files));
    // A folder in the place of the file.
    fs::remove(cache.FileFor(key, 'd'));
    fs::create_directory(cache.FileFor(key, 'd'));
    EXPECT_FALSE(cache.Read(key, 0, 0, dirs, files));
}

TEST(ListingCache, FailedWriteRecreatesFolder) {
    TempFolder temp;
    TQFtpListingCache cache(temp.path() / "gone");
    EXPECT_FALSE(cache.Write("k", Sample("d"), Sample("f")));
    EXPECT_TRUE(fs::is_directory(temp.path() / "gone"));
    EXPECT_TRUE(cache.Write("k", Sample("d"), Sample("f")));
}

TEST(ListingCache, FailedWriteKeepsThePreviousFilesOrNone) {
    const std::string before = FormatCacheFile(Sample("old"));
    const std::string small = FormatCacheFile(TQFtpFileInfoList());
    const TQFtpFileInfoList largeList = Sample("a name long enough to pass the limit");
    ASSERT_LT(small.size(), before.size());
    ASSERT_GT(FormatCacheFile(largeList).size(), before.size());
    struct Case {
        const char* what;
        bool directoriesLarge, filesLarge;
        bool directoriesKept, filesKept;
    };
    const Case cases[] = {
        // The first file fails: both stay as they were.
        {"folders too large", true, false, true, true},
        {"both too large", true, true, true, true},
        // Only the second fails: no mixed pair; the entry is gone and the next listing asks
        // the server.
        {"files too large", false, true, false, true},
    };
    for (const Case& c : cases) {
        TempFolder temp;
        TQFtpListingCache cache(temp.path());
        const std::string key = "h[21]-/pub";
        ASSERT_TRUE(cache.Write(key, Sample("old"), Sample("old")));
        std::string error;
        bool written = true;
        {
            FileSizeLimit limit(before.size());
            written = cache.Write(key, c.directoriesLarge ? largeList : TQFtpFileInfoList(),
                                  c.filesLarge ? largeList : TQFtpFileInfoList(), &error);
        }
        EXPECT_FALSE(written) << c.what;
        EXPECT_NE(error, "") << c.what;
        for (const auto& [kind, kept] :
             {std::pair{'d', c.directoriesKept}, std::pair{'f', c.filesKept}}) {
            const fs::path file = cache.FileFor(key, kind);
            if (kept) {
                EXPECT_EQ(ReadAll(file), before) << c.what << " " << kind;
            } else {
                EXPECT_FALSE(fs::exists(file)) << c.what << " " << kind;
            }
        }
        // No temporary files are left behind.
        int entries = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(temp.path()))
            ++entries;
        EXPECT_EQ(entries, (c.directoriesKept ? 1 : 0) + (c.filesKept ? 1 : 0)) << c.what;
        TQFtpFileInfoList dirs, files;
        EXPECT_EQ(cache.Read(key, 0, 0, dirs, files), c.directoriesKept && c.filesKept) << c.what;
    }
}
