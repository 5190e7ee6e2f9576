#include "recovery.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <system_error>

#include "file_stamp.h"
#include "text_file.h"

namespace tavo {
namespace {

// Made absolute without resolving links, so the path is the same while the folder is gone.
std::filesystem::path AbsoluteFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
    if (ec)
        absolute = folder;
    absolute = absolute.lexically_normal();
    if (absolute.filename().empty() && absolute.has_relative_path())
        absolute = absolute.parent_path();  // "/media/stick/" names "stick"
    return absolute;
}

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

// The folder's name as a file name may take it everywhere: punctuation becomes '_', a
// long name is cut where a UTF-8 character starts.
std::string ReadableName(const std::filesystem::path& folder) {
    constexpr size_t kLongest = 32;
    std::string name = Utf8(folder.filename());
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const bool kept = byte >= 0x80 || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                          (c >= 'a' && c <= 'z') || c == '-' || c == '_';
        if (!kept)
            c = '_';
    }
    if (name.size() > kLongest) {
        size_t cut = kLongest;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    return name.empty() ? "folder" : name;
}

bool WriteRecoveryIn(const std::filesystem::path& folder, std::string_view fileName,
                     const Entry& entry, std::string* error) {
    return WriteFileAtomically(folder / std::string(fileName), EntryFileBytes(entry), error);
}

void ScanFolder(const EntryStore& store, const std::filesystem::path& folder, RecoveryScan* scan) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return;  // none written yet (a file in its place is reported when writing)
    std::vector<std::string> names;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (IsEntryFileName(it->path().filename().string()))
            names.push_back(it->path().filename().string());
    }
    if (ec) {
        scan->unreadable.push_back(FileErrorText("フォルダを読めません", folder, ec.value()));
        return;
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        PendingRecovery pending{name, folder / name, {}, false, {}};
        std::string bytes, error;
        if (!ReadFileBytes(pending.recoveryFile, &bytes, &error)) {
            scan->unreadable.push_back(error);
            continue;
        }
        if (!ParseEntryFile(bytes, &pending.recovered, &error)) {
            scan->unreadable.push_back(
                FileErrorText("復元用ファイルを読めません", pending.recoveryFile, error));
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
            RemoveRecoveryFile(pending.recoveryFile, &error);
            continue;
        }
        scan->pending.push_back(std::move(pending));
    }
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
    return WriteRecoveryIn(RecoveryFolder(programFolder), fileName, entry, error);
}

bool RemoveRecovery(const std::filesystem::path& programFolder, std::string_view fileName,
                    std::string* error) {
    return RemoveRecoveryFile(RecoveryPath(programFolder, fileName), error);
}

bool RemoveRecoveryFile(const std::filesystem::path& file, std::string* error) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
    if (ec) {
        *error = FileErrorText("ファイルを削除できません", file, ec.value());
        return false;
    }
    return true;
}

std::string RecoveryFolderId(const std::filesystem::path& programFolder) {
    const std::filesystem::path folder = AbsoluteFolder(programFolder);
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx",
                  static_cast<unsigned long long>(ContentHash(Utf8(folder))));
    return ReadableName(folder) + "-" + hash;
}

std::filesystem::path FallbackRecoveryFolder(const std::filesystem::path& fallbackRoot,
                                             const std::filesystem::path& programFolder) {
    return fallbackRoot / RecoveryFolderId(programFolder);
}

std::filesystem::path FallbackRecoveryPath(const std::filesystem::path& fallbackRoot,
                                           const std::filesystem::path& programFolder,
                                           std::string_view fileName) {
    return FallbackRecoveryFolder(fallbackRoot, programFolder) / std::string(fileName);
}

bool WriteFallbackRecovery(const std::filesystem::path& fallbackRoot,
                           const std::filesystem::path& programFolder, std::string_view fileName,
                           const Entry& entry, std::string* error) {
    const std::filesystem::path folder = FallbackRecoveryFolder(fallbackRoot, programFolder);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        *error = FileErrorText("フォルダを作成できません", folder, ec.value());
        return false;
    }
    const std::filesystem::path note = folder / kFallbackNoteName;
    if (!std::filesystem::exists(note, ec) &&
        !WriteFileAtomically(note,
                             "このフォルダの復元用ファイルは次のフォルダの日記のものです:\n" +
                                 Utf8(AbsoluteFolder(programFolder)) + "\n",
                             error))
        return false;
    return WriteRecoveryIn(folder, fileName, entry, error);
}

RecoveryScan ScanRecoveries(const EntryStore& store, const std::filesystem::path& fallbackRoot) {
    RecoveryScan scan;
    ScanFolder(store, RecoveryFolder(store.ProgramFolder()), &scan);
    if (!fallbackRoot.empty()) {
        ScanFolder(store, FallbackRecoveryFolder(fallbackRoot, store.ProgramFolder()), &scan);
        std::stable_sort(scan.pending.begin(), scan.pending.end(),
                         [](const PendingRecovery& a, const PendingRecovery& b) {
                             return a.fileName < b.fileName;
                         });
    }
    return scan;
}

bool RestoreRecovery(const EntryStore& store, const PendingRecovery& pending, std::string* error) {
    return store.SaveEntry(pending.fileName, pending.recovered, error) &&
           RemoveRecoveryFile(pending.recoveryFile, error);
}

bool DiscardRecovery(const EntryStore& /*store: the scan named the file*/,
                     const PendingRecovery& pending, std::string* error) {
    return RemoveRecoveryFile(pending.recoveryFile, error);
}

}  // namespace tavo
