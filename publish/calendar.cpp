#include "calendar.h"

#include <cstdio>
#include <vector>

#include "core/cp932.h"

namespace tavo {
namespace {

constexpr char kCrLf[] = "\r\n";
constexpr char kBlankCell[] = "<td>&nbsp;</td>\r\n";

// The fixed part of every table: its start, the heading row without its text, and the
// weekday row, always in kanji whatever the style writes.
struct CalendarTexts {
    std::string year, month, weekdayRow;
};

const CalendarTexts& Texts() {
    static const CalendarTexts texts = [] {
        CalendarTexts t;
        t.year = EncodeCp932(u"年").bytes;
        t.month = EncodeCp932(u"月").bytes;
        t.weekdayRow = "<tr class=\"cal2\">\r\n";
        for (const char16_t* name : {u"日", u"月", u"火", u"水", u"木", u"金", u"土"})
            t.weekdayRow += "<td>" + EncodeCp932(name).bytes + "</td>\r\n";
        t.weekdayRow += "</tr>\r\n";
        return t;
    }();
    return texts;
}

std::string FourDigitYear(int year) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d", year);
    return text;
}

// Linked days are those the page publishes: a file with a title or a public text.
bool IsPublished(const EntryStore& store, const Date& date, bool* published, std::string* error) {
    Entry entry;
    switch (store.ReadEntry(EntryFileName(date), &entry, error, EntryParts::PublicPart)) {
        case EntryStore::ReadStatus::Failed:
            return false;
        case EntryStore::ReadStatus::Missing:
            *published = false;
            return true;
        case EntryStore::ReadStatus::Found:
            *published = !entry.title.empty() || !entry.publicText.empty();
            return true;
    }
    return false;
}

bool MonthTable(const EntryStore& store, int year, int month, const Date& start, const Date& end,
                std::string* table, std::string* error) {
    const CalendarTexts& texts = Texts();
    std::string& t = *table;
    t = "<table class=\"cal\">\r\n<tr class=\"cal1\"><td colspan=7 class=\"cal1\">";
    t += FourDigitYear(year) + texts.year + std::to_string(month) + texts.month;
    t += "</td></tr>\r\n";
    t += texts.weekdayRow;

    const int firstWeekday = DayOfWeek(Date{year, month, 1});
    if (firstWeekday != 0) {
        t += "<tr class=\"cal3\">\r\n";
        for (int k = 0; k < firstWeekday; ++k)
            t += kBlankCell;
    }
    const int days = DaysInMonth(year, month);
    int rows = 0;
    for (int d = 1; d <= days; ++d) {
        const Date date{year, month, d};
        const int weekday = (firstWeekday + d - 1) % 7;
        if (weekday == 0) {
            // A month that does not begin on a Sunday has two "cal3" rows: the partial
            // first week and the first full one.
            t += "<tr class=\"cal" + std::to_string(rows + 3) + "\">\r\n";
            ++rows;
        }
        bool linked = false;
        if (start <= date && date <= end && !IsPublished(store, date, &linked, error))
            return false;
        const std::string number = std::to_string(d);
        if (linked)
            t += "<td><a href=\"#" + FormatYyyymmdd(date) + "\">" + number + "</a></td>\r\n";
        else
            t += "<td>" + number + "</td>\r\n";
        if (weekday == 6)
            t += "</tr>\r\n";
    }
    // The weekday of the day after the month's last day.
    const int nextWeekday = (firstWeekday + days) % 7;
    if (nextWeekday == 0) {
        t += "</table>";
    } else {
        for (int m = 7 - nextWeekday; m > 0; --m)
            t += kBlankCell;
        t += "</tr></table>";
    }
    return true;
}

}  // namespace

bool BuildCalendar(const EntryStore& store, const Date& start, const Date& end, bool oldestFirst,
                   std::string* calendar, std::string* error) {
    if (!IsValidDate(start) || !IsValidDate(end)) {
        *error = "カレンダーの日付が正しくありません: " + FormatSlashed(start) + " - " +
                 FormatSlashed(end);
        return false;
    }
    std::vector<std::string> tables;
    for (Date month{start.year, start.month, 1};
         month.year < end.year || (month.year == end.year && month.month <= end.month);
         month = AddMonths(month, 1)) {
        std::string table;
        if (!MonthTable(store, month.year, month.month, start, end, &table, error))
            return false;
        tables.push_back(std::move(table));
    }

    size_t size = 0;
    for (const auto& table : tables)
        size += table.size() + 2;
    std::string result;
    result.reserve(size);
    if (oldestFirst) {
        for (const auto& table : tables) {
            result += table;
            result += kCrLf;
        }
    } else {
        // Each month went in front of the ones before it, with its line break added at the
        // very end: the tables stand together, newest first, and the breaks collect after.
        for (auto it = tables.rbegin(); it != tables.rend(); ++it)
            result += *it;
        for (size_t i = 0; i < tables.size(); ++i)
            result += kCrLf;
    }
    *calendar = std::move(result);
    return true;
}

}  // namespace tavo
