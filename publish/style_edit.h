// What the style dialogs check before a style is saved or shown: the name the user typed
// and the format lines of a style file.
#pragma once

#include <string>
#include <string_view>

namespace tavo {

// Empty when `name` (UTF-8, as the file system spells it) can name a style file inside the
// style folder; otherwise the message for the user. A name that is blank, holds a path
// separator, a colon, "..", a control character or one of * ? " < > | is refused, so that
// nothing is ever written outside the style folder or under a name Windows cannot hold.
// "," and ";" are accepted.
std::string StyleNameProblem(std::string_view name);

// A format line as a decimal integer ("+" or "-" allowed, nothing else around it); false
// when the line is not one. Any number is accepted: one outside the choices selects none.
bool FormatIndexFromLine(std::string_view line, int* index);

}  // namespace tavo
