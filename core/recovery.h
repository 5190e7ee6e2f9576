// Texts typed but not saved yet: while a day is edited its three texts are written every
// few seconds to "recovery/yyyymmdd.txt", in the entry file format, so that a crash or a
// power cut loses at most those seconds. A save of the day removes its file; a file left
// by a run that ended without saving is offered to the user at the next start.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "entry_store.h"

namespace tavo {

std::filesystem::path RecoveryFolder(const std::filesystem::path& programFolder);
// `fileName` is the entry file name, "20040105.txt".
std::filesystem::path RecoveryPath(const std::filesystem::path& programFolder,
                                   std::string_view fileName);

// Creates the folder when missing and replaces the file atomically, like an entry.
bool WriteRecovery(const std::filesystem::path& programFolder, std::string_view fileName,
                   const Entry& entry, std::string* error);
// A missing file is not an error.
bool RemoveRecovery(const std::filesystem::path& programFolder, std::string_view fileName,
                    std::string* error);

struct PendingRecovery {
    std::string fileName;  // "20040105.txt"
    Entry recovered;
    bool entryExists = false;
    Entry entry;  // the day as saved, when it exists and can be read
};

struct RecoveryScan {
    std::vector<PendingRecovery> pending;  // differ from their entries, by date
    std::vector<std::string> unreadable;   // error texts; those files stay in place
};

// The recovery files that hold something other than their day's entry. Files equal to
// their entry are leftovers of a save that the program could not finish (the index update
// and this removal follow the entry file): the index is brought in step and they are removed.
RecoveryScan ScanRecoveries(const EntryStore& store);

// The user's answers: restoring saves the recovered texts as the day's entry (as a save
// from the editor would) and then removes the recovery file; discarding only removes it.
bool RestoreRecovery(const EntryStore& store, const PendingRecovery& pending, std::string* error);
bool DiscardRecovery(const EntryStore& store, const PendingRecovery& pending, std::string* error);

}  // namespace tavo
