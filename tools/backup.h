// Backups of the diary as zip snapshots: one zip per backup, named by the time it was taken,
// holding the diary's data, index, settings, styles, images and set-aside versions.
// Snapshots are written whole or not at all, the newest are kept, and restoring one swaps
// the diary's items only after the whole snapshot has been unpacked beside them, under a
// journal, so that a restore cut short by a crash is completed at the next start.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavo {

// The items of a diary that a snapshot holds, where present. Older snapshots lack the later
// ones ("conflicts"); a restore leaves the items a snapshot lacks as they are.
inline constexpr std::array<std::string_view, 10> kSnapshotItems = {
    "data",        "data.index", "tavo.ini", "User.ini", "FTP.ini",
    "userdef.ini", "style",      "tavo-img", "view.css", "conflicts"};
inline constexpr size_t kSnapshotsKept = 14;

// stamp "YYYYMMDD-HHMMSS" -> "tavo-YYYYMMDD-HHMMSS.zip"
std::string SnapshotFileName(std::string_view stamp);

// The stamp of a snapshot taken now (the core clock's Now()), a second later while that name is
// taken in `backupFolder`, so that no snapshot ever replaces another.
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
// why. Part files that interrupted backups left in `backupFolder` are removed first. Names are
// stored as their raw bytes, so code page 932 style names survive; files are deflated with their
// modification times, folders kept as "dir/" entries, and leftovers of interrupted saves (names
// holding ".tmp-") skipped.
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
// folder ".restore-XXXXXX" inside `programFolder` first and synced; then the journal
// kRestoreJournal is written, naming the staging folder and the items it holds, and each
// item replaces the current one whole (so data/ afterwards equals the snapshot's), the
// current one moved into the staging folder. Items the snapshot lacks are left as they are.
// An unreadable snapshot is refused, and a failure before the swap changes nothing. A
// failed rename during the swap puts back what was swapped; should that fail too, the
// journal stays and the next start completes the restore. The journal, then the staging
// folder with the replaced items, is removed at the end.
bool RestoreSnapshot(const std::filesystem::path& programFolder,
                     const std::filesystem::path& snapshot, std::string* error);

// Called before each rename of a restore with its number, from 1; in RestoreSnapshot the
// first is the journal's own. Tests end the program there, to start it again after a crash
// at any point.
using RenameHook = std::function<void(int renameNumber)>;
bool RestoreSnapshot(const std::filesystem::path& programFolder,
                     const std::filesystem::path& snapshot, std::string* error,
                     const RenameHook& beforeRename);

inline constexpr std::string_view kRestoreJournal = "restore-journal";

// To be called at every start, once the diary is locked and before anything reads it.
// A restore whose journal exists was unpacked whole, so it is completed (rolled forward)
// from wherever it stopped, and `report` then says so for the user (else it is empty); each
// step looks first at what is there, so this may itself be cut short and run again.
// Staging folders without a journal (an unpack cut short) are removed. Afterwards the
// diary is wholly the one before the restore or wholly the restored one. False with
// `error` when the journal cannot be read or a step fails; the journal then stays.
bool FinishInterruptedRestore(const std::filesystem::path& programFolder, std::string* report,
                              std::string* error, const RenameHook& beforeRename = {});

// To be called at start after FinishInterruptedRestore (and User.ini read, which names
// `backupFolder`), while the diary is locked so that no other Tavo is writing them: removes
// what interrupted runs leave behind, and nothing else. In `backupFolder` the part files of
// snapshots ("tavo-YYYYMMDD-HHMMSS.zip.part" and libzip's "….zip.part.XXXXXX"); in
// `programFolder` staging folders ".restore-XXXXXX" while no restore journal exists; and
// the temporaries of interrupted saves ("<name>.tmp-<n>-<n>") in the program folder, data/,
// recovery/, style/, tavo-img/ and conflicts/. False with one line per file that could not
// be removed in `error`; the others are removed all the same.
bool RemoveLeftovers(const std::filesystem::path& programFolder,
                     const std::filesystem::path& backupFolder, std::string* error);

}  // namespace tavo
