// Backups of the diary as zip snapshots: one zip per backup, named by the time it was taken,
// holding the diary's data, index, settings, styles and images. Snapshots are written
// whole or not at all, the newest are kept, and restoring one swaps the diary's items only
// after the whole snapshot has been unpacked beside them.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tavo {

// The items of a diary that a snapshot holds, where present.
inline constexpr std::array<std::string_view, 9> kSnapshotItems = {
    "data",        "data.index", "tavo.ini", "User.ini", "FTP.ini",
    "userdef.ini", "style",      "tavo-img", "view.css"};
inline constexpr size_t kSnapshotsKept = 14;

// stamp "YYYYMMDD-HHMMSS" -> "tavo-YYYYMMDD-HHMMSS.zip"
std::string SnapshotFileName(std::string_view stamp);

// The stamp of a snapshot taken now (local time), a second later while that name is taken in
// `backupFolder`, so that no snapshot ever replaces another.
std::string NewSnapshotStamp(const std::filesystem::path& backupFolder);

struct SnapshotInfo {
    std::filesystem::path file;
    std::string stamp;      // "YYYYMMDD-HHMMSS" when the name has the snapshot form, else empty
    bool readable = false;  // a sound zip holding "data/" and only names a restore accepts
    int entryCount = 0;     // members "data/<8 digits>.txt"
    std::string problem;    // why it is unreadable (UTF-8 text for the user)
};

// Writes a zip of the items present in `programFolder` to backupFolder/SnapshotFileName(stamp),
// creating `backupFolder` when missing. The zip is built as "<name>.part" and renamed when
// complete; on failure that file is removed, older snapshots are untouched and `error` says
// why. Names are stored as their raw bytes, so code page 932 style names survive; files are
// deflated with their modification times, folders kept as "dir/" entries, and leftovers of
// interrupted saves (names holding ".tmp-") skipped.
bool CreateSnapshot(const std::filesystem::path& programFolder,
                    const std::filesystem::path& backupFolder, std::string_view stamp,
                    std::filesystem::path* written, std::string* error);

// Every "*.zip" in the folder, newest first by stamp, then foreign names by name; unreadable
// ones are included with readable=false and their problem. A missing folder gives none.
std::vector<SnapshotInfo> ListSnapshots(const std::filesystem::path& backupFolder);

// True when a readable snapshot of that day ("YYYYMMDD") exists: backups are made at most
// once per day.
bool HasSnapshotOfDay(const std::filesystem::path& backupFolder, std::string_view day);

// Deletes the oldest readable, snapshot-named zips beyond `keep`. Unreadable and foreign zips
// are never deleted and do not count. Returns false with `error` when a delete fails.
bool RotateSnapshots(const std::filesystem::path& backupFolder, size_t keep, std::string* error);

// Replaces the diary's items with the snapshot's. The snapshot is unpacked into a staging
// folder ".restore-XXXXXX" inside `programFolder` first; then each item it holds replaces the
// current one whole (so data/ afterwards equals the snapshot's), and items it lacks are left
// as they are. An unreadable snapshot is refused, and a failure before the swap changes
// nothing. The staging folder, with the replaced items, is removed at the end.
bool RestoreSnapshot(const std::filesystem::path& programFolder,
                     const std::filesystem::path& snapshot, std::string* error);

}  // namespace tavo
