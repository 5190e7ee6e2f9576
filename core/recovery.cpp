#include "recovery.h"

#include <algorithm>
#include <system_error>

#include "text_file.h"

namespace tavo {
namespace {

// "yyyymmdd.txt": anything else in the folder (leftovers of an interrupted write, files
// of the user's) is not a recovery file.
bool IsRecoveryName(const std::string& name) {
    return name.size() == 12 && name.compare(8, 4, ".txt") == 0 &&
           std::all_of(name.begin(), name.begin() + 8, [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::filesystem::path RecoveryFolder(const std::filesystem::path& programFolder) {
    return programFolder / "recovery";
}

std::filesystem::path RecoveryPath(const std::filesystem::path& programFolder,
                                   std::string_view fileName) {
    return RecoveryFolder(programFolder) / std::string(fileName);
}

bool WriteRecovery(const std::filesystem::path& programFolder, std::string_view fileName,
                   const Entry& entry, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directory(RecoveryFolder(programFolder), ec);
    if (ec) {
        *error =
            FileErrorText("フォルダを作成できません", RecoveryFolder(programFolder), ec.value());
        return false;
    }
    return WriteFileAtomically(RecoveryPath(programFolder, fileName), EntryFileBytes(entry), error);
}

bool RemoveRecovery(const std::filesystem::path& programFolder, std::string_view fileName,
                    std::string* error) {
    const std::filesystem::path path = RecoveryPath(programFolder, fileName);
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (ec) {
        *error = FileErrorText("ファイルを削除できません", path, ec.value());
        return false;
    }
    return true;
}

RecoveryScan ScanRecoveries(const EntryStore& store) {
    RecoveryScan scan;
    const std::filesystem::path folder = RecoveryFolder(store.ProgramFolder());
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return scan;  // none written yet (a file in its place is reported when writing)
    std::vector<std::string> names;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (IsRecoveryName(it->path().filename().string()))
            names.push_back(it->path().filename().string());
    }
    if (ec) {
        scan.unreadable.push_back(FileErrorText("フォルダを読めません", folder, ec.value()));
        return scan;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::filesystem::path path = RecoveryPath(store.ProgramFolder(), name);
        PendingRecovery pending{name, {}, false, {}};
        std::string bytes, error;
        if (!ReadFileBytes(path, &bytes, &error)) {
            scan.unreadable.push_back(error);
            continue;
        }
        if (!ParseEntryFile(bytes, &pending.recovered, &error)) {
            scan.unreadable.push_back(FileErrorText("復元用ファイルを読めません", path, error));
            continue;
        }
        const auto status = store.ReadEntry(name, &pending.entry, &error);
        pending.entryExists = status != EntryStore::ReadStatus::Missing;
        if (status == EntryStore::ReadStatus::Failed)
            pending.entry = {};
        // An empty recovery of a day without an entry: the user typed and deleted again.
        const bool same =
            status != EntryStore::ReadStatus::Failed && pending.recovered == pending.entry;
        if (same) {
            // A save that ended before its index update and this removal: the index is
            // brought in step, and the file would only be offered again.
            store.UpdateIndex(name, pending.entryExists, &error);
            RemoveRecovery(store.ProgramFolder(), name, &error);
            continue;
        }
        scan.pending.push_back(std::move(pending));
    }
    return scan;
}

bool RestoreRecovery(const EntryStore& store, const PendingRecovery& pending, std::string* error) {
    return store.SaveEntry(pending.fileName, pending.recovered, error) &&
           RemoveRecovery(store.ProgramFolder(), pending.fileName, error);
}

bool DiscardRecovery(const EntryStore& store, const PendingRecovery& pending, std::string* error) {
    return RemoveRecovery(store.ProgramFolder(), pending.fileName, error);
}

}  // namespace tavo
