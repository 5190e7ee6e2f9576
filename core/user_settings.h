// "User.ini": the user's preferences, positional lines written by the preferences dialog
// and read once at start. The backup lines follow the first ten, so that a file written
// here still opens in versions that know only those ten, and a ten-line file reads here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tavo {

struct UserSettings {
    std::string diaryTitle;  // code page 932 bytes; empty: the caption is "Tavo"
    // Index into the sizes 9..14 (the point size is the index + 9). Files may hold any
    // number; the main window applies it as it is.
    int fontSizeIndex = 1;
    // Colours as 0x00BBGGRR. Empty when the file does not hold a plain colour there.
    std::optional<uint32_t> fontColor;
    std::optional<uint32_t> backColor;
    // Empty when line 9 is neither "1" nor "0": the option is then left as it was.
    std::optional<bool> useInputMethod;
    // Another folder for the backups (a second disk); empty: "backup" in the program folder.
    std::string backupFolder;
    bool backupsOn = true;

    bool operator==(const UserSettings&) const = default;
};

inline constexpr int kFontSizeIndexOffset = 9;
inline constexpr uint32_t kBlack = 0;
inline constexpr uint32_t kWhite = 0xFFFFFF;

// Reads what it can; every line that is missing or not a number is named in `problems`, and
// so are the backup lines when line 11 is not their marker "[BACKUP]" (they keep their
// defaults then).
UserSettings ParseUserSettings(const std::vector<std::string>& lines, std::string* problems);
// Writes all thirteen lines; an unset colour is written as black text on white.
std::vector<std::string> UserSettingsLines(const UserSettings& settings);

bool ReadUserSettingsFile(const std::filesystem::path& file, UserSettings* settings,
                          std::string* problems, std::string* error);
bool WriteUserSettingsFile(const std::filesystem::path& file, const UserSettings& settings,
                           std::string* error);

}  // namespace tavo
