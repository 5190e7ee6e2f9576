#include "backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <system_error>

#include "core/date.h"
#include "core/entry_store.h"
#include "core/text_file.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = "tavo-";
constexpr std::string_view kSuffix = ".zip";
constexpr size_t kStampSize = 15;  // "YYYYMMDD-HHMMSS"

struct ZipDiscard {
    void operator()(zip_t* zip) const { zip_discard(zip); }
};
using Zip = std::unique_ptr<zip_t, ZipDiscard>;

struct ZipFileClose {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

bool IsDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string StampOf(std::string_view fileName) {
    if (fileName.size() != kPrefix.size() + kStampSize + kSuffix.size() ||
        !fileName.starts_with(kPrefix) || !fileName.ends_with(kSuffix))
        return {};
    const std::string_view stamp = fileName.substr(kPrefix.size(), kStampSize);
    return IsStamp(stamp) ? std::string(stamp) : std::string();
}

// libzip's own texts prefix the system error ("Write error: ..."); the user needs only that.
std::string ZipErrorText(std::string_view what, const fs::path& file, zip_error_t* zipError) {
    if (zip_error_system_type(zipError) == ZIP_ET_SYS && zip_error_code_system(zipError) != 0)
        return FileErrorText(what, file, zip_error_code_system(zipError));
    return FileErrorText(what, file, zip_error_strerror(zipError));
}

std::string ZipErrorText(std::string_view what, const fs::path& file, int code) {
    zip_error_t zipError;
    zip_error_init_with_code(&zipError, code);
    std::string text = ZipErrorText(what, file, &zipError);
    zip_error_fini(&zipError);
    return text;
}

// libzip does not sync what it writes, and a rename must not publish data still in the cache.
int SyncPath(const fs::path& path, bool wholeFileSystem = false) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int result = wholeFileSystem ? ::syncfs(fd) : ::fsync(fd);
    const int errorNumber = result == 0 ? 0 : errno;
    ::close(fd);
    return errorNumber;
}

// Adds the file or folder at `path` as `name`, a folder with everything below it. Links to
// folders are not followed, so a link loop cannot make the walk endless.
bool AddToZip(zip_t* zip, const fs::path& path, const std::string& name, std::string* error) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::none) {
        *error = FileErrorText("ファイルを読めません", path, ec.value());
        return false;
    }
    if (fs::is_regular_file(status)) {
        // The file is opened only when zip_close writes it, one at a time, and a failure
        // there would name only the zip: a file we cannot read is reported here instead.
        if (::access(path.c_str(), R_OK) != 0) {
            *error = FileErrorText("ファイルを読めません", path, errno);
            return false;
        }
        zip_source_t* source = zip_source_file(zip, path.c_str(), 0, -1);
        if (!source || zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_GUESS) < 0) {
            zip_source_free(source);
            *error = ZipErrorText("バックアップに入れられません", path, zip_get_error(zip));
            return false;
        }
        return true;
    }
    if (!fs::is_directory(status))
        return true;
    if (zip_dir_add(zip, name.c_str(), ZIP_FL_ENC_GUESS) < 0) {
        *error = ZipErrorText("バックアップに入れられません", path, zip_get_error(zip));
        return false;
    }
    std::vector<fs::path> children;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string childName = it->path().filename().string();
        if (childName.find(".tmp-") != std::string::npos ||
            (it->is_symlink(ec) && it->is_directory(ec)))
            continue;
        children.push_back(it->path());
    }
    if (ec) {
        *error = FileErrorText("フォルダーを読めません", path, ec.value());
        return false;
    }
    std::sort(children.begin(), children.end());  // the same order in every snapshot
    for (const fs::path& child : children) {
        if (!AddToZip(zip, child, name + "/" + child.filename().string(), error))
            return false;
    }
    return true;
}

// Names a restore may write: relative, without empty, "." or ".." steps, under an item.
bool IsAcceptedName(std::string_view name) {
    if (name.ends_with('/'))
        name.remove_suffix(1);
    if (std::find(kSnapshotItems.begin(), kSnapshotItems.end(), name.substr(0, name.find('/'))) ==
        kSnapshotItems.end())
        return false;
    for (size_t start = 0;;) {
        const size_t end = name.find('/', start);
        const std::string_view step = name.substr(start, end - start);
        if (step.empty() || step == "." || step == "..")
            return false;
        if (end == std::string_view::npos)
            return true;
        start = end + 1;
    }
}

