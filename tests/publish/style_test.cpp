#include "publish/style.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/product.h"
#include "core/temp_folder.h"
#include "core/text_file.h"

namespace {

using Lines = std::vector<std::string>;
using tavo::Style;

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

Lines DefaultLines() {
    return tavo::DefaultStyleLines();
}

// A small style file in the written layout, to be changed line by line by the tests.
Lines SmallStyleFile() {
    return {
        "[STYLE]",        "1",  "2",  "1",  "2",               // lines 0-4
        "[DATE_TITLE]",   "a1", "a2", "a3", "a4", "a5", "a6",  // 5-11
        "[HEAD]",         "h1", "h2",                          // 12-14
        "[MID]",          "m1",                                // 15-16
        "[FOOT]",         "f1",                                // 17-18
        "[DIARY_TOP]",    "t1",                                // 19-20
        "[DIARY_BOTTOM]", "b1",                                // 21-22
        "[USE_TITLE]",    "1",                                 // 23-24
        "[USE_DIARY]",    "0",                                 // 25-26
    };
}

Style SmallStyle() {
    Style style;
    style.yearStyle = "1";
    style.monthStyle = "2";
    style.dayStyle = "1";
    style.weekdayStyle = "2";
    style.affixes = {"a1", "a2", "a3", "a4", "a5", "a6"};
    style.head = "h1\r\nh2";
    style.mid = "m1";
    style.foot = "f1";
    style.diaryTop = "t1";
    style.diaryBottom = "b1";
    style.useTitle = "1";
    style.useBody = "0";
    return style;
}

Style Parse(const Lines& lines) {
    Style style;
    std::string error;
    EXPECT_TRUE(tavo::ParseStyle(lines, &style, &error)) << error;
    return style;
}

// --- Paths and listing ---

TEST(StylePathTest, NamesTheFileInTheStyleFolder) {
    const std::filesystem::path folder = "/opt/tavo";
    EXPECT_EQ(tavo::StyleFolder(folder), folder / "style");
    EXPECT_EQ(tavo::StylePath(folder, "demo").string(), "/opt/tavo/style/demo.style");
    EXPECT_EQ(tavo::StylePath(folder, "my.blue").string(), "/opt/tavo/style/my.blue.style");
    // A name is appended as text; it never replaces the folder.
    EXPECT_EQ(tavo::StylePath(folder, "/x").string(), "/opt/tavo/style//x.style");
}

class StyleFolderTest : public testing::Test {
protected:
    std::filesystem::path StyleDir() const { return folder_.path() / "style"; }
    void MakeStyleDir() { std::filesystem::create_directory(StyleDir()); }
    void Touch(const char* name) { WriteAll(StyleDir() / name, "x"); }

