#include "core/date.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

using tavo::Date;

struct MonthStep {
    Date from;
    int months;
    Date to;
};

void PrintTo(const MonthStep& s, std::ostream* os) {
    *os << tavo::FormatSlashed(s.from) << " + " << s.months;
}

class AddMonthsTest : public testing::TestWithParam<MonthStep> {};

TEST_P(AddMonthsTest, ClampsToTheEndOfTheTargetMonth) {
    EXPECT_EQ(tavo::AddMonths(GetParam().from, GetParam().months), GetParam().to);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, AddMonthsTest,
    testing::Values(
        MonthStep{{2004, 1, 31}, 1, {2004, 2, 29}}, MonthStep{{2005, 1, 31}, 1, {2005, 2, 28}},
        MonthStep{{2004, 3, 31}, -1, {2004, 2, 29}}, MonthStep{{2005, 3, 31}, -1, {2005, 2, 28}},
        MonthStep{{2004, 2, 29}, 1, {2004, 3, 29}},  // not 31 March
        MonthStep{{2004, 2, 29}, 12, {2005, 2, 28}}, MonthStep{{2004, 2, 29}, -12, {2003, 2, 28}},
        MonthStep{{2000, 2, 29}, 12 * 4, {2004, 2, 29}},
        MonthStep{{1900, 1, 29}, 1, {1900, 2, 28}},  // 1900 is not a leap year
        MonthStep{{2004, 12, 15}, 1, {2005, 1, 15}}, MonthStep{{2004, 1, 15}, -1, {2003, 12, 15}},
        MonthStep{{2004, 5, 31}, -13, {2003, 4, 30}}, MonthStep{{2004, 8, 31}, 17, {2006, 1, 31}},
        MonthStep{{2004, 10, 31}, 0, {2004, 10, 31}}));

TEST(DateTest, DayStepsRollOverMonthsAndYears) {
    EXPECT_EQ(tavo::AddDays({2004, 12, 31}, 1), (Date{2005, 1, 1}));
    EXPECT_EQ(tavo::AddDays({2004, 3, 1}, -1), (Date{2004, 2, 29}));
    EXPECT_EQ(tavo::AddDays({2004, 1, 3}, -7), (Date{2003, 12, 27}));
    EXPECT_EQ(tavo::AddDays({2100, 2, 28}, 1), (Date{2100, 3, 1}));
}

TEST(DateTest, FormatsAndWeekdays) {
    EXPECT_EQ(tavo::FormatYyyymmdd({2004, 1, 5}), "20040105");
    EXPECT_EQ(tavo::FormatSlashed({2004, 1, 5}), "2004/01/05");
    EXPECT_EQ(tavo::DayOfWeek({2004, 1, 5}), 1);   // Monday
    EXPECT_EQ(tavo::DayOfWeek({2026, 12, 6}), 0);  // Sunday
}

TEST(DateTest, ParsesEntryNamesAndRejectsOthers) {
    std::string error;
    const auto date = tavo::ParseEntryName("20040105", &error);
    ASSERT_TRUE(date.has_value());
    EXPECT_EQ(*date, (Date{2004, 1, 5}));

    for (const char* bad :
         {"", "2004010", "2004o105", "20041305", "20040230", "notes", "2004-1-5"}) {
        error.clear();
        EXPECT_FALSE(tavo::ParseEntryName(bad, &error).has_value()) << bad;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
}

Date SystemToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

TEST(DateTest, TodayComesFromTheSetSourceThenTheSystemClock) {
    for (const Date fixed : {Date{2026, 12, 31}, Date{2027, 1, 1}, Date{2024, 2, 29}}) {
        tavo::SetTodaySource([fixed] { return fixed; });
        EXPECT_EQ(tavo::FormatSlashed(tavo::Today()), tavo::FormatSlashed(fixed));
    }
    tavo::SetTodaySource({});
    const Date before = SystemToday();
    const Date today = tavo::Today();
    EXPECT_TRUE(before <= today && today <= SystemToday()) << tavo::FormatSlashed(today);
}

}  // namespace
