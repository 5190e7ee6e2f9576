#include "core/entry_store.h"

#include <gtest/gtest.h>

#include "core/scramble.h"
#include "temp_folder.h"

namespace {

using tavo::Entry;
using tavo::EntryStore;

class EntryStoreTest : public testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directory(folder_.path() / "data"); }

    std::string Index() const { return ReadAll(folder_.path() / "data.index"); }
    std::string EntryBytes(const char* fileName) const {
        return ReadAll(folder_.path() / "data" / fileName);
    }
    bool Save(const char* fileName, const Entry& entry) {
        std::string error;
        const bool ok = store_.SaveEntry(fileName, entry, &error);
        EXPECT_TRUE(ok) << error;
        return ok;
    }

    TempFolder folder_;
    EntryStore store_{folder_.path()};
};

TEST_F(EntryStoreTest, FileNamesFollowTheDate) {
    EXPECT_EQ(tavo::EntryFileName({2004, 1, 5}), "20040105.txt");
    EXPECT_EQ(tavo::EntryName("20040105.txt"), "20040105");
    EXPECT_EQ(tavo::EntryName("notes"), "notes");
    EXPECT_EQ(tavo::EntryName("a.b.txt"), "a.b");
}

TEST_F(EntryStoreTest, StoresThreeScrambledLinesAndReadsThemBack) {
    const Entry entry{"abc", "a\r\nb", ""};
    ASSERT_TRUE(Save("20040105.txt", entry));
    EXPECT_EQ(EntryBytes("20040105.txt"), "666462\r\n660D0F62\r\n\r\n");

    Entry read;
    std::string error;
    ASSERT_EQ(store_.ReadEntry("20040105.txt", &read, &error), EntryStore::ReadStatus::Found);
    EXPECT_EQ(read, entry);
}

TEST_F(EntryStoreTest, TitleOnlyEntryKeepsEmptyMemoLines) {
    ASSERT_TRUE(Save("20040105.txt", {"abc", "", ""}));
    EXPECT_EQ(EntryBytes("20040105.txt"), "666462\r\n\r\n\r\n");
}

TEST_F(EntryStoreTest, AnySingleCharacterMakesAnEntry) {
    for (const char* text : {" ", "\r\n"}) {
        ASSERT_TRUE(Save("20040105.txt", {"", "", text}));
        EXPECT_TRUE(std::filesystem::exists(folder_.path() / "data" / "20040105.txt")) << text;
    }
}

TEST_F(EntryStoreTest, ClearingAllTextsDeletesTheFileAndItsIndexLine) {
    ASSERT_TRUE(Save("20040105.txt", {"t", "", ""}));
    ASSERT_TRUE(Save("20040106.txt", {"u", "", ""}));
    ASSERT_EQ(Index(), "20040105\r\n20040106\r\n");

    ASSERT_TRUE(Save("20040105.txt", {}));
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "data" / "20040105.txt"));
    EXPECT_EQ(Index(), "20040106\r\n");
}

TEST_F(EntryStoreTest, SavingAnEmptyNewDayWritesNothing) {
    WriteAll(folder_.path() / "data.index", "20040101\r\n");
    ASSERT_TRUE(Save("20040105.txt", {}));
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "data" / "20040105.txt"));
    EXPECT_EQ(Index(), "20040101\r\n");
}

TEST_F(EntryStoreTest, IndexStaysSortedWithOneLinePerEntry) {
    for (const char* name : {"20040110.txt", "20040101.txt", "20040105.txt", "20040105.txt"})
        ASSERT_TRUE(Save(name, {"x", "", ""}));
    EXPECT_EQ(Index(), "20040101\r\n20040105\r\n20040110\r\n");
}

TEST_F(EntryStoreTest, AddingToAnUnsortedIndexWithDuplicatesSortsIt) {
    WriteAll(folder_.path() / "data.index", "20040110\r\n20040101\r\n20040110\r\n");
    ASSERT_TRUE(Save("20040105.txt", {"x", "", ""}));
    EXPECT_EQ(Index(), "20040101\r\n20040105\r\n20040110\r\n");
}

TEST_F(EntryStoreTest, RemovingIgnoresCaseAndLeavesAnIndexWithoutTheNameUntouched) {
    WriteAll(folder_.path() / "data.index", "20040101\nNOTES\n");
    std::string error;
    ASSERT_TRUE(store_.UpdateIndex("notes.txt", false, &error)) << error;
    EXPECT_EQ(Index(), "20040101\r\n");

    WriteAll(folder_.path() / "data.index", "20040101\n");
    ASSERT_TRUE(store_.UpdateIndex("20040105.txt", false, &error)) << error;
    EXPECT_EQ(Index(), "20040101\n");  // not rewritten
}

TEST_F(EntryStoreTest, SavingWithoutAnIndexRebuildsItFromTheDataFolder) {
    WriteAll(folder_.path() / "data" / "20040101.txt", "\r\n\r\n\r\n");
    WriteAll(folder_.path() / "data" / "20031231.txt", "\r\n\r\n\r\n");
    ASSERT_TRUE(Save("20040105.txt", {"x", "", ""}));
    EXPECT_EQ(Index(), "20031231\r\n20040101\r\n20040105\r\n");
}

TEST_F(EntryStoreTest, RebuildListsEveryFolderEntryByBaseName) {
    for (const char* name : {"20040105.txt", "20040101.txt", ".hidden", "notes", "20040101.bak"})
        WriteAll(folder_.path() / "data" / name, "");
    std::filesystem::create_directory(folder_.path() / "data" / "sub.d");
    // A temporary file left by an interrupted save is not an entry.
    WriteAll(folder_.path() / "data" / "20040107.txt.tmp-abc123", "");

    std::string error;
    ASSERT_TRUE(store_.RebuildIndex(&error)) << error;
    EXPECT_EQ(Index(), "\r\n20040101\r\n20040101\r\n20040105\r\nnotes\r\nsub\r\n");
}

