#include "core/conflicts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "core/navigation.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using tavo::ConflictCopy;
using tavo::ConflictCopyName;
using tavo::SyncTool;

TEST(ConflictCopyNameTest, KnowsTheCopiesOfEachSyncToolAndNothingElse) {
    struct Case {
        std::string fileName;
        std::optional<ConflictCopyName> expected;
    } cases[] = {
        {"20040105.sync-conflict-20250101-120000-ABCDEFG.txt",
         ConflictCopyName{"20040105.txt", SyncTool::Syncthing}},
        // A copy of a copy carries the mark twice.
        {"20040105.sync-conflict-20250101-120000-ABCDEFG.sync-conflict-20250102-080000-XYZ2345.txt",
         ConflictCopyName{"20040105.txt", SyncTool::Syncthing}},
        {"20040105 (Taro's conflicted copy 2025-01-01).txt",
         ConflictCopyName{"20040105.txt", SyncTool::Dropbox}},
        {"19991231 (Taro's conflicted copy 2025-01-01) (1).txt",
         ConflictCopyName{"19991231.txt", SyncTool::Dropbox}},
        // An owner in another script, a computer's name with parentheses of its own.
        {"20040105 (\xE5\xA4\xAA\xE9\x83\x8E's conflicted copy 2025-01-01).txt",
         ConflictCopyName{"20040105.txt", SyncTool::Dropbox}},
        {"20040105 (PC (office)'s conflicted copy 2025-01-01).txt",
         ConflictCopyName{"20040105.txt", SyncTool::Dropbox}},
        {"20040105 (conflicted copy 2025-01-01 120000).txt",
         ConflictCopyName{"20040105.txt", SyncTool::Nextcloud}},
        {"20040105 (conflicted copy 2025-01-01).txt",
         ConflictCopyName{"20040105.txt", SyncTool::Nextcloud}},

        {"20040105.txt", std::nullopt},
        {"20040105.txt.bak", std::nullopt},
        {"notes (conflicted copy).txt", std::nullopt},
        {"notes (conflicted copy 2025-01-01).txt", std::nullopt},
        {"2004010.sync-conflict-20250101-120000-ABCDEFG.txt", std::nullopt},
        {"20040105.sync-conflict-20250101-120000-ABCDEFG.txt.tmp-12-0", std::nullopt},
        {"20040105.sync-conflict-2025-120000-ABCDEFG.txt", std::nullopt},
        {"20040105 (1).txt", std::nullopt},
        {"20040105 (conflicted copy 2025-1-1).txt", std::nullopt},
        {"20040105 (Taro's copy 2025-01-01).txt", std::nullopt},
        {"20040105(Taro's conflicted copy 2025-01-01).txt", std::nullopt},
        {".syncthing.20040105.txt.tmp", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tavo::ParseConflictCopyName(c.fileName), c.expected) << c.fileName;
}

class ConflictsTest : public testing::Test {
protected:
    void SetUp() override { fs::create_directory(data()); }

    fs::path data() const { return folder_.path() / "data"; }
    fs::path conflicts() const { return folder_.path() / "conflicts"; }
    static std::vector<std::string> Names(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& file : fs::directory_iterator(folder))
            names.push_back(file.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempFolder folder_;
    tavo::EntryStore store_{folder_.path()};
};

// Each tool's copy beside real days: the rebuilt index holds the days alone, and an index
// that an earlier rebuild wrote with the copy listed is taken for damaged.
TEST_F(ConflictsTest, IndexListsOnlyRealDaysBesideConflictCopies) {
    const char* copies[] = {
        "20040105.sync-conflict-20250101-120000-ABCDEFG.txt",
        "20040105 (Taro's conflicted copy 2025-01-01) (1).txt",
        "20040105 (conflicted copy 2025-01-01).txt",
        "20040105 (conflicted copy 2025-01-01 120000).txt",
    };
    for (const char* copy : copies) {
        SCOPED_TRACE(copy);
        fs::remove_all(data());
        fs::create_directory(data());
        for (const char* name : {"20040105.txt", "20040106.txt", "notes.txt", copy})
            WriteAll(data() / name, "\r\n\r\n\r\n");

        std::string error;
        ASSERT_TRUE(store_.RebuildIndex(&error)) << error;
        std::vector<std::string> index;
        ASSERT_TRUE(store_.ReadIndex(&index, &error)) << error;
        EXPECT_EQ(index, (std::vector<std::string>{"20040105", "20040106", "notes"}));
        EXPECT_EQ(tavo::FindDamagedIndexLine(index), std::nullopt);

        index.insert(index.begin() + 1, tavo::EntryName(copy));
        EXPECT_EQ(tavo::FindDamagedIndexLine(index), tavo::EntryName(copy));
    }
}

TEST_F(ConflictsTest, FindsKeepsAndSetsAsideCopies) {
    std::string error;
    EXPECT_TRUE(
        tavo::FindConflictCopies(tavo::EntryStore(folder_.path() / "none"), &error).empty());
    EXPECT_EQ(error, "");

    const auto then = std::chrono::system_clock::from_time_t(1735732800);  // 2025-01-01 12:00 UTC
    struct Placed {
        const char* name;
        int minutesLater;
    } placed[] = {
        {"20040106 (conflicted copy 2025-01-01 120000).txt", 3},
        {"20040105.sync-conflict-20250101-120000-ABCDEFG.txt", 1},
        {"20040105 (Taro's conflicted copy 2025-01-01).txt", 2},
        {"20040105.txt", 0},
        {"20040105.txt.bak", 0},
    };
    for (const Placed& p : placed) {
        WriteAll(data() / p.name, p.name);
        fs::last_write_time(data() / p.name, std::chrono::file_clock::from_sys(
                                                 then + std::chrono::minutes(p.minutesLater)));
    }
    fs::create_directory(data() / "20040107 (conflicted copy 2025-01-01).txt");

    std::vector<ConflictCopy> found = tavo::FindConflictCopies(store_, &error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(found.size(), 3u);
    const struct {
        const char* entry;
        const char* name;
        SyncTool tool;
        int minutesLater;
    } expected[] = {
        {"20040105.txt", "20040105 (Taro's conflicted copy 2025-01-01).txt", SyncTool::Dropbox, 2},
        {"20040105.txt", "20040105.sync-conflict-20250101-120000-ABCDEFG.txt", SyncTool::Syncthing,
         1},
        {"20040106.txt", "20040106 (conflicted copy 2025-01-01 120000).txt", SyncTool::Nextcloud,
         3},
    };
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].entryFileName, expected[i].entry);
        EXPECT_EQ(found[i].path, data() / expected[i].name);
        EXPECT_EQ(found[i].tool, expected[i].tool);
        EXPECT_EQ(found[i].modified, then + std::chrono::minutes(expected[i].minutesLater));
    }

    // The version not kept goes to conflicts/, never over an earlier one.
    fs::path written;
    ASSERT_TRUE(tavo::KeepAsideCopy(folder_.path(), "20040105.txt", "first\r\n", "20250101-120000",
                                    &written, &error))
        << error;
    EXPECT_EQ(written, conflicts() / "20040105-20250101-120000.txt");
    ASSERT_TRUE(tavo::KeepAsideCopy(folder_.path(), "20040105.txt", "second\r\n", "20250101-120000",
                                    &written, &error))
        << error;
    EXPECT_EQ(written, conflicts() / "20040105-20250101-120000-2.txt");
    EXPECT_EQ(ReadAll(conflicts() / "20040105-20250101-120000.txt"), "first\r\n");
    EXPECT_EQ(ReadAll(written), "second\r\n");
    for (const auto& [entry, stamp] : {std::pair{"20040105.txt", "2025-01-01 12:00"},
                                       std::pair{"../tavo.ini", "20250101-120000"}}) {
        EXPECT_FALSE(tavo::KeepAsideCopy(folder_.path(), entry, "x", stamp, &written, &error));
        EXPECT_NE(error, "");
    }

    // Set aside under its own name, or with a counter when a copy of that name is there.
    WriteAll(conflicts() / "20040105.sync-conflict-20250101-120000-ABCDEFG.txt", "older");
    fs::path moved;
    for (const ConflictCopy& copy : found)
        ASSERT_TRUE(tavo::SetConflictCopyAside(folder_.path(), copy, &moved, &error)) << error;
    EXPECT_EQ(moved, conflicts() / "20040106 (conflicted copy 2025-01-01 120000).txt");
    EXPECT_EQ(Names(conflicts()), (std::vector<std::string>{
                                      "20040105 (Taro's conflicted copy 2025-01-01).txt",
                                      "20040105-20250101-120000-2.txt",
                                      "20040105-20250101-120000.txt",
                                      "20040105.sync-conflict-20250101-120000-ABCDEFG-2.txt",
                                      "20040105.sync-conflict-20250101-120000-ABCDEFG.txt",
                                      "20040106 (conflicted copy 2025-01-01 120000).txt",
                                  }));
    EXPECT_EQ(ReadAll(conflicts() / "20040105.sync-conflict-20250101-120000-ABCDEFG-2.txt"),
              "20040105.sync-conflict-20250101-120000-ABCDEFG.txt");
    EXPECT_TRUE(tavo::FindConflictCopies(store_, &error).empty());
    EXPECT_EQ(error, "");
    EXPECT_FALSE(tavo::SetConflictCopyAside(folder_.path(), found[0], &moved, &error));
    EXPECT_NE(error, "");

    // A data folder that cannot be listed is reported.
    fs::remove_all(data());
    WriteAll(data(), "not a folder");
    EXPECT_TRUE(tavo::FindConflictCopies(store_, &error).empty());
    EXPECT_NE(error, "");
}

}  // namespace
