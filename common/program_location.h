#pragma once

#include <filesystem>

// The folder the diary lives in for this run of the program: the executable's folder when
// it already holds a diary, else the per-user data folder (created when missing).
// Needs the application object (for the application name).
std::filesystem::path ResolveProgramFolder();

// Where recovery files go when the program folder cannot take them (a stick pulled out, a
// share gone): "$XDG_DATA_HOME/tavo/recovery-elsewhere" (by default under ~/.local/share),
// on the user's own disk; empty when there is no home folder. Not created here.
std::filesystem::path FallbackRecoveryRoot();
