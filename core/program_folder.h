// Where the diary lives: beside the executable when that folder already holds a diary
// (portable use), otherwise in the per-user data folder. A writable build or bin folder
// must never receive a new diary, where a clean build or an upgrade would delete it.
#pragma once

#include <filesystem>

namespace tavo {

bool HoldsDiary(const std::filesystem::path& folder);

std::filesystem::path ChooseProgramFolder(const std::filesystem::path& executableFolder,
                                          const std::filesystem::path& userDataFolder);

}  // namespace tavo
