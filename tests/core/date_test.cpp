#include "core/date.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <functional>
#include <optional>

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

tavo::LocalTime SystemNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday}, local.tm_hour,
            local.tm_min, std::min(local.tm_sec, 59)};
}

int SecondOfDay(const tavo::LocalTime& t) {
    return t.hour * 3600 + t.minute * 60 + t.second;
}

std::string Text(const tavo::LocalTime& t) {
    return tavo::FormatSlashed(t.date) + " " + std::to_string(t.hour) + ":" +
           std::to_string(t.minute) + ":" + std::to_string(t.second);
}

// Each row sets the sources (an unset one is the system clock) and says which date and
// time the clock then gives; a time of day from the system lies between two readings.
TEST(DateTest, NowAndTodayComeFromTheSetSourcesThenTheSystemClock) {
    const tavo::LocalTime lastSecond{{2026, 12, 31}, 23, 59, 59};
    const Date leapDay{2024, 2, 29};
    const struct {
        std::optional<tavo::LocalTime> now;
        std::optional<Date> today;
        std::optional<tavo::LocalTime> expectedNow;  // empty: the system's time of day
        std::optional<Date> expectedDate;            // of Now(); empty: the system's
        std::optional<Date> expectedToday;           // empty: the system's
    } cases[] = {
        {lastSecond, std::nullopt, lastSecond, lastSecond.date, lastSecond.date},
        {std::nullopt, leapDay, std::nullopt, leapDay, leapDay},
        {lastSecond, leapDay, lastSecond, lastSecond.date, leapDay},
        {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        tavo::SetNowSource(c.now ? std::function([t = *c.now] { return t; }) : nullptr);
        tavo::SetTodaySource(c.today ? std::function([d = *c.today] { return d; }) : nullptr);
        const tavo::LocalTime before = SystemNow();
        const tavo::LocalTime now = tavo::Now();
        const Date today = tavo::Today();
        const tavo::LocalTime after = SystemNow();
        if (c.expectedNow) {
            EXPECT_EQ(Text(now), Text(*c.expectedNow));
        } else {
            // Unless midnight passed between the readings.
            EXPECT_TRUE(after.date != before.date || (SecondOfDay(before) <= SecondOfDay(now) &&
                                                      SecondOfDay(now) <= SecondOfDay(after)))
                << Text(now);
        }
        if (c.expectedDate)
            EXPECT_EQ(tavo::FormatSlashed(now.date), tavo::FormatSlashed(*c.expectedDate));
        else
            EXPECT_TRUE(before.date <= now.date && now.date <= after.date) << Text(now);
        if (c.expectedToday)
            EXPECT_EQ(tavo::FormatSlashed(today), tavo::FormatSlashed(*c.expectedToday));
        else
            EXPECT_TRUE(before.date <= today && today <= after.date) << tavo::FormatSlashed(today);
    }
    tavo::SetNowSource({});
    tavo::SetTodaySource({});
}

TEST(DateTest, SecondStepsRollOverMidnightMonthsAndYears) {
    const struct {
        tavo::LocalTime from;
        int seconds;
        tavo::LocalTime to;
    } steps[] = {
        {{{2026, 12, 31}, 23, 59, 59}, 1, {{2027, 1, 1}, 0, 0, 0}},
        {{{2027, 1, 1}, 0, 0, 0}, -1, {{2026, 12, 31}, 23, 59, 59}},
        {{{2024, 2, 28}, 23, 59, 30}, 45, {{2024, 2, 29}, 0, 0, 15}},
        {{{2024, 1, 5}, 12, 0, 0}, 0, {{2024, 1, 5}, 12, 0, 0}},
        {{{2024, 1, 5}, 12, 0, 0}, 86400 * 2 + 3661, {{2024, 1, 7}, 13, 1, 1}},
    };
    for (const auto& step : steps)
        EXPECT_EQ(Text(tavo::AddSeconds(step.from, step.seconds)), Text(step.to))
            << Text(step.from) << " + " << step.seconds;
}

}  // namespace
