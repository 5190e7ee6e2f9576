// Searching the diary's entry files for a text, over a range of days or over every file of
// the data folder. The files are read from disk, never from the editors: the main window
// saves the shown day before the search opens.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/date.h"

namespace tavo {

struct SearchRequest {
    std::string text;  // code page 932; empty lists every entry searched
    bool allEntries = false;
    Date first;  // the range, both ends included; unused for allEntries
    Date last;
    bool title = true;
    bool publicText = true;
    bool privateText = true;
};

struct SearchHit {
    Date date;
    std::string title;  // code page 932, decoded
    bool operator==(const SearchHit&) const = default;
};

// A file passed over because it is no entry of the diary or cannot be read.
struct SkippedFile {
    std::string name;
    std::string reason;  // UTF-8, for the user
};

struct SearchResult {
    std::vector<SearchHit> hits;  // ascending by date
    std::vector<SkippedFile> skipped;
};

// Called on the calling thread, in order, once for each file or day with the percentage done
// so far: c * 100 / n for the c-th of n files, (i + 1) * 100 / (days + 1) for the i-th day
// of a range.
using SearchProgress = std::function<void(int percent)>;

// Fails only when the data folder cannot be listed; a single file that cannot be searched
// is passed over and reported in `result->skipped`, so one stray file does not stop the
// search of all the others.
bool SearchDiary(const std::filesystem::path& programFolder, const SearchRequest& request,
                 SearchResult* result, std::string* error, const SearchProgress& progress = {});

// The first position at which `needle` occurs in code page 932 text `haystack` starting on
// a character boundary, or npos. Case-sensitive; never starts inside a two-byte character.
// An empty needle is found at 0.
size_t FindCp932(std::string_view haystack, std::string_view needle);

}  // namespace tavo
