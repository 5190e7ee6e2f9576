#include "scramble.h"

namespace tavo {
namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

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

std::string DecodeText(std::string_view hex) {
    const size_t n = hex.size() / 2;
    std::string out(n, '\0');
    // A non-digit first character keeps the previous pair's value; zero before the first pair.
    unsigned v = 0;
    for (size_t k = 1; k <= n; ++k) {
        const int high = HexDigitValue(hex[2 * k - 2]);
        const int low = HexDigitValue(hex[2 * k - 1]);
        if (high >= 0)
            v = static_cast<unsigned>(high);
        if (low >= 0)
            v = v * 16 + static_cast<unsigned>(low);
        const size_t position = n - k + 1;  // 1-based position of this byte in the text
        out[position - 1] = static_cast<char>((v - position + 256 * 16) & 0xFF);
    }
    return out;
}

bool IsEncodedText(std::string_view hex) {
    if (hex.size() % 2 != 0)
        return false;
    for (char c : hex)
        if (HexDigitValue(c) < 0)
            return false;
    return true;
}

}  // namespace tavo
