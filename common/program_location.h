#pragma once

#include <filesystem>

// The folder the diary lives in for this run of the program: the executable's folder when
// it already holds a diary, else the per-user data folder (created when missing).
// Needs the application object (for the application name).
std::filesystem::path ResolveProgramFolder();
