#include "settings.h"

#include <charconv>

#include "scramble.h"
#include "text_file.h"

namespace tavo {
namespace {

constexpr std::string_view kSizeMarker = "[SIZE]";

bool ParseInt(const std::string& text, int* value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    while (begin < end && *begin == ' ')
        ++begin;
    while (end > begin && end[-1] == ' ')
        --end;
    const auto [ptr, ec] = std::from_chars(begin, end, *value);
    return ec == std::errc() && ptr == end && begin != end;
}

}  // namespace

AppSettings ParseSettings(const std::vector<std::string>& lines, std::string* problems) {
    AppSettings s;
    problems->clear();
    auto note = [&](size_t line, const char* what) {
        if (!problems->empty())
            problems->append("\n");
        problems->append(std::to_string(line + 1) + " 行目 (" + what + ")");
    };
    auto readInt = [&](size_t line, int* value, const char* what) {
        if (line >= lines.size()) {
            note(line, what);
            return;
        }
        int v = 0;
        if (ParseInt(lines[line], &v))
            *value = v;
        else
            note(line, what);
    };

    if (!lines.empty() && lines[0].compare(0, kSizeMarker.size(), kSizeMarker) == 0)
        s.encodedPassword = lines[0].substr(kSizeMarker.size());
    readInt(1, &s.width, "ウィンドウの幅");
    readInt(2, &s.height, "ウィンドウの高さ");
    readInt(3, &s.left, "ウィンドウの左端");
    readInt(4, &s.top, "ウィンドウの上端");
    if (lines.size() > 6)
        s.htmlSavePath = lines[6];
    else
        note(6, "HTML の保存先");
    readInt(8, &s.publicPaneHeight, "PUBLIC の高さ");
    readInt(9, &s.privatePaneHeight, "PRIVATE の高さ");
    int flag = 1;
    readInt(11, &flag, "ツールバーの表示");
    s.toolBarVisible = flag != 0;
    flag = 1;
    readInt(12, &flag, "PRIVATE の表示");
    s.privatePaneVisible = flag != 0;
    if (lines.size() > 14)
        s.windowState = lines[14] == "3" ? 3 : (lines[14] == "2" ? 2 : 1);
    else
        note(14, "ウィンドウの状態");
    return s;
}

std::vector<std::string> SettingsLines(const AppSettings& s) {
    return {std::string(kSizeMarker) + s.encodedPassword,
            std::to_string(s.width),
            std::to_string(s.height),
            std::to_string(s.left),
            std::to_string(s.top),
            "[Path]",
            s.htmlSavePath,
            "[SPLIT]",
            std::to_string(s.publicPaneHeight),
            std::to_string(s.privatePaneHeight),
            "[Visible]",
            s.toolBarVisible ? "1" : "0",
            s.privatePaneVisible ? "1" : "0",
            "[WINDOWSTATE]",
            std::to_string(s.windowState)};
}

std::string LockPassword(const std::vector<std::string>& lines) {
    if (lines.empty())
        return {};
    // The marker's six characters are dropped whatever they are, as older files expect.
    return DecodeText(lines[0].size() > kSizeMarker.size() ? lines[0].substr(kSizeMarker.size())
                                                           : std::string());
}

bool ReadSettingsFile(const std::filesystem::path& file, AppSettings* settings,
                      std::string* problems, std::string* error) {
    std::vector<std::string> lines;
    if (!ReadLines(file, &lines, error))
        return false;
    *settings = ParseSettings(lines, problems);
    return true;
}

bool WriteSettingsFile(const std::filesystem::path& file, const AppSettings& settings,
                       std::string* error) {
    return WriteLines(file, SettingsLines(settings), error);
}

}  // namespace tavo