TEST_F(EntryStoreTest, ReadsMissingFoundAndMalformedDays) {
    Entry entry{"keep", "", ""};
    std::string error;
    EXPECT_EQ(store_.ReadEntry("20040105.txt", &entry, &error), EntryStore::ReadStatus::Missing);
    EXPECT_TRUE(entry.IsEmpty());

    struct Case {
        const char* bytes;
        const char* errorPart;
    } malformed[] = {
        {"666462\r\n", "行が足りません"},      {"", "行が足りません"},
        {"666462\r\n66646\r\n\r\n", "2 行目"},  // odd length
        {"666462\r\n\r\nhello\r\n", "3 行目"},  // not hex
        {"666462\r\n\r\n66 64\r\n", "3 行目"},
    };
    for (const Case& c : malformed) {
        WriteAll(folder_.path() / "data" / "20040106.txt", c.bytes);
        error.clear();
        EXPECT_EQ(store_.ReadEntry("20040106.txt", &entry, &error), EntryStore::ReadStatus::Failed)
            << c.bytes;
        EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
        EXPECT_NE(error.find("20040106.txt"), std::string::npos) << error;
    }

    // Lone LF or CR line ends from other editors are read like CR LF.
    WriteAll(folder_.path() / "data" / "20040107.txt",
             "666462\n660D0F62\r" + tavo::EncodeText("p"));
    ASSERT_EQ(store_.ReadEntry("20040107.txt", &entry, &error), EntryStore::ReadStatus::Found);
    EXPECT_EQ(entry, (Entry{"abc", "a\r\nb", "p"}));
}

TEST_F(EntryStoreTest, FailedSaveLeavesThePreviousFileAndIndexIntact) {
    ASSERT_TRUE(Save("20040105.txt", {"old", "", ""}));
    const std::string before = EntryBytes("20040105.txt");
    const std::string indexBefore = Index();
    std::string error;
    {
        const FileSizeLimit limit(8);
        EXPECT_FALSE(store_.SaveEntry("20040105.txt", {"a longer new title", "", ""}, &error));
    }
    EXPECT_NE(error.find("20040105.txt"), std::string::npos) << error;
    EXPECT_EQ(EntryBytes("20040105.txt"), before);
    EXPECT_EQ(Index(), indexBefore);
    // Nothing half-written is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path() / "data"),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(EntryStoreTest, SaveIntoAReadOnlyDataFolderFails) {
    if (!PermissionsAreEnforced())
        GTEST_SKIP() << "root writes to read-only folders";
    ASSERT_TRUE(Save("20040105.txt", {"old", "", ""}));
    const std::string before = EntryBytes("20040105.txt");
    std::filesystem::permissions(folder_.path() / "data", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    std::string error;
    EXPECT_FALSE(store_.SaveEntry("20040105.txt", {"new", "", ""}, &error));
    EXPECT_NE(error.find("20040105.txt"), std::string::npos) << error;
    std::filesystem::permissions(folder_.path() / "data", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(EntryBytes("20040105.txt"), before);
}

TEST_F(EntryStoreTest, SaveIntoAMissingDataFolderFails) {
    std::filesystem::remove(folder_.path() / "data");
    std::string error;
    EXPECT_FALSE(store_.SaveEntry("20040105.txt", {"x", "", ""}, &error));
    EXPECT_NE(error.find("20040105.txt"), std::string::npos) << error;
}

TEST_F(EntryStoreTest, DeleteRemovesFileAndIndexLine) {
    ASSERT_TRUE(Save("20040105.txt", {"x", "", ""}));
    ASSERT_TRUE(Save("20040106.txt", {"y", "", ""}));
    std::string error;
    ASSERT_TRUE(store_.DeleteEntry("20040105.txt", &error)) << error;
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "data" / "20040105.txt"));
    EXPECT_EQ(Index(), "20040106\r\n");
}

TEST_F(EntryStoreTest, PublicPartNeedsTwoLinesAndLeavesThePrivateTextAlone) {
    std::string title = "x", publicText = "y", error;
    EXPECT_EQ(store_.ReadPublicPart("20040105.txt", &title, &publicText, &error),
              EntryStore::ReadStatus::Missing);

    // Two lines are enough for a page; a third line may be anything.
    WriteAll(folder_.path() / "data" / "20040105.txt", "666462\r\n660D0F62\r\nnot hex");
    ASSERT_EQ(store_.ReadPublicPart("20040105.txt", &title, &publicText, &error),
              EntryStore::ReadStatus::Found);
    EXPECT_EQ(title, "abc");
    EXPECT_EQ(publicText, "a\r\nb");

    WriteAll(folder_.path() / "data" / "20040106.txt", "666462\r\n");
    EXPECT_EQ(store_.ReadPublicPart("20040106.txt", &title, &publicText, &error),
              EntryStore::ReadStatus::Failed);
    EXPECT_NE(error.find("20040106.txt"), std::string::npos) << error;
}

TEST_F(EntryStoreTest, ReadIndexSortsAndFailsWhenTheIndexIsMissing) {
    std::vector<std::string> names;
    std::string error;
    EXPECT_FALSE(store_.ReadIndex(&names, &error));
    EXPECT_NE(error.find("data.index"), std::string::npos) << error;

    WriteAll(folder_.path() / "data.index", "20040110\r\n20040101\r\n");
    ASSERT_TRUE(store_.ReadIndex(&names, &error)) << error;
    EXPECT_EQ(names, (std::vector<std::string>{"20040101", "20040110"}));
}

}  // namespace
