// Two versions of one day: the copies that sync tools (Syncthing, Dropbox, Nextcloud) leave
// beside an entry file in the data folder when the diary was changed on two computers, and
// the folder "conflicts" in the program folder where the version the user did not keep is
// set aside, so that deciding between two versions never loses either of them. Conflict
// copies are no entries: the index, the search and the pages pass them over, and the main
// window asks the user about each one.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "entry_store.h"

namespace tavo {

enum class SyncTool { Syncthing, Dropbox, Nextcloud };

struct ConflictCopyName {
    std::string entryFileName;  // the entry the copy belongs to: "20040105.txt"
    SyncTool tool;
    bool operator==(const ConflictCopyName&) const = default;
};

// The entry a sync tool's conflict copy belongs to, from the copy's file name:
//   Syncthing  "20040105.sync-conflict-20250101-120000-ABCDEFG.txt"
//   Dropbox    "20040105 (Taro's conflicted copy 2025-01-01).txt", also with " (1)" after it
//   Nextcloud  "20040105 (conflicted copy 2025-01-01 120000).txt"
// Nothing for entry files themselves and for every other name.
std::optional<ConflictCopyName> ParseConflictCopyName(std::string_view fileName);

struct ConflictCopy {
    std::string entryFileName;  // "20040105.txt"
    std::filesystem::path path;
    SyncTool tool;
    std::chrono::system_clock::time_point modified;
};

// The last modification of a file, as the dialogs show it.
bool ReadModificationTime(const std::filesystem::path& file,
                          std::chrono::system_clock::time_point* modified, std::string* error);

// Every conflict copy in the data folder, sorted by day, then by file name. `*error` is
// cleared, and set when the folder cannot be listed (then nothing is returned); a diary
// without a data folder has none.
std::vector<ConflictCopy> FindConflictCopies(const EntryStore& store, std::string* error);

// The folder the versions set aside go to: "conflicts" in the program folder, never the
// data folder, where they would be taken for entries.
std::filesystem::path ConflictsFolder(const std::filesystem::path& programFolder);

// Keeps `bytes`, a version of the entry `entryFileName` that the user chose not to keep, as
// "conflicts/<yyyymmdd>-<stamp>.txt"; `stamp` is the time of setting aside, "YYYYMMDD-HHMMSS".
// An existing copy is never replaced: a counter is added instead ("…-<stamp>-2.txt").
bool KeepAsideCopy(const std::filesystem::path& programFolder, std::string_view entryFileName,
                   std::string_view bytes, std::string_view stamp, std::filesystem::path* written,
                   std::string* error);

// Moves a sync tool's conflict copy, once the user has decided about it, from the data
// folder into the conflicts folder under its own name (with a counter when that is taken),
// so that it is not offered again and is still there.
bool SetConflictCopyAside(const std::filesystem::path& programFolder, const ConflictCopy& copy,
                          std::filesystem::path* movedTo, std::string* error);

}  // namespace tavo
