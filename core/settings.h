// "tavo.ini": the main window's layout and the HTML save folder, kept between runs as 15
// positional lines. The bracketed markers are written but never looked for.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tavo {

struct AppSettings {
    int width = 438;
    int height = 540;
    int left = 279;
    int top = 133;
    std::string htmlSavePath;  // code page 932 bytes, no trailing separator
    int publicPaneHeight = 0;  // the public pane takes whatever height is left
    int privatePaneHeight = 121;
    bool toolBarVisible = true;
    bool privatePaneVisible = true;
    int windowState = 1;          // 1 normal, 2 minimised, 3 maximised
    std::string encodedPassword;  // line 0 after "[SIZE]"; empty when not locked

    bool operator==(const AppSettings&) const = default;
};

inline constexpr int kSettingsLineCount = 15;

// Reads what it can: a line that is missing or not a number keeps its default, and every
// such line is named in `problems` (empty when the file was whole).
AppSettings ParseSettings(const std::vector<std::string>& lines, std::string* problems);
std::vector<std::string> SettingsLines(const AppSettings& settings);

// The lock password, read from line 0 (empty when the diary is not locked).
std::string LockPassword(const std::vector<std::string>& lines);

// The stored lock password; empty when the diary is not locked or has no settings yet.
bool ReadLockPassword(const std::filesystem::path& settingsFile, std::string* password,
                      std::string* error);
// Puts the password into line 0 of an existing settings file, keeping the other lines.
bool WriteLockPassword(const std::filesystem::path& settingsFile, std::string_view password,
                       std::string* error);

bool ReadSettingsFile(const std::filesystem::path& file, AppSettings* settings,
                      std::string* problems, std::string* error);
bool WriteSettingsFile(const std::filesystem::path& file, const AppSettings& settings,
                       std::string* error);

}  // namespace tavo
