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

// The elsewhere folder keeps its name while the program folder is gone, one per folder.
TEST(RecoveryTest, ElsewhereFolderIsNamedAfterTheProgramFolder) {
    const std::string id = tavo::RecoveryFolderId("/media/stick/日記");
    EXPECT_EQ(id.substr(0, id.size() - 16), "日記-");
    EXPECT_EQ(tavo::RecoveryFolderId("/media/stick/./日記/"), id);
    EXPECT_NE(tavo::RecoveryFolderId("/media/other/日記"), id);
    EXPECT_EQ(tavo::RecoveryFolderId("/x/My Diary!").substr(0, 9), "My_Diary_");
}

// Texts kept elsewhere while the program folder was gone are offered at the next start like
// those in the program folder, and the answer removes the file they were offered from.
TEST(RecoveryTest, TextsKeptElsewhereAreOfferedAndAnswered) {
    enum class Answer { Restore, Discard, NotAsked };
    const tavo::Entry saved{"saved", "", ""};
    const struct Case {
        const char* name;
        bool alsoInProgramFolder;
        tavo::Entry kept;
        Answer answer;
    } cases[] = {
        {"restored", false, {"typed", "away", ""}, Answer::Restore},
        {"discarded", false, {"typed", "away", ""}, Answer::Discard},
        {"equal to the entry", false, saved, Answer::NotAsked},
        {"kept in both folders", true, {"typed", "later", ""}, Answer::Restore},
    };
    for (const Case& c : cases) {
        TempFolder folder, dataHome;
        const std::filesystem::path programFolder = folder.path() / "diary";
        std::filesystem::create_directories(programFolder / "data");
        const tavo::EntryStore store(programFolder);
        const std::filesystem::path root = dataHome.path() / "recovery-elsewhere";
        std::string error;
        ASSERT_TRUE(store.SaveEntry("20040105.txt", saved, &error)) << error;
        if (c.alsoInProgramFolder) {
            ASSERT_TRUE(
                tavo::WriteRecovery(programFolder, "20040105.txt", {"typed", "", ""}, &error));
        }
        ASSERT_TRUE(
            tavo::WriteFallbackRecovery(root, programFolder, "20040105.txt", c.kept, &error))
            << error;
        const auto kept = tavo::FallbackRecoveryPath(root, programFolder, "20040105.txt");
        EXPECT_NE(
            ReadAll(kept.parent_path() / tavo::kFallbackNoteName).find(programFolder.string()),
            std::string::npos);

        const tavo::RecoveryScan scan = tavo::ScanRecoveries(store, root);
        EXPECT_TRUE(scan.unreadable.empty()) << c.name;
        if (c.answer == Answer::NotAsked) {
            EXPECT_TRUE(scan.pending.empty()) << c.name;
            EXPECT_FALSE(std::filesystem::exists(kept)) << c.name;
            continue;
        }
        ASSERT_EQ(scan.pending.size(), c.alsoInProgramFolder ? 2u : 1u) << c.name;
        const tavo::PendingRecovery& day = scan.pending.back();
        EXPECT_EQ(day.recoveryFile, kept) << c.name;
        EXPECT_EQ(day.recovered, c.kept) << c.name;
        ASSERT_TRUE(c.answer == Answer::Restore ? tavo::RestoreRecovery(store, day, &error)
                                                : tavo::DiscardRecovery(store, day, &error))
            << error;
        EXPECT_FALSE(std::filesystem::exists(kept)) << c.name;
        tavo::Entry entry;
        store.ReadEntry("20040105.txt", &entry, &error);
        EXPECT_EQ(entry, c.answer == Answer::Restore ? c.kept : saved) << c.name;
        EXPECT_EQ(std::filesystem::exists(tavo::RecoveryPath(programFolder, "20040105.txt")),
                  c.alsoInProgramFolder)
            << c.name;
    }
}

}  // namespace
