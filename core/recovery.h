// Texts typed but not saved yet: while a day is edited its three texts are written every
// few seconds to "recovery/yyyymmdd.txt", in the entry file format, so that a crash or a
// power cut loses at most those seconds. A save of the day removes its file; a file left
// by a run that ended without saving is offered to the user at the next start.
// When the program folder cannot take the file (a stick pulled out, a network share gone, no
// rights any more), the texts go to a folder of their own in the per-user data folder, which
// the next start offers alike.
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
bool RemoveRecoveryFile(const std::filesystem::path& file, std::string* error);

// The elsewhere folder of one program folder: "<fallbackRoot>/<RecoveryFolderId>", named
// after the program folder's absolute path, so that it stays the same while that folder is
// gone and a person can still tell which diary it belongs to. Beside the recovery files, the
// note file names the program folder.
std::string RecoveryFolderId(const std::filesystem::path& programFolder);
std::filesystem::path FallbackRecoveryFolder(const std::filesystem::path& fallbackRoot,
                                             const std::filesystem::path& programFolder);
std::filesystem::path FallbackRecoveryPath(const std::filesystem::path& fallbackRoot,
                                           const std::filesystem::path& programFolder,
                                           std::string_view fileName);
inline constexpr const char* kFallbackNoteName = "original-folder.txt";
// Creates the folders and the note when missing.
bool WriteFallbackRecovery(const std::filesystem::path& fallbackRoot,
                           const std::filesystem::path& programFolder, std::string_view fileName,
                           const Entry& entry, std::string* error);

struct PendingRecovery {
    std::string fileName;                // "20040105.txt"
    std::filesystem::path recoveryFile;  // in the program folder or the elsewhere folder
    Entry recovered;
    bool entryExists = false;
    Entry entry;  // the day as saved, when it exists and can be read
};

struct RecoveryScan {
    // Differ from their entries, by date; a day kept in both folders comes twice, the
    // program folder's file first.
    std::vector<PendingRecovery> pending;
    std::vector<std::string> unreadable;  // error texts; those files stay in place
};

// The recovery files that hold something other than their day's entry. Files equal to
// their entry are leftovers of a save that the program could not finish (the index update
// and this removal follow the entry file): the index is brought in step and they are removed.
// With a `fallbackRoot`, the program folder's elsewhere folder is scanned too.
RecoveryScan ScanRecoveries(const EntryStore& store,
                            const std::filesystem::path& fallbackRoot = {});

// The user's answers: restoring saves the recovered texts as the day's entry (as a save
// from the editor would) and then removes its recovery file; discarding only removes it.
bool RestoreRecovery(const EntryStore& store, const PendingRecovery& pending, std::string* error);
bool DiscardRecovery(const EntryStore& store, const PendingRecovery& pending, std::string* error);

}  // namespace tavo
