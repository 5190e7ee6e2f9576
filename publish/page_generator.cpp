#include "page_generator.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "calendar.h"
#include "core/cp932.h"
#include "core/entry_store.h"
#include "core/text_file.h"
#include "replace.h"
#include "style.h"

namespace tavo {
namespace {

constexpr std::string_view kCrLf = "\r\n";

struct NameTables {
    std::array<std::string, 7> kanjiWeekdays;
    std::array<std::string, 12> japaneseMonths;
};

const NameTables& Names() {
    static const NameTables names = [] {
        NameTables n;
        const char16_t* const weekdays[] = {u"日", u"月", u"火", u"水", u"木", u"金", u"土"};
        for (size_t i = 0; i < n.kanjiWeekdays.size(); ++i)
            n.kanjiWeekdays[i] = EncodeCp932(weekdays[i]).bytes;
        const char16_t* const months[] = {u"睦月", u"如月", u"弥生", u"卯月",   u"皐月", u"水無月",
                                          u"文月", u"葉月", u"長月", u"神無月", u"霜月", u"師走"};
        for (size_t i = 0; i < n.japaneseMonths.size(); ++i)
            n.japaneseMonths[i] = EncodeCp932(months[i]).bytes;
        return n;
    }();
    return names;
}

constexpr std::array<const char*, 7> kShortWeekdays = {"sun", "mon", "tue", "wed",
                                                       "thu", "fri", "sat"};
constexpr std::array<const char*, 7> kLongWeekdays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                      "Thursday", "Friday", "Saturday"};
constexpr std::array<const char*, 12> kShortMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 12> kLongMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

std::string TwoDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

std::string ReplaceEntryPlaceholders(const std::string& block, const std::string& title,
                                     const DateTexts& texts) {
    // The title goes in first, so a placeholder typed into a title is filled in here too.
    std::string text = ReplaceAll(block, "<-title->", title);
    text = ReplaceAll(text, "<-year->", texts.year);
    text = ReplaceAll(text, "<-day->", texts.day);
    text = ReplaceAll(text, "<-month->", texts.month);
    return ReplaceAll(text, "<-week->", texts.weekday);
}

std::string DateLine(const std::array<std::string, 6>& a, const DateTexts& texts) {
    return a[0] + texts.year + a[1] + texts.month + a[2] + texts.day + a[3] + texts.weekday + a[4];
}

std::string Join(const std::vector<std::string>& pieces, bool reversed, std::string_view after,
                 size_t trailingBreaks) {
    size_t size = trailingBreaks * kCrLf.size();
    for (const auto& piece : pieces)
        size += piece.size() + after.size();
    std::string text;
    text.reserve(size);
    const auto add = [&](const std::string& piece) {
        text += piece;
        text += after;
    };
    if (reversed) {
        for (auto it = pieces.rbegin(); it != pieces.rend(); ++it)
            add(*it);
    } else {
        for (const auto& piece : pieces)
            add(piece);
    }
    for (size_t i = 0; i < trailingBreaks; ++i)
        text += kCrLf;
    return text;
}

}  // namespace

DateTexts FormatDate(const Date& date, const Style& style) {
    DateTexts texts;
    if (style.yearStyle == "1") {
        texts.year = TwoDigits((date.year % 100 + 100) % 100);
    } else {
        char year[16];
        std::snprintf(year, sizeof year, "%04d", date.year);
        texts.year = year;
    }
    texts.day = style.dayStyle == "1" ? std::to_string(date.day) : TwoDigits(date.day);

    // Values other than the listed ones (hand-made files) give empty names, never an error.
    const size_t weekday = static_cast<size_t>(DayOfWeek(date));
    if (style.weekdayStyle == "0")
        texts.weekday = Names().kanjiWeekdays[weekday];
    else if (style.weekdayStyle == "1")
        texts.weekday = kShortWeekdays[weekday];
    else if (style.weekdayStyle == "2")
        texts.weekday = kLongWeekdays[weekday];

    const size_t month = static_cast<size_t>(date.month - 1);
    if (style.monthStyle == "0")
        texts.month = TwoDigits(date.month);
    else if (style.monthStyle == "1")
        texts.month = std::to_string(date.month);
    else if (style.monthStyle == "2")
        texts.month = kShortMonths[month];
    else if (style.monthStyle == "3")
        texts.month = kLongMonths[month];
    else if (style.monthStyle == "4")
        texts.month = Names().japaneseMonths[month];
    return texts;
}

