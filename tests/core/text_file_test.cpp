#include "core/text_file.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

namespace {

TEST(TextFileTest, SplitsOnCrLfCrAndLf) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(tavo::SplitLines(""), Lines{});
    EXPECT_EQ(tavo::SplitLines("a"), Lines{"a"});
    EXPECT_EQ(tavo::SplitLines("a\r\n"), Lines{"a"});  // a final break starts no line
    EXPECT_EQ(tavo::SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(tavo::SplitLines("\r\n\r\n"), (Lines{"", ""}));
    EXPECT_EQ(tavo::SplitLines("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(tavo::JoinLinesCrLf({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

TEST(TextFileTest, AtomicWriteReplacesWholeFileAndLeavesNoTemporaryFile) {
    TempFolder folder;
    const auto file = folder.path() / "f.txt";
    std::string error;
    ASSERT_TRUE(tavo::WriteFileAtomically(file, "first version, longer", &error)) << error;
    ASSERT_TRUE(tavo::WriteFileAtomically(file, "second", &error)) << error;
    EXPECT_EQ(ReadAll(file), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(TextFileTest, FailedWriteReportsTheFileAndKeepsTheOldOne) {
    TempFolder folder;
    const auto file = folder.path() / "sub" / "f.txt";
    std::string error;
    EXPECT_FALSE(tavo::WriteFileAtomically(file, "x", &error));
    EXPECT_NE(error.find("f.txt"), std::string::npos) << error;

    const auto kept = folder.path() / "kept.txt";
    ASSERT_TRUE(tavo::WriteFileAtomically(kept, "old", &error)) << error;
    {
        const FileSizeLimit limit(4);
        EXPECT_FALSE(tavo::WriteFileAtomically(kept, "new and longer", &error));
    }
    EXPECT_NE(error.find("kept.txt"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(kept), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(TextFileTest, ReadReportsAMissingFile) {
    TempFolder folder;
    std::vector<std::string> lines;
    std::string error;
    EXPECT_FALSE(tavo::ReadLines(folder.path() / "none.txt", &lines, &error));
    EXPECT_NE(error.find("none.txt"), std::string::npos) << error;
}

}  // namespace
