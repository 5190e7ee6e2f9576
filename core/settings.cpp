#include "settings.h"

#include <system_error>

#include "positional_lines.h"
#include "scramble.h"
#include "text_file.h"

namespace tavo {
namespace {

constexpr std::string_view kSizeMarker = "[SIZE]";

}  // namespace

AppSettings ParseSettings(const std::vector<std::string>& lines, std::string* problems) {
    AppSettings s;
    PositionalLines read(lines);
    if (!lines.empty() && lines[0].compare(0, kSizeMarker.size(), kSizeMarker) == 0)
        s.encodedPassword = lines[0].substr(kSizeMarker.size());
    read.Int(1, &s.width, "ウィンドウの幅");
    read.Int(2, &s.height, "ウィンドウの高さ");
    read.Int(3, &s.left, "ウィンドウの左端");
    read.Int(4, &s.top, "ウィンドウの上端");
    read.Text(6, &s.htmlSavePath, "HTML の保存先");
    read.Int(8, &s.publicPaneHeight, "PUBLIC の高さ");
    read.Int(9, &s.privatePaneHeight, "PRIVATE の高さ");
    int flag = 1;
    read.Int(11, &flag, "ツールバーの表示");
    s.toolBarVisible = flag != 0;
    flag = 1;
    read.Int(12, &flag, "PRIVATE の表示");
    s.privatePaneVisible = flag != 0;
    std::string state;
    if (read.Text(14, &state, "ウィンドウの状態"))
        s.windowState = state == "3" ? 3 : (state == "2" ? 2 : 1);
    *problems = read.problems();
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

bool ReadLockPassword(const std::filesystem::path& settingsFile, std::string* password,
                      std::string* error) {
    std::error_code ec;
    if (!std::filesystem::exists(settingsFile, ec)) {
        password->clear();  // no settings yet: no lock
        return true;
    }
    std::vector<std::string> lines;
    if (!ReadLines(settingsFile, &lines, error))
        return false;
    *password = LockPassword(lines);
    return true;
}

bool WriteLockPassword(const std::filesystem::path& settingsFile, std::string_view password,
                       std::string* error) {
    std::vector<std::string> lines;
    if (!ReadLines(settingsFile, &lines, error))
        return false;
    const std::string line0 = std::string(kSizeMarker) + EncodeText(password);
    if (lines.empty())
        lines.push_back(line0);
    else
        lines[0] = line0;
    return WriteLines(settingsFile, lines, error);
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
