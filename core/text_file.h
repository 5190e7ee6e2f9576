// Whole-file reading and writing. Text files are lists of lines: CR, LF and CR LF each end
// a line, a final line break does not start another line, and writing puts CR LF after
// every line. Writing goes to a temporary file beside the target that is then renamed
// over it, so a crash or a full disk never leaves a half-written file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tavo {

// Error texts are UTF-8 and name the file; they are meant for the user's error box.
bool ReadFileBytes(const std::filesystem::path& file, std::string* bytes, std::string* error);
// Reads the open file `fd` to its end into `buffer`, which grows as needed and keeps its
// size for the next file; `*size` is how many bytes were read. False with errno set.
bool ReadToEnd(int fd, std::string* buffer, size_t* size);
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes,
                         std::string* error);

// Every text file of the diary is split alike: CR, LF and CR LF each end a line, and a
// final line break does not start another line. NextLine gives the line starting at `*at`
// and moves `*at` past its line break; call it while `*at < text.size()`.
std::string_view NextLine(std::string_view text, size_t* at);
std::vector<std::string> SplitLines(std::string_view text);
std::string JoinLinesCrLf(const std::vector<std::string>& lines);

bool ReadLines(const std::filesystem::path& file, std::vector<std::string>* lines,
               std::string* error);
bool WriteLines(const std::filesystem::path& file, const std::vector<std::string>& lines,
                std::string* error);

// "<what> \"<file>\": <reason>", the form every file error takes; the reason is the
// system's text for `errorNumber` unless given.
std::string FileErrorText(std::string_view what, const std::filesystem::path& file,
                          std::string_view reason);
std::string FileErrorText(std::string_view what, const std::filesystem::path& file,
                          int errorNumber);

}  // namespace tavo
