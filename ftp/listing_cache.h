// The listing cache: per directory listed, two text files (directories "d",
// files "f") in a cache folder, named by a key made safe, eight lines per entry.
// Plain C++; the client gives it the folder (a per-user cache folder, never program data).
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "ftp/ftp_file_info_list.h"

namespace tavo::ftp {

// Server + "[" + Port + "]-" + "(" + Username + ")-" + CurrentDirectory, the user part left
// out for "ftp" and "anonymous" (any letter case).
std::string ListingCacheKey(std::string_view server, std::uint16_t port, std::string_view username,
                            std::string_view currentDirectory);

// `"` `*` `:` `?` become "~", "/" and "\" become "-".
std::string SafeCacheName(std::string_view key);

// The file text: the count, then Name, Attributes, DateTime, Size, LinkTarget, Owner, Group,
// Description per entry, every line ended by CR LF.
std::string FormatCacheFile(const TQFtpFileInfoList& list);
// Reads that text back (lines ended by CR, LF or CR LF); nothing when it is not well formed.
std::optional<TQFtpFileInfoList> ParseCacheFile(std::string_view text);

// A date as the number yyyymmdd (local time).
int YyyymmddOf(std::chrono::system_clock::time_point when);

class TQFtpListingCache {
public:
    explicit TQFtpListingCache(std::filesystem::path folder = {}) : folder_(std::move(folder)) {}

    const std::filesystem::path& Folder() const { return folder_; }
    void SetFolder(std::filesystem::path folder) { folder_ = std::move(folder); }

    std::filesystem::path FileFor(std::string_view key, char kind) const;

    // Writes both files, each whole or not at all; on a failure the folder is made again,
    // the entry left as it was or (when only the second file failed) absent, and false
    // returned with the reason in `error`.
    bool Write(std::string_view key, const TQFtpFileInfoList& directories,
               const TQFtpFileInfoList& files, std::string* error = nullptr) const;

    // Loads both files when both exist, are fresh and read well: a file is fresh when
    // `expireDays` < 1 or today (yyyymmdd) < its modification date (yyyymmdd) + expireDays.
    bool Read(std::string_view key, int expireDays, int todayYyyymmdd,
              TQFtpFileInfoList& directories, TQFtpFileInfoList& files) const;

    // Creates the folder when missing.
    bool EnsureFolder() const;

private:
    std::optional<TQFtpFileInfoList> ReadOne(const std::filesystem::path& file, int expireDays,
                                             int todayYyyymmdd) const;

    std::filesystem::path folder_;
};

}  // namespace tavo::ftp
