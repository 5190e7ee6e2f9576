// What a file held when the program last read or wrote it: enough to tell, before writing
// it again, whether another writer (a sync tool, a second computer, a text editor) has
// replaced it meanwhile. The bytes decide; size and time only say when they were taken.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tavo {

struct FileStamp {
    bool exists = false;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // since the epoch
    std::uint64_t hash = 0;       // FNV-1a of the bytes

    // The same content: a file rewritten with the bytes it had is not another version.
    bool SameContent(const FileStamp& other) const {
        return exists == other.exists && size == other.size && hash == other.hash;
    }
};

// A missing file gives a stamp with exists == false; false only when the file exists but
// cannot be read (with `error` naming it).
bool StampFile(const std::filesystem::path& file, FileStamp* stamp, std::string* error);
// FNV-1a, 64 bits: the same on every machine and every run, so it may also name folders.
std::uint64_t ContentHash(std::string_view bytes);
// The stamp of a file holding `bytes` (its time left unknown): of bytes just read, or just
// written, without reading them again.
FileStamp StampOfContent(std::string_view bytes);

}  // namespace tavo
