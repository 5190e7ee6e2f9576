#include "publish/page_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/entry_store.h"
#include "core/product.h"
#include "core/temp_folder.h"
#include "expected_html.h"
#include "publish/style.h"

namespace {

using tavo::Date;
using tavo::Entry;
using tavo::PageRequest;
using tavo::Style;

using expected::L;

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Code page 932 bytes of the Japanese texts the pages hold.
const std::string kSaturday = "\x93y";     // 土
const std::string kThursday = "\x96\xd8";  // 木
const std::string kSunday = "\x93\xfa";    // 日
const std::string kBackToTop =             // 一番上に戻る
    "\x88\xea\x94\xd4\x8f\xe3\x82\xc9\x96\xdf\x82\xe9";

// A short style whose pages can be written out by hand: the index in the head, the date
// in the DIARY_BOTTOM block.
Style SimpleStyle() {
    Style style;
    style.affixes = {"", "/", "/", "(", ")", ""};
    style.head = "head\r\n<-index->";
    style.mid = "mid";
    style.foot = "foot";
    style.diaryTop = "top <-title->";
    style.diaryBottom = "bottom <-year->-<-month->-<-day->(<-week->)";
    style.useTitle = "0";
    style.useBody = "1";
    return style;
}

class PageTest : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(store_.DataFolder());
        std::filesystem::create_directory(folder_.path() / "style");
        std::string error;
        ASSERT_TRUE(tavo::WriteDefaultStyle(folder_.path(), &error)) << error;
        UseStyle(SimpleStyle());
    }

    void UseStyle(const Style& style) {
        std::string error;
        ASSERT_TRUE(tavo::WriteStyle(folder_.path(), "simple", style, &error)) << error;
    }
    void Save(const Date& date, const Entry& entry) {
        std::string error;
        ASSERT_TRUE(store_.SaveEntry(tavo::EntryFileName(date), entry, &error)) << error;
    }

    std::string Generate(const Date& start, const Date& end, bool oldestFirst,
                         const char* style = "simple") {
        std::string page, error;
        EXPECT_TRUE(tavo::GeneratePage(folder_.path(), PageRequest{style, start, end, oldestFirst},
                                       &page, &error))
            << error;
        return page;
    }

    TempFolder folder_;
    tavo::EntryStore store_{folder_.path()};
};

// --- The default style ---

// The default style's HEAD up to the calendar, between the calendar and the index, and
// after the index; then its FOOT.
const std::string kDefaultHeadTop =
    L({"<html>",
       "<head>",
       "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">",
       "<title>Tavo</title>",
       "<style type=\"text/css\">",
       "<!--",
       "body,td{",
       "color : #666666;",
       "font-size:12px;",
       "margin-top:30px;",
       "margin-bottom:30px;",
       "margin-left:30px;",
       "margin-right:30px;",
       "}",
       "",
       "a:link{font-size:12px;color:#ff0000; text-decoration:none;}",
       "a:visited{font-size:12px;color:#ff0000;text-decoration:none;}",
       "a:active{font-size:12px;color:#ff0000;text-decoration:underline;}",
       "a:hover{font-size:12px;color:#ff0000;text-decoration:underline;}",
       "",
       ".cal{text-align:center;margin-bottom:20px;margin-right:20px;}",
       ".cal1{background-color:navy;color:white;}",
       "",
       "-->",
       "</style>",
       "",
       "</head>",
       "<body><div style=\"width:600px;\"><a name=\"top\"></a>",
       "<b>Tavo 2.41 Demo\x83X\x83^\x83"
       "C\x83\x8b</b>",  // Demoスタイル
       "<hr size=1 noshade>",
       "",
       "<table><tr><td valign=\"top\">"}) +
    // <!--カレンダーは、この位置に挿入されます-->
    "<!--\x83J\x83\x8c\x83\x93\x83_\x81[\x82\xcd\x81"
    "A\x82\xb1\x82\xcc\x88\xca\x92u\x82\xc9"
    "\x91}\x93\xfc\x82\xb3\x82\xea\x82\xdc\x82\xb7-->";
