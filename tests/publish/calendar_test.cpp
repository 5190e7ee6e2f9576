#include "publish/calendar.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "core/entry_store.h"
#include "core/temp_folder.h"
#include "expected_html.h"

namespace {

using tavo::Date;
using tavo::Entry;

using expected::kGatsu;
using expected::kNen;
using expected::L;
using expected::TableStart;

// April 2004 begins on a Thursday and ends on a Friday; the 10th is linked when `linked`.
std::string April2004(bool linked) {
    return expected::April2004(linked ? 10 : 0);
}

class CalendarTest : public testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directory(store_.DataFolder()); }

    void Save(const Date& date, const Entry& entry) {
        std::string error;
        ASSERT_TRUE(store_.SaveEntry(tavo::EntryFileName(date), entry, &error)) << error;
    }
    void SaveTitled(const Date& date) { Save(date, {"t", "", ""}); }

    std::string Build(const Date& start, const Date& end, bool oldestFirst) {
        std::string calendar, error;
        EXPECT_TRUE(tavo::BuildCalendar(store_, start, end, oldestFirst, &calendar, &error))
            << error;
        return calendar;
    }

    TempFolder folder_;
    tavo::EntryStore store_{folder_.path()};
};

TEST_F(CalendarTest, April2004WithAnEntryOnTheTenth) {
    Save({2004, 4, 10}, {"title", "", ""});
    const std::string expected = April2004(true) + "\r\n";
    EXPECT_EQ(Build({2004, 4, 1}, {2004, 4, 30}, false), expected);
    EXPECT_EQ(Build({2004, 4, 1}, {2004, 4, 30}, true), expected);
}

TEST_F(CalendarTest, APublicTextAloneLinksTheDay) {
    Save({2004, 4, 10}, {"", "text", ""});
    EXPECT_EQ(Build({2004, 4, 1}, {2004, 4, 30}, false), April2004(true) + "\r\n");
}

TEST_F(CalendarTest, APrivateTextAloneDoesNotLinkTheDay) {
    Save({2004, 4, 10}, {"", "", "plans"});
    EXPECT_EQ(Build({2004, 4, 1}, {2004, 4, 30}, false), April2004(false) + "\r\n");
}

TEST_F(CalendarTest, February2009BeginsOnSundayAndEndsOnSaturday) {
    SaveTitled({2009, 2, 1});
    SaveTitled({2009, 2, 28});
    const std::string expected = TableStart("2009" + kNen + "2" + kGatsu) +
                                 L({"<tr class=\"cal3\">",
                                    "<td><a href=\"#20090201\">1</a></td>",
                                    "<td>2</td>",
                                    "<td>3</td>",
                                    "<td>4</td>",
                                    "<td>5</td>",
                                    "<td>6</td>",
                                    "<td>7</td>",
                                    "</tr>",
                                    "<tr class=\"cal4\">",
                                    "<td>8</td>",
                                    "<td>9</td>",
                                    "<td>10</td>",
                                    "<td>11</td>",
                                    "<td>12</td>",
                                    "<td>13</td>",
                                    "<td>14</td>",
                                    "</tr>",
                                    "<tr class=\"cal5\">",
                                    "<td>15</td>",
                                    "<td>16</td>",
                                    "<td>17</td>",
                                    "<td>18</td>",
                                    "<td>19</td>",
                                    "<td>20</td>",
                                    "<td>21</td>",
                                    "</tr>",
                                    "<tr class=\"cal6\">",
                                    "<td>22</td>",
                                    "<td>23</td>",
                                    "<td>24</td>",
                                    "<td>25</td>",
                                    "<td>26</td>",
                                    "<td>27</td>",
                                    "<td><a href=\"#20090228\">28</a></td>",
                                    "</tr>"}) +
                                 "</table>\r\n";
    EXPECT_EQ(Build({2009, 2, 1}, {2009, 2, 28}, false), expected);
}

