// Calendar dates as the diary uses them: one entry per day, named "yyyymmdd".
#pragma once

#include <compare>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tavo {

struct Date {
    int year = 1;
    int month = 1;  // 1..12
    int day = 1;    // 1..DaysInMonth

    auto operator<=>(const Date&) const = default;
};

// The days the program's date pickers offer: entry files are named by four-digit years.
inline constexpr Date kFirstPickableDate{1601, 1, 1};
inline constexpr Date kLastPickableDate{9999, 12, 31};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool IsValidDate(const Date& date);

Date AddDays(const Date& date, int days);
// Days from `from` to `to`; negative when `to` comes first.
int DaysBetween(const Date& from, const Date& to);
// Month and year steps: the day is clamped to the end of the target month, so a month
// step never skips a month (31 January + 1 month = the last day of February).
Date AddMonths(const Date& date, int months);

// 0 = Sunday .. 6 = Saturday.
int DayOfWeek(const Date& date);

// A moment of the local clock, to the second.
struct LocalTime {
    Date date;
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59

    auto operator<=>(const LocalTime&) const = default;
};

// Every "today" and "now" of the program comes from this one clock, so that what depends
// on the day or the time can be checked on any day at any time.
//
// Now() is the local time of the system clock unless a now source has been set; a today
// source alone sets its date and leaves the time of day running. Today() is the today
// source's date when one is set, else Now().date.
LocalTime Now();
Date Today();
// Make Now() and Today() return what the functions return; an empty function goes back to
// the system clock. Process-wide, as the windows ask for today in many places.
void SetNowSource(std::function<LocalTime()> now);
void SetTodaySource(std::function<Date()> today);

// `time` moved by `seconds` (negative: back), across midnight, months and years.
LocalTime AddSeconds(const LocalTime& time, int seconds);

// "yyyymmdd"; the year is written with at least four digits.
std::string FormatYyyymmdd(const Date& date);
// "yyyymmdd-hhmmss", naming the files made at a moment (backups, versions set aside).
std::string FormatStamp(const LocalTime& time);
// True for text of that form.
bool IsStamp(std::string_view text);
// "yyyy/mm/dd", the program's short date form whatever the locale's separator.
std::string FormatSlashed(const Date& date);

// Reads a date back from an entry name ("yyyymmdd"): year from characters 1-4, month from
// 5-6, day from 7-8. Fails, with an error text naming the name, when it is not a date.
std::optional<Date> ParseEntryName(std::string_view name, std::string* error);
// Reads a date typed on a command line: exactly "YYYY-MM-DD", a day of the calendar.
std::optional<Date> ParseIsoDate(std::string_view text);

}  // namespace tavo