const std::string kDefaultHeadMiddle =
    "\r\n</td><td valign=\"top\">\r\n"
    // <!--インデックスは、この位置に挿入されます-->
    "<!--\x83"
    "C\x83\x93\x83"
    "f\x83"
    "b\x83N\x83X\x82\xcd\x81"
    "A\x82\xb1\x82\xcc\x88\xca"
    "\x92u\x82\xc9\x91}\x93\xfc\x82\xb3\x82\xea\x82\xdc\x82\xb7-->";
const std::string kDefaultHeadEnd =
    "\r\n</td></tr></table>\r\n\r\n<br clear=\"all\"><hr size=1 noshade>";
const std::string kDefaultFoot =
    L({"<br clear=\"all\">&nbsp;<br>&nbsp;<br>", "", "<hr size=1 noshade>", "<div align=\"right\">",
       std::string("TavoDEMO by <a href=\"") + tavo::kHomePageUrl + "\" target=\"_blank\">Tavo</a>",
       "</div>", "</div></body>"}) +
    "</html>";

// The calendar of April 2004, the 3rd linked when `linked`, with its one line break.
std::string AprilCalendar(bool linked) {
    return expected::April2004(linked ? 3 : 0) + "\r\n";
}

TEST_F(PageTest, WorkedExampleWithTheDefaultStyle) {
    Save({2004, 4, 3}, {"T", "a\r\nb", "private"});
    const std::string index =
        "<a href=\"#20040403\">2004/04/03&nbsp;(" + kSaturday + ")&nbsp;&nbsp;T</a><br>\r\n";
    const std::string entry =
        L({"<a name=\"20040403\"></a>", "<b>2004.04.03 (" + kSaturday + ")&nbsp;&nbsp;T</b>",
           "<div style=\"margin-left:20px;\">", "a<br>", "b<br>", "</div>",
           "<div align=\"right\"><a href=\"#top\">" + kBackToTop + "</a></div>"});
    const std::string expected = kDefaultHeadTop + AprilCalendar(true) + kDefaultHeadMiddle +
                                 index + kDefaultHeadEnd + "\r\n" + entry + "\r\n" + kDefaultFoot;
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 30}, false, "demo"), expected);
    // One entry reads the same oldest first.
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 30}, true, "demo"), expected);
}

TEST_F(PageTest, WorkedExampleWrittenOutLineByLine) {
    // The same page as a plain list of its lines, to show where every line break falls.
    Save({2004, 4, 3}, {"T", "a\r\nb", ""});
    const std::string page = Generate({2004, 4, 1}, {2004, 4, 30}, false, "demo");
    const std::string tail =
        L({"<!--\x83"
           "C\x83\x93\x83"
           "f\x83"
           "b\x83N\x83X\x82\xcd\x81"
           "A\x82\xb1\x82\xcc"
           "\x88\xca\x92u\x82\xc9\x91}\x93\xfc\x82\xb3\x82\xea\x82\xdc\x82\xb7-->"
           "<a href=\"#20040403\">2004/04/03&nbsp;(" +
               kSaturday + ")&nbsp;&nbsp;T</a><br>",
           "",
           "</td></tr></table>",
           "",
           "<br clear=\"all\"><hr size=1 noshade>",
           "<a name=\"20040403\"></a>",
           "<b>2004.04.03 (" + kSaturday + ")&nbsp;&nbsp;T</b>",
           "<div style=\"margin-left:20px;\">",
           "a<br>",
           "b<br>",
           "</div>",
           "<div align=\"right\"><a href=\"#top\">" + kBackToTop + "</a></div>",
           "",
           "<br clear=\"all\">&nbsp;<br>&nbsp;<br>",
           "",
           "<hr size=1 noshade>",
           "<div align=\"right\">",
           std::string("TavoDEMO by <a href=\"") + tavo::kHomePageUrl +
               "\" target=\"_blank\">Tavo</a>",
           "</div>",
           "</div></body>"}) +
        "</html>";
    EXPECT_TRUE(page.ends_with(tail)) << page;
    EXPECT_TRUE(page.find("<td>30</td>\r\n<td>&nbsp;</td>\r\n</tr></table>\r\n\r\n</td>") !=
                std::string::npos)
        << page;
}