bool IsEntryMember(std::string_view name) {
    constexpr std::string_view kData = "data/";
    return name.starts_with(kData) && IsEntryFileName(name.substr(kData.size()));
}

// Opens the snapshot and fills `info`; the zip is returned only when it is readable.
Zip OpenSnapshot(const fs::path& file, SnapshotInfo* info) {
    info->file = file;
    info->stamp = StampOf(file.filename().string());
    int code = 0;
    Zip zip(zip_open(file.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!zip) {
        info->problem = ZipErrorText("バックアップを読めません", file, code);
        return nullptr;
    }
    const zip_int64_t count = zip_get_num_entries(zip.get(), 0);
    bool holdsData = false;
    int entries = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(zip.get(), static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        if (!name) {
            info->problem =
                ZipErrorText("バックアップを読めません", file, zip_get_error(zip.get()));
            return nullptr;
        }
        if (!IsAcceptedName(name)) {
            info->problem = FileErrorText("バックアップに戻せない名前があります", file, name);
            return nullptr;
        }
        const std::string_view view(name);
        holdsData = holdsData || view.starts_with("data/");
        entries += IsEntryMember(view) ? 1 : 0;
    }
    if (!holdsData) {
        info->problem = FileErrorText("バックアップに日記がありません", file, "data/");
        return nullptr;
    }
    info->readable = true;
    info->entryCount = entries;
    return zip;
}

bool ExtractFile(zip_t* zip, zip_uint64_t index, const fs::path& target, const fs::path& snapshot,
                 std::vector<char>* buffer, std::string* error) {
    zip_stat_t stat;
    const bool hasTime = zip_stat_index(zip, index, 0, &stat) == 0 && (stat.valid & ZIP_STAT_MTIME);
    std::unique_ptr<zip_file_t, ZipFileClose> in(zip_fopen_index(zip, index, 0));
    if (!in) {
        *error = ZipErrorText("バックアップを読めません", snapshot, zip_get_error(zip));
        return false;
    }
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        *error = FileErrorText("バックアップを展開できません", target, errno);
        return false;
    }
    auto fail = [&](std::string text) {
        ::close(fd);
        *error = std::move(text);
        return false;
    };
    for (;;) {
        // libzip checks the CRC when the last byte has been read.
        const zip_int64_t n = zip_fread(in.get(), buffer->data(), buffer->size());
        if (n < 0)
            return fail(
                ZipErrorText("バックアップを読めません", snapshot, zip_file_get_error(in.get())));
        if (n == 0)
            break;
        for (zip_int64_t done = 0; done < n;) {
            const ssize_t written =
                ::write(fd, buffer->data() + done, static_cast<size_t>(n - done));
            if (written < 0 && errno != EINTR)
                return fail(FileErrorText("バックアップを展開できません", target, errno));
            done += written < 0 ? 0 : written;
        }
    }
    if (hasTime) {
        const timespec times[2] = {{0, UTIME_OMIT}, {stat.mtime, 0}};
        ::futimens(fd, times);
    }
    if (::close(fd) != 0) {
        *error = FileErrorText("バックアップを展開できません", target, errno);
        return false;
    }
    return true;
}

bool Extract(zip_t* zip, const fs::path& snapshot, const fs::path& into, std::string* error) {
    std::vector<char> buffer(1 << 16);
    const zip_int64_t count = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const std::string name = zip_get_name(zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        const fs::path target = into / name;
        std::error_code ec;
        fs::create_directories(name.ends_with('/') ? target : target.parent_path(), ec);
        if (ec) {
            *error = FileErrorText("バックアップを展開できません", target, ec.value());
            return false;
        }
        if (!name.ends_with('/') &&
            !ExtractFile(zip, static_cast<zip_uint64_t>(i), target, snapshot, &buffer, error))
            return false;
    }
    return true;
}

constexpr std::string_view kStagingPrefix = ".restore-";
constexpr size_t kStagingNameSize = kStagingPrefix.size() + 6;  // mkdtemp's "XXXXXX"

