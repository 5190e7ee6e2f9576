// Where the diary lives: beside the executable when that folder already holds a diary
// (portable use), otherwise in the per-user data folder. A writable build or bin folder
// must never receive a new diary, where a clean build or an upgrade would delete it.
#pragma once

#include <filesystem>

namespace tavo {

bool HoldsDiary(const std::filesystem::path& folder);

std::filesystem::path ChooseProgramFolder(const std::filesystem::path& executableFolder,
                                          const std::filesystem::path& userDataFolder);

// The program folder and the full paths of the files in it.
struct ProgramPaths {
    std::filesystem::path programFolder;
    std::filesystem::path settingsFile;      // "tavo.ini"
    std::filesystem::path userSettingsFile;  // "User.ini"
    std::filesystem::path ftpSettingsFile;   // "FTP.ini"
    std::filesystem::path ftpTrustFile;      // "ftp-trust.ini"
    std::filesystem::path indexFile;         // "data.index"
    std::filesystem::path userDefFile;       // "userdef.ini"

    static ProgramPaths In(const std::filesystem::path& programFolder);
};

}  // namespace tavo