TEST_F(PageTest, RangeWithoutEntriesGivesHeadAndFoot) {
    const std::string expected = kDefaultHeadTop + AprilCalendar(false) + kDefaultHeadMiddle +
                                 kDefaultHeadEnd + "\r\n\r\n" + kDefaultFoot;
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 30}, false, "demo"), expected);
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 30}, false), "head\r\n\r\n\r\nfoot");
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 30}, true), "head\r\n\r\n\r\nfoot");
}

TEST_F(PageTest, EndBeforeStartPublishesNothing) {
    for (int day = 5; day <= 10; ++day)
        Save({2004, 4, day}, {"t", "p", ""});
    std::string page, error;
    int calls = 0;
    ASSERT_TRUE(tavo::GeneratePage(folder_.path(), {"simple", {2004, 4, 10}, {2004, 4, 5}, false},
                                   &page, &error, [&](int) { ++calls; }))
        << error;
    EXPECT_EQ(page, "head\r\n\r\n\r\nfoot");
    EXPECT_EQ(calls, 0);
    // The calendar still shows the month, without links.
    EXPECT_EQ(Generate({2004, 4, 10}, {2004, 4, 3}, false, "demo"),
              kDefaultHeadTop + AprilCalendar(false) + kDefaultHeadMiddle + kDefaultHeadEnd +
                  "\r\n\r\n" + kDefaultFoot);
}

// --- Entries, order and MID ---

const std::string kIndexFirst = "<a href=\"#20040401\">2004/04/01(" + kThursday + ")one</a><br>";
const std::string kIndexThird = "<a href=\"#20040403\">2004/04/03(" + kSaturday + ")three</a><br>";
const std::string kEntryFirst =
    L({"<a name=\"20040401\"></a>", "top one", "p1<br>", "bottom 2004-04-01(" + kThursday + ")"});
const std::string kEntryThird =
    L({"<a name=\"20040403\"></a>", "top three", "p3<br>", "bottom 2004-04-03(" + kSaturday + ")"});

TEST_F(PageTest, NewestFirstPutsMidBetweenEntries) {
    Save({2004, 4, 1}, {"one", "p1", ""});
    Save({2004, 4, 3}, {"three", "p3", ""});
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 30}, false),
              "head\r\n" + kIndexThird + "\r\n" + kIndexFirst + "\r\n" + "\r\n" + kEntryThird +
                  "mid\r\n" + kEntryFirst + "\r\n" + "foot");
}

TEST_F(PageTest, OldestFirstPutsMidBetweenEntriesAndTheIndexBreaksAtTheEnd) {
    Save({2004, 4, 1}, {"one", "p1", ""});
    Save({2004, 4, 3}, {"three", "p3", ""});
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 30}, true),
              "head\r\n" + kIndexFirst + kIndexThird + "\r\n\r\n" + "\r\n" + kEntryFirst +
                  "mid\r\n" + kEntryThird + "\r\n" + "foot");
}

