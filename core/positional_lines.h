// Settings files are fixed lists of lines addressed by position. Reading takes what it can:
// a missing line or a non-number keeps the caller's default and is named in problems().
#pragma once

#include <string>
#include <vector>

namespace tavo {

class PositionalLines {
public:
    explicit PositionalLines(const std::vector<std::string>& lines) : lines_(lines) {}

    // `what` names the value for the user ("ウィンドウの幅"); lines count from 0 here
    // and from 1 in the problem text.
    bool Int(size_t line, int* value, const char* what);
    bool Text(size_t line, std::string* value, const char* what);

    // One problem a line, "3 行目 (ウィンドウの高さ)"; empty when every value was read.
    const std::string& problems() const { return problems_; }

private:
    void Note(size_t line, const char* what);

    const std::vector<std::string>& lines_;
    std::string problems_;
};

}  // namespace tavo
