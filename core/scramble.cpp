#include "scramble.h"

#include <array>

namespace tavo {
namespace {

// The values of the upper-case hex digits; 0xFF for every other character.
constexpr std::array<unsigned char, 256> kHexValues = [] {
    std::array<unsigned char, 256> values{};
    values.fill(0xFF);
    for (int c = '0'; c <= '9'; ++c)
        values[c] = static_cast<unsigned char>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        values[c] = static_cast<unsigned char>(c - 'A' + 10);
    return values;
}();

}  // namespace

std::string EncodeText(std::string_view text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const size_t n = text.size();
    std::string out(n * 2, '0');
    // Byte i (1-based) lands in the pair counted from the end, so the first pair is the last byte.
    for (size_t i = 0; i < n; ++i) {
        const auto v = static_cast<unsigned char>(static_cast<unsigned char>(text[i]) + i + 1);
        const size_t pair = (n - 1 - i) * 2;
        out[pair] = kDigits[v >> 4];
        out[pair + 1] = kDigits[v & 0x0F];
    }
    return out;
}

void AppendDecodedText(std::string_view hex, std::string* out) {
    const size_t n = hex.size() / 2;
    const size_t base = out->size();
    out->resize(base + n);
    char* bytes = out->data() + base;
    // Lines as the program writes them (upper-case hex digits only) take the table.
    unsigned invalid = 0;
    for (size_t k = 0; k < n; ++k) {
        const unsigned high = kHexValues[static_cast<unsigned char>(hex[2 * k])];
        const unsigned low = kHexValues[static_cast<unsigned char>(hex[2 * k + 1])];
        invalid |= high | low;
        const size_t position = n - k;  // 1-based position of this byte in the text
        bytes[position - 1] = static_cast<char>((high * 16 + low - position) & 0xFF);
    }
    if (!(invalid & 0xF0))
        return;
    // Hand-edited text: a non-digit first character keeps the previous pair's value (zero
    // before the first pair), a non-digit second character leaves the first digit alone.
    unsigned v = 0;
    for (size_t k = 0; k < n; ++k) {
        const unsigned high = kHexValues[static_cast<unsigned char>(hex[2 * k])];
        const unsigned low = kHexValues[static_cast<unsigned char>(hex[2 * k + 1])];
        if (high != 0xFF)
            v = high;
        if (low != 0xFF)
            v = v * 16 + low;
        const size_t position = n - k;
        bytes[position - 1] = static_cast<char>((v - position + 256 * 16) & 0xFF);
    }
}

std::string DecodeText(std::string_view hex) {
    std::string out;
    AppendDecodedText(hex, &out);
    return out;
}

bool IsEncodedText(std::string_view hex) {
    if (hex.size() % 2 != 0)
        return false;
    for (char c : hex)
        if (kHexValues[static_cast<unsigned char>(c)] == 0xFF)
            return false;
    return true;
}

}  // namespace tavo