bool GeneratePage(const std::filesystem::path& programFolder, const PageRequest& request,
                  std::string* page, std::string* error, const PageProgress& progress) {
    if (!IsValidDate(request.start) || !IsValidDate(request.end)) {
        *error = "出力する日付が正しくありません: " + FormatSlashed(request.start) + " - " +
                 FormatSlashed(request.end);
        return false;
    }
    Style style;
    if (!ReadStyle(programFolder, request.styleName, &style, error))
        return false;
    const EntryStore store(programFolder);
    const bool oldestFirst = request.oldestFirst;

    // Anchors are only worth writing when the head links to them.
    const bool anchors = style.head.find("<-calendar->") != std::string::npos ||
                         style.head.find("<-index->") != std::string::npos;

    // The range is walked from the newest day back; oldest first, every piece belongs in
    // front of the ones before it, so the pieces are kept in walking order and joined in
    // reverse at the end rather than prepended one by one.
    std::vector<std::string> indexLines;
    std::vector<std::string> entries;
    const std::int64_t n = DaysBetween(request.start, request.end);
    for (std::int64_t i = 0; i <= n; ++i) {
        if (progress)
            progress(static_cast<int>((i + 1) * 100 / (n + 1)));
        const Date date = AddDays(request.end, static_cast<int>(-i));
        Entry day;
        switch (store.ReadEntry(EntryFileName(date), &day, error, EntryParts::PublicPart)) {
            case EntryStore::ReadStatus::Failed:
                return false;
            case EntryStore::ReadStatus::Missing:
                continue;
            case EntryStore::ReadStatus::Found:
                break;
        }
        const std::string& title = day.title;
        const std::string& publicText = day.publicText;
        // A day that holds only a private text is not published.
        if (title.empty() && publicText.empty())
            continue;

        const DateTexts texts = FormatDate(date, style);
        const std::string key = FormatYyyymmdd(date);
        const auto& a = style.affixes;
        indexLines.push_back("<a href=\"#" + key + "\">" + DateLine(a, texts) + title + a[5] +
                             "</a><br>");

        const bool afterAnother = !entries.empty();
        std::string entry;
        if (!oldestFirst && afterAnother) {
            entry += style.mid;
            entry += kCrLf;
        }
        if (anchors) {
            entry += "<a name=\"" + key + "\"></a>";
            entry += kCrLf;
        }
        if (style.useTitle == "1") {
            entry += DateLine(a, texts);
            entry += kCrLf;
            entry += title;
            entry += kCrLf;
            entry += a[5];
            entry += kCrLf;
        }
        if (style.useTitle == "1" || style.useTitle == "0") {
            entry += ReplaceEntryPlaceholders(style.diaryTop, title, texts);
            entry += kCrLf;
        }
        if (style.useBody == "1") {
            for (const std::string& line : SplitLines(publicText)) {
                entry += line;
                entry += "<br>";
                entry += kCrLf;
            }
        }
        entry += ReplaceEntryPlaceholders(style.diaryBottom, title, texts);
        entry += kCrLf;
        if (oldestFirst && afterAnother) {
            entry += style.mid;
            entry += kCrLf;
        }
        entries.push_back(std::move(entry));
    }

    std::string calendar;
    if (!BuildCalendar(store, request.start, request.end, oldestFirst, &calendar, error))
        return false;
    // Oldest first, each index line went in front with its line break added at the very
    // end, so the lines stand together and the breaks collect after them.
    const std::string index = oldestFirst ? Join(indexLines, true, "", indexLines.size())
                                          : Join(indexLines, false, kCrLf, 0);
    std::string head = ReplaceAll(style.head, "<-calendar->", calendar);
    head = ReplaceAll(head, "<-index->", index);

    const std::string body = Join(entries, oldestFirst, "", 0);
    std::string result;
    result.reserve(head.size() + body.size() + style.foot.size() + 4);
    result += head;
    result += kCrLf;
    result += body;
    result += kCrLf;
    result += style.foot;
    *page = std::move(result);
    return true;
}

}  // namespace tavo
