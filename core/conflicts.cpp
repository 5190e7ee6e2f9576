#include "conflicts.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "text_file.h"

namespace tavo {
namespace {

constexpr std::string_view kText = ".txt";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

// Pieces of a name taken off its front or its end, each only when it is there.
class NameReader {
public:
    explicit NameReader(std::string_view text) : rest_(text) {}

    std::string_view rest() const { return rest_; }
    bool empty() const { return rest_.empty(); }

    bool Take(std::string_view literal) {
        if (!rest_.starts_with(literal))
            return false;
        rest_.remove_prefix(literal.size());
        return true;
    }
    bool TakeDigits(size_t count) {
        if (rest_.size() < count || !IsDigits(rest_.substr(0, count)))
            return false;
        rest_.remove_prefix(count);
        return true;
    }
    // A run of letters and digits, such as Syncthing's short device id.
    bool TakeWord() {
        size_t n = 0;
        while (n < rest_.size() && (IsDigit(rest_[n]) || (rest_[n] >= 'A' && rest_[n] <= 'Z') ||
                                    (rest_[n] >= 'a' && rest_[n] <= 'z')))
            ++n;
        rest_.remove_prefix(n);
        return n > 0;
    }

    bool TakeFromEnd(std::string_view literal) {
        if (!rest_.ends_with(literal))
            return false;
        rest_.remove_suffix(literal.size());
        return true;
    }
    bool TakeDigitsFromEnd(size_t count) {
        if (rest_.size() < count || !IsDigits(rest_.substr(rest_.size() - count)))
            return false;
        rest_.remove_suffix(count);
        return true;
    }
    // "yyyy-mm-dd", as Dropbox and Nextcloud date their copies.
    bool TakeIsoDateFromEnd() {
        NameReader date(rest_);
        if (!date.TakeDigitsFromEnd(2) || !date.TakeFromEnd("-") || !date.TakeDigitsFromEnd(2) ||
            !date.TakeFromEnd("-") || !date.TakeDigitsFromEnd(4))
            return false;
        rest_ = date.rest_;
        return true;
    }
    // The " (1)" that tools add when a copy of that name exists already.
    void TakeCounterFromEnd() {
        const size_t open = rest_.rfind(" (");
        if (open != std::string_view::npos && rest_.ends_with(')') &&
            IsDigits(rest_.substr(open + 2, rest_.size() - open - 3)))
            rest_ = rest_.substr(0, open);
    }

private:
    std::string_view rest_;
};

// ".sync-conflict-20250101-120000-ABCDEFG", once or, for a copy of a copy, more often.
bool IsSyncthingMark(std::string_view mark) {
    NameReader reader(mark);
    do {
        if (!reader.Take(".sync-conflict-") || !reader.TakeDigits(8) || !reader.Take("-") ||
            !reader.TakeDigits(6) || !reader.Take("-") || !reader.TakeWord())
            return false;
    } while (!reader.empty());
    return true;
}

// What stands in the parentheses of a Nextcloud copy: "conflicted copy", the user when the
// client knows it, the date and, mostly, the time.
bool IsNextcloudMark(std::string_view inner) {
    NameReader reader(inner);
    if (!reader.Take("conflicted copy "))
        return false;
    NameReader timed = reader;
    if (timed.TakeDigitsFromEnd(6) && timed.TakeFromEnd(" "))
        reader = timed;
    if (!reader.TakeIsoDateFromEnd())
        return false;
    return reader.empty() || (reader.rest().size() >= 2 && reader.TakeFromEnd(" "));
}

// Dropbox's "<owner>'s conflicted copy <date>"; the owner is a person's or a computer's
// name in any script.
bool IsDropboxMark(std::string_view inner) {
    NameReader reader(inner);
    reader.TakeCounterFromEnd();
    if (!reader.TakeIsoDateFromEnd() || !reader.TakeFromEnd("s conflicted copy "))
        return false;
    if (!reader.TakeFromEnd("'") && !reader.TakeFromEnd("\xE2\x80\x99"))  // ' or U+2019
        return false;
    return !reader.empty();
}

bool MakeConflictsFolder(const std::filesystem::path& folder, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        *error = FileErrorText("conflicts フォルダーを作れません", folder, ec.message());
        return false;
    }
    return true;
}

// `stem` + `ext` in `folder`, or with "-2", "-3", … after the stem when that is taken, so
// that nothing already kept is replaced.
bool FreeName(const std::filesystem::path& folder, const std::string& stem, std::string_view ext,
              std::filesystem::path* free, std::string* error) {
    constexpr int kMostCopies = 10000;
    for (int counter = 1; counter <= kMostCopies; ++counter) {
        std::string name = stem;
        if (counter > 1)
            name += "-" + std::to_string(counter);
        name += ext;
        const std::filesystem::path candidate = folder / name;
        std::error_code ec;
        // A link is a taken name too, even when it leads nowhere.
        const auto status = std::filesystem::symlink_status(candidate, ec);
        if (ec && ec != std::errc::no_such_file_or_directory) {
            *error = FileErrorText("ファイルを確認できません", candidate, ec.message());
            return false;
        }
        if (!std::filesystem::exists(status)) {
            *free = candidate;
            return true;
        }
    }
    *error =
        FileErrorText("同じ名前のファイルが多すぎます", folder / (stem + std::string(ext)), EEXIST);
    return false;
}

}  // namespace

