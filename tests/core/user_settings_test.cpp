#include "core/user_settings.h"

#include <gtest/gtest.h>

#include <random>

#include "core/text_file.h"

#include "temp_folder.h"

namespace {

using Lines = std::vector<std::string>;

std::string RandomBytes(size_t size) {
    std::minstd_rand random(7);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

TEST(UserSettingsTest, DefaultsWriteTheFreshInstallLines) {
    EXPECT_EQ(tavo::UserSettingsLines({}),
              (Lines{"[TITLE]", "", "[FONT_SIZE]", "1", "[FONT_COLOR]", "0", "[BACK_COLOR]",
                     "16777215", "[USE_IME]", "0", "[BACKUP]", "", "1"}));
}

TEST(UserSettingsTest, RoundTripsThroughTheFile) {
    tavo::UserSettings s;
    s.diaryTitle = "\x93\xFA\x8B\x4C";  // 日記
    s.fontSizeIndex = 0;
    s.fontColor = 0x0000FF;  // red as 0x00BBGGRR
    s.backColor = 0xCCEEFF;
    s.useInputMethod = true;
    s.backupFolder = "/mnt/\x93\xF1";  // 二
    s.backupsOn = false;
    TempFolder folder;
    std::string error, problems;
    ASSERT_TRUE(tavo::WriteUserSettingsFile(folder.path() / "User.ini", s, &error)) << error;
    EXPECT_EQ(ReadAll(folder.path() / "User.ini"),
              "[TITLE]\r\n\x93\xFA\x8B\x4C\r\n[FONT_SIZE]\r\n0\r\n[FONT_COLOR]\r\n255\r\n"
              "[BACK_COLOR]\r\n13430527\r\n[USE_IME]\r\n1\r\n[BACKUP]\r\n/mnt/\x93\xF1\r\n0\r\n");
    tavo::UserSettings read;
    ASSERT_TRUE(tavo::ReadUserSettingsFile(folder.path() / "User.ini", &read, &problems, &error));
    EXPECT_EQ(read, s);
    EXPECT_EQ(problems, "");
}

TEST(UserSettingsTest, ReadsWhatItCanAndNamesTheRest) {
    struct Case {
        Lines lines;
        int fontSizeIndex;
        std::optional<uint32_t> fontColor;
        std::optional<bool> useInputMethod;
        const char* problems;
        const char* backupFolder = "";
        bool backupsOn = true;
    } cases[] = {
        // A ten-line file from before the backup lines: backups on, in the usual folder.
        // Markers are not looked for; an index outside 0..5 is kept as it is.
        {{"x", "t", "x", "20", "x", "255", "x", "0", "x", "1"}, 20, 0xFF, true, ""},
        {{"x", "t", "x", "2", "x", "0", "x", "0", "x", "1", "[BACKUP]", "/b", "0"},
         2,
         0,
         true,
         "",
         "/b",
         false},
        {{"x", "t", "x", "2", "x", "0", "x", "0", "x", "1", "[BACKUP]"},
         2,
         0,
         true,
         "12 行目 (バックアップ先)\n13 行目 (バックアップ)"},
        // Backup lines without their marker are not taken: the backups keep their defaults.
        {{"x", "t", "x", "2", "x", "0", "x", "0", "x", "1", "[TITLE]", "/b", "0"},
         2,
         0,
         true,
         "11 行目 ([BACKUP])\n12 行目 (バックアップ先)\n13 行目 (バックアップ)"},
        {{"x", "t", "x", "2", "x", "0", "x", "0", "x", "1", "x"},
         2,
         0,
         true,
         "11 行目 ([BACKUP])\n12 行目 (バックアップ先)\n13 行目 (バックアップ)"},
        // A file of random bytes, split as the file reader splits it.
        {tavo::SplitLines(RandomBytes(4096)), 1, std::nullopt, std::nullopt,
         "4 行目 (フォントサイズ)\n6 行目 (フォントカラー)\n8 行目 (背景色)\n"
         "11 行目 ([BACKUP])\n12 行目 (バックアップ先)\n13 行目 (バックアップ)"},
        {{"x", "t", "x", "2", "x", "red", "x", "0", "x", "0"},
         2,
         std::nullopt,
         false,
         "6 行目 (フォントカラー)"},
        // Anything but "1" or "0" leaves the option as it was.
        {{"x", "t", "x", "2", "x", "0", "x", "0", "x", "yes"}, 2, 0, std::nullopt, ""},
        {{"[TITLE]", "t", "[FONT_SIZE]"},
         1,
         std::nullopt,
         std::nullopt,
         "4 行目 (フォントサイズ)\n6 行目 (フォントカラー)\n8 行目 (背景色)\n10 行目 (IME)"},
        // A system colour of an older file is not a colour of its own.
        {{"x", "", "x", "1", "x", "-16777208", "x", "0", "x", "0"}, 1, std::nullopt, false, ""},
    };
    for (const Case& c : cases) {
        std::string problems;
        const tavo::UserSettings s = tavo::ParseUserSettings(c.lines, &problems);
        EXPECT_EQ(s.fontSizeIndex, c.fontSizeIndex) << c.problems;
        EXPECT_EQ(s.fontColor, c.fontColor) << c.problems;
        EXPECT_EQ(s.useInputMethod, c.useInputMethod) << c.problems;
        EXPECT_EQ(problems, c.problems);
        EXPECT_EQ(s.backupFolder, c.backupFolder) << c.problems;
        EXPECT_EQ(s.backupsOn, c.backupsOn) << c.problems;
    }
}

}  // namespace
