#include "diary_search.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <system_error>
#include <thread>

#include "core/conflicts.h"
#include "core/cp932.h"
#include "core/entry_store.h"
#include "core/scramble.h"

namespace tavo {
namespace {

// What one file of the search came to; kept per file so that files searched on other
// threads still report in the order of the list.
struct Outcome {
    enum class Kind : unsigned char { None, Hit, Skipped };
    Kind kind = Kind::None;
    std::string text;  // the hit's title or the reason for the skip
};

// Reads and searches entry files one after another; only the parts searched are decoded.
class EntryMatcher {
public:
    EntryMatcher(const SearchRequest& request, const std::filesystem::path& dataFolder)
        : request_(request), reader_(dataFolder) {
        // The title line is always needed for the hit.
        parts_ = request.privateText  ? EntryParts::All
                 : request.publicText ? EntryParts::PublicPart
                                      : EntryParts::Title;
    }

    void Match(std::string_view name, Outcome* outcome) {
        std::string_view lines[3];
        switch (reader_.Read(name, parts_, lines, &outcome->text)) {
            case EntryStore::ReadStatus::Missing:
                return;  // removed since the listing, or a day without an entry
            case EntryStore::ReadStatus::Failed:
                outcome->kind = Outcome::Kind::Skipped;
                return;
            case EntryStore::ReadStatus::Found:
                break;
        }
        if (request_.text.empty()) {
            outcome->kind = Outcome::Kind::Hit;
            AppendDecodedText(lines[0], &outcome->text);
            return;
        }
        // The parts are joined without a separator, as one text.
        searched_.clear();
        if (request_.title)
            AppendDecodedText(lines[0], &searched_);
        const size_t titleLength = searched_.size();
        if (request_.publicText)
            AppendDecodedText(lines[1], &searched_);
        if (request_.privateText)
            AppendDecodedText(lines[2], &searched_);
        if (FindCp932(searched_, request_.text) == std::string_view::npos)
            return;
        outcome->kind = Outcome::Kind::Hit;
        if (request_.title)
            outcome->text.assign(searched_, 0, titleLength);
        else
            AppendDecodedText(lines[0], &outcome->text);
    }

private:
    const SearchRequest& request_;
    EntryParts parts_;
    EntryReader reader_;
    std::string searched_;
};

// Runs `match(i, matcher, outcome)` for each i below n, on the calling thread and, for a
// long list, one more thread per further core; files go out in small batches. `progress(i)`
// is called on the calling thread, in ascending order, once for each i, as the calling
// thread reaches it (the window repaints from it).
template <typename MatchOne, typename Progress>
std::vector<Outcome> SearchAll(size_t n, const SearchRequest& request,
                               const std::filesystem::path& dataFolder, const MatchOne& match,
                               const Progress& progress) {
    constexpr size_t kBatch = 64;
    std::vector<Outcome> outcomes(n);
    std::atomic<size_t> next{0};
    auto work = [&](const auto& before) {
        EntryMatcher matcher(request, dataFolder);
        for (;;) {
            const size_t first = next.fetch_add(kBatch, std::memory_order_relaxed);
            if (first >= n)
                return;
            const size_t last = std::min(n, first + kBatch);
            for (size_t i = first; i < last; ++i) {
                before(i);
                match(i, matcher, &outcomes[i]);
            }
        }
    };
    std::vector<std::jthread> helpers;
    if (n > 4 * kBatch) {
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned t = 1; t < std::min(cores, 4u); ++t) {
            try {
                helpers.emplace_back([&work] { work([](size_t) {}); });
            } catch (const std::system_error&) {
                break;  // the calling thread does the rest alone
            }
        }
    }
    size_t reported = 0;
    work([&](size_t i) {
        for (; reported <= i; ++reported)
            progress(reported);
    });
    for (; reported < n; ++reported)
        progress(reported);
    helpers.clear();  // joins
    return outcomes;
}

void Collect(std::vector<Outcome>& outcomes, const auto& nameOf, const auto& dateOf,
             SearchResult* result) {
    for (size_t i = 0; i < outcomes.size(); ++i) {
        Outcome& outcome = outcomes[i];
        if (outcome.kind == Outcome::Kind::Hit)
            result->hits.push_back({dateOf(i), std::move(outcome.text)});
        else if (outcome.kind == Outcome::Kind::Skipped)
            result->skipped.push_back({nameOf(i), std::move(outcome.text)});
    }
}

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

bool SearchDiary(const std::filesystem::path& programFolder, const SearchRequest& request,
                 SearchResult* result, std::string* error, const SearchProgress& progress) {
    *result = SearchResult{};
    const EntryStore store(programFolder);

    if (request.allEntries) {
        std::vector<std::pair<std::string, std::string>> listed;  // sort key, name
        std::error_code ec;
        for (std::filesystem::directory_iterator it(store.DataFolder(), ec), end; !ec && it != end;
             it.increment(ec)) {
            std::string name = it->path().filename().string();
            // Leftovers of an interrupted save are not entries; the entry itself is there.
            // Nor are sync tools' conflict copies, which would be hits for their entry's day:
            // the main window offers them to the user instead.
            if (name.find(".tmp-") == std::string::npos && !ParseConflictCopyName(name))
                listed.emplace_back(IndexSortKey(name), std::move(name));
        }
        if (ec) {
            *error = "data フォルダを読めません \"" + store.DataFolder().string() +
                     "\": " + ec.message();
            return false;
        }
        std::stable_sort(listed.begin(), listed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        const size_t n = listed.size();
        std::vector<std::optional<Date>> dates(n);
        std::vector<Outcome> outcomes = SearchAll(
            n, request, store.DataFolder(),
            [&](size_t i, EntryMatcher& matcher, Outcome* outcome) {
                std::string reason;
                dates[i] = ParseEntryName(listed[i].second, &reason);
                if (!dates[i]) {
                    *outcome = {Outcome::Kind::Skipped, std::move(reason)};
                    return;
                }
                matcher.Match(listed[i].second, outcome);
            },
            [&](size_t c) {
                if (progress)
                    progress(static_cast<int>(c * 100 / n));
            });
        Collect(
            outcomes, [&](size_t i) { return listed[i].second; },
            [&](size_t i) { return *dates[i]; }, result);
        return true;
    }

    const int days = DaysBetween(request.first, request.last);
    const size_t n = days < 0 ? 0 : static_cast<size_t>(days) + 1;
    std::vector<Outcome> outcomes = SearchAll(
        n, request, store.DataFolder(),
        [&](size_t i, EntryMatcher& matcher, Outcome* outcome) {
            matcher.Match(EntryFileName(AddDays(request.first, static_cast<int>(i))), outcome);
        },
        [&](size_t i) {
            if (progress)
                progress(static_cast<int>((static_cast<long long>(i) + 1) * 100 / (days + 1)));
        });
    Collect(
        outcomes,
        [&](size_t i) { return EntryFileName(AddDays(request.first, static_cast<int>(i))); },
        [&](size_t i) { return AddDays(request.first, static_cast<int>(i)); }, result);
    return true;
}

}  // namespace tavo
