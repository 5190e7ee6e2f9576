#include "style.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "core/cp932.h"
#include "core/product.h"
#include "core/text_file.h"

namespace tavo {
namespace {

constexpr std::string_view kStyleExtension = ".style";

constexpr char kStyleMarker[] = "[STYLE]";
constexpr char kDateTitleMarker[] = "[DATE_TITLE]";
constexpr char kHeadMarker[] = "[HEAD]";
constexpr char kMidMarker[] = "[MID]";
constexpr char kFootMarker[] = "[FOOT]";
constexpr char kDiaryTopMarker[] = "[DIARY_TOP]";
constexpr char kDiaryBottomMarker[] = "[DIARY_BOTTOM]";
constexpr char kUseTitleMarker[] = "[USE_TITLE]";
constexpr char kUseDiaryMarker[] = "[USE_DIARY]";

// Markers are plain ASCII, so comparing bytes with ASCII case folding is exact for code
// page 932 lines too: a lead byte is never an ASCII letter and never equals a marker byte.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool EndsWith(std::string_view text, std::string_view suffix, bool ignoreCase) {
    if (text.size() < suffix.size())
        return false;
    const std::string_view tail = text.substr(text.size() - suffix.size());
    return ignoreCase ? EqualsIgnoringAsciiCase(tail, suffix) : tail == suffix;
}

// The first line equal to the marker, or false with an error naming it.
bool FindMarker(const std::vector<std::string>& lines, const char* marker, size_t* at,
                std::string* error) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (EqualsIgnoringAsciiCase(lines[i], marker)) {
            *at = i;
            return true;
        }
    }
    *error = std::string("スタイルファイルに \"") + marker + "\" の行がありません";
    return false;
}

// The `count` lines after a marker; a file cut short is an error rather than a read past
// its end.
bool LinesAfter(const std::vector<std::string>& lines, size_t marker, size_t count,
                const char* markerText, const char* what, std::string* const* targets,
                std::string* error) {
    const size_t available = lines.size() - marker - 1;
    if (available < count) {
        *error = std::string("スタイルファイルの \"") + markerText + "\" の後に" + what +
                 "の行が足りません (" + std::to_string(count) + " 行必要なところ " +
                 std::to_string(available) + " 行)";
        return false;
    }
    for (size_t i = 0; i < count; ++i)
        *targets[i] = lines[marker + 1 + i];
    return true;
}

// The lines strictly between two markers, joined with CR LF and without a final break.
// A following marker found before this one (a marker-like line typed into an earlier
// block) leaves the block empty.
std::string BlockBetween(const std::vector<std::string>& lines, size_t marker, size_t next) {
    std::string block;
    for (size_t i = marker + 1; i < next; ++i) {
        if (i > marker + 1)
            block += "\r\n";
        block += lines[i];
    }
    return block;
}

void AppendBlockLines(std::string_view block, std::vector<std::string>* lines) {
    if (block.empty()) {
        lines->emplace_back();
        return;
    }
    std::vector<std::string> blockLines = SplitLines(block);
    lines->insert(lines->end(), std::make_move_iterator(blockLines.begin()),
                  std::make_move_iterator(blockLines.end()));
    // SplitLines drops a final break; the empty line brings it back on reading.
    if (block.back() == '\r' || block.back() == '\n')
        lines->emplace_back();
}

std::string Cp932(std::u16string_view text) {
    return EncodeCp932(text).bytes;
}

}  // namespace

std::filesystem::path StyleFolder(const std::filesystem::path& programFolder) {
    return programFolder / "style";
}

std::filesystem::path StylePath(const std::filesystem::path& programFolder, std::string_view name) {
    // Appended as text, not joined as a path: a name starting with "/" must not replace
    // the folder.
    std::filesystem::path path = StyleFolder(programFolder);
    path += "/";
    path += std::string(name) + std::string(kStyleExtension);
    return path;
}

