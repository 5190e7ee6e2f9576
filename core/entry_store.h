// The diary's entries: one file "data/yyyymmdd.txt" per day holding three scrambled lines
// (title, public text, private text), and "data.index", the sorted list of days with an
// entry. The store keeps no state between calls: every operation reads its files afresh.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "date.h"

namespace tavo {

// Texts are code page 932 bytes; line breaks inside the memos are CR LF.
struct Entry {
    std::string title;
    std::string publicText;
    std::string privateText;

    bool IsEmpty() const { return title.empty() && publicText.empty() && privateText.empty(); }
    bool operator==(const Entry&) const = default;
};

std::string EntryFileName(const Date& date);  // "20040105.txt"
// The index name of an entry file: the file name up to its last dot ("20040105").
std::string EntryName(std::string_view fileName);

// The index order: case-insensitive text comparison; chronological for "yyyymmdd" names.
bool IndexNameLess(std::string_view a, std::string_view b);

// Entry file bytes for an entry, and back. Parsing fails on files the program never
// writes (fewer than three lines, characters other than upper-case hex digits), so that
// such a day is reported rather than shown, and later saved, as empty.
std::string EntryFileBytes(const Entry& entry);
bool ParseEntryFile(std::string_view bytes, Entry* entry, std::string* error);

class EntryStore {
public:
    explicit EntryStore(std::filesystem::path programFolder);

    const std::filesystem::path& ProgramFolder() const { return programFolder_; }
    std::filesystem::path DataFolder() const { return programFolder_ / "data"; }
    std::filesystem::path IndexFile() const { return programFolder_ / "data.index"; }
    std::filesystem::path EntryPath(std::string_view fileName) const;

    enum class ReadStatus { Found, Missing, Failed };
    // Missing when the day has no file; Failed (with the error text) when the file cannot
    // be read or is malformed.
    ReadStatus ReadEntry(std::string_view fileName, Entry* entry, std::string* error) const;

    // The published part of a day, for pages: the title and public text (lines 0 and 1,
    // decoded as written, without the strict checks of ReadEntry). The private text is not
    // read. Failed when the file cannot be read or has fewer than two lines.
    ReadStatus ReadPublicPart(std::string_view fileName, std::string* title,
                              std::string* publicText, std::string* error) const;

    // Writes the entry when any text is non-empty and adds it to the index; when all three
    // are empty, deletes an existing file and removes it from the index, and writes nothing
    // for a day without a file.
    bool SaveEntry(std::string_view fileName, const Entry& entry, std::string* error) const;

    // Removes the day's file and its index line (the user's delete command).
    bool DeleteEntry(std::string_view fileName, std::string* error) const;

    bool UpdateIndex(std::string_view fileName, bool add, std::string* error) const;
    bool RebuildIndex(std::string* error) const;

    // The index lines, sorted in index order. Fails when the index cannot be read.
    bool ReadIndex(std::vector<std::string>* names, std::string* error) const;

private:
    ReadStatus ReadEntryBytes(std::string_view fileName, std::string* bytes,
                              std::string* error) const;

    std::filesystem::path programFolder_;
};

}  // namespace tavo
