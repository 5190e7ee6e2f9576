#include "entry_store.h"

#include <algorithm>
#include <cctype>
#include <system_error>

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

}  // namespace

std::string EntryFileName(const Date& date) {
    return FormatYyyymmdd(date) + ".txt";
}

std::string EntryName(std::string_view fileName) {
    const size_t dot = fileName.rfind('.');
    return std::string(dot == std::string_view::npos ? fileName : fileName.substr(0, dot));
}

bool IndexNameLess(std::string_view a, std::string_view b) {
    return CompareIgnoringCase(a, b) < 0;
}

std::string EntryFileBytes(const Entry& entry) {
    return JoinLinesCrLf(
        {EncodeText(entry.title), EncodeText(entry.publicText), EncodeText(entry.privateText)});
}

bool ParseEntryFile(std::string_view bytes, Entry* entry, std::string* error) {
    const std::vector<std::string> lines = SplitLines(bytes);
    if (lines.size() < 3) {
        *error = "日記ファイルの行が足りません (3 行必要なところ " + std::to_string(lines.size()) +
                 " 行)";
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        if (!IsEncodedText(lines[i])) {
            *error = "日記ファイルの " + std::to_string(i + 1) + " 行目が壊れています";
            return false;
        }
    }
    entry->title = DecodeText(lines[0]);
    entry->publicText = DecodeText(lines[1]);
    entry->privateText = DecodeText(lines[2]);
    return true;
}

EntryStore::EntryStore(std::filesystem::path programFolder)
    : programFolder_(std::move(programFolder)) {}

std::filesystem::path EntryStore::EntryPath(std::string_view fileName) const {
    return DataFolder() / std::filesystem::path(std::string(fileName));
}

EntryStore::ReadStatus EntryStore::ReadEntryBytes(std::string_view fileName, std::string* bytes,
                                                  std::string* error) const {
    const std::filesystem::path path = EntryPath(fileName);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        if (!ec)
            return ReadStatus::Missing;
        *error = FileErrorText("日記ファイルを確認できません", path, ec.message());
        return ReadStatus::Failed;
    }
    return ReadFileBytes(path, bytes, error) ? ReadStatus::Found : ReadStatus::Failed;
}

EntryStore::ReadStatus EntryStore::ReadEntry(std::string_view fileName, Entry* entry,
                                             std::string* error) const {
    std::string bytes;
    const ReadStatus status = ReadEntryBytes(fileName, &bytes, error);
    if (status == ReadStatus::Missing)
        *entry = Entry{};
    if (status != ReadStatus::Found)
        return status;
    if (!ParseEntryFile(bytes, entry, error)) {
        *error += ": \"" + EntryPath(fileName).string() + "\"";
        return ReadStatus::Failed;
    }
    return ReadStatus::Found;
}

EntryStore::ReadStatus EntryStore::ReadPublicPart(std::string_view fileName, std::string* title,
                                                  std::string* publicText,
                                                  std::string* error) const {
    std::string bytes;
    const ReadStatus status = ReadEntryBytes(fileName, &bytes, error);
    if (status != ReadStatus::Found)
        return status;
    const std::vector<std::string> lines = SplitLines(bytes);
    if (lines.size() < 2) {
        *error = "日記ファイルの行が足りません (2 行以上必要なところ " +
                 std::to_string(lines.size()) + " 行): \"" + EntryPath(fileName).string() + "\"";
        return ReadStatus::Failed;
    }
    *title = DecodeText(lines[0]);
    *publicText = DecodeText(lines[1]);
    return ReadStatus::Found;
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
        // Leftovers of an interrupted save are not entries.
        if (fileName.find(".tmp-") != std::string::npos)
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
