#pragma once

#include <string>
#include <string_view>

namespace tavo {

// Replaces every occurrence of `pattern`, left to right and case-sensitively; the inserted
// text is never searched again, and an empty pattern is never found.
std::string ReplaceAll(std::string_view source, std::string_view pattern,
                       std::string_view replacement);

}  // namespace tavo