std::vector<std::string> ListStyles(const std::filesystem::path& programFolder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(StyleFolder(programFolder), ec), end;
         !ec && it != end; it.increment(ec)) {
        // The extension runs from the last dot, so "a.style.bak" and "a.STYLE" are not
        // styles while "a.b.style" is the style "a.b".
        const std::string fileName = it->path().filename().string();
        if (EndsWith(fileName, kStyleExtension, false))
            names.push_back(fileName.substr(0, fileName.size() - kStyleExtension.size()));
    }
    return names;
}

bool AnyStyleFile(const std::filesystem::path& programFolder) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(StyleFolder(programFolder), ec), end;
         !ec && it != end; it.increment(ec)) {
        if (EndsWith(it->path().filename().string(), kStyleExtension, true))
            return true;
    }
    return false;
}

bool ParseStyle(const std::vector<std::string>& lines, Style* style, std::string* error) {
    // Every marker is needed: a missing one would make the values come from the wrong lines.
    size_t styleAt = 0, dateTitleAt = 0, headAt = 0, midAt = 0, footAt = 0, topAt = 0, bottomAt = 0,
           useTitleAt = 0, useDiaryAt = 0;
    if (!FindMarker(lines, kStyleMarker, &styleAt, error) ||
        !FindMarker(lines, kDateTitleMarker, &dateTitleAt, error) ||
        !FindMarker(lines, kHeadMarker, &headAt, error) ||
        !FindMarker(lines, kMidMarker, &midAt, error) ||
        !FindMarker(lines, kFootMarker, &footAt, error) ||
        !FindMarker(lines, kDiaryTopMarker, &topAt, error) ||
        !FindMarker(lines, kDiaryBottomMarker, &bottomAt, error) ||
        !FindMarker(lines, kUseTitleMarker, &useTitleAt, error) ||
        !FindMarker(lines, kUseDiaryMarker, &useDiaryAt, error))
        return false;

    Style read;
    std::string* const formats[] = {&read.yearStyle, &read.monthStyle, &read.dayStyle,
                                    &read.weekdayStyle};
    std::string* const affixes[] = {&read.affixes[0], &read.affixes[1], &read.affixes[2],
                                    &read.affixes[3], &read.affixes[4], &read.affixes[5]};
    std::string* const useTitle[] = {&read.useTitle};
    std::string* const useBody[] = {&read.useBody};
    if (!LinesAfter(lines, styleAt, 4, kStyleMarker, "書式", formats, error) ||
        !LinesAfter(lines, dateTitleAt, 6, kDateTitleMarker, "日付とタイトルの文字列", affixes,
                    error) ||
        !LinesAfter(lines, useTitleAt, 1, kUseTitleMarker, "設定値", useTitle, error) ||
        !LinesAfter(lines, useDiaryAt, 1, kUseDiaryMarker, "設定値", useBody, error))
        return false;

    read.head = BlockBetween(lines, headAt, midAt);
    read.mid = BlockBetween(lines, midAt, footAt);
    read.foot = BlockBetween(lines, footAt, topAt);
    read.diaryTop = BlockBetween(lines, topAt, bottomAt);
    read.diaryBottom = BlockBetween(lines, bottomAt, useTitleAt);
    *style = std::move(read);
    return true;
}

bool ReadStyle(const std::filesystem::path& programFolder, std::string_view name, Style* style,
               std::string* error) {
    const std::filesystem::path path = StylePath(programFolder, name);
    std::vector<std::string> lines;
    if (!ReadLines(path, &lines, error))
        return false;
    if (!ParseStyle(lines, style, error)) {
        *error += ": \"" + path.string() + "\"";
        return false;
    }
    return true;
}

