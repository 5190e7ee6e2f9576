#include "style_edit.h"

#include <charconv>

namespace tavo {
namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";  // U+3000 in UTF-8

// Spaces and control characters, half- or full-width, as a Japanese user types them.
bool IsBlank(std::string_view name) {
    while (!name.empty()) {
        if (static_cast<unsigned char>(name.front()) <= ' ')
            name.remove_prefix(1);
        else if (name.starts_with(kIdeographicSpace))
            name.remove_prefix(kIdeographicSpace.size());
        else
            return false;
    }
    return true;
}

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

std::string StyleNameProblem(std::string_view name) {
    if (IsBlank(name))
        return "スタイル名を入力してください";

    // In the order of the hint beside the name field; control characters last.
    constexpr std::string_view kRefused = "\\/:*?\"<>|";
    std::string found;
    for (char refused : kRefused) {
        if (name.find(refused) != std::string_view::npos)
            (found += ' ') += refused;
    }
    for (char c : name) {
        if (IsControl(c)) {
            found += " 制御文字";
            break;
        }
    }
    if (!found.empty())
        return "スタイル名に使えない文字が含まれています:" + found +
               "\r( \\ / : * ? \" < > | と制御文字は使えません)";
    if (name.find("..") != std::string_view::npos)
        return "スタイル名に \"..\" は使えません";
    return {};
}

bool FormatIndexFromLine(std::string_view line, int* index) {
    // from_chars takes a "-" but not a "+".
    if (line.starts_with('+')) {
        line.remove_prefix(1);
        if (line.empty() || line.front() < '0' || line.front() > '9')
            return false;
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (ec != std::errc() || end != line.data() + line.size())
        return false;
    *index = value;
    return true;
}

}  // namespace tavo