class CalendarRangeTest : public CalendarTest {
protected:
    void SetUp() override {
        CalendarTest::SetUp();
        for (const Date& date : {Date{2004, 3, 19}, Date{2004, 3, 20}, Date{2004, 4, 10},
                                 Date{2004, 5, 10}, Date{2004, 5, 11}})
            SaveTitled(date);
    }

    // March 2004 begins on a Monday and ends on a Wednesday; the 19th lies before the
    // range and stays plain although it has an entry.
    static std::string March() {
        return TableStart("2004" + kNen + "3" + kGatsu) +
               L({"<tr class=\"cal3\">",
                  "<td>&nbsp;</td>",
                  "<td>1</td>",
                  "<td>2</td>",
                  "<td>3</td>",
                  "<td>4</td>",
                  "<td>5</td>",
                  "<td>6</td>",
                  "</tr>",
                  "<tr class=\"cal3\">",
                  "<td>7</td>",
                  "<td>8</td>",
                  "<td>9</td>",
                  "<td>10</td>",
                  "<td>11</td>",
                  "<td>12</td>",
                  "<td>13</td>",
                  "</tr>",
                  "<tr class=\"cal4\">",
                  "<td>14</td>",
                  "<td>15</td>",
                  "<td>16</td>",
                  "<td>17</td>",
                  "<td>18</td>",
                  "<td>19</td>",
                  "<td><a href=\"#20040320\">20</a></td>",
                  "</tr>",
                  "<tr class=\"cal5\">",
                  "<td>21</td>",
                  "<td>22</td>",
                  "<td>23</td>",
                  "<td>24</td>",
                  "<td>25</td>",
                  "<td>26</td>",
                  "<td>27</td>",
                  "</tr>",
                  "<tr class=\"cal6\">",
                  "<td>28</td>",
                  "<td>29</td>",
                  "<td>30</td>",
                  "<td>31</td>",
                  "<td>&nbsp;</td>",
                  "<td>&nbsp;</td>",
                  "<td>&nbsp;</td>"}) +
               "</tr></table>";
    }

    // May 2004 begins on a Saturday, so its sixth row has the class cal7; it ends on a
    // Monday. The 11th lies after the range.
    static std::string May() {
        return TableStart("2004" + kNen + "5" + kGatsu) +
               L({"<tr class=\"cal3\">", "<td>&nbsp;</td>", "<td>&nbsp;</td>",
                  "<td>&nbsp;</td>",     "<td>&nbsp;</td>", "<td>&nbsp;</td>",
                  "<td>&nbsp;</td>",     "<td>1</td>",      "</tr>",
                  "<tr class=\"cal3\">", "<td>2</td>",      "<td>3</td>",
                  "<td>4</td>",          "<td>5</td>",      "<td>6</td>",
                  "<td>7</td>",          "<td>8</td>",      "</tr>",
                  "<tr class=\"cal4\">", "<td>9</td>",      "<td><a href=\"#20040510\">10</a></td>",
                  "<td>11</td>",         "<td>12</td>",     "<td>13</td>",
                  "<td>14</td>",         "<td>15</td>",     "</tr>",
                  "<tr class=\"cal5\">", "<td>16</td>",     "<td>17</td>",
                  "<td>18</td>",         "<td>19</td>",     "<td>20</td>",
                  "<td>21</td>",         "<td>22</td>",     "</tr>",
                  "<tr class=\"cal6\">", "<td>23</td>",     "<td>24</td>",
                  "<td>25</td>",         "<td>26</td>",     "<td>27</td>",
                  "<td>28</td>",         "<td>29</td>",     "</tr>",
                  "<tr class=\"cal7\">", "<td>30</td>",     "<td>31</td>",
                  "<td>&nbsp;</td>",     "<td>&nbsp;</td>", "<td>&nbsp;</td>",
                  "<td>&nbsp;</td>",     "<td>&nbsp;</td>"}) +
               "</tr></table>";
    }
};