std::vector<std::string> StyleLines(const Style& style) {
    std::vector<std::string> lines = {kStyleMarker,   style.yearStyle,    style.monthStyle,
                                      style.dayStyle, style.weekdayStyle, kDateTitleMarker};
    lines.insert(lines.end(), style.affixes.begin(), style.affixes.end());
    lines.emplace_back(kHeadMarker);
    AppendBlockLines(style.head, &lines);
    lines.emplace_back(kMidMarker);
    AppendBlockLines(style.mid, &lines);
    lines.emplace_back(kFootMarker);
    AppendBlockLines(style.foot, &lines);
    lines.emplace_back(kDiaryTopMarker);
    AppendBlockLines(style.diaryTop, &lines);
    lines.emplace_back(kDiaryBottomMarker);
    AppendBlockLines(style.diaryBottom, &lines);
    lines.emplace_back(kUseTitleMarker);
    lines.push_back(style.useTitle);
    lines.emplace_back(kUseDiaryMarker);
    lines.push_back(style.useBody);
    return lines;
}

bool WriteStyle(const std::filesystem::path& programFolder, std::string_view name,
                const Style& style, std::string* error) {
    return WriteLines(StylePath(programFolder, name), StyleLines(style), error);
}

std::vector<std::string> DefaultStyleLines() {
    static const std::vector<std::string> lines = {
        kStyleMarker,
        "0",
        "0",
        "0",
        "0",
        kDateTitleMarker,
        "",
        "/",
        "/",
        "&nbsp;(",
        ")&nbsp;&nbsp;",
        "",
        kHeadMarker,
        "<html>",
        "<head>",
        R"(<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">)",
        "<title>Tavo</title>",
        R"(<style type="text/css">)",
        "<!--",
        "body,td{",
        "color : #666666;",
        "font-size:12px;",
        "margin-top:30px;",
        "margin-bottom:30px;",
        "margin-left:30px;",
        "margin-right:30px;",
        "}",
        "",
        "a:link{font-size:12px;color:#ff0000; text-decoration:none;}",
        "a:visited{font-size:12px;color:#ff0000;text-decoration:none;}",
        "a:active{font-size:12px;color:#ff0000;text-decoration:underline;}",
        "a:hover{font-size:12px;color:#ff0000;text-decoration:underline;}",
        "",
        ".cal{text-align:center;margin-bottom:20px;margin-right:20px;}",
        ".cal1{background-color:navy;color:white;}",
        "",
        "-->",
        "</style>",
        "",
        "</head>",
        R"(<body><div style="width:600px;"><a name="top"></a>)",
        Cp932(u"<b>Tavo 2.41 Demoスタイル</b>"),
        "<hr size=1 noshade>",
        "",
        R"(<table><tr><td valign="top">)",
        Cp932(u"<!--カレンダーは、この位置に挿入されます--><-calendar->"),
        R"(</td><td valign="top">)",
        Cp932(u"<!--インデックスは、この位置に挿入されます--><-index->"),
        "</td></tr></table>",
        "",
        R"(<br clear="all"><hr size=1 noshade>)",
        kMidMarker,
        R"(<br clear="all">&nbsp;<br>&nbsp;<br>)",
        kFootMarker,
        R"(<br clear="all">&nbsp;<br>&nbsp;<br>)",
        "",
        "<hr size=1 noshade>",
        R"(<div align="right">)",
        std::string("TavoDEMO by <a href=\"") + kHomePageUrl + "\" target=\"_blank\">" +
            kProductName + "</a>",
        "</div>",
        "</div></body>",
        "</html>",
        kDiaryTopMarker,
        "<b><-year->.<-month->.<-day-> (<-week->)&nbsp;&nbsp;<-title-></b>",
        R"(<div style="margin-left:20px;">)",
        kDiaryBottomMarker,
        "</div>",
        Cp932(uR"(<div align="right"><a href="#top">一番上に戻る</a></div>)"),
        kUseTitleMarker,
        "0",
        kUseDiaryMarker,
        "1",
    };
    return lines;
}

bool WriteDefaultStyle(const std::filesystem::path& programFolder, std::string* error) {
    return WriteLines(StylePath(programFolder, "demo"), DefaultStyleLines(), error);
}

}  // namespace tavo