TEST_F(PageTest, TwoEntriesWithTheDefaultStyle) {
    Save({2004, 4, 1}, {"one", "p1", ""});
    Save({2004, 4, 3}, {"three", "p3", ""});
    const std::string mid = "<br clear=\"all\">&nbsp;<br>&nbsp;<br>\r\n";
    const auto entry = [](const std::string& key, const std::string& date,
                          const std::string& weekday, const std::string& title,
                          const std::string& text) {
        return L({"<a name=\"" + key + "\"></a>",
                  "<b>" + date + " (" + weekday + ")&nbsp;&nbsp;" + title + "</b>",
                  "<div style=\"margin-left:20px;\">", text + "<br>", "</div>",
                  "<div align=\"right\"><a href=\"#top\">" + kBackToTop + "</a></div>"});
    };
    const std::string first = entry("20040401", "2004.04.01", kThursday, "one", "p1");
    const std::string third = entry("20040403", "2004.04.03", kSaturday, "three", "p3");

    const std::string newest = Generate({2004, 4, 1}, {2004, 4, 30}, false, "demo");
    EXPECT_NE(newest.find(third + mid + first + "\r\n<br clear"), std::string::npos) << newest;
    EXPECT_LT(newest.find("<a href=\"#20040403\">2004/04/03"),
              newest.find("<a href=\"#20040401\">2004/04/01"));
    EXPECT_EQ(Count(newest, mid), 2u);  // once between the entries, once in FOOT

    const std::string oldest = Generate({2004, 4, 1}, {2004, 4, 30}, true, "demo");
    EXPECT_NE(oldest.find(first + mid + third + "\r\n<br clear"), std::string::npos) << oldest;
    EXPECT_LT(oldest.find("<a href=\"#20040401\">2004/04/01"),
              oldest.find("<a href=\"#20040403\">2004/04/03"));
    EXPECT_EQ(Count(oldest, mid), 2u);
}

TEST_F(PageTest, PrivateOnlyDayIsNotPublished) {
    Save({2004, 4, 1}, {"one", "p1", ""});
    Save({2004, 4, 2}, {"", "", "plans for the day"});
    Save({2004, 4, 3}, {"three", "p3", ""});
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 30}, false),
              "head\r\n" + kIndexThird + "\r\n" + kIndexFirst + "\r\n" + "\r\n" + kEntryThird +
                  "mid\r\n" + kEntryFirst + "\r\n" + "foot");
}

TEST_F(PageTest, PrivateOnlyDayDoesNotCountForMid) {
    Save({2004, 4, 2}, {"", "", "plans"});
    Save({2004, 4, 1}, {"one", "p1", ""});
    for (bool oldestFirst : {false, true})
        EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 3}, oldestFirst),
                  "head\r\n" + kIndexFirst + "\r\n\r\n" + kEntryFirst + "\r\nfoot");
}

TEST_F(PageTest, TitleOrPublicTextAlonePublishes) {
    Save({2004, 4, 1}, {"", "p1", ""});
    Save({2004, 4, 3}, {"three", "", ""});
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 3}, false),
              "head\r\n<a href=\"#20040403\">2004/04/03(" + kSaturday + ")three</a><br>\r\n" +
                  "<a href=\"#20040401\">2004/04/01(" + kThursday + ")</a><br>\r\n\r\n" +
                  L({"<a name=\"20040403\"></a>", "top three",
                     "bottom 2004-04-03(" + kSaturday + ")", "mid", "<a name=\"20040401\"></a>",
                     "top ", "p1<br>", "bottom 2004-04-01(" + kThursday + ")"}) +
                  "\r\nfoot");
}

TEST_F(PageTest, OnlyTheRangeIsPublished) {
    Save({2004, 3, 31}, {"before", "x", ""});
    Save({2004, 4, 1}, {"one", "p1", ""});
    Save({2004, 4, 2}, {"after", "x", ""});
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 1}, false),
              "head\r\n" + kIndexFirst + "\r\n\r\n" + kEntryFirst + "\r\nfoot");
}

// --- Anchors and placeholders ---

TEST_F(PageTest, HeadWithoutPlaceholdersGivesNoAnchors) {
    Style style = SimpleStyle();
    style.head = "head <-Index-> <-calendar >";
    UseStyle(style);
    Save({2004, 4, 1}, {"one", "p1", ""});
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 1}, false),
              "head <-Index-> <-calendar >\r\n" +
                  L({"top one", "p1<br>", "bottom 2004-04-01(" + kThursday + ")"}) + "\r\nfoot");
}

