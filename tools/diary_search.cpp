#include "diary_search.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

#include "core/cp932.h"
#include "core/entry_store.h"
#include "core/scramble.h"
#include "core/text_file.h"

namespace tavo {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads the whole file into `bytes`, reusing its storage from one file to the next.
EntryLines ReadBytes(const std::filesystem::path& file, std::string* bytes, std::string* error) {
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(file.c_str(), "rb"));
    if (!in) {
        if (errno == ENOENT)
            return EntryLines::Missing;
        *error = FileErrorText("ファイルを開けません", file, errno);
        return EntryLines::Failed;
    }
    // Read straight into the string: entry files are small and read once.
    std::setvbuf(in.get(), nullptr, _IONBF, 0);
    size_t size = 0;
    for (;;) {
        if (bytes->size() < size + 16384)
            bytes->resize(size + 16384);
        const size_t room = bytes->size() - size;
        const size_t n = std::fread(bytes->data() + size, 1, room, in.get());
        size += n;
        if (n < room)
            break;
    }
    bytes->resize(size);
    if (std::ferror(in.get())) {
        *error = FileErrorText("ファイルを読めません", file, errno);
        return EntryLines::Failed;
    }
    return EntryLines::Found;
}

// The first `max` lines of `text`, split as every text file of the diary is: CR, LF and
// CR LF each end a line; a final line break does not start another line.
size_t FirstLines(std::string_view text, std::string_view* lines, size_t max) {
    size_t count = 0;
    size_t start = 0;
    for (size_t i = 0; i < text.size() && count < max; ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines[count++] = text.substr(start, i - start);
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (count < max && start < text.size())
        lines[count++] = text.substr(start);
    return count;
}

int DaysBetween(const Date& from, const Date& to) {
    auto days = [](const Date& d) {
        return std::chrono::sys_days{std::chrono::year{d.year} /
                                     std::chrono::month{static_cast<unsigned>(d.month)} /
                                     std::chrono::day{static_cast<unsigned>(d.day)}};
    };
    return static_cast<int>((days(to) - days(from)).count());
}

// Searches one entry file's bytes; false (with the reason) when it has too few lines for
// the parts asked for. The title line is always needed for the hit.
class EntryMatcher {
public:
    explicit EntryMatcher(const SearchRequest& request) : request_(request) {
        needed_ = request.privateText ? 3 : request.publicText ? 2 : 1;
    }

    bool Match(std::string_view bytes, const Date& date, SearchResult* result,
               std::string* reason) {
        std::string_view lines[3];
        const size_t count = FirstLines(bytes, lines, 3);
        if (count < needed_) {
            *reason = "日記ファイルの行が足りません (" + std::to_string(needed_) +
                      " 行必要なところ " + std::to_string(count) + " 行)";
            return false;
        }
        std::string title;
        AppendDecodedText(lines[0], &title);
        bool hit = request_.text.empty();
        if (!hit) {
            // The parts are joined without a separator, as one text.
            searched_.clear();
            if (request_.title)
                searched_ += title;
            if (request_.publicText)
                AppendDecodedText(lines[1], &searched_);
            if (request_.privateText)
                AppendDecodedText(lines[2], &searched_);
            hit = FindCp932(searched_, request_.text) != std::string_view::npos;
        }
        if (hit)
            result->hits.push_back({date, std::move(title)});
        return true;
    }

private:
    const SearchRequest& request_;
    size_t needed_;
    std::string searched_;
};

}  // namespace

size_t FindCp932(std::string_view haystack, std::string_view needle) {
    // Candidates come from the plain byte search. A character ends right after any byte
    // outside the lead-byte ranges, and `start` is always a character start; from the
    // nearer of the two, the lead-range bytes before the candidate pair up, so it starts a
    // character exactly when their number is even. Each byte is looked back at once at most.
    for (size_t start = 0;;) {
        const size_t at = haystack.find(needle, start);
        if (at == std::string_view::npos)
            return at;
        size_t leads = 0;
        while (at - leads > start &&
               IsCp932LeadByte(static_cast<unsigned char>(haystack[at - 1 - leads])))
            ++leads;
        if (leads % 2 == 0)
            return at;
        start = at + 1;  // `at` was the trail byte of the character ending there
    }
}

EntryLines ReadEntryLines(const std::filesystem::path& file, std::vector<std::string>* lines,
                          std::string* error) {
    std::string bytes;
    const EntryLines status = ReadBytes(file, &bytes, error);
    if (status == EntryLines::Found)
        *lines = SplitLines(bytes);
    return status;
}

bool SearchDiary(const std::filesystem::path& programFolder, const SearchRequest& request,
                 SearchResult* result, std::string* error, const SearchProgress& progress) {
    *result = SearchResult{};
    const EntryStore store(programFolder);
    EntryMatcher matcher(request);
    std::string bytes;
    std::string reason;

    if (request.allEntries) {
        std::vector<std::string> names;
        std::error_code ec;
        for (std::filesystem::directory_iterator it(store.DataFolder(), ec), end; !ec && it != end;
             it.increment(ec)) {
            std::string name = it->path().filename().string();
            // Leftovers of an interrupted save are not entries; the entry itself is there.
            if (name.find(".tmp-") == std::string::npos)
                names.push_back(std::move(name));
        }
        if (ec) {
            *error = "data フォルダを読めません \"" + store.DataFolder().string() +
                     "\": " + ec.message();
            return false;
        }
        std::sort(names.begin(), names.end(), IndexNameLess);
        const size_t n = names.size();
        for (size_t c = 0; c < n; ++c) {
            if (progress)
                progress(static_cast<int>(c * 100 / n));
            const std::string& name = names[c];
            const std::optional<Date> date = ParseEntryName(name, &reason);
            if (!date) {
                result->skipped.push_back({name, reason});
                continue;
            }
            const EntryLines status = ReadBytes(store.EntryPath(name), &bytes, &reason);
            if (status == EntryLines::Missing)
                continue;  // removed since the listing
            if (status == EntryLines::Failed || !matcher.Match(bytes, *date, result, &reason))
                result->skipped.push_back({name, reason});
        }
        return true;
    }

    const int days = DaysBetween(request.first, request.last);
    for (int i = 0; i <= days; ++i) {
        if (progress)
            progress(static_cast<int>((static_cast<long long>(i) + 1) * 100 / (days + 1)));
        const Date date = AddDays(request.first, i);
        const std::string name = EntryFileName(date);
        const EntryLines status = ReadBytes(store.EntryPath(name), &bytes, &reason);
        if (status == EntryLines::Missing)
            continue;
        if (status == EntryLines::Failed || !matcher.Match(bytes, date, result, &reason))
            result->skipped.push_back({name, reason});
    }
    return true;
}

}  // namespace tavo
