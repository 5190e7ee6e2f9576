#include "file_stamp.h"

#include <sys/stat.h>

#include <cerrno>

#include "text_file.h"

namespace tavo {

std::uint64_t ContentHash(std::string_view bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

FileStamp StampOfContent(std::string_view bytes) {
    return {true, bytes.size(), 0, ContentHash(bytes)};
}

bool StampFile(const std::filesystem::path& file, FileStamp* stamp, std::string* error) {
    *stamp = {};
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return true;
        *error = FileErrorText("ファイルを読めません", file, errno);
        return false;
    }
    std::string bytes;
    if (!ReadFileBytes(file, &bytes, error))
        return false;
    stamp->exists = true;
    stamp->size = bytes.size();
    stamp->modifiedNs =
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    stamp->hash = ContentHash(bytes);
    return true;
}

}  // namespace tavo
