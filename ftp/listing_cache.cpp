#include "ftp/listing_cache.h"

#include <chrono>
#include <ctime>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/text_file.h"
#include "ftp/ftp_protocol.h"

namespace tavo::ftp {

std::string ListingCacheKey(std::string_view server, std::uint16_t port, std::string_view username,
                            std::string_view currentDirectory) {
    const std::string lower = AsciiLower(username);
    std::string key = std::string(server) + "[" + std::to_string(port) + "]-";
    if (lower != "ftp" && lower != "anonymous")
        key += "(" + std::string(username) + ")-";
    key += currentDirectory;
    return key;
}

std::string SafeCacheName(std::string_view key) {
    std::string s(key);
    for (char& c : s) {
        if (c == '"' || c == '*' || c == ':' || c == '?')
            c = '~';
        else if (c == '/' || c == '\\')
            c = '-';
    }
    return s;
}

std::string FormatCacheFile(const TQFtpFileInfoList& list) {
    std::string out = std::to_string(list.Count()) + "\r\n";
    for (int i = 0; i < list.Count(); ++i) {
        const QFtpFileInfo info = list.Get(i);
        for (const std::string* field :
             {&info.Name, &info.Attributes, &info.DateTime, &info.Size, &info.LinkTarget,
              &info.Owner, &info.Group, &info.Description}) {
            out += *field;
            out += "\r\n";
        }
    }
    return out;
}

std::optional<TQFtpFileInfoList> ParseCacheFile(std::string_view text) {
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(current));
            current.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty())
        lines.push_back(std::move(current));
    if (lines.empty() || lines[0].empty() || lines[0].size() > 9)
        return std::nullopt;
    for (char c : lines[0]) {
        if (c < '0' || c > '9')
            return std::nullopt;
    }
    const std::size_t count = std::stoul(lines[0]);
    if (lines.size() != 1 + count * 8)
        return std::nullopt;
    TQFtpFileInfoList list;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t b = 1 + i * 8;
        QFtpFileInfo info;
        info.Name = lines[b];
        info.Attributes = lines[b + 1];
        info.DateTime = lines[b + 2];
        info.Size = lines[b + 3];
        info.LinkTarget = lines[b + 4];
        info.Owner = lines[b + 5];
        info.Group = lines[b + 6];
        info.Description = lines[b + 7];
        list.Add(info);
    }
    return list;
}

int YyyymmddOf(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return (tm.tm_year + 1900) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday;
}

std::filesystem::path TQFtpListingCache::FileFor(std::string_view key, char kind) const {
    return folder_ / (SafeCacheName(key) + ".cache" + kind);
}

bool TQFtpListingCache::EnsureFolder() const {
    if (folder_.empty())
        return false;
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    return std::filesystem::is_directory(folder_, ec);
}

bool TQFtpListingCache::Write(std::string_view key, const TQFtpFileInfoList& directories,
                              const TQFtpFileInfoList& files, std::string* error) const {
    std::string ignored;
    if (!error)
        error = &ignored;
    if (folder_.empty()) {
        *error = "No folder for the listing cache";
        return false;
    }
    // Each file is replaced whole, so a failure keeps the previous one.
    const std::filesystem::path directoriesFile = FileFor(key, 'd');
    if (!WriteFileAtomically(directoriesFile, FormatCacheFile(directories), error)) {
        EnsureFolder();
        return false;
    }
    if (!WriteFileAtomically(FileFor(key, 'f'), FormatCacheFile(files), error)) {
        // Never leave the new folders beside the old files: without the pair the next
        // listing asks the server.
        std::error_code ignoredError;
        std::filesystem::remove(directoriesFile, ignoredError);
        EnsureFolder();
        return false;
    }
    return true;
}

std::optional<TQFtpFileInfoList> TQFtpListingCache::ReadOne(const std::filesystem::path& file,
                                                            int expireDays,
                                                            int todayYyyymmdd) const {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return std::nullopt;
    if (expireDays >= 1) {
        const auto written = std::filesystem::last_write_time(file, ec);
        if (ec)
            return std::nullopt;
        const auto sys = std::chrono::file_clock::to_sys(written);
        if (!(todayYyyymmdd < YyyymmddOf(sys) + expireDays))
            return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return std::nullopt;
    return ParseCacheFile(text);
}

bool TQFtpListingCache::Read(std::string_view key, int expireDays, int todayYyyymmdd,
                             TQFtpFileInfoList& directories, TQFtpFileInfoList& files) const {
    if (folder_.empty())
        return false;
    auto d = ReadOne(FileFor(key, 'd'), expireDays, todayYyyymmdd);
    if (!d)
        return false;
    auto f = ReadOne(FileFor(key, 'f'), expireDays, todayYyyymmdd);
    if (!f)
        return false;
    directories = std::move(*d);
    files = std::move(*f);
    return true;
}

}  // namespace tavo::ftp
