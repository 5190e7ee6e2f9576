#include "user_settings.h"

#include "positional_lines.h"
#include "text_file.h"

namespace tavo {
namespace {

constexpr char kBackupMarker[] = "[BACKUP]";

// Colours of older files may be system colours (negative numbers, "the window's text
// colour"); those are not a colour of their own, and the design's colour stays.
std::optional<uint32_t> ReadColor(PositionalLines& read, size_t line, const char* what) {
    int value = 0;
    if (!read.Int(line, &value, what) || value < 0 || static_cast<uint32_t>(value) > kWhite)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

}  // namespace

UserSettings ParseUserSettings(const std::vector<std::string>& lines, std::string* problems) {
    // Lines after the tenth are the backup lines only under their marker: in a damaged or
    // foreign file they are not taken for a folder to write to, and the backup keeps its
    // defaults. The marker and the two lines are then named as not read.
    const bool unmarked = lines.size() > 10 && lines[10] != kBackupMarker;
    const std::vector<std::string> firstTen(lines.begin(), lines.begin() + (unmarked ? 10 : 0));
    PositionalLines read(unmarked ? firstTen : lines);
    UserSettings s;
    read.Text(1, &s.diaryTitle, "日記タイトル");
    read.Int(3, &s.fontSizeIndex, "フォントサイズ");
    s.fontColor = ReadColor(read, 5, "フォントカラー");
    s.backColor = ReadColor(read, 7, "背景色");
    std::string useInputMethod;
    if (read.Text(9, &useInputMethod, "IME") && (useInputMethod == "1" || useInputMethod == "0"))
        s.useInputMethod = useInputMethod == "1";
    // Files from before the backup lines end after line 10: that is not a problem.
    if (lines.size() > 10) {
        std::string marker;
        read.Text(10, &marker, kBackupMarker);
        read.Text(11, &s.backupFolder, "バックアップ先");
        std::string backupsOn;
        if (read.Text(12, &backupsOn, "バックアップ"))
            s.backupsOn = backupsOn != "0";
    }
    *problems = read.problems();
    return s;
}

std::vector<std::string> UserSettingsLines(const UserSettings& s) {
    return {"[TITLE]",
            s.diaryTitle,
            "[FONT_SIZE]",
            std::to_string(s.fontSizeIndex),
            "[FONT_COLOR]",
            std::to_string(s.fontColor.value_or(kBlack)),
            "[BACK_COLOR]",
            std::to_string(s.backColor.value_or(kWhite)),
            "[USE_IME]",
            s.useInputMethod.value_or(false) ? "1" : "0",
            kBackupMarker,
            s.backupFolder,
            s.backupsOn ? "1" : "0"};
}

bool ReadUserSettingsFile(const std::filesystem::path& file, UserSettings* settings,
                          std::string* problems, std::string* error) {
    std::vector<std::string> lines;
    if (!ReadLines(file, &lines, error))
        return false;
    *settings = ParseUserSettings(lines, problems);
    return true;
}

bool WriteUserSettingsFile(const std::filesystem::path& file, const UserSettings& settings,
                           std::string* error) {
    return WriteLines(file, UserSettingsLines(settings), error);
}

}  // namespace tavo
