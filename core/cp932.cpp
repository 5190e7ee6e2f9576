#include "cp932.h"

#include <cstdint>

#include "core/cp932_tables.h"

namespace tavo {
namespace {

using cp932_tables::DoubleIndex;
using cp932_tables::IsTrailByte;
using cp932_tables::kDoubleByteCount;

// kSingleByte (0 = not a single-byte character), kDoubleByte (by DoubleIndex, 0 = unmapped)
// and kCodeOf (character -> code, <= 0xFF single, 0 = none), made at build time.
#include "cp932_tables.inc"

constexpr char16_t kReplacement = 0xFFFD;

// For messages, whose texts are UTF-8. Decoded code page 932 holds no surrogates.
std::string Utf8FromUtf16(std::u16string_view text) {
    std::string utf8;
    utf8.reserve(text.size() * 3);
    for (const char16_t ch : text) {
        if (ch < 0x80) {
            utf8 += static_cast<char>(ch);
        } else if (ch < 0x800) {
            utf8 += static_cast<char>(0xC0 | ch >> 6);
            utf8 += static_cast<char>(0x80 | (ch & 0x3F));
        } else {
            utf8 += static_cast<char>(0xE0 | ch >> 12);
            utf8 += static_cast<char>(0x80 | (ch >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (ch & 0x3F));
        }
    }
    return utf8;
}

void AppendCharacterReference(std::string& out, char32_t codePoint) {
    out += "&#";
    out += std::to_string(static_cast<uint32_t>(codePoint));
    out += ';';
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

Cp932EncodeResult EncodeCp932(std::u16string_view text) {
    Cp932EncodeResult result;
    result.bytes.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i];
        if (ch == 0) {
            result.bytes += '\0';
            continue;
        }
        if (IsHighSurrogate(ch) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            const char32_t cp = 0x10000 + ((ch - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            AppendCharacterReference(result.bytes, cp);
            result.usedCharacterReferences = true;
            ++i;
            continue;
        }
        const std::uint16_t code = kCodeOf[ch];
        if (!code) {
            AppendCharacterReference(result.bytes, ch);
            result.usedCharacterReferences = true;
            continue;
        }
        if (code > 0xFF)
            result.bytes += static_cast<char>(code >> 8);
        result.bytes += static_cast<char>(code & 0xFF);
    }
    return result;
}

Cp932DecodeResult DecodeCp932(std::string_view bytes) {
    Cp932DecodeResult result;
    result.text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0) {
            result.text += u'\0';
            continue;
        }
        if (IsCp932LeadByte(b)) {
            if (i + 1 < bytes.size() && IsTrailByte(static_cast<unsigned char>(bytes[i + 1]))) {
                const char16_t ch =
                    kDoubleByte[DoubleIndex(b, static_cast<unsigned char>(bytes[i + 1]))];
                ++i;
                if (ch) {
                    result.text += ch;
                    continue;
                }
            }
            result.text += kReplacement;
            result.hadInvalidBytes = true;
            continue;
        }
        if (kSingleByte[b]) {
            result.text += kSingleByte[b];
        } else {
            result.text += kReplacement;
            result.hadInvalidBytes = true;
        }
    }
    return result;
}

std::string QuoteBounded(std::string_view text, size_t limit) {
    size_t end = 0;
    while (end < text.size()) {
        const size_t next = end + (IsCp932LeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1);
        if (next > limit)
            break;
        end = next;
    }
    std::string quoted = "'" + Utf8FromUtf16(DecodeCp932(text.substr(0, end)).text) + "'";
    if (end < text.size())
        quoted += "… (" + std::to_string(text.size()) + " バイト)";
    return quoted;
}

}  // namespace tavo
