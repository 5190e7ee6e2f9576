#include "program_folder.h"

#include <system_error>

namespace tavo {

bool HoldsDiary(const std::filesystem::path& folder) {
    std::error_code ec;
    return std::filesystem::is_directory(folder / "data", ec) ||
           std::filesystem::exists(folder / "tavo.ini", ec);
}

std::filesystem::path ChooseProgramFolder(const std::filesystem::path& executableFolder,
                                          const std::filesystem::path& userDataFolder) {
    return HoldsDiary(executableFolder) ? executableFolder : userDataFolder;
}

ProgramPaths ProgramPaths::In(const std::filesystem::path& programFolder) {
    return {programFolder,
            programFolder / "tavo.ini",
            programFolder / "User.ini",
            programFolder / "FTP.ini",
            programFolder / "ftp-trust.ini",
            programFolder / "data.index",
            programFolder / "userdef.ini"};
}

}  // namespace tavo