bool IsStagingName(std::string_view name) {
    return name.size() == kStagingNameSize && name.starts_with(kStagingPrefix) &&
           name.find('/') == std::string_view::npos;
}

// A fresh folder ".restore-XXXXXX" in the program folder, on the same file system as the
// items so that swapping them is a rename; removed with what it holds unless kept for the
// next start.
class StagingFolder {
public:
    explicit StagingFolder(const fs::path& programFolder) {
        std::string pattern = (programFolder / kStagingPrefix).string() + "XXXXXX";
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~StagingFolder() {
        std::error_code ec;
        if (!path_.empty() && !kept_)
            fs::remove_all(path_, ec);  // what is left is removed at the next start
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    const fs::path& path() const { return path_; }
    void keep() { kept_ = true; }

private:
    fs::path path_;
    bool kept_ = false;
};

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// What the journal names: the staging folder (in the program folder) and the items it held
// when the swap began, one a line after it.
struct Journal {
    std::string staging;
    std::vector<std::string> items;
};

fs::path JournalPath(const fs::path& programFolder) {
    return programFolder / kRestoreJournal;
}

bool WriteJournal(const fs::path& programFolder, const Journal& journal, std::string* error) {
    std::vector<std::string> lines = {journal.staging};
    lines.insert(lines.end(), journal.items.begin(), journal.items.end());
    if (!WriteLines(JournalPath(programFolder), lines, error))
        return false;
    // The journal must be on the disk before the first rename it allows for.
    if (const int errorNumber = SyncPath(programFolder); errorNumber != 0) {
        ::unlink(JournalPath(programFolder).c_str());
        *error = FileErrorText("日記を戻せません", JournalPath(programFolder), errorNumber);
        return false;
    }
    return true;
}

// Empty when there is no journal; false when there is one that cannot be read or is not
// what a restore writes, which is then left alone.
bool ReadJournal(const fs::path& programFolder, std::optional<Journal>* journal,
                 std::string* error) {
    journal->reset();
    const fs::path file = JournalPath(programFolder);
    if (!Exists(file))
        return true;
    std::vector<std::string> lines;
    if (!ReadLines(file, &lines, error))
        return false;
    auto isItem = [](const std::string& item) {
        return std::find(kSnapshotItems.begin(), kSnapshotItems.end(), item) !=
               kSnapshotItems.end();
    };
    if (lines.empty() || !IsStagingName(lines[0]) ||
        !std::all_of(lines.begin() + 1, lines.end(), isItem)) {
        *error = FileErrorText("復元の記録を読めません", file, "復元の記録ではありません");
        return false;
    }
    *journal = Journal{lines[0], {lines.begin() + 1, lines.end()}};
    return true;
}

// Where one item of a swap can be: in place, staged (the snapshot's, waiting) and set
// aside (the diary's before the restore).
struct ItemPlaces {
    fs::path current, staged, aside;
};

ItemPlaces PlacesOf(const fs::path& programFolder, const fs::path& staging, std::string_view item) {
    return {programFolder / item, staging / "new" / item, staging / "old" / item};
}

// Brings one item from wherever an earlier run stopped to its end: the current item set
// aside, then the staged one moved into its place. Each rename is chosen by what is there,
// so a run cut short anywhere can be run again.
bool SwapItem(const ItemPlaces& item, const RenameHook& beforeRename, int* renames,
              std::string* error) {
    auto rename = [&](const fs::path& from, const fs::path& to) {
        ++*renames;
        if (beforeRename)
            beforeRename(*renames);
        if (::rename(from.c_str(), to.c_str()) == 0)
            return true;
        *error = FileErrorText("日記を戻せません", item.current, errno);
        return false;
    };
    if (!Exists(item.staged))
        return true;  // in place already
    if (Exists(item.current)) {
        // Both the current and a set-aside one: not what a restore leaves, and setting this
        // one aside could replace the other.
        if (Exists(item.aside)) {
            *error = FileErrorText("日記を戻せません", item.current, EEXIST);
            return false;
        }
        if (!rename(item.current, item.aside))
            return false;
    }
    return rename(item.staged, item.current);
}

// Undoes SwapItem, from wherever it stopped; false when a rename fails.
bool UnswapItem(const ItemPlaces& item) {
    if (!Exists(item.staged) && Exists(item.current) &&
        ::rename(item.current.c_str(), item.staged.c_str()) != 0)
        return false;
    return !Exists(item.aside) || ::rename(item.aside.c_str(), item.current.c_str()) == 0;
}

// After the last rename: the swap is made durable before the journal that would redo it
// goes, and the staging folder goes after the journal, never before.
bool EndSwap(const fs::path& programFolder, const fs::path& staging, std::string* error) {
    int errorNumber = SyncPath(programFolder);
    if (errorNumber == 0 && ::unlink(JournalPath(programFolder).c_str()) != 0)
        errorNumber = errno;
    if (errorNumber != 0) {
        *error = FileErrorText("日記を戻せません", JournalPath(programFolder), errorNumber);
        return false;
    }
    SyncPath(programFolder);
    std::error_code ec;
    fs::remove_all(staging, ec);
    if (ec) {
        *error = FileErrorText("復元の作業フォルダーを消せません", staging, ec.value());
        return false;
    }
    return true;
}

// The part files an interrupted backup leaves: ours, "tavo-<stamp>.zip.part", and the
// temporary libzip writes it through, "tavo-<stamp>.zip.part.XXXXXX".
bool IsSnapshotPart(std::string_view name) {
    constexpr std::string_view kPart = ".part";
    const size_t partAt = kPrefix.size() + kStampSize + kSuffix.size();
    return name.size() >= partAt + kPart.size() && !StampOf(name.substr(0, partAt)).empty() &&
           name.substr(partAt, kPart.size()) == kPart &&
           (name.size() == partAt + kPart.size() || name[partAt + kPart.size()] == '.');
}

// WriteFileAtomically's temporaries: "<name>.tmp-<process>-<counter>".
bool IsSaveTemporary(std::string_view name) {
    constexpr std::string_view kTmp = ".tmp-";
    const size_t at = name.rfind(kTmp);
    if (at == std::string_view::npos || at == 0)
        return false;
    const std::string_view numbers = name.substr(at + kTmp.size());
    const size_t dash = numbers.find('-');
    return dash != std::string_view::npos && dash > 0 && dash + 1 < numbers.size() &&
           IsDigits(numbers.substr(0, dash)) && IsDigits(numbers.substr(dash + 1));
}

void NoteRemoveError(const fs::path& path, const std::error_code& ec, std::string* errors) {
    if (!errors->empty())
        *errors += '\n';
    *errors += FileErrorText("残ったファイルを消せません", path, ec.value());
}

// Removes what `isLeftover` picks in `folder` (not below it): files, or with `folders`,
// folders and all they hold. Links are never followed nor removed.
template <typename Pick>
void RemoveFrom(const fs::path& folder, bool folders, Pick isLeftover, std::string* errors) {
    std::error_code ec;
    std::vector<fs::path> leftovers;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code statusError;
        const fs::file_type type = it->symlink_status(statusError).type();
        if ((folders ? type == fs::file_type::directory : type == fs::file_type::regular) &&
            isLeftover(it->path().filename().string()))
            leftovers.push_back(it->path());
    }
    if (ec && ec != std::errc::no_such_file_or_directory)  // a folder not made yet holds none
        NoteRemoveError(folder, ec, errors);
    for (const fs::path& leftover : leftovers) {
        fs::remove_all(leftover, ec);
        if (ec)
            NoteRemoveError(leftover, ec, errors);
    }
}

void RemoveBackupLeftovers(const fs::path& backupFolder, std::string* errors) {
    RemoveFrom(backupFolder, false, IsSnapshotPart, errors);
}

// While a journal exists its staging folder is needed, and an unreadable journal does not
// say which that is: then all stay.
void RemoveUnjournaledStaging(const fs::path& programFolder, std::string* errors) {
    if (!Exists(JournalPath(programFolder)))
        RemoveFrom(programFolder, true, IsStagingName, errors);
}

}  // namespace

