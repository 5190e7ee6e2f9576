#include "core/recovery.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

namespace {

// A save cut between its entry file and its index update leaves a recovery file equal to the
// entry: the next scan puts the index in step and removes the file, offering nothing.
TEST(RecoveryTest, ASaveCutShortIsCompletedByTheScan) {
    struct Case {
        const char* name;
        tavo::Entry saved;  // empty: the save deleted the day
        const char* indexBefore;
    } cases[] = {
        {"written, not yet indexed", {"title", "text", ""}, "20040101\r\n"},
        {"deleted, still indexed", {}, "20040101\r\n20040105\r\n"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        std::filesystem::create_directory(folder.path() / "data");
        const tavo::EntryStore store(folder.path());
        std::string error;
        WriteAll(store.EntryPath("20040101.txt"), tavo::EntryFileBytes({"old", "", ""}));
        if (!c.saved.IsEmpty())
            WriteAll(store.EntryPath("20040105.txt"), tavo::EntryFileBytes(c.saved));
        WriteAll(store.IndexFile(), c.indexBefore);
        ASSERT_TRUE(tavo::WriteRecovery(folder.path(), "20040105.txt", c.saved, &error)) << error;

        const tavo::RecoveryScan scan = tavo::ScanRecoveries(store);
        EXPECT_TRUE(scan.pending.empty()) << c.name;
        EXPECT_TRUE(scan.unreadable.empty()) << c.name;
        EXPECT_FALSE(std::filesystem::exists(tavo::RecoveryPath(folder.path(), "20040105.txt")));
        EXPECT_EQ(ReadAll(store.IndexFile()),
                  c.saved.IsEmpty() ? "20040101\r\n" : "20040101\r\n20040105\r\n")
            << c.name;
    }
}

}  // namespace
