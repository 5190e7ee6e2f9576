#include "core/navigation.h"

#include <gtest/gtest.h>

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

}  // namespace