std::string SnapshotFileName(std::string_view stamp) {
    std::string name(kPrefix);
    name += stamp;
    name += kSuffix;
    return name;
}

std::string NewSnapshotStamp(const fs::path& backupFolder) {
    std::error_code ec;
    for (LocalTime now = Now();; now = AddSeconds(now, 1)) {
        const std::string stamp = FormatStamp(now);
        if (!fs::exists(backupFolder / SnapshotFileName(stamp), ec))
            return stamp;
    }
}

bool CreateSnapshot(const fs::path& programFolder, const fs::path& backupFolder,
                    std::string_view stamp, fs::path* written, std::string* error) {
    if (!IsStamp(stamp)) {
        *error = FileErrorText("バックアップの名前が正しくありません", backupFolder, stamp);
        return false;
    }
    std::error_code ec;
    if (!fs::is_directory(programFolder / "data", ec)) {
        *error = FileErrorText("日記のフォルダーがありません", programFolder / "data", ENOENT);
        return false;
    }
    fs::create_directories(backupFolder, ec);
    if (ec) {
        *error = FileErrorText("バックアップ先のフォルダーを作れません", backupFolder, ec.value());
        return false;
    }
    const fs::path file = backupFolder / SnapshotFileName(stamp);
    const fs::path part = file.string() + ".part";
    // What cannot be removed now is reported at the next start.
    std::string ignoredErrors;
    RemoveBackupLeftovers(backupFolder, &ignoredErrors);
    int code = 0;
    Zip zip(zip_open(part.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!zip) {
        *error = ZipErrorText("バックアップを書き込めません", file, code);
        return false;
    }
    for (const std::string_view item : kSnapshotItems) {
        if (!AddToZip(zip.get(), programFolder / item, std::string(item), error))
            return false;
    }
    // On failure libzip removes its temporary file and leaves no ".part".
    if (zip_close(zip.get()) != 0) {
        *error = ZipErrorText("バックアップを書き込めません", file, zip_get_error(zip.get()));
        return false;
    }
    zip.release();
    int errorNumber = SyncPath(part);
    if (errorNumber == 0 && ::rename(part.c_str(), file.c_str()) != 0)
        errorNumber = errno;
    if (errorNumber != 0) {
        fs::remove(part, ec);
        *error = FileErrorText("バックアップを書き込めません", file, errorNumber);
        return false;
    }
    SyncPath(backupFolder);
    if (written)
        *written = file;
    return true;
}

std::vector<SnapshotInfo> ListSnapshots(const fs::path& backupFolder) {
    std::vector<SnapshotInfo> snapshots;
    std::error_code ec;
    for (fs::directory_iterator it(backupFolder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->path().filename().string().ends_with(kSuffix) || !it->is_regular_file(ec))
            continue;
        SnapshotInfo info;
        OpenSnapshot(it->path(), &info);
        snapshots.push_back(std::move(info));
    }
    std::sort(snapshots.begin(), snapshots.end(), [](const SnapshotInfo& a, const SnapshotInfo& b) {
        if (a.stamp.empty() != b.stamp.empty())
            return b.stamp.empty();
        if (!a.stamp.empty() && a.stamp != b.stamp)
            return a.stamp > b.stamp;
        return a.file.filename() < b.file.filename();
    });
    return snapshots;
}

bool HasSnapshotOfDay(const fs::path& backupFolder, std::string_view day) {
    if (day.size() != 8)
        return false;
    // Only that day's zips are opened: this runs at every start and exit.
    std::error_code ec;
    for (fs::directory_iterator it(backupFolder, ec), end; !ec && it != end; it.increment(ec)) {
        SnapshotInfo info;
        if (StampOf(it->path().filename().string()).starts_with(day) &&
            OpenSnapshot(it->path(), &info))
            return true;
    }
    return false;
}

bool RotateSnapshots(const fs::path& backupFolder, size_t keep, std::string* error) {
    bool removedAll = true;
    size_t kept = 0;
    for (const SnapshotInfo& snapshot : ListSnapshots(backupFolder)) {
        if (!snapshot.readable || snapshot.stamp.empty() || kept++ < keep)
            continue;
        std::error_code ec;
        fs::remove(snapshot.file, ec);
        if (ec && removedAll) {
            *error = FileErrorText("古いバックアップを消せません", snapshot.file, ec.value());
            removedAll = false;
        }
    }
    return removedAll;
}

bool RestoreSnapshot(const fs::path& programFolder, const fs::path& snapshot, std::string* error) {
    return RestoreSnapshot(programFolder, snapshot, error, {});
}

bool RestoreSnapshot(const fs::path& programFolder, const fs::path& snapshot, std::string* error,
                     const RenameHook& beforeRename) {
    SnapshotInfo info;
    const Zip zip = OpenSnapshot(snapshot, &info);
    if (!zip) {
        *error = info.problem;
        return false;
    }
    // The start completes an unfinished restore; another journal would lose its folder.
    if (Exists(JournalPath(programFolder))) {
        *error = FileErrorText("日記を戻せません", JournalPath(programFolder),
                               "前回の復元が終わっていません");
        return false;
    }
    StagingFolder staging(programFolder);
    if (staging.path().empty()) {
        *error = FileErrorText("日記のフォルダーに書き込めません", programFolder, errno);
        return false;
    }
    const fs::path staged = staging.path() / "new";
    if (::mkdir(staged.c_str(), 0777) != 0 ||
        ::mkdir((staging.path() / "old").c_str(), 0777) != 0) {
        *error = FileErrorText("日記のフォルダーに書き込めません", staging.path(), errno);
        return false;
    }
    if (!Extract(zip.get(), snapshot, staged, error))
        return false;
    // One sync for every unpacked file: once the journal exists, the next start relies on
    // them, and a crash after the swap cannot leave the diary's files empty.
    if (const int errorNumber = SyncPath(staging.path(), true); errorNumber != 0) {
        *error = FileErrorText("バックアップを展開できません", staging.path(), errorNumber);
        return false;
    }
    Journal journal{staging.path().filename().string(), {}};
    for (const std::string_view item : kSnapshotItems) {
        if (Exists(staged / item))
            journal.items.emplace_back(item);
    }
    int renames = 1;  // the journal's own, inside WriteFileAtomically
    if (beforeRename)
        beforeRename(renames);
    if (!WriteJournal(programFolder, journal, error))
        return false;

    for (size_t i = 0; i < journal.items.size(); ++i) {
        if (SwapItem(PlacesOf(programFolder, staging.path(), journal.items[i]), beforeRename,
                     &renames, error))
            continue;
        // A failure while the program runs puts the diary back as it was; only a crash
        // leaves the restore to be completed at the next start.
        bool putBack = true;
        for (size_t j = i + 1; j-- > 0;)
            putBack =
                UnswapItem(PlacesOf(programFolder, staging.path(), journal.items[j])) && putBack;
        if (putBack && ::unlink(JournalPath(programFolder).c_str()) == 0) {
            SyncPath(programFolder);
            return false;
        }
        staging.keep();
        *error += "\n次回の起動時に復元を完了します。";
        return false;
    }
    // The restore is done; a journal or folder left over is cleared at the next start.
    std::string cleanupError;
    EndSwap(programFolder, staging.path(), &cleanupError);
    return true;
}

bool FinishInterruptedRestore(const fs::path& programFolder, std::string* report,
                              std::string* error, const RenameHook& beforeRename) {
    report->clear();
    std::optional<Journal> journal;
    if (!ReadJournal(programFolder, &journal, error))
        return false;
    if (journal) {
        const fs::path staging = programFolder / journal->staging;
        int renames = 0;
        for (const std::string& item : journal->items) {
            if (!SwapItem(PlacesOf(programFolder, staging, item), beforeRename, &renames, error))
                return false;
        }
        if (!EndSwap(programFolder, staging, error))
            return false;
        *report =
            "前回、バックアップからの復元が途中で中断されていたため、その復元を完了しました。";
    }
    std::string errors;
    RemoveUnjournaledStaging(programFolder, &errors);
    if (!errors.empty()) {
        *error = errors;
        return false;
    }
    return true;
}

bool RemoveLeftovers(const fs::path& programFolder, const fs::path& backupFolder,
                     std::string* error) {
    std::string errors;
    RemoveBackupLeftovers(backupFolder, &errors);
    RemoveUnjournaledStaging(programFolder, &errors);
    RemoveFrom(programFolder, false, IsSaveTemporary, &errors);
    for (const char* folder : {"data", "recovery", "style", "tavo-img", "conflicts"})
        RemoveFrom(programFolder / folder, false, IsSaveTemporary, &errors);
    if (!errors.empty())
        *error = errors;
    return errors.empty();
}

}  // namespace tavo
