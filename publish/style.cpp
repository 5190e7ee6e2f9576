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

std::vector<std::string> ModernStyleLines() {
    // Phone first: the plain rules lay out one column, and the media query for wide screens
    // moves the calendar and the index beside the entries. Grid columns are minmax(0, 1fr) so
    // that a long word or a wide image in an entry can never widen the page.
    static const std::vector<std::string> lines = {
        kStyleMarker,
        "0",
        "1",
        "1",
        "0",
        kDateTitleMarker,
        R"(<span class="d">)",
        Cp932(u"年"),
        Cp932(u"月"),
        Cp932(u"日（"),
        Cp932(u"）</span>"),
        "",
        kHeadMarker,
        "<!DOCTYPE html>",
        R"(<html lang="ja">)",
        "<head>",
        R"(<meta charset="Shift_JIS">)",
        R"(<meta name="viewport" content="width=device-width, initial-scale=1">)",
        R"(<meta name="color-scheme" content="light dark">)",
        Cp932(u"<title>日記</title>"),
        "<style>",
        ":root {",
        "  color-scheme: light dark;",
        "  --fg: #222; --muted: #676767; --bg: #f6f5f1; --card: #fff; --line: #e0ddd5;",
        "  --link: #0b5cad; --mark: #e3edfa; --sun: #c0392b; --sat: #1f5fae;",
        "}",
        "@media (prefers-color-scheme: dark) {",
        "  :root {",
        "    --fg: #e4e4e0; --muted: #a3a39d; --bg: #161719; --card: #212226; --line: #393a3f;",
        "    --link: #8cbcf2; --mark: #263850; --sun: #f29085; --sat: #8db3f2;",
        "  }",
        "}",
        "*, *::before, *::after { box-sizing: border-box; }",
        "html { -webkit-text-size-adjust: 100%; text-size-adjust: 100%; }",
        "body {",
        "  margin: 0; background: var(--bg); color: var(--fg); line-height: 1.8;",
        R"(  font-family: system-ui, -apple-system, "Segoe UI", "Hiragino Sans",)",
        R"(    "Hiragino Kaku Gothic ProN", "Yu Gothic UI", Meiryo, "Noto Sans CJK JP",)",
        "    sans-serif;",
        "  overflow-wrap: break-word; overflow-wrap: anywhere;",
        "}",
        "a { color: var(--link); }",
        "img, video { max-width: 100%; height: auto; }",
        "iframe, embed, object, canvas, svg { max-width: 100%; }",
        "pre { max-width: 100%; overflow-x: auto; overflow-wrap: normal; line-height: 1.5; }",
        ".text table { display: block; max-width: 100%; overflow-x: auto; }",
        ".page {",
        "  display: grid; grid-template-columns: minmax(0, 1fr); gap: 1rem 2.5rem;",
        "  max-width: 72rem; margin: 0 auto; padding: 1rem;",
        "}",
        ".site h1 { margin: 0; font-size: 1.5rem; }",
        ".cal {",
        "  width: 100%; max-width: 22rem; margin: 0 auto 1rem; border-collapse: collapse;",
        "  table-layout: fixed; text-align: center; line-height: 1.4;",
        "  font-variant-numeric: tabular-nums;",
        "}",
        ".cal td { padding: .2em 0; }",
        ".cal td:first-child { color: var(--sun); }",
        ".cal td:last-child { color: var(--sat); }",
        ".cal td.cal1 { padding: .3em 0 .5em; font-weight: bold; color: var(--fg); }",
        ".cal tr.cal2 td { font-size: .8em; }",
        ".cal a {",
        "  display: inline-block; min-width: 1.9em; line-height: 1.9em; border-radius: 50%;",
        "  background: var(--mark); color: var(--link); font-weight: bold; text-decoration: none;",
        "}",
        "/* On a phone a long index scrolls in its own box, so the entries stay near the top. */",
        ".index {",
        "  max-height: 18rem; overflow-y: auto; line-height: 1.5; padding: .25rem;",
        "  background: var(--card); border: 1px solid var(--line); border-radius: .5rem;",
        "}",
        ".index:empty { display: none; }",
        ".index br { display: none; }",
        ".index a { display: block; padding: .35em .5em; border-radius: .3em; color: var(--fg);",
        "  text-decoration: none; }",
        ".index a:hover, .index a:focus { background: var(--mark); }",
        ".d { margin-right: .6em; color: var(--muted); font-size: .85em; white-space: nowrap; }",
        ".entry {",
        "  margin: 0 0 1.5rem; padding: 1rem 1.25rem; background: var(--card);",
        "  border: 1px solid var(--line); border-radius: .75rem;",
        "}",
        ":target + .entry { border-color: var(--link); }",
        ".entry h2 { margin: 0 0 .75rem; font-size: 1.2rem; line-height: 1.5; }",
        ".entry h2 .d { display: block; font-size: .8rem; font-weight: normal; }",
        ".totop { margin: .75rem 0 0; text-align: right; font-size: .85em; }",
        ".foot {",
        "  padding-top: 1rem; border-top: 1px solid var(--line); color: var(--muted);",
        "  font-size: .85em; text-align: center;",
        "}",
        "@media (min-width: 48em) {",
        "  .page { grid-template-columns: 16rem minmax(0, 1fr); padding: 2rem; }",
        "  .site, .foot { grid-column: 1 / -1; }",
        "  .side {",
        "    grid-column: 1; grid-row: 2; align-self: start; position: sticky; top: 1rem;",
        "    max-height: calc(100vh - 2rem); overflow-y: auto;",
        "  }",
        "  .entries { grid-column: 2; grid-row: 2; }",
        "  .index { max-height: none; overflow: visible; }",
        "}",
        "</style>",
        "</head>",
        R"(<body id="top">)",
        R"(<div class="page">)",
        Cp932(uR"(<header class="site"><h1>日記</h1></header>)"),
        Cp932(uR"(<nav class="side" aria-label="カレンダーと目次">)"),
        R"(<div class="calendar"><-calendar-></div>)",
        R"(<div class="index"><-index-></div>)",
        "</nav>",
        R"(<main class="entries">)",
        kMidMarker,
        "",
        kFootMarker,
        "</main>",
        R"(<footer class="foot">)",
        std::string("<p>Tavo Modern by <a href=\"") + kHomePageUrl + "\">" + kProductName +
            "</a></p>",
        "</footer>",
        "</div>",
        "</body>",
        "</html>",
        kDiaryTopMarker,
        R"(<article class="entry">)",
        Cp932(
            uR"(<h2><span class="d"><-year->年<-month->月<-day->日（<-week->）</span><-title-></h2>)"),
        R"(<div class="text">)",
        kDiaryBottomMarker,
        "</div>",
        Cp932(uR"(<p class="totop"><a href="#top">一番上に戻る</a></p>)"),
        "</article>",
        kUseTitleMarker,
        "0",
        kUseDiaryMarker,
        "1",
    };
    return lines;
}

bool WriteModernStyleIfMissing(const std::filesystem::path& programFolder, std::string* error) {
    namespace fs = std::filesystem;
    const fs::path path = StylePath(programFolder, "modern");
    // Not following links: a dangling one counts as a file too.
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (fs::exists(status))
        return true;
    if (status.type() != fs::file_type::not_found) {
        *error = FileErrorText("ファイルを調べられません", path, ec.value());
        return false;
    }
    return WriteLines(path, ModernStyleLines(), error);
}

}  // namespace tavo
