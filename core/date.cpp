#include "date.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "cp932.h"

namespace tavo {
namespace {

std::chrono::sys_days ToSysDays(const Date& date) {
    return std::chrono::year_month_day{std::chrono::year{date.year},
                                       std::chrono::month{static_cast<unsigned>(date.month)},
                                       std::chrono::day{static_cast<unsigned>(date.day)}};
}

Date FromSysDays(std::chrono::sys_days days) {
    const std::chrono::year_month_day ymd{days};
    return Date{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

bool ParseDigits(std::string_view text, int* value) {
    if (text.empty())
        return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    *value = v;
    return true;
}

}  // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && IsLeapYear(year))
        return 29;
    return kDays[month - 1];
}

bool IsValidDate(const Date& date) {
    return date.month >= 1 && date.month <= 12 && date.day >= 1 &&
           date.day <= DaysInMonth(date.year, date.month);
}

Date AddDays(const Date& date, int days) {
    return FromSysDays(ToSysDays(date) + std::chrono::days{days});
}

Date AddMonths(const Date& date, int months) {
    // C++ division truncates toward zero and the remainder takes the dividend's sign.
    int year = date.year + months / 12;
    int month = date.month + months % 12;
    if (month < 1 || month > 12) {
        const int step = months >= 0 ? 1 : -1;
        year += step;
        month -= 12 * step;
    }
    const int day = std::min(date.day, DaysInMonth(year, month));
    return Date{year, month, day};
}

int DaysBetween(const Date& from, const Date& to) {
    return static_cast<int>((ToSysDays(to) - ToSysDays(from)).count());
}

int DayOfWeek(const Date& date) {
    return static_cast<int>(std::chrono::weekday{ToSysDays(date)}.c_encoding());
}

namespace {

std::mutex clockMutex;
std::function<LocalTime()> nowSource;
std::function<Date()> todaySource;

// The sources are called outside the lock, so that one may itself ask the clock.
template <typename Source>
Source SourceOf(const Source& source) {
    const std::lock_guard lock(clockMutex);
    return source;
}

LocalTime SystemNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // A leap second (tm_sec 60) is taken as the second before it.
    return LocalTime{Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday}, local.tm_hour,
                     local.tm_min, std::min(local.tm_sec, 59)};
}

}  // namespace

LocalTime Now() {
    if (const auto now = SourceOf(nowSource))
        return now();
    LocalTime now = SystemNow();
    if (const auto today = SourceOf(todaySource))
        now.date = today();
    return now;
}

Date Today() {
    if (const auto today = SourceOf(todaySource))
        return today();
    return Now().date;
}

void SetNowSource(std::function<LocalTime()> now) {
    const std::lock_guard lock(clockMutex);
    nowSource = std::move(now);
}

void SetTodaySource(std::function<Date()> today) {
    const std::lock_guard lock(clockMutex);
    todaySource = std::move(today);
}

LocalTime AddSeconds(const LocalTime& time, int seconds) {
    using namespace std::chrono;
    const sys_seconds moment = ToSysDays(time.date) + hours{time.hour} + minutes{time.minute} +
                               std::chrono::seconds{time.second + static_cast<long long>(seconds)};
    const sys_days day = floor<days>(moment);
    const hh_mm_ss<std::chrono::seconds> clock{moment - day};
    return LocalTime{FromSysDays(day), static_cast<int>(clock.hours().count()),
                     static_cast<int>(clock.minutes().count()),
                     static_cast<int>(clock.seconds().count())};
}

std::string FormatYyyymmdd(const Date& date) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", date.year, date.month, date.day);
    return buffer;
}

std::string FormatStamp(const LocalTime& time) {
    char clock[16];
    std::snprintf(clock, sizeof clock, "-%02d%02d%02d", time.hour, time.minute, time.second);
    return FormatYyyymmdd(time.date) + clock;
}

bool IsStamp(std::string_view text) {
    const auto digits = [](std::string_view part) {
        return std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return text.size() == 15 && digits(text.substr(0, 8)) && text[8] == '-' &&
           digits(text.substr(9));
}

std::string FormatSlashed(const Date& date) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d", date.year, date.month, date.day);
    return buffer;
}

std::optional<Date> ParseEntryName(std::string_view name, std::string* error) {
    Date date;
    if (name.size() >= 8 && ParseDigits(name.substr(0, 4), &date.year) &&
        ParseDigits(name.substr(4, 2), &date.month) && ParseDigits(name.substr(6, 2), &date.day) &&
        IsValidDate(date))
        return date;
    error->assign(QuoteBounded(name)).append(" は有効な日付ではありません");
    return std::nullopt;
}

std::optional<Date> ParseIsoDate(std::string_view text) {
    Date date;
    if (text.size() == 10 && text[4] == '-' && text[7] == '-' &&
        ParseDigits(text.substr(0, 4), &date.year) && ParseDigits(text.substr(5, 2), &date.month) &&
        ParseDigits(text.substr(8, 2), &date.day) && IsValidDate(date))
        return date;
    return std::nullopt;
}

}  // namespace tavo
