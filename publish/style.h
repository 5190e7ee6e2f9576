// Styles: named, user-editable sets of HTML template pieces and date formats, one file
// "style/<name>.style" each, from which pages are made.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tavo {

// Texts are code page 932 bytes; blocks use CR LF between lines. The four format values
// and the two flags are kept as the strings of their lines: the page generator compares
// them with "0" .. "4", and hand-made files may hold anything there.
struct Style {
    std::string yearStyle = "0";     // "0" four digits, "1" two
    std::string monthStyle = "0";    // "0" 01, "1" 1, "2" Apr, "3" April, "4" 卯月
    std::string dayStyle = "0";      // "0" 01, "1" 1
    std::string weekdayStyle = "0";  // "0" 日, "1" sun, "2" Sunday
    // Before the year, after the year, after the month, after the day, after the weekday,
    // after the title: the date-and-title line and the index lines.
    std::array<std::string, 6> affixes;
    std::string head;            // "<-calendar->" and "<-index->" are replaced here only
    std::string mid;             // between two consecutive entries
    std::string foot;            // end of the page
    std::string diaryTop;        // before each entry's body; entry placeholders replaced
    std::string diaryBottom;     // after each entry's body; entry placeholders replaced
    std::string useTitle = "0";  // "1": the date-and-title line goes before DIARY_TOP
    std::string useBody = "1";   // "1": the entry's public text goes into the page

    bool operator==(const Style&) const = default;
};

std::filesystem::path StyleFolder(const std::filesystem::path& programFolder);
// `name` is the style's name as the file system spells it (UTF-8 on Linux).
std::filesystem::path StylePath(const std::filesystem::path& programFolder, std::string_view name);

// The names of the files in the style folder whose extension is exactly ".style"
// (".STYLE" and "x.style.bak" are not styles). Unsorted; empty when there is no folder.
std::vector<std::string> ListStyles(const std::filesystem::path& programFolder);
// Whether any entry of the style folder matches "*.style" regardless of letter case.
bool AnyStyleFile(const std::filesystem::path& programFolder);

// Reads a style from its file's lines: the markers are found as the first line equal to
// each, ignoring case. A missing marker, or a missing format, affix or flag line, is an
// error that names it, never a read of the wrong lines.
bool ParseStyle(const std::vector<std::string>& lines, Style* style, std::string* error);
bool ReadStyle(const std::filesystem::path& programFolder, std::string_view name, Style* style,
               std::string* error);

// The file layout: an empty block is one empty line, and a block that ends with a line
// break gets a final empty line, so that reading it back gives the same text.
std::vector<std::string> StyleLines(const Style& style);
bool WriteStyle(const std::filesystem::path& programFolder, std::string_view name,
                const Style& style, std::string* error);

// "demo.style", the style a new diary starts with (72 lines).
std::vector<std::string> DefaultStyleLines();
bool WriteDefaultStyle(const std::filesystem::path& programFolder, std::string* error);

// "modern.style": an HTML5 page that puts the calendar and the index above the entries on a
// phone and beside them on a wide screen, in light or dark colours as the reader's system
// prefers. It uses only the placeholders every version replaces.
std::vector<std::string> ModernStyleLines();
// Writes "style/modern.style" into the style folder only when no file of that name exists:
// one that does is the user's, edited or not, and is left alone (true).
bool WriteModernStyleIfMissing(const std::filesystem::path& programFolder, std::string* error);

}  // namespace tavo
