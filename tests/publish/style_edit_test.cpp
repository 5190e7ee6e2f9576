#include "publish/style_edit.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kEnterName = "スタイル名を入力してください";
const std::string kDots = "スタイル名に \"..\" は使えません";

std::string Refused(const std::string& found) {
    return "スタイル名に使えない文字が含まれています:" + found +
           "\r( \\ / : * ? \" < > | と制御文字は使えません)";
}

TEST(StyleNameProblemTest, NamesTheRefusedCharacters) {
    EXPECT_EQ(tavo::StyleNameProblem("a/b"),
              "スタイル名に使えない文字が含まれています: /\r( \\ / : * ? \" < > | "
              "と制御文字は使えません)");

    struct Case {
        std::string name;
        std::string expected;
    };
    const Case cases[] = {
        {"", kEnterName},
        {"   ", kEnterName},
        {"\xE3\x80\x80\xE3\x80\x80", kEnterName},  // full-width spaces only
        {" \t ", kEnterName},
        {"../evil", Refused(" /")},
        {"..\\evil", Refused(" \\")},
        {"/etc/passwd", Refused(" /")},
        {"c:evil", Refused(" :")},
        {"what?*", Refused(" * ?")},  // in the order of the hint
        {"|>\"<", Refused(" \" < > |")},
        {"a\\b/c:d*e?f\"g<h>i|j", Refused(" \\ / : * ? \" < > |")},
        {"line\nbreak", Refused(" 制御文字")},
        {std::string("nul\0byte", 8), Refused(" 制御文字")},
        {"del\x7F", Refused(" 制御文字")},
        {"tab\tinside", Refused(" 制御文字")},
        {"a?\rb", Refused(" ? 制御文字")},
        {"..", kDots},
        {"...", kDots},
        {"a..b", kDots},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tavo::StyleNameProblem(c.name), c.expected) << "name: " << c.name;
}

TEST(StyleNameProblemTest, AcceptsWhatTheFileSystemHolds) {
    for (const char* name : {"demo", "a,b;c", "my.blue", ".hidden", " padded ", "日記 2004",
                             "\xE3\x80\x80x", "x.", "-1", "a.b.c"})
        EXPECT_EQ(tavo::StyleNameProblem(name), "") << "name: " << name;
}

TEST(FormatIndexFromLineTest, ReadsDecimalIntegers) {
    struct Case {
        const char* line;
        int expected;
    };
    for (const Case& c : {Case{"0", 0}, Case{"4", 4}, Case{"-1", -1}, Case{"+2", 2}, Case{"007", 7},
                          Case{"12", 12}, Case{"-0", 0}, Case{"2147483647", 2147483647}}) {
        int index = 99;
        EXPECT_TRUE(tavo::FormatIndexFromLine(c.line, &index)) << c.line;
        EXPECT_EQ(index, c.expected) << c.line;
    }
}

TEST(FormatIndexFromLineTest, RefusesAnythingElse) {
    for (const char* line : {"", " 1", "1 ", "a", "1a", "--1", "+-1", "++1", "+", "-", "0x1", "1.0",
                             "2147483648", "99999999999", "\x82\x50" /* full-width 1 */}) {
        int index = 99;
        EXPECT_FALSE(tavo::FormatIndexFromLine(line, &index)) << line;
        EXPECT_EQ(index, 99) << line;
    }
}

}  // namespace
