#include "backup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <system_error>

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

bool IsStamp(std::string_view text) {
    return text.size() == kStampSize && IsDigits(text.substr(0, 8)) && text[8] == '-' &&
           IsDigits(text.substr(9));
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
    constexpr std::string_view kText = ".txt";
    return name.size() == kData.size() + 8 + kText.size() && name.starts_with(kData) &&
           name.ends_with(kText) && IsDigits(name.substr(kData.size(), 8));
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

// A fresh folder ".restore-XXXXXX" in the program folder, on the same file system as the
// items so that swapping them is a rename; removed with what it holds.
class StagingFolder {
public:
    explicit StagingFolder(const fs::path& programFolder) {
        std::string pattern = (programFolder / ".restore-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~StagingFolder() {
        std::error_code ec;
        if (!path_.empty())
            fs::remove_all(path_, ec);
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// Moves each item the staged folder holds into the program folder and the current one into
// `aside`. A failed rename puts back what was already swapped.
bool SwapItems(const fs::path& programFolder, const fs::path& staged, const fs::path& aside,
               std::string* error) {
    struct Swapped {
        std::string_view item;
        bool setAside;
    };
    std::vector<Swapped> done;
    for (const std::string_view item : kSnapshotItems) {
        const fs::path current = programFolder / item;
        if (!Exists(staged / item))
            continue;
        const bool setAside = Exists(current);
        const bool asideDone = !setAside || ::rename(current.c_str(), (aside / item).c_str()) == 0;
        if (asideDone && ::rename((staged / item).c_str(), current.c_str()) == 0) {
            done.push_back({item, setAside});
            continue;
        }
        *error = FileErrorText("日記を戻せません", current, errno);
        if (setAside && asideDone)
            ::rename((aside / item).c_str(), current.c_str());
        for (auto it = done.rbegin(); it != done.rend(); ++it) {
            const fs::path restored = programFolder / it->item;
            ::rename(restored.c_str(), (staged / it->item).c_str());
            if (it->setAside)
                ::rename((aside / it->item).c_str(), restored.c_str());
        }
        return false;
    }
    return true;
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
    for (std::time_t now = std::time(nullptr);; ++now) {
        std::tm local{};
        ::localtime_r(&now, &local);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
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
    fs::remove(part, ec);  // left by an interrupted run
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
    SnapshotInfo info;
    const Zip zip = OpenSnapshot(snapshot, &info);
    if (!zip) {
        *error = info.problem;
        return false;
    }
    const StagingFolder staging(programFolder);
    if (staging.path().empty()) {
        *error = FileErrorText("日記のフォルダーに書き込めません", programFolder, errno);
        return false;
    }
    const fs::path staged = staging.path() / "new";
    const fs::path aside = staging.path() / "old";
    if (::mkdir(staged.c_str(), 0777) != 0 || ::mkdir(aside.c_str(), 0777) != 0) {
        *error = FileErrorText("日記のフォルダーに書き込めません", staging.path(), errno);
        return false;
    }
    if (!Extract(zip.get(), snapshot, staged, error))
        return false;
    // One sync for every unpacked file, so that a crash after the swap cannot leave the
    // diary's files empty.
    if (const int errorNumber = SyncPath(staging.path(), true); errorNumber != 0) {
        *error = FileErrorText("バックアップを展開できません", staging.path(), errorNumber);
        return false;
    }
    if (!SwapItems(programFolder, staged, aside, error))
        return false;
    SyncPath(programFolder);
    return true;
}

}  // namespace tavo