TEST_F(CalendarRangeTest, OldestFirstEachTableHasItsOwnLineBreak) {
    EXPECT_EQ(Build({2004, 3, 20}, {2004, 5, 10}, true),
              March() + "\r\n" + April2004(true) + "\r\n" + May() + "\r\n");
}

TEST_F(CalendarRangeTest, NewestFirstTheLineBreaksCollectAtTheEnd) {
    EXPECT_EQ(Build({2004, 3, 20}, {2004, 5, 10}, false),
              May() + April2004(true) + March() + "\r\n\r\n\r\n");
}

TEST_F(CalendarTest, EndBeforeStartInTheSameMonthGivesTheTableWithoutLinks) {
    for (int day : {5, 10, 20})
        SaveTitled({2004, 4, day});
    EXPECT_EQ(Build({2004, 4, 20}, {2004, 4, 5}, false), April2004(false) + "\r\n");
}

TEST_F(CalendarTest, EndInAnEarlierMonthGivesNothing) {
    SaveTitled({2004, 4, 30});
    std::string calendar = "old", error;
    EXPECT_TRUE(tavo::BuildCalendar(store_, {2004, 5, 1}, {2004, 4, 30}, false, &calendar, &error));
    EXPECT_EQ(calendar, "");
    EXPECT_TRUE(tavo::BuildCalendar(store_, {2005, 1, 1}, {2004, 12, 31}, true, &calendar, &error));
    EXPECT_EQ(calendar, "");
}

TEST_F(CalendarTest, MonthsAcrossAYearEnd) {
    const std::string calendar = Build({2003, 12, 31}, {2004, 1, 1}, true);
    const std::string december = "2003" + kNen + "12" + kGatsu;
    const std::string january = "2004" + kNen + "1" + kGatsu;
    ASSERT_NE(calendar.find(december), std::string::npos);
    ASSERT_NE(calendar.find(january), std::string::npos);
    EXPECT_LT(calendar.find(december), calendar.find(january));
    EXPECT_EQ(calendar.find("<table"), 0u);
    // January 2004 ends on a Saturday.
    EXPECT_TRUE(calendar.ends_with("</tr>\r\n</table>\r\n")) << calendar;
}

TEST_F(CalendarTest, AnEntryFileWithOneLineInTheRangeFails) {
    WriteAll(store_.DataFolder() / "20040410.txt", "7473\r\n");
    std::string calendar = "old", error;
    EXPECT_FALSE(
        tavo::BuildCalendar(store_, {2004, 4, 1}, {2004, 4, 30}, false, &calendar, &error));
    EXPECT_NE(error.find("20040410.txt"), std::string::npos) << error;
    EXPECT_EQ(calendar, "old");
}

TEST_F(CalendarTest, AnEntryFileWithOneLineOutsideTheRangeIsNotRead) {
    WriteAll(store_.DataFolder() / "20040410.txt", "7473\r\n");
    EXPECT_EQ(Build({2004, 4, 11}, {2004, 4, 30}, false), April2004(false) + "\r\n");
}

TEST_F(CalendarTest, AnEmptyEntryFileFails) {
    WriteAll(store_.DataFolder() / "20040402.txt", "");
    std::string calendar, error;
    EXPECT_FALSE(tavo::BuildCalendar(store_, {2004, 4, 1}, {2004, 4, 30}, true, &calendar, &error));
    EXPECT_NE(error.find("20040402.txt"), std::string::npos) << error;
}

TEST_F(CalendarTest, InvalidDatesAreRefused) {
    std::string calendar, error;
    EXPECT_FALSE(
        tavo::BuildCalendar(store_, {2004, 13, 1}, {2004, 4, 30}, true, &calendar, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(tavo::BuildCalendar(store_, {2004, 4, 1}, {2004, 2, 30}, true, &calendar, &error));
}

}  // namespace