TEST_F(PageTest, CalendarAloneInTheHeadGivesAnchors) {
    Style style = SimpleStyle();
    style.head = "<-calendar->";
    UseStyle(style);
    Save({2004, 4, 3}, {"T", "", ""});
    const std::string page = Generate({2004, 4, 1}, {2004, 4, 30}, false);
    EXPECT_EQ(page, AprilCalendar(true) +
                        "\r\n<a name=\"20040403\"></a>\r\ntop T\r\nbottom "
                        "2004-04-03(" +
                        kSaturday + ")\r\n\r\nfoot");
}

TEST_F(PageTest, PlaceholdersAreReplacedOnlyWhereTheyBelong) {
    Style style = SimpleStyle();
    style.affixes = {"<-year->", "/", "/", "(", ")", "<-title->"};
    style.head = "<-index-><-year-><-title->";
    style.mid = "mid<-year-><-index->";
    style.foot = "<-calendar-><-index-><-day->";
    style.useTitle = "1";
    UseStyle(style);
    Save({2004, 4, 1}, {"<-year-><-calendar->", "p<-year->", ""});
    Save({2004, 4, 3}, {"t", "", ""});
    const std::string page = Generate({2004, 4, 1}, {2004, 4, 3}, false);
    // The title goes into DIARY_TOP before the year is replaced, so its placeholder shows
    // the year there; the index and the date-and-title line keep it as typed, and so do the
    // public text, the affixes and the other blocks.
    EXPECT_EQ(page, "<a href=\"#20040403\"><-year->2004/04/03(" + kSaturday +
                        ")t<-title-></a><br>\r\n"
                        "<a href=\"#20040401\"><-year->2004/04/01(" +
                        kThursday + ")<-year-><-calendar-><-title-></a><br>\r\n" +
                        "<-year-><-title->" + "\r\n" +
                        L({"<a name=\"20040403\"></a>", "<-year->2004/04/03(" + kSaturday + ")",
                           "t", "<-title->", "top t", "bottom 2004-04-03(" + kSaturday + ")",
                           "mid<-year-><-index->", "<a name=\"20040401\"></a>",
                           "<-year->2004/04/01(" + kThursday + ")", "<-year-><-calendar->",
                           "<-title->", "top 2004<-calendar->", "p<-year-><br>",
                           "bottom 2004-04-01(" + kThursday + ")"}) +
                        "\r\n<-calendar-><-index-><-day->");
}

// --- Style flags ---

TEST_F(PageTest, UseBodySplitsThePublicTextIntoLines) {
    Save({2004, 4, 1}, {"one", "a\r\nb\nc\rd\r\n\r\ne\r\n", ""});
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 1}, false),
              "head\r\n" + kIndexFirst + "\r\n\r\n" +
                  L({"<a name=\"20040401\"></a>", "top one", "a<br>", "b<br>", "c<br>", "d<br>",
                     "<br>", "e<br>", "bottom 2004-04-01(" + kThursday + ")"}) +
                  "\r\nfoot");
}

struct FlagCase {
    const char* name;
    const char* useTitle;
    const char* useBody;
    std::string entry;  // the entry text of 1 April 2004, title "one", public text "p1"
};

void PrintTo(const FlagCase& c, std::ostream* os) {
    *os << c.name;
}

class PageFlagTest : public PageTest, public testing::WithParamInterface<FlagCase> {};

TEST_P(PageFlagTest, ShapesTheEntry) {
    Style style = SimpleStyle();
    style.affixes = {"[", "/", "/", "(", ")", "]"};
    style.useTitle = GetParam().useTitle;
    style.useBody = GetParam().useBody;
    UseStyle(style);
    Save({2004, 4, 1}, {"one", "p1", ""});
    const std::string index = "<a href=\"#20040401\">[2004/04/01(" + kThursday + ")one]</a><br>";
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 1}, false),
              "head\r\n" + index + "\r\n\r\n" + GetParam().entry + "\r\nfoot");
}

const std::string kBottomFirst = "bottom 2004-04-01(" + kThursday + ")";

