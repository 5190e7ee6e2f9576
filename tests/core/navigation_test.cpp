#include "core/navigation.h"

#include <gtest/gtest.h>

#include "core/cp932.h"

namespace {

using Index = std::vector<std::string>;

TEST(NavigationTest, EmptyIndexHasNoNeighbours) {
    EXPECT_FALSE(tavo::PreviousEntryName({}, "20040105"));
    EXPECT_FALSE(tavo::NextEntryName({}, "20040105"));
}

TEST(NavigationTest, FindsNeighboursWhetherOrNotTheShownDayIsListed) {
    const Index index = {"20040101", "20040105", "20040110"};
    struct Case {
        const char* key;
        std::optional<std::string> previous;
        std::optional<std::string> next;
    } cases[] = {
        {"20031231", std::nullopt, "20040101"},  // before the earliest entry
        {"20040101", std::nullopt, "20040105"},  // on the earliest entry
        {"20040103", "20040101", "20040105"},    // between two entries
        {"20040105", "20040101", "20040110"},    // the shown day is not its own neighbour
        {"20040110", "20040105", std::nullopt},  // on the latest entry
        {"20050101", "20040110", std::nullopt},  // after the latest entry
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tavo::PreviousEntryName(index, c.key), c.previous) << c.key;
        EXPECT_EQ(tavo::NextEntryName(index, c.key), c.next) << c.key;
    }
}

TEST(NavigationTest, ForeignNamesSortAfterDigitsAndAreReturnedAsTheyAre) {
    const Index index = {"20040101", "20040105", "Notes"};
    EXPECT_EQ(tavo::NextEntryName(index, "20040105"), "Notes");
    EXPECT_EQ(tavo::PreviousEntryName(index, "zzz"), "Notes");
}

TEST(NavigationTest, DaysOfAMonthIgnoreOtherMonthsAndForeignLines) {
    const Index index = {"20031231", "20040101", "20040105", "20040105", "20040131x",
                         "2004013",  "20040132", "20040201", "Notes"};
    using Dates = std::vector<tavo::Date>;
    EXPECT_EQ(tavo::EntryDatesBetween(index, {2004, 1, 1}, {2004, 1, 31}),
              (Dates{{2004, 1, 1}, {2004, 1, 5}}));
    EXPECT_EQ(tavo::EntryDatesBetween(index, {2003, 12, 1}, {2003, 12, 31}),
              (Dates{{2003, 12, 31}}));
    EXPECT_TRUE(tavo::EntryDatesBetween(index, {2004, 3, 1}, {2004, 3, 31}).empty());
}

}  // namespace

namespace {

TEST(NavigationTest, DamagedIndexLinesAreFoundAndQuotedShort) {
    const std::string long_line(3 << 20, '7');
    EXPECT_EQ(tavo::FindDamagedIndexLine({"20040105", "Notes", "\x93\xFA\x8B\x4C"}), std::nullopt);
    EXPECT_EQ(tavo::FindDamagedIndexLine({"20040105", long_line, "x\x01"}), long_line);
    EXPECT_EQ(tavo::FindDamagedIndexLine({"a/b"}), "a/b");

    struct Case {
        std::string text;
        size_t limit;
        std::string quoted;
    } cases[] = {
        {"20040105", 40, "'20040105'"},
        {long_line, 40, "'" + std::string(40, '7') + "'… (3145728 バイト)"},
        // A two-byte character is never cut in half; it is shown as UTF-8.
        {"a\x93\xFA\x8B\x4C", 4, "'a日'… (5 バイト)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tavo::QuoteBounded(c.text, c.limit), c.quoted);
}

}  // namespace
