#include "core/entry_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>
#include <vector>

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

TEST(EntryLinesTest, SplitsAsEveryTextFileOfTheDiary) {
    struct Case {
        std::string bytes;
        std::vector<std::string_view> lines;
    } cases[] = {
        {"", {}},
        {"A", {"A"}},
        {"A\r\n", {"A"}},
        {"A\r\n\nB\r", {"A", "", "B"}},
        {"A\r\rB", {"A", "", "B"}},
        {"A\n\n", {"A", ""}},
        {"\r\n\r\n\r\n\r\n", {"", "", ""}},
        {"a\nb\nc\nd", {"a", "b", "c"}},
    };
    for (const Case& c : cases) {
        std::string_view lines[3];
        const size_t count = tavo::SplitEntryLines(c.bytes, lines);
        EXPECT_EQ(std::vector<std::string_view>(lines, lines + count), c.lines) << c.bytes;
    }
}

TEST_F(EntryStoreTest, EachReaderTakesTheLinesItNeeds) {
    using tavo::EntryParts;
    using Status = EntryStore::ReadStatus;
    const std::string abc = "666462", ab = "660D0F62";  // "abc", "a\r\nb"
    const std::string path = (folder_.path() / "data" / "20040106.txt").string();
    const auto tooFew = [&](int needed, int found) {
        return "日記ファイルの行が足りません (" + std::to_string(needed) + " 行必要なところ " +
               std::to_string(found) + " 行): \"" + path + "\"";
    };
    const auto broken = [&](int line) {
        return "日記ファイルの " + std::to_string(line) + " 行目が壊れています: \"" + path + "\"";
    };
    const std::string notHex = abc + "\r\n" + ab + "\r\nnot hex";
    const std::string loneBreaks = abc + "\n" + ab + "\r" + tavo::EncodeText("p");
    struct Case {
        std::string bytes;
        EntryParts parts;
        Status status;
        Entry entry;        // when found
        std::string error;  // when failed
    } cases[] = {
        {notHex, EntryParts::PublicPart, Status::Found, {"abc", "a\r\nb", ""}, ""},
        {notHex, EntryParts::Checked, Status::Failed, {}, broken(3)},
        {abc + "\r\n", EntryParts::Title, Status::Found, {"abc", "", ""}, ""},
        {abc + "\r\n", EntryParts::PublicPart, Status::Failed, {}, tooFew(2, 1)},
        {abc + "\r\n" + ab, EntryParts::All, Status::Failed, {}, tooFew(3, 2)},
        {"", EntryParts::Title, Status::Failed, {}, tooFew(1, 0)},
        {loneBreaks, EntryParts::All, Status::Found, {"abc", "a\r\nb", "p"}, ""},
        // Hand-edited lines decode by the tolerant rule unless checked.
        {"6g\r\n\r\n\r\n", EntryParts::All, Status::Found, {"\x05", "", ""}, ""},
        {"6g\r\n\r\n\r\n", EntryParts::Checked, Status::Failed, {}, broken(1)},
    };
    for (const Case& c : cases) {
        WriteAll(path, c.bytes);
        Entry entry{"keep", "", ""};
        std::string error;
        ASSERT_EQ(store_.ReadEntry("20040106.txt", &entry, &error, c.parts), c.status) << c.bytes;
        if (c.status == Status::Found)
            EXPECT_EQ(entry, c.entry) << c.bytes;
        else
            EXPECT_EQ(error, c.error) << c.bytes;
        entry = {"keep", "", ""};
        EXPECT_EQ(store_.ReadEntry("20040107.txt", &entry, &error, c.parts), Status::Missing);
        EXPECT_TRUE(entry.IsEmpty());
    }
}

TEST_F(EntryStoreTest, OneReaderReadsManyFilesInARow) {
    const std::filesystem::path data = folder_.path() / "data";
    const std::string longText(40000, 'x');
    WriteAll(data / "20040105.txt", tavo::EntryFileBytes({"long", longText, "p"}));
    WriteAll(data / "20040106.txt", tavo::EntryFileBytes({"short", "", ""}));
    std::filesystem::create_directory(data / "20040107.txt");
    tavo::EntryReader reader(data);
    std::string error;
    std::string_view lines[3];
    const auto read = [&](const char* name) {
        return reader.Read(name, tavo::EntryParts::All, lines, &error);
    };
    ASSERT_EQ(read("20040105.txt"), EntryStore::ReadStatus::Found);
    EXPECT_EQ(tavo::DecodeText(lines[1]), longText);
    EXPECT_EQ(tavo::DecodeText(lines[2]), "p");
    ASSERT_EQ(read("20040106.txt"), EntryStore::ReadStatus::Found);
    EXPECT_EQ(tavo::DecodeText(lines[0]), "short");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(read("20040108.txt"), EntryStore::ReadStatus::Missing);
    EXPECT_EQ(read("20040107.txt"), EntryStore::ReadStatus::Failed);
    EXPECT_NE(error.find("ファイルを読めません"), std::string::npos) << error;
    EXPECT_NE(error.find("20040107.txt"), std::string::npos) << error;
    tavo::EntryReader noFolder(data / "none");
    EXPECT_EQ(noFolder.Read("20040105.txt", tavo::EntryParts::All, lines, &error),
              EntryStore::ReadStatus::Missing);
}

TEST(IndexSortKeyTest, PlainOrderOfTheKeysIsTheIndexOrder) {
    std::vector<std::string> names = {"b.txt", "20040105.txt", "A.txt",       "_x",
                                      "Zeta",  "a.txt~",       "20040105",    "\x83\x41",
                                      "abc",   "ABD",          "19991231.txt"};
    std::vector<std::string> byKey = names;
    std::stable_sort(byKey.begin(), byKey.end(), [](const auto& a, const auto& b) {
        return tavo::IndexSortKey(a) < tavo::IndexSortKey(b);
    });
    std::stable_sort(names.begin(), names.end(), tavo::IndexNameLess);
    EXPECT_EQ(byKey, names);
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