std::optional<ConflictCopyName> ParseConflictCopyName(std::string_view fileName) {
    NameReader reader(fileName);
    if (!reader.TakeFromEnd(kText) || reader.rest().size() <= 8 ||
        !IsDigits(reader.rest().substr(0, 8)))
        return std::nullopt;
    std::string entryFileName(reader.rest().substr(0, 8));
    entryFileName += kText;
    reader.TakeDigits(8);

    if (IsSyncthingMark(reader.rest()))
        return ConflictCopyName{std::move(entryFileName), SyncTool::Syncthing};

    reader.TakeCounterFromEnd();
    if (!reader.Take(" (") || !reader.TakeFromEnd(")"))
        return std::nullopt;
    if (IsNextcloudMark(reader.rest()))
        return ConflictCopyName{std::move(entryFileName), SyncTool::Nextcloud};
    if (IsDropboxMark(reader.rest()))
        return ConflictCopyName{std::move(entryFileName), SyncTool::Dropbox};
    return std::nullopt;
}

bool ReadModificationTime(const std::filesystem::path& file,
                          std::chrono::system_clock::time_point* modified, std::string* error) {
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(file, ec);
    if (ec) {
        *error = FileErrorText("ファイルの更新日時を読めません", file, ec.message());
        return false;
    }
    *modified = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        std::chrono::file_clock::to_sys(written));
    return true;
}

std::vector<ConflictCopy> FindConflictCopies(const EntryStore& store, std::string* error) {
    error->clear();
    std::vector<ConflictCopy> copies;
    std::error_code ec;
    if (!std::filesystem::exists(store.DataFolder(), ec) && !ec)
        return copies;
    for (std::filesystem::directory_iterator it(store.DataFolder(), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::optional<ConflictCopyName> name =
            ParseConflictCopyName(it->path().filename().string());
        std::error_code typeError;
        if (!name || it->is_directory(typeError))
            continue;
        ConflictCopy copy{std::move(name->entryFileName), it->path(), name->tool, {}};
        if (!ReadModificationTime(copy.path, &copy.modified, error)) {
            // Gone since the listing: another program set it aside or removed it.
            std::error_code existsError;
            if (std::filesystem::exists(copy.path, existsError) || existsError)
                return {};
            error->clear();
            continue;
        }
        copies.push_back(std::move(copy));
    }
    if (ec) {
        *error = FileErrorText("data フォルダを読めません", store.DataFolder(), ec.message());
        return {};
    }
    std::sort(copies.begin(), copies.end(), [](const ConflictCopy& a, const ConflictCopy& b) {
        if (a.entryFileName != b.entryFileName)
            return a.entryFileName < b.entryFileName;
        return a.path.filename().string() < b.path.filename().string();
    });
    return copies;
}

std::filesystem::path ConflictsFolder(const std::filesystem::path& programFolder) {
    return programFolder / "conflicts";
}

bool KeepAsideCopy(const std::filesystem::path& programFolder, std::string_view entryFileName,
                   std::string_view bytes, std::string_view stamp, std::filesystem::path* written,
                   std::string* error) {
    const std::filesystem::path folder = ConflictsFolder(programFolder);
    if (!IsEntryFileName(entryFileName)) {
        *error = FileErrorText("日記ファイルの名前ではありません",
                               folder / std::string(entryFileName), EINVAL);
        return false;
    }
    if (!IsStamp(stamp)) {
        *error = FileErrorText("控えの日時が正しくありません", folder, stamp);
        return false;
    }
    std::filesystem::path target;
    if (!MakeConflictsFolder(folder, error) ||
        !FreeName(folder, EntryName(entryFileName) + "-" + std::string(stamp), kText, &target,
                  error) ||
        !WriteFileAtomically(target, bytes, error))
        return false;
    if (written)
        *written = target;
    return true;
}

bool SetConflictCopyAside(const std::filesystem::path& programFolder, const ConflictCopy& copy,
                          std::filesystem::path* movedTo, std::string* error) {
    const std::filesystem::path folder = ConflictsFolder(programFolder);
    const std::filesystem::path name = copy.path.filename();
    std::filesystem::path target;
    if (!MakeConflictsFolder(folder, error) ||
        !FreeName(folder, name.stem().string(), name.extension().string(), &target, error))
        return false;
    std::error_code ec;
    std::filesystem::rename(copy.path, target, ec);
    if (ec) {
        *error =
            FileErrorText("競合コピーを conflicts フォルダーへ移せません", copy.path, ec.message());
        return false;
    }
    if (movedTo)
        *movedTo = target;
    return true;
}

}  // namespace tavo
