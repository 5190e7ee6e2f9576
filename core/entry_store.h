// The diary's entries: one file "data/yyyymmdd.txt" per day holding three scrambled lines
// (title, public text, private text), and "data.index", the sorted list of days with an
// entry. The store keeps no state between calls: every operation reads its files afresh.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "date.h"
#include "file_stamp.h"

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
// A name of that form: eight digits and ".txt".
bool IsEntryFileName(std::string_view fileName);
// The index name of an entry file: the file name up to its last dot ("20040105").
std::string EntryName(std::string_view fileName);

// The index order: case-insensitive text comparison; chronological for "yyyymmdd" names.
bool IndexNameLess(std::string_view a, std::string_view b);
// A key whose plain comparison gives the index order, for sorting many names at once.
std::string IndexSortKey(std::string_view name);

// How much of an entry file a reader takes, and how strictly. A file with fewer lines than
// asked for is reported, not read; only Checked also rejects lines the program never writes,
// so that the editor, which saves what it shows, never saves such a day back as empty.
enum class EntryParts {
    Title = 1,       // the title line alone
    PublicPart = 2,  // title and public text, for pages: the private text is not decoded
    All = 3,         // all three lines, decoded as written
    Checked = 4,     // all three lines, each as the program writes it
};

// The "too few lines" text every reader gives; it names the file when one is given.
std::string TooFewLinesText(size_t needed, size_t found, const std::filesystem::path& file = {});

// Up to three lines of entry file bytes, split as every text file of the diary is, still
// scrambled, as views into `bytes`; the number found.
size_t SplitEntryLines(std::string_view bytes, std::string_view (&lines)[3]);

// Entry file bytes for an entry, and back (Checked, for files that are no entry file of the
// data folder, so the error names no file).
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
    // The entry reader: Missing (and `entry` emptied) when the day has no file; Failed, with
    // an error naming the file, when it cannot be read or lacks what `parts` asks for. The
    // parts not asked for are left empty. `stamp`, when given, describes the bytes read.
    ReadStatus ReadEntry(std::string_view fileName, Entry* entry, std::string* error,
                         EntryParts parts = EntryParts::Checked, FileStamp* stamp = nullptr) const;

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
    std::filesystem::path programFolder_;
};

// The entry reader for many files of one folder in a row, as a search reads them: the folder
// is opened once, each file's bytes go into storage kept from one file to the next, and
// `lines` views the scrambled lines `parts` asks for, so the caller decodes only what it
// needs. The views last until the next Read. Statuses and errors as EntryStore::ReadEntry.
class EntryReader {
public:
    explicit EntryReader(std::filesystem::path folder);
    ~EntryReader();
    EntryReader(const EntryReader&) = delete;
    EntryReader& operator=(const EntryReader&) = delete;

    EntryStore::ReadStatus Read(std::string_view fileName, EntryParts parts,
                                std::string_view (&lines)[3], std::string* error);

private:
    std::filesystem::path folder_;
    int folderFd_;  // -1 when the folder cannot be opened: files are then opened by path
    std::string name_;
    std::string buffer_;
};

}  // namespace tavo
