#include "core/settings.h"

#include <gtest/gtest.h>

#include "core/scramble.h"
#include "temp_folder.h"

namespace {

TEST(SettingsTest, WritesFifteenPositionalLines) {
    tavo::AppSettings s;
    s.width = 800;
    s.height = 600;
    s.left = 10;
    s.top = -20;
    s.htmlSavePath = "/home/u/\x93\xFA\x8B\x4C";
    s.publicPaneHeight = 300;
    s.privatePaneHeight = 150;
    s.toolBarVisible = false;
    s.privatePaneVisible = true;
    s.windowState = 3;

    TempFolder folder;
    const auto file = folder.path() / "tavo.ini";
    std::string error;
    ASSERT_TRUE(tavo::WriteSettingsFile(file, s, &error)) << error;
    EXPECT_EQ(ReadAll(file),
              "[SIZE]\r\n800\r\n600\r\n10\r\n-20\r\n[Path]\r\n/home/u/\x93\xFA\x8B\x4C\r\n"
              "[SPLIT]\r\n300\r\n150\r\n[Visible]\r\n0\r\n1\r\n[WINDOWSTATE]\r\n3\r\n");

    tavo::AppSettings read;
    std::string problems;
    ASSERT_TRUE(tavo::ReadSettingsFile(file, &read, &problems, &error)) << error;
    EXPECT_EQ(read, s);
    EXPECT_EQ(problems, "");
}

TEST(SettingsTest, MarkersAreNotLookedFor) {
    const std::vector<std::string> lines = {"x",  "500", "400", "1", "2", "?", "", "?",
                                            "50", "60",  "?",   "1", "0", "?", "1"};
    std::string problems;
    const tavo::AppSettings s = tavo::ParseSettings(lines, &problems);
    EXPECT_EQ(problems, "");
    EXPECT_EQ(s.width, 500);
    EXPECT_EQ(s.privatePaneHeight, 60);
    EXPECT_FALSE(s.privatePaneVisible);
    EXPECT_EQ(s.encodedPassword, "");
}

TEST(SettingsTest, MalformedLinesFallBackToDefaultsOneByOne) {
    const tavo::AppSettings defaults;
    struct Case {
        std::vector<std::string> lines;
        const char* problemPart;
    } cases[] = {
        {{}, "2 行目"},
        {{"[SIZE]", "wide", "400"}, "2 行目 (ウィンドウの幅)"},
        {{"[SIZE]", "500", "400", "1", "2", "[Path]", "p", "[SPLIT]", "50", "6x0", "[Visible]", "1",
          "1", "[WINDOWSTATE]", "1"},
         "10 行目"},
    };
    for (const Case& c : cases) {
        std::string problems;
        const tavo::AppSettings s = tavo::ParseSettings(c.lines, &problems);
        EXPECT_NE(problems.find(c.problemPart), std::string::npos) << problems;
        EXPECT_EQ(s.privatePaneHeight, defaults.privatePaneHeight);
    }

    // What could be read is kept.
    std::string problems;
    const tavo::AppSettings s = tavo::ParseSettings({"[SIZE]", "500", "oops"}, &problems);
    EXPECT_EQ(s.width, 500);
    EXPECT_EQ(s.height, defaults.height);
    EXPECT_TRUE(s.toolBarVisible);
    EXPECT_EQ(s.windowState, 1);
}

TEST(SettingsTest, LockPasswordComesFromLineZero) {
    EXPECT_EQ(tavo::LockPassword({}), "");
    EXPECT_EQ(tavo::LockPassword({"[SIZE]"}), "");
    EXPECT_EQ(tavo::LockPassword({"[SIZE]" + tavo::EncodeText("secret"), "438"}), "secret");

    tavo::AppSettings s;
    s.encodedPassword = tavo::EncodeText("pw");
    EXPECT_EQ(tavo::SettingsLines(s).front(), "[SIZE]" + tavo::EncodeText("pw"));
    std::string problems;
    EXPECT_EQ(tavo::ParseSettings(tavo::SettingsLines(s), &problems).encodedPassword,
              tavo::EncodeText("pw"));
}

TEST(SettingsTest, LockPasswordIsReadAndWrittenInLineZeroOnly) {
    TempFolder folder;
    const auto file = folder.path() / "tavo.ini";
    std::string password = "stale", error;
    // Before the first exit there is no settings file: no lock.
    ASSERT_TRUE(tavo::ReadLockPassword(file, &password, &error)) << error;
    EXPECT_EQ(password, "");
    EXPECT_FALSE(tavo::WriteLockPassword(file, "abc", &error));

    ASSERT_TRUE(tavo::WriteSettingsFile(file, tavo::AppSettings{}, &error)) << error;
    const std::string unlocked = ReadAll(file);
    ASSERT_TRUE(tavo::WriteLockPassword(file, "abc", &error)) << error;
    EXPECT_EQ(ReadAll(file), "[SIZE]666462" + unlocked.substr(6));
    ASSERT_TRUE(tavo::ReadLockPassword(file, &password, &error)) << error;
    EXPECT_EQ(password, "abc");
}

}  // namespace
