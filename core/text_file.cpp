#include "text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tavo {

std::string FileErrorText(std::string_view what, const std::filesystem::path& file,
                          std::string_view reason) {
    std::string text(what);
    text += " \"";
    text += file.string();
    text += "\": ";
    text += reason;
    return text;
}

std::string FileErrorText(std::string_view what, const std::filesystem::path& file,
                          int errorNumber) {
    return FileErrorText(what, file, std::string_view(std::strerror(errorNumber)));
}

bool ReadToEnd(int fd, std::string* buffer, size_t* size) {
    if (buffer->size() < 16384)
        buffer->resize(16384);
    *size = 0;
    for (;;) {
        if (*size == buffer->size())
            buffer->resize(*size * 2);
        const ssize_t n = ::read(fd, buffer->data() + *size, buffer->size() - *size);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        *size += static_cast<size_t>(n);
    }
}

bool ReadFileBytes(const std::filesystem::path& file, std::string* bytes, std::string* error) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = FileErrorText("ファイルを開けません", file, errno);
        return false;
    }
    size_t size = 0;
    const bool read = ReadToEnd(fd, bytes, &size);
    const int readError = errno;
    ::close(fd);
    if (!read) {
        *error = FileErrorText("ファイルを読めません", file, readError);
        return false;
    }
    bytes->resize(size);
    return true;
}

bool WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                         std::string* error) {
    // The temporary file sits in the same folder, so the rename never crosses file systems.
    // Created with the ordinary mode (0666 less the umask), or the mode of the file it replaces.
    static std::atomic<unsigned> counter{0};
    std::string pattern;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        char suffix[40];
        std::snprintf(suffix, sizeof suffix, ".tmp-%d-%u", static_cast<int>(::getpid()),
                      counter.fetch_add(1));
        pattern = file.string() + suffix;
        fd = ::open(pattern.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        *error = FileErrorText("ファイルに書き込めません", file, errno);
        return false;
    }
    struct stat existing {};
    if (::stat(file.c_str(), &existing) == 0)
        ::fchmod(fd, existing.st_mode & 07777);
    auto fail = [&](int errorNumber) {
        ::close(fd);
        ::unlink(pattern.c_str());
        *error = FileErrorText("ファイルに書き込めません", file, errorNumber);
        return false;
    };
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::close(fd) != 0) {
        const int errorNumber = errno;
        ::unlink(pattern.c_str());
        *error = FileErrorText("ファイルに書き込めません", file, errorNumber);
        return false;
    }
    if (::rename(pattern.c_str(), file.c_str()) != 0) {
        const int errorNumber = errno;
        ::unlink(pattern.c_str());
        *error = FileErrorText("ファイルに書き込めません", file, errorNumber);
        return false;
    }
    return true;
}

std::string_view NextLine(std::string_view text, size_t* at) {
    const char* const start = text.data() + *at;
    const char* const end = text.data() + text.size();
    const char* lineEnd = static_cast<const char*>(std::memchr(start, '\n', end - start));
    if (!lineEnd)
        lineEnd = end;
    if (const void* cr = std::memchr(start, '\r', lineEnd - start))
        lineEnd = static_cast<const char*>(cr);
    const std::string_view line(start, static_cast<size_t>(lineEnd - start));
    if (lineEnd < end && *lineEnd == '\r' && lineEnd + 1 < end && lineEnd[1] == '\n')
        ++lineEnd;
    *at = static_cast<size_t>(lineEnd - text.data()) + 1;
    return line;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();)
        lines.emplace_back(NextLine(text, &at));
    return lines;
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
    std::string text;
    size_t size = 0;
    for (const auto& line : lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool ReadLines(const std::filesystem::path& file, std::vector<std::string>* lines,
               std::string* error) {
    std::string bytes;
    if (!ReadFileBytes(file, &bytes, error))
        return false;
    *lines = SplitLines(bytes);
    return true;
}

bool WriteLines(const std::filesystem::path& file, const std::vector<std::string>& lines,
                std::string* error) {
    return WriteFileAtomically(file, JoinLinesCrLf(lines), error);
}

}  // namespace tavo