    TempFolder folder_;
};

TEST_F(StyleFolderTest, ListsOnlyTheExactExtension) {
    MakeStyleDir();
    for (const char* name : {"demo.style", "my.blue.style", "old.style.bak", "caps.STYLE",
                             "mixed.Style", "notes.txt", "style", "stylestyle"})
        Touch(name);
    // Entries of any kind count, a folder too.
    std::filesystem::create_directory(StyleDir() / "folder.style");
    EXPECT_EQ(Sorted(tavo::ListStyles(folder_.path())), (Lines{"demo", "folder", "my.blue"}));
}

TEST_F(StyleFolderTest, ListsNothingWithoutAFolder) {
    EXPECT_TRUE(tavo::ListStyles(folder_.path()).empty());
    MakeStyleDir();
    EXPECT_TRUE(tavo::ListStyles(folder_.path()).empty());
}

TEST_F(StyleFolderTest, AnyStyleFileIgnoresLetterCase) {
    EXPECT_FALSE(tavo::AnyStyleFile(folder_.path()));  // no folder
    MakeStyleDir();
    EXPECT_FALSE(tavo::AnyStyleFile(folder_.path()));  // empty folder
    Touch("old.style.bak");
    Touch("notes.txt");
    EXPECT_FALSE(tavo::AnyStyleFile(folder_.path()));
    Touch("caps.STYLE");
    EXPECT_TRUE(tavo::AnyStyleFile(folder_.path()));
    EXPECT_TRUE(tavo::ListStyles(folder_.path()).empty());  // but it is not a style
}

// --- The default style ---

TEST(DefaultStyleTest, HasTheSeventyTwoLines) {
    const Lines lines = DefaultLines();
    ASSERT_EQ(lines.size(), 72u);
    const std::pair<size_t, std::string> expected[] = {
        {0, "[STYLE]"},
        {1, "0"},
        {2, "0"},
        {3, "0"},
        {4, "0"},
        {5, "[DATE_TITLE]"},
        {6, ""},
        {7, "/"},
        {8, "/"},
        {9, "&nbsp;("},
        {10, ")&nbsp;&nbsp;"},
        {11, ""},
        {12, "[HEAD]"},
        {13, "<html>"},
        {15, "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"},
        {27, ""},
        {28, "a:link{font-size:12px;color:#ff0000; text-decoration:none;}"},
        {33, ".cal{text-align:center;margin-bottom:20px;margin-right:20px;}"},
        {40, "<body><div style=\"width:600px;\"><a name=\"top\"></a>"},
        // Demo + "スタイル" in code page 932.
        {41,
         "<b>Tavo 2.41 Demo\x83X\x83^\x83"
         "C\x83\x8b</b>"},
        {44, "<table><tr><td valign=\"top\">"},
        // "カレンダーは、この位置に挿入されます"
        {45,
         "<!--\x83J\x83\x8c\x83\x93\x83_\x81[\x82\xcd\x81"
         "A\x82\xb1\x82\xcc\x88\xca\x92u"
         "\x82\xc9\x91}\x93\xfc\x82\xb3\x82\xea\x82\xdc\x82\xb7--><-calendar->"},
        {46, "</td><td valign=\"top\">"},
        {48, "</td></tr></table>"},
        {50, "<br clear=\"all\"><hr size=1 noshade>"},
        {51, "[MID]"},
        {52, "<br clear=\"all\">&nbsp;<br>&nbsp;<br>"},
        {53, "[FOOT]"},
        {58, std::string("TavoDEMO by <a href=\"") + tavo::kHomePageUrl +
                 "\" target=\"_blank\">Tavo</a>"},
        {61, "</html>"},
        {62, "[DIARY_TOP]"},
        {63, "<b><-year->.<-month->.<-day-> (<-week->)&nbsp;&nbsp;<-title-></b>"},
        {64, "<div style=\"margin-left:20px;\">"},
        {65, "[DIARY_BOTTOM]"},
        {66, "</div>"},
        // "一番上に戻る"
        {67,
         "<div align=\"right\"><a href=\"#top\">\x88\xea\x94\xd4\x8f\xe3\x82\xc9\x96\xdf"
         "\x82\xe9</a></div>"},
        {68, "[USE_TITLE]"},
        {69, "0"},
        {70, "[USE_DIARY]"},
        {71, "1"},
    };
    for (const auto& [line, text] : expected)
        EXPECT_EQ(lines[line], text) << "line " << line;
}

TEST(DefaultStyleTest, HoldsNothingButCodePage932) {
    // No UTF-8 may slip in: its lead bytes 0xE3.. followed by 0x80..0xBF would show up as
    // three-byte runs; a byte-exact check of the Japanese lines is above, and every other
    // line is plain ASCII.
    const Lines lines = DefaultLines();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == 41 || i == 45 || i == 47 || i == 67)
            continue;
        for (char c : lines[i])
            EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << "line " << i;
    }
    // "インデックスは、この位置に挿入されます"
    EXPECT_EQ(lines[47],
              "<!--\x83"
              "C\x83\x93\x83"
              "f\x83"
              "b\x83N\x83X\x82\xcd\x81"
              "A\x82\xb1\x82\xcc"
              "\x88\xca\x92u\x82\xc9\x91}\x93\xfc\x82\xb3\x82\xea\x82\xdc\x82\xb7--><-index->");
}

