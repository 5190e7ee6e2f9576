#include "entry_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "conflicts.h"
#include "scramble.h"
#include "text_file.h"

namespace tavo {
namespace {

int CompareIgnoringCase(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

size_t LinesNeeded(EntryParts parts) {
    return parts == EntryParts::Checked ? 3 : static_cast<size_t>(parts);
}

// False, with the reason, when the lines do not hold what `parts` asks for; `file()` gives
// the file to name, only then.
template <typename File>
bool CheckEntryLines(const std::string_view (&lines)[3], size_t count, EntryParts parts,
                     const File& file, std::string* error) {
    if (count < LinesNeeded(parts)) {
        *error = TooFewLinesText(LinesNeeded(parts), count, file());
        return false;
    }
    if (parts != EntryParts::Checked)
        return true;
    for (size_t i = 0; i < 3; ++i) {
        if (!IsEncodedText(lines[i])) {
            *error = "日記ファイルの " + std::to_string(i + 1) + " 行目が壊れています";
            if (const std::filesystem::path named = file(); !named.empty())
                *error += ": \"" + named.string() + "\"";
            return false;
        }
    }
    return true;
}

// The one read of an entry file, `name` relative to the folder `at`: one open and, for the
// usual small file, two reads into `buffer`, kept by readers of many files; `file()` names
// the file in errors.
template <typename File>
EntryStore::ReadStatus ReadEntryFile(int at, const char* name, const File& file, EntryParts parts,
                                     std::string* buffer, std::string_view (&lines)[3],
                                     std::string* error, FileStamp* stamp = nullptr) {
    using Status = EntryStore::ReadStatus;
    const int fd = ::openat(at, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int openError = errno;
        if (openError == ENOENT || openError == ENOTDIR)
            return Status::Missing;
        struct stat status;
        if (::fstatat(at, name, &status, 0) != 0)
            *error = FileErrorText("日記ファイルを確認できません", file(), errno);
        else
            *error = FileErrorText("ファイルを開けません", file(), openError);
        return Status::Failed;
    }
    size_t size = 0;
    if (!ReadToEnd(fd, buffer, &size)) {
        *error = FileErrorText("ファイルを読めません", file(), errno);
        ::close(fd);
        return Status::Failed;
    }
    if (stamp) {
        // Of the very bytes read, so that no other writer can come between the two.
        *stamp = StampOfContent(std::string_view(buffer->data(), size));
        struct stat status;
        if (::fstat(fd, &status) == 0)
            stamp->modifiedNs = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 +
                                status.st_mtim.tv_nsec;
    }
    ::close(fd);
    const size_t count = SplitEntryLines(std::string_view(buffer->data(), size), lines);
    return CheckEntryLines(lines, count, parts, file, error) ? Status::Found : Status::Failed;
}

void DecodeEntryLines(const std::string_view (&lines)[3], EntryParts parts, Entry* entry) {
    *entry = Entry{};
    AppendDecodedText(lines[0], &entry->title);
    if (LinesNeeded(parts) >= 2)
        AppendDecodedText(lines[1], &entry->publicText);
    if (LinesNeeded(parts) >= 3)
        AppendDecodedText(lines[2], &entry->privateText);
}

}  // namespace

std::string EntryFileName(const Date& date) {
    return FormatYyyymmdd(date) + ".txt";
}

bool IsEntryFileName(std::string_view fileName) {
    return fileName.size() == 12 && fileName.ends_with(".txt") &&
           std::all_of(fileName.begin(), fileName.begin() + 8,
                       [](char c) { return c >= '0' && c <= '9'; });
}

std::string EntryName(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    return std::string(dot == std::string_view::npos ? fileName : fileName.substr(0, dot));
}

bool IndexNameLess(std::string_view a, std::string_view b) {
    return CompareIgnoringCase(a, b) < 0;
}

std::string IndexSortKey(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

std::string EntryFileBytes(const Entry& entry) {
    return JoinLinesCrLf(
        {EncodeText(entry.title), EncodeText(entry.publicText), EncodeText(entry.privateText)});
}

std::string TooFewLinesText(size_t needed, size_t found, const std::filesystem::path& file) {
    std::string text = "日記ファイルの行が足りません (" + std::to_string(needed) +
                       " 行必要なところ " + std::to_string(found) + " 行)";
    if (!file.empty())
        text += ": \"" + file.string() + "\"";
    return text;
}

size_t SplitEntryLines(std::string_view bytes, std::string_view (&lines)[3]) {
    size_t count = 0;
    for (size_t at = 0; count < 3 && at < bytes.size();)
        lines[count++] = NextLine(bytes, &at);
    return count;
}

bool ParseEntryFile(std::string_view bytes, Entry* entry, std::string* error) {
    std::string_view lines[3];
    const size_t count = SplitEntryLines(bytes, lines);
    if (!CheckEntryLines(
            lines, count, EntryParts::Checked, [] { return std::filesystem::path(); }, error))
        return false;
    DecodeEntryLines(lines, EntryParts::Checked, entry);
    return true;
}

EntryStore::EntryStore(std::filesystem::path programFolder)
    : programFolder_(std::move(programFolder)) {}

std::filesystem::path EntryStore::EntryPath(std::string_view fileName) const {
    return DataFolder() / std::filesystem::path(std::string(fileName));
}

EntryStore::ReadStatus EntryStore::ReadEntry(std::string_view fileName, Entry* entry,
                                             std::string* error, EntryParts parts,
                                             FileStamp* stamp) const {
    const std::filesystem::path path = EntryPath(fileName);
    std::string buffer;
    std::string_view lines[3];
    if (stamp)
        *stamp = {};
    const ReadStatus status = ReadEntryFile(
        AT_FDCWD, path.c_str(), [&] { return path; }, parts, &buffer, lines, error, stamp);
    if (status == ReadStatus::Missing)
        *entry = Entry{};
    if (status == ReadStatus::Found)
        DecodeEntryLines(lines, parts, entry);
    return status;
}

EntryReader::EntryReader(std::filesystem::path folder)
    : folder_(std::move(folder)),
      folderFd_(::open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}

EntryReader::~EntryReader() {
    if (folderFd_ >= 0)
        ::close(folderFd_);
}

EntryStore::ReadStatus EntryReader::Read(std::string_view fileName, EntryParts parts,
                                         std::string_view (&lines)[3], std::string* error) {
    const auto path = [&] { return folder_ / std::filesystem::path(std::string(fileName)); };
    // Opened from the folder, each file skips the walk down the whole path.
    if (folderFd_ >= 0)
        name_.assign(fileName);
    else
        name_ = path().string();
    return ReadEntryFile(folderFd_ >= 0 ? folderFd_ : AT_FDCWD, name_.c_str(), path, parts,
                         &buffer_, lines, error);
}

bool EntryStore::SaveEntry(std::string_view fileName, const Entry& entry,
                           std::string* error) const {
    const std::filesystem::path path = EntryPath(fileName);
    if (!entry.IsEmpty()) {
        if (!WriteFileAtomically(path, EntryFileBytes(entry), error))
            return false;
        return UpdateIndex(fileName, true, error);
    }
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return true;
    return DeleteEntry(fileName, error);
}

bool EntryStore::DeleteEntry(std::string_view fileName, std::string* error) const {
    const std::filesystem::path path = EntryPath(fileName);
    std::error_code ec;
    if (!std::filesystem::remove(path, ec) && ec) {
        *error = FileErrorText("日記ファイルを削除できません", path, ec.message());
        return false;
    }
    return UpdateIndex(fileName, false, error);
}

bool EntryStore::UpdateIndex(std::string_view fileName, bool add, std::string* error) const {
    std::error_code ec;
    if (!std::filesystem::exists(IndexFile(), ec))
        return RebuildIndex(error);

    const std::string name = EntryName(fileName);
    std::vector<std::string> lines;
    if (!ReadLines(IndexFile(), &lines, error))
        return false;
    if (add) {
        const bool inOrder =
            std::adjacent_find(lines.begin(), lines.end(), [](const auto& a, const auto& b) {
                return !IndexNameLess(a, b);
            }) == lines.end();
        if (inOrder && std::binary_search(lines.begin(), lines.end(), name, IndexNameLess))
            return true;  // already listed; nothing would change
        // Kept sorted and free of duplicates, whatever order the file was in.
        std::vector<std::string> sorted;
        sorted.reserve(lines.size() + 1);
        for (auto& line : lines) {
            auto at = std::lower_bound(sorted.begin(), sorted.end(), line, IndexNameLess);
            if (at == sorted.end() || IndexNameLess(line, *at))
                sorted.insert(at, std::move(line));
        }
        auto at = std::lower_bound(sorted.begin(), sorted.end(), name, IndexNameLess);
        if (at == sorted.end() || IndexNameLess(name, *at))
            sorted.insert(at, name);
        return WriteLines(IndexFile(), sorted, error);
    }
    const auto found = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return CompareIgnoringCase(line, name) == 0;
    });
    if (found == lines.end())
        return true;
    lines.erase(found);
    return WriteLines(IndexFile(), lines, error);
}

bool EntryStore::RebuildIndex(std::string* error) const {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(DataFolder(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string fileName = it->path().filename().string();
        // Leftovers of an interrupted save are not entries, nor are the second versions
        // that sync tools leave beside an entry: listed, they would be days of their own.
        if (fileName.find(".tmp-") != std::string::npos || ParseConflictCopyName(fileName))
            continue;
        names.push_back(EntryName(fileName));
    }
    if (ec) {
        *error = FileErrorText("data フォルダを読めません", DataFolder(), ec.message());
        return false;
    }
    std::stable_sort(names.begin(), names.end(), IndexNameLess);
    return WriteLines(IndexFile(), names, error);
}

bool EntryStore::ReadIndex(std::vector<std::string>* names, std::string* error) const {
    if (!ReadLines(IndexFile(), names, error))
        return false;
    std::stable_sort(names->begin(), names->end(), IndexNameLess);
    return true;
}

}  // namespace tavo
