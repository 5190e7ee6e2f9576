// Conversion between Unicode (UTF-16, as the UI holds text) and Windows code page 932,
// the encoding of every file the diary reads and writes.
#pragma once

#include <string>
#include <string_view>

namespace tavo {

struct Cp932EncodeResult {
    std::string bytes;
    // Characters that code page 932 cannot hold were written as HTML numeric character
    // references (&#128512;) instead of being dropped.
    bool usedCharacterReferences = false;
};

struct Cp932DecodeResult {
    std::u16string text;
    // Byte sequences that are not code page 932 were replaced by U+FFFD.
    bool hadInvalidBytes = false;
};

// Encodes UTF-16 text. Unpaired surrogates count as characters code page 932 cannot hold.
Cp932EncodeResult EncodeCp932(std::u16string_view text);

// True for the first byte of a two-byte character. Byte-wise work on code page 932 text
// (case folding, separators, searching) must skip the byte that follows: trail bytes
// include ASCII letters and the backslash.
constexpr bool IsCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Decodes code page 932 bytes. Both codes Windows files may hold for one character
// (NEC-selected IBM extensions and IBM extensions) decode to the same character.
Cp932DecodeResult DecodeCp932(std::string_view bytes);

// A name that may be anything, quoted for a message (UTF-8, as error texts are): its first
// `limit` bytes (never half a character), followed by "…" and the full length when cut.
std::string QuoteBounded(std::string_view text, size_t limit = 40);

}  // namespace tavo