TEST(DefaultStyleTest, ReadsBackAsTheDefaultPage) {
    const Style style = Parse(DefaultLines());
    EXPECT_EQ(style.yearStyle, "0");
    EXPECT_EQ(style.monthStyle, "0");
    EXPECT_EQ(style.dayStyle, "0");
    EXPECT_EQ(style.weekdayStyle, "0");
    EXPECT_EQ(style.affixes,
              (std::array<std::string, 6>{"", "/", "/", "&nbsp;(", ")&nbsp;&nbsp;", ""}));
    EXPECT_TRUE(style.head.starts_with("<html>\r\n<head>\r\n<meta ")) << style.head;
    EXPECT_TRUE(
        style.head.ends_with("</td></tr></table>\r\n\r\n<br clear=\"all\"><hr size=1 noshade>"))
        << style.head;
    const Lines lines = DefaultLines();
    std::string head = lines[13];
    for (size_t i = 14; i <= 50; ++i)
        head += "\r\n" + lines[i];
    EXPECT_EQ(style.head, head);
    EXPECT_EQ(style.mid, "<br clear=\"all\">&nbsp;<br>&nbsp;<br>");
    EXPECT_TRUE(style.foot.starts_with("<br clear=\"all\">&nbsp;<br>&nbsp;<br>\r\n\r\n<hr"))
        << style.foot;
    EXPECT_TRUE(style.foot.ends_with("</a>\r\n</div>\r\n</div></body>\r\n</html>")) << style.foot;
    EXPECT_EQ(style.diaryTop,
              "<b><-year->.<-month->.<-day-> (<-week->)&nbsp;&nbsp;<-title-></b>\r\n"
              "<div style=\"margin-left:20px;\">");
    EXPECT_EQ(style.diaryBottom,
              "</div>\r\n<div align=\"right\"><a href=\"#top\">\x88\xea\x94\xd4\x8f\xe3\x82\xc9"
              "\x96\xdf\x82\xe9</a></div>");
    EXPECT_EQ(style.useTitle, "0");
    EXPECT_EQ(style.useBody, "1");
}

TEST_F(StyleFolderTest, WriteDefaultStyleWritesTheLinesWithCrLf) {
    MakeStyleDir();
    WriteAll(StyleDir() / "demo.style", "an older demo that is longer than nothing");
    std::string error;
    ASSERT_TRUE(tavo::WriteDefaultStyle(folder_.path(), &error)) << error;

    std::string expected;
    for (const std::string& line : DefaultLines())
        expected += line + "\r\n";
    const std::string bytes = ReadAll(StyleDir() / "demo.style");
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(bytes.substr(0, 9), "[STYLE]\r\n");
    EXPECT_EQ(bytes.substr(bytes.size() - 16), "[USE_DIARY]\r\n1\r\n");
    EXPECT_EQ(tavo::ListStyles(folder_.path()), Lines{"demo"});

    Style style;
    ASSERT_TRUE(tavo::ReadStyle(folder_.path(), "demo", &style, &error)) << error;
    EXPECT_EQ(style, Parse(DefaultLines()));
}

TEST_F(StyleFolderTest, WriteDefaultStyleNeedsTheFolder) {
    std::string error;
    EXPECT_FALSE(tavo::WriteDefaultStyle(folder_.path(), &error));
    EXPECT_NE(error.find("demo.style"), std::string::npos) << error;
}

// --- The modern style ---

TEST(ModernStyleTest, ParsesAndWritesBackLineForLine) {
    const Lines lines = tavo::ModernStyleLines();
    EXPECT_EQ(tavo::StyleLines(Parse(lines)), lines);
}

// Every "<-name->" of a block, in order.
Lines Placeholders(const std::string& block) {
    Lines found;
    for (size_t at = block.find("<-"); at != std::string::npos; at = block.find("<-", at + 2)) {
        const size_t end = block.find("->", at + 2);
        if (end == std::string::npos)
            break;
        found.push_back(block.substr(at, end + 2 - at));
    }
    return found;
}