INSTANTIATE_TEST_SUITE_P(
    Flags, PageFlagTest,
    testing::Values(FlagCase{"TitleLineAndBody", "1", "1",
                             L({"<a name=\"20040401\"></a>", "[2004/04/01(" + kThursday + ")",
                                "one", "]", "top one", "p1<br>", kBottomFirst})},
                    FlagCase{"TopAndBody", "0", "1",
                             L({"<a name=\"20040401\"></a>", "top one", "p1<br>", kBottomFirst})},
                    FlagCase{"TopWithoutBody", "0", "0",
                             L({"<a name=\"20040401\"></a>", "top one", kBottomFirst})},
                    FlagCase{"OtherTitleValueGivesNeitherTitleLineNorTop", "2", "1",
                             L({"<a name=\"20040401\"></a>", "p1<br>", kBottomFirst})},
                    FlagCase{"EmptyTitleValue", "", "1",
                             L({"<a name=\"20040401\"></a>", "p1<br>", kBottomFirst})},
                    FlagCase{"TitleValueWithSpace", "1 ", "1",
                             L({"<a name=\"20040401\"></a>", "p1<br>", kBottomFirst})},
                    FlagCase{"OtherBodyValue", "0", "yes",
                             L({"<a name=\"20040401\"></a>", "top one", kBottomFirst})},
                    FlagCase{"BodyValueWithZero", "0", "01",
                             L({"<a name=\"20040401\"></a>", "top one", kBottomFirst})}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Date texts ---

struct DateCase {
    const char* name;
    Date date;
    const char* year;
    const char* month;
    const char* day;
    const char* weekday;
    tavo::DateTexts expected;
};

void PrintTo(const DateCase& c, std::ostream* os) {
    *os << c.name;
}

class FormatDateTest : public testing::TestWithParam<DateCase> {};

TEST_P(FormatDateTest, WritesTheDateByTheStyle) {
    const DateCase& c = GetParam();
    Style style;
    style.yearStyle = c.year;
    style.monthStyle = c.month;
    style.dayStyle = c.day;
    style.weekdayStyle = c.weekday;
    const tavo::DateTexts texts = tavo::FormatDate(c.date, style);
    EXPECT_EQ(texts.year, c.expected.year);
    EXPECT_EQ(texts.month, c.expected.month);
    EXPECT_EQ(texts.day, c.expected.day);
    EXPECT_EQ(texts.weekday, c.expected.weekday);
}

// 3 April 2004 is a Saturday, 4 April a Sunday.
INSTANTIATE_TEST_SUITE_P(
    Values, FormatDateTest,
    testing::Values(
        DateCase{"Default", {2004, 4, 3}, "0", "0", "0", "0", {"2004", "04", "03", kSaturday}},
        DateCase{"Short", {2004, 4, 3}, "1", "1", "1", "1", {"04", "4", "3", "sat"}},
        DateCase{"ShortEnglish", {2004, 4, 4}, "0", "2", "0", "2", {"2004", "Apr", "04", "Sunday"}},
        DateCase{"LongEnglish",
                 {2004, 9, 30},
                 "0",
                 "3",
                 "0",
                 "2",
                 {"2004", "September", "30", "Thursday"}},
        DateCase{"KanjiSunday",
                 {2004, 4, 4},
                 "0",
                 "4",
                 "0",
                 "0",
                 {"2004", "\x89K\x8c\x8e", "04", kSunday}},  // 卯月
        DateCase{"JanuaryInJapanese",
                 {2009, 1, 10},
                 "1",
                 "4",
                 "1",
                 "1",
                 {"09", "\x96r\x8c\x8e", "10", "sat"}},  // 睦月
        DateCase{"OctoberInJapanese",
                 {2004, 10, 1},
                 "0",
                 "4",
                 "0",
                 "1",
                 {"2004", "\x90_\x96\xb3\x8c\x8e", "01", "fri"}},  // 神無月
        DateCase{"DecemberInJapanese",
                 {2004, 12, 31},
                 "0",
                 "4",
                 "0",
                 "2",
                 {"2004", "\x8et\x91\x96", "31", "Friday"}},  // 師走
        DateCase{"DecemberShort", {2000, 12, 31}, "1", "2", "1", "1", {"00", "Dec", "31", "sun"}},
        DateCase{"HandMadeNine", {2004, 4, 3}, "9", "9", "9", "9", {"2004", "", "03", ""}},
        DateCase{"HandMadeMinusOne", {2004, 4, 3}, "-1", "-1", "-1", "-1", {"2004", "", "03", ""}},
        DateCase{"HandMadeEmpty", {2004, 4, 3}, "", "", "", "", {"2004", "", "03", ""}},
        DateCase{"HandMadeSpaces", {2004, 4, 3}, " 1", "1 ", "01", " 0", {"2004", "", "03", ""}},
        DateCase{
            "YearBeforeOneThousand", {999, 4, 3}, "0", "0", "0", "1", {"0999", "04", "03", "wed"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PageTest, FormatValuesShapeThePage) {
    Style style = SimpleStyle();
    style.monthStyle = "2";
    style.weekdayStyle = "2";
    style.yearStyle = "1";
    style.dayStyle = "1";
    UseStyle(style);
    Save({2004, 4, 4}, {"t", "", ""});
    EXPECT_EQ(Generate({2004, 4, 4}, {2004, 4, 4}, false),
              "head\r\n<a href=\"#20040404\">04/Apr/4(Sunday)t</a><br>\r\n\r\n" +
                  L({"<a name=\"20040404\"></a>", "top t", "bottom 04-Apr-4(Sunday)"}) +
                  "\r\nfoot");

    style.monthStyle = "9";
    style.weekdayStyle = "-1";
    UseStyle(style);
    EXPECT_EQ(Generate({2004, 4, 4}, {2004, 4, 4}, false),
              "head\r\n<a href=\"#20040404\">04//4()t</a><br>\r\n\r\n" +
                  L({"<a name=\"20040404\"></a>", "top t", "bottom 04--4()"}) + "\r\nfoot");
}

// --- Progress ---

TEST_F(PageTest, ProgressIsReportedOncePerDay) {
    Save({2004, 3, 15}, {"t", "", ""});
    std::vector<int> values;
    std::string page, error;
    ASSERT_TRUE(tavo::GeneratePage(folder_.path(), {"simple", {2004, 3, 1}, {2004, 3, 31}, false},
                                   &page, &error, [&](int percent) { values.push_back(percent); }))
        << error;
    // (i + 1) * 100 / 31, truncated, for i = 0 .. 30.
    const std::vector<int> expected = {3,  6,  9,  12, 16, 19, 22, 25, 29, 32, 35,
                                       38, 41, 45, 48, 51, 54, 58, 61, 64, 67, 70,
                                       74, 77, 80, 83, 87, 90, 93, 96, 100};
    EXPECT_EQ(values, expected);

    values.clear();
    ASSERT_TRUE(tavo::GeneratePage(folder_.path(), {"simple", {2004, 3, 1}, {2004, 3, 1}, true},
                                   &page, &error, [&](int percent) { values.push_back(percent); }))
        << error;
    EXPECT_EQ(values, std::vector<int>{100});
}

// --- Failures ---

std::vector<std::string> FolderContents(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        names.push_back(entry.path().string() + " " +
                        std::to_string(entry.is_regular_file() ? entry.file_size() : 0));
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(PageTest, MissingStyleFailsNamingTheStyleFile) {
    Save({2004, 4, 1}, {"one", "p1", ""});
    const auto before = FolderContents(folder_.path());
    std::string page = "untouched", error;
    int calls = 0;
    EXPECT_FALSE(tavo::GeneratePage(folder_.path(), {"nosuch", {2004, 4, 1}, {2004, 4, 30}, false},
                                    &page, &error, [&](int) { ++calls; }));
    EXPECT_NE(error.find("nosuch.style"), std::string::npos) << error;
    EXPECT_EQ(page, "untouched");
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(FolderContents(folder_.path()), before);
}

TEST_F(PageTest, BrokenStyleFailsNamingTheMarkerAndTheFile) {
    WriteAll(folder_.path() / "style" / "broken.style", "[STYLE]\r\n0\r\n0\r\n0\r\n0\r\n");
    std::string page = "untouched", error;
    EXPECT_FALSE(tavo::GeneratePage(folder_.path(), {"broken", {2004, 4, 1}, {2004, 4, 30}, false},
                                    &page, &error));
    EXPECT_NE(error.find("[DATE_TITLE]"), std::string::npos) << error;
    EXPECT_NE(error.find("broken.style"), std::string::npos) << error;
    EXPECT_EQ(page, "untouched");
}

TEST_F(PageTest, EntryFileWithFewerThanTwoLinesFails) {
    Save({2004, 4, 1}, {"one", "p1", ""});
    for (const char* bytes : {"", "75\r\n"}) {
        WriteAll(store_.DataFolder() / "20040410.txt", bytes);
        for (bool oldestFirst : {false, true}) {
            std::string page = "untouched", error;
            EXPECT_FALSE(tavo::GeneratePage(folder_.path(),
                                            {"simple", {2004, 4, 1}, {2004, 4, 30}, oldestFirst},
                                            &page, &error));
            EXPECT_NE(error.find("20040410.txt"), std::string::npos) << error;
            EXPECT_EQ(page, "untouched");
        }
    }
    // Outside the range it is not read.
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 1}, false),
              "head\r\n" + kIndexFirst + "\r\n\r\n" + kEntryFirst + "\r\nfoot");
}

TEST_F(PageTest, TwoLineEntryFileIsEnough) {
    // Title "t" (0x74 + 1 = 75) and public text "p" (0x70 + 1 = 71), no private line.
    WriteAll(store_.DataFolder() / "20040401.txt", "75\r\n71");
    EXPECT_EQ(Generate({2004, 4, 1}, {2004, 4, 1}, false),
              "head\r\n<a href=\"#20040401\">2004/04/01(" + kThursday + ")t</a><br>\r\n\r\n" +
                  L({"<a name=\"20040401\"></a>", "top t", "p<br>", kBottomFirst}) + "\r\nfoot");
}

TEST_F(PageTest, InvalidDatesAreRefused) {
    std::string page = "untouched", error;
    EXPECT_FALSE(tavo::GeneratePage(folder_.path(), {"simple", {2004, 2, 30}, {2004, 4, 1}, false},
                                    &page, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(page, "untouched");
}

// --- Size ---

TEST_F(PageTest, EightYearsWithAnEntryEveryThirdDay) {
    const Date first{2000, 1, 1};
    const Date last{2007, 12, 31};  // 2922 days
    const std::string publicText(1000, 'x');
    size_t entries = 0;
    for (Date date = first; date <= last; date = tavo::AddDays(date, 3)) {
        WriteAll(store_.EntryPath(tavo::EntryFileName(date)),
                 tavo::EntryFileBytes({"t", publicText, ""}));
        ++entries;
    }
    ASSERT_EQ(entries, 974u);
    Style style = SimpleStyle();
    style.head = "<-calendar->\r\n<-index->";
    UseStyle(style);
    for (bool oldestFirst : {false, true}) {
        const std::string page = Generate(first, last, oldestFirst);
        EXPECT_EQ(Count(page, ")t</a><br>"), entries);       // index lines
        EXPECT_EQ(Count(page, "<a name=\""), entries);       // anchors
        EXPECT_EQ(Count(page, "\r\nmid\r\n"), entries - 1);  // between entries
        EXPECT_EQ(Count(page, "<table class=\"cal\">"), 96u);
        EXPECT_EQ(Count(page, "<td><a href=\"#"), entries);  // linked days
        const size_t firstAt = page.find("<a name=\"20000101\">");
        const size_t lastAt = page.find("<a name=\"20071229\">");
        ASSERT_NE(firstAt, std::string::npos);
        ASSERT_NE(lastAt, std::string::npos);
        EXPECT_EQ(firstAt < lastAt, oldestFirst);
    }
}

}  // namespace
