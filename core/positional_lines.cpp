#include "positional_lines.h"

#include <charconv>

namespace tavo {

void PositionalLines::Note(size_t line, const char* what) {
    if (!problems_.empty())
        problems_ += '\n';
    problems_ += std::to_string(line + 1) + " 行目 (" + what + ")";
}

bool PositionalLines::Int(size_t line, int* value, const char* what) {
    if (line < lines_.size()) {
        const std::string& text = lines_[line];
        const char* begin = text.data();
        const char* end = begin + text.size();
        while (begin < end && *begin == ' ')
            ++begin;
        while (end > begin && end[-1] == ' ')
            --end;
        int v = 0;
        const auto [ptr, ec] = std::from_chars(begin, end, v);
        if (ec == std::errc() && ptr == end && begin != end) {
            *value = v;
            return true;
        }
    }
    Note(line, what);
    return false;
}

bool PositionalLines::Text(size_t line, std::string* value, const char* what) {
    if (line < lines_.size()) {
        *value = lines_[line];
        return true;
    }
    Note(line, what);
    return false;
}

}  // namespace tavo
