// The keyless scrambling every stored entry line and stored password goes through: each
// byte plus its 1-based position (mod 256) as two upper-case hex digits, pairs in reverse.
#pragma once

#include <string>
#include <string_view>

namespace tavo {

std::string EncodeText(std::string_view text);

// Inverse of EncodeText. Tolerant like the files it reads were written by hand: a trailing
// odd character is ignored and characters that are not upper-case hex digits are skipped
// as the decoding rule describes (see IsEncodedText to tell such input apart).
std::string DecodeText(std::string_view hex);
// DecodeText(hex) appended to `out`, for readers that gather many lines.
void AppendDecodedText(std::string_view hex, std::string* out);

// True when the text is what EncodeText can produce: upper-case hex digits, even length.
bool IsEncodedText(std::string_view hex);

}  // namespace tavo
