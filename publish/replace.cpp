#include "replace.h"

namespace tavo {

std::string ReplaceAll(std::string_view source, std::string_view pattern,
                       std::string_view replacement) {
    if (pattern.empty())
        return std::string(source);
    std::string result;
    result.reserve(source.size());
    size_t from = 0;
    // Searching resumes after the occurrence just replaced, so the inserted text is never
    // searched and occurrences cannot overlap.
    for (size_t at = source.find(pattern); at != std::string_view::npos;
         at = source.find(pattern, from)) {
        result.append(source, from, at - from);
        result.append(replacement);
        from = at + pattern.size();
    }
    result.append(source, from);
    return result;
}

}  // namespace tavo