TEST(ModernStyleTest, UsesOnlyThePlaceholdersOlderVersionsReplace) {
    // Also: the head must hold the calendar or the index, or the entries get no anchors.
    const Style style = Parse(tavo::ModernStyleLines());
    const struct {
        const char* block;
        const std::string& text;
        Lines placeholders;
    } cases[] = {
        {"HEAD", style.head, {"<-calendar->", "<-index->"}},
        {"MID", style.mid, {}},
        {"FOOT", style.foot, {}},
        {"DIARY_TOP",
         style.diaryTop,
         {"<-year->", "<-month->", "<-day->", "<-week->", "<-title->"}},
        {"DIARY_BOTTOM", style.diaryBottom, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Placeholders(c.text), c.placeholders) << c.block;
}

// --- Writing and reading back ---

TEST(StyleLinesTest, WritesTheLayout) {
    EXPECT_EQ(tavo::StyleLines(SmallStyle()), SmallStyleFile());
    EXPECT_EQ(Parse(SmallStyleFile()), SmallStyle());
}

TEST(StyleLinesTest, EmptyBlockIsOneEmptyLineAndAFinalBreakAnExtraOne) {
    Style style = SmallStyle();
    style.head = "";
    style.mid = "m1\r\n";
    style.foot = "\r\n";
    const Lines lines = tavo::StyleLines(style);
    const Lines expectedBlocks = {"[HEAD]", "", "[MID]", "m1", "", "[FOOT]", "", "", "[DIARY_TOP]"};
    ASSERT_GE(lines.size(), 12u + expectedBlocks.size());
    EXPECT_EQ(
        Lines(lines.begin() + 12, lines.begin() + 12 + static_cast<long>(expectedBlocks.size())),
        expectedBlocks);
}

struct RoundTripCase {
    const char* name;
    Style style;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) {
    *os << c.name;
}

class StyleRoundTripTest : public StyleFolderTest,
                           public testing::WithParamInterface<RoundTripCase> {};

TEST_P(StyleRoundTripTest, ReadsBackWhatWasWritten) {
    MakeStyleDir();
    const Style& style = GetParam().style;
    std::string error;
    ASSERT_TRUE(tavo::WriteStyle(folder_.path(), "round", style, &error)) << error;
    Style read;
    ASSERT_TRUE(tavo::ReadStyle(folder_.path(), "round", &read, &error)) << error;
    EXPECT_EQ(read, style);
}

Style With(void (*change)(Style*)) {
    Style style = SmallStyle();
    change(&style);
    return style;
}

INSTANTIATE_TEST_SUITE_P(
    Styles, StyleRoundTripTest,
    testing::Values(
        RoundTripCase{"Small", SmallStyle()}, RoundTripCase{"AllEmpty", Style{}},
        RoundTripCase{"EmptyBlocks",
                      With([](Style* s) { s->head = s->mid = s->diaryBottom = ""; })},
        RoundTripCase{"BlocksEndingWithABreak", With([](Style* s) {
                          s->head = "a\r\n";
                          s->foot = "\r\n";
                          s->diaryTop = "x\r\n\r\n";
                          s->diaryBottom = "\r\n\r\ny";
                      })},
        RoundTripCase{"EmptyLinesInside", With([](Style* s) { s->mid = "a\r\n\r\nb"; })},
        RoundTripCase{"OddValues", With([](Style* s) {
                          s->yearStyle = "-1";
                          s->monthStyle = "9";
                          s->useTitle = "";
                          s->useBody = "01";
                          s->affixes = {"", "", "", "", "", ""};
                      })},
        RoundTripCase{"Japanese", With([](Style* s) { s->head = "\x93\xfa\x8b\x4c\r\n\x8c\x8e"; })},
        RoundTripCase{"Default", Parse(tavo::DefaultStyleLines())}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StyleFolderTest, WriteReportsTheFile) {
    std::string error;
    EXPECT_FALSE(tavo::WriteStyle(folder_.path(), "nofolder", SmallStyle(), &error));
    EXPECT_NE(error.find("nofolder.style"), std::string::npos) << error;
}

// --- Reading hand-made files ---

TEST(ParseStyleTest, MidRightAfterHeadLeavesTheHeadEmpty) {
    Lines lines = SmallStyleFile();
    lines.erase(lines.begin() + 13, lines.begin() + 15);  // h1, h2
    const Style style = Parse(lines);
    EXPECT_EQ(style.head, "");
    EXPECT_EQ(style.mid, "m1");
}

TEST(ParseStyleTest, ReadsTheMarkersInAnyLetterCase) {
    Lines lines = SmallStyleFile();
    for (size_t i : {0, 5, 12, 15, 17, 19, 21, 23, 25}) {
        std::string& line = lines[i];
        for (size_t k = 1; k < line.size(); k += 2)
            line[k] = static_cast<char>(std::tolower(static_cast<unsigned char>(line[k])));
    }
    ASSERT_EQ(lines[19], "[dIaRy_tOp]");
    EXPECT_EQ(Parse(lines), SmallStyle());
}

TEST(ParseStyleTest, AMarkerLineInsideAnEarlierBlockCutsTheBlocks) {
    // "[mid]" typed into the HEAD block is taken as the MID marker.
    Lines lines = SmallStyleFile();
    lines.insert(lines.begin() + 14, "[mid]");  // between h1 and h2
    const Style style = Parse(lines);
    EXPECT_EQ(style.head, "h1");
    EXPECT_EQ(style.mid, "h2\r\n[MID]\r\nm1");
    EXPECT_EQ(style.foot, "f1");
}

TEST(ParseStyleTest, AnEarlierMarkerInsideALaterBlockIsHarmless) {
    Lines lines = SmallStyleFile();
    lines.insert(lines.begin() + 18, "[Head]");  // into the FOOT block, before f1
    lines.insert(lines.begin() + 18, "[STYLE]");
    const Style style = Parse(lines);
    Style expected = SmallStyle();
    expected.foot = "[STYLE]\r\n[Head]\r\nf1";
    EXPECT_EQ(style, expected);
}

TEST(ParseStyleTest, ANextMarkerFoundBeforeLeavesTheBlockEmpty) {
    // [FOOT] and its block stand before [MID]: the MID block ends before it starts.
    const Lines lines = {
        "[STYLE]",        "0", "0", "0", "0",          //
        "[DATE_TITLE]",   "",  "",  "",  "",  "", "",  //
        "[HEAD]",         "h",                         //
        "[FOOT]",         "f",                         //
        "[MID]",          "m",                         //
        "[DIARY_TOP]",    "t",                         //
        "[DIARY_BOTTOM]", "b",                         //
        "[USE_TITLE]",    "0",                         //
        "[USE_DIARY]",    "1",                         //
    };
    const Style style = Parse(lines);
    EXPECT_EQ(style.head, "h\r\n[FOOT]\r\nf");
    EXPECT_EQ(style.mid, "");
    EXPECT_EQ(style.foot, "f\r\n[MID]\r\nm");
    EXPECT_EQ(style.diaryTop, "t");
}

TEST(ParseStyleTest, FormatValuesFollowTheStyleMarkerWhereverItIs) {
    Lines lines = SmallStyleFile();
    lines.insert(lines.begin(), {"comment", "9"});
    const Style style = Parse(lines);
    EXPECT_EQ(style, SmallStyle());
}

TEST(ParseStyleTest, KeepsValueLinesAsTheyAre) {
    Lines lines = SmallStyleFile();
    lines[1] = " 1";
    lines[24] = "1 ";
    lines[26] = "yes";
    const Style style = Parse(lines);
    EXPECT_EQ(style.yearStyle, " 1");
    EXPECT_EQ(style.useTitle, "1 ");
    EXPECT_EQ(style.useBody, "yes");
}

struct BrokenStyleCase {
    const char* name;
    Lines lines;
    std::vector<std::string> errorParts;  // what the error text must name
};

void PrintTo(const BrokenStyleCase& c, std::ostream* os) {
    *os << c.name;
}

class BrokenStyleTest : public testing::TestWithParam<BrokenStyleCase> {};

TEST_P(BrokenStyleTest, FailsNamingWhatIsMissing) {
    const BrokenStyleCase& c = GetParam();
    Style style = SmallStyle();
    style.head = "untouched";
    const Style before = style;
    std::string error;
    EXPECT_FALSE(tavo::ParseStyle(c.lines, &style, &error));
    for (const std::string& part : c.errorParts)
        EXPECT_NE(error.find(part), std::string::npos) << error;
    EXPECT_EQ(style, before);  // nothing half-read
}

Lines Without(size_t line) {
    Lines lines = SmallStyleFile();
    lines.erase(lines.begin() + static_cast<long>(line));
    return lines;
}

Lines FirstLines(size_t count) {
    Lines lines = SmallStyleFile();
    lines.resize(count);
    return lines;
}

// Sections moved to the end of the file, where too few lines follow their marker.
Lines StyleSectionLast(size_t valueLines) {
    Lines lines = SmallStyleFile();
    Lines section(lines.begin(), lines.begin() + 5);
    lines.erase(lines.begin(), lines.begin() + 5);
    section.resize(1 + valueLines);
    lines.insert(lines.end(), section.begin(), section.end());
    return lines;
}

Lines DateTitleSectionLast(size_t valueLines) {
    Lines lines = SmallStyleFile();
    Lines section(lines.begin() + 5, lines.begin() + 12);
    lines.erase(lines.begin() + 5, lines.begin() + 12);
    section.resize(1 + valueLines);
    lines.insert(lines.end(), section.begin(), section.end());
    return lines;
}

Lines UseTitleLast() {
    Lines lines = SmallStyleFile();
    lines.erase(lines.begin() + 23, lines.begin() + 25);
    lines.push_back("[USE_TITLE]");
    return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenStyleTest,
    testing::Values(
        BrokenStyleCase{"Empty", {}, {"[STYLE]"}},
        BrokenStyleCase{"NoStyleMarker", Without(0), {"[STYLE]"}},
        BrokenStyleCase{"NoDateTitleMarker", Without(5), {"[DATE_TITLE]"}},
        BrokenStyleCase{"NoHeadMarker", Without(12), {"[HEAD]"}},
        BrokenStyleCase{"NoMidMarker", Without(15), {"[MID]"}},
        BrokenStyleCase{"NoFootMarker", Without(17), {"[FOOT]"}},
        BrokenStyleCase{"NoDiaryTopMarker", Without(19), {"[DIARY_TOP]"}},
        BrokenStyleCase{"NoDiaryBottomMarker", Without(21), {"[DIARY_BOTTOM]"}},
        BrokenStyleCase{"NoUseTitleMarker", Without(23), {"[USE_TITLE]"}},
        BrokenStyleCase{"NoUseDiaryMarker", Without(25), {"[USE_DIARY]"}},
        BrokenStyleCase{"MarkerWithExtraSpace",
                        [] {
                            Lines lines = SmallStyleFile();
                            lines[15] = "[MID] ";
                            return lines;
                        }(),
                        {"[MID]"}},
        BrokenStyleCase{"NoUseBodyFlag", FirstLines(26), {"[USE_DIARY]", "1 行必要なところ 0 行"}},
        BrokenStyleCase{"CutAfterHead", FirstLines(14), {"[MID]"}},
        BrokenStyleCase{"NoUseTitleFlag", UseTitleLast(), {"[USE_TITLE]", "0 行"}},
        BrokenStyleCase{
            "TwoFormatLines", StyleSectionLast(2), {"[STYLE]", "書式", "4 行必要なところ 2 行"}},
        BrokenStyleCase{"NoFormatLines", StyleSectionLast(0), {"[STYLE]", "0 行"}},
        BrokenStyleCase{
            "FiveAffixLines", DateTitleSectionLast(5), {"[DATE_TITLE]", "6 行必要なところ 5 行"}},
        BrokenStyleCase{"NoAffixLines", DateTitleSectionLast(0), {"[DATE_TITLE]", "0 行"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseStyleTest, NoCutOfTheDefaultStyleCrashes) {
    // Every file cut short of its last line lacks at least the use-body flag.
    const Lines full = DefaultLines();
    for (size_t count = 0; count < full.size(); ++count) {
        const Lines lines(full.begin(), full.begin() + static_cast<long>(count));
        Style style;
        std::string error;
        EXPECT_FALSE(tavo::ParseStyle(lines, &style, &error)) << count;
        EXPECT_FALSE(error.empty()) << count;
    }
}

TEST_F(StyleFolderTest, ReadStyleNamesTheFile) {
    MakeStyleDir();
    Style style;
    std::string error;
    EXPECT_FALSE(tavo::ReadStyle(folder_.path(), "nosuch", &style, &error));
    EXPECT_NE(error.find("nosuch.style"), std::string::npos) << error;

    Lines lines = SmallStyleFile();
    lines.erase(lines.begin() + 17);  // [FOOT]
    ASSERT_TRUE(tavo::WriteLines(StyleDir() / "broken.style", lines, &error)) << error;
    error.clear();
    EXPECT_FALSE(tavo::ReadStyle(folder_.path(), "broken", &style, &error));
    EXPECT_NE(error.find("[FOOT]"), std::string::npos) << error;
    EXPECT_NE(error.find("broken.style"), std::string::npos) << error;
}

TEST_F(StyleFolderTest, ReadsLinesEndedByCrOrLfAlone) {
    MakeStyleDir();
    std::string bytes;
    const Lines lines = SmallStyleFile();
    for (size_t i = 0; i < lines.size(); ++i)
        bytes += lines[i] + (i % 2 ? "\n" : "\r");
    WriteAll(StyleDir() / "unix.style", bytes);
    Style style;
    std::string error;
    ASSERT_TRUE(tavo::ReadStyle(folder_.path(), "unix", &style, &error)) << error;
    EXPECT_EQ(style, SmallStyle());
}

}  // namespace
