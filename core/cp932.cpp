#include "cp932.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

namespace tavo {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsTrailByte(unsigned char b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// The conversion tables are built once from glibc's CP932 converter, which maps like
// Windows for everything that converter knows. Windows also gives the five single bytes
// below a character of their own; glibc refuses them, so they are added by hand to keep
// such bytes from older files intact.
struct Tables {
    std::array<char16_t, 256> single{};              // 0 = not a single-byte character
    std::array<char16_t, 0x7D * 0xBD> doubleByte{};  // indexed by DoubleIndex; 0 = unmapped
    std::unordered_map<char16_t, uint16_t> encode;   // character -> code (<= 0xFF single)

    static size_t DoubleIndex(unsigned char lead, unsigned char trail) {
        const size_t leadIndex = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 0x1F;
        return leadIndex * 0xBD + (trail - 0x40);
    }
};

class Iconv {
public:
    Iconv(const char* to, const char* from) : handle_(iconv_open(to, from)) {
        if (handle_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Iconv() { iconv_close(handle_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts the whole input; false when the converter refuses any of it.
    bool Convert(const char* in, size_t inSize, char* out, size_t outCapacity, size_t* outSize) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        char* inPtr = const_cast<char*>(in);
        char* outPtr = out;
        size_t inLeft = inSize, outLeft = outCapacity;
        if (iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
            inLeft != 0)
            return false;
        *outSize = outCapacity - outLeft;
        return true;
    }

private:
    iconv_t handle_;
};

// For messages, whose texts are UTF-8.
std::string Utf8FromUtf16(std::u16string_view text) {
    Iconv encoder("UTF-8", "UTF-16LE");
    std::string utf8(text.size() * 3, '\0');  // at most three bytes a UTF-16 unit
    size_t size = 0;
    if (!encoder.Convert(reinterpret_cast<const char*>(text.data()), text.size() * 2, utf8.data(),
                         utf8.size(), &size))
        return {};
    utf8.resize(size);
    return utf8;
}

char16_t DecodeWithIconv(Iconv& decoder, const char* bytes, size_t size) {
    char out[8];
    size_t outSize = 0;
    if (!decoder.Convert(bytes, size, out, sizeof out, &outSize) || outSize != 2)
        return 0;  // unmapped, or outside the Basic Multilingual Plane (code page 932 has none)
    return static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                 static_cast<unsigned char>(out[1]) << 8);
}

bool EncodeWithIconv(Iconv& encoder, char16_t ch, uint16_t* code) {
    const char in[2] = {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
    char out[4];
    size_t outSize = 0;
    if (!encoder.Convert(in, 2, out, sizeof out, &outSize))
        return false;
    if (outSize == 1)
        *code = static_cast<unsigned char>(out[0]);
    else if (outSize == 2)
        *code = static_cast<uint16_t>(static_cast<unsigned char>(out[0]) << 8 |
                                      static_cast<unsigned char>(out[1]));
    else
        return false;
    return true;
}

template <typename F>
void ForEachDoubleByteCode(F f) {
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsCp932LeadByte(static_cast<unsigned char>(lead)))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (IsTrailByte(static_cast<unsigned char>(trail)))
                f(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
    }
}

Tables BuildTables() {
    Tables t;
    Iconv decoder("UTF-16LE", "CP932");
    Iconv encoder("CP932", "UTF-16LE");

    std::unordered_map<char16_t, uint16_t> firstCode;
    auto learn = [&](char16_t ch, uint16_t code) {
        if (t.encode.count(ch))
            return;
        uint16_t preferred = 0;
        // The converter knows which of several codes Windows writes for a character
        // (FA40 rather than EEEF for U+2170); a character it cannot write keeps its code.
        if (EncodeWithIconv(encoder, ch, &preferred)) {
            const bool single = preferred <= 0xFF;
            const char16_t back =
                single ? t.single[preferred]
                       : t.doubleByte[Tables::DoubleIndex(preferred >> 8, preferred & 0xFF)];
            if (back == ch) {
                t.encode[ch] = preferred;
                return;
            }
        }
        firstCode.emplace(ch, code);
    };

    for (int b = 0; b < 0x100; ++b) {
        if (IsCp932LeadByte(static_cast<unsigned char>(b)))
            continue;
        const char in = static_cast<char>(b);
        t.single[b] = DecodeWithIconv(decoder, &in, 1);
    }
    t.single[0] = 0;  // NUL is handled separately; 0 marks "unmapped" in the table
    t.single[0x80] = 0x0080;
    t.single[0xA0] = 0xF8F0;
    t.single[0xFD] = 0xF8F1;
    t.single[0xFE] = 0xF8F2;
    t.single[0xFF] = 0xF8F3;

    ForEachDoubleByteCode([&](unsigned char lead, unsigned char trail) {
        const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        t.doubleByte[Tables::DoubleIndex(lead, trail)] = DecodeWithIconv(decoder, in, 2);
    });

    for (int b = 1; b < 0x100; ++b)
        if (t.single[b])
            learn(t.single[b], static_cast<uint16_t>(b));
    ForEachDoubleByteCode([&](unsigned char lead, unsigned char trail) {
        if (char16_t ch = t.doubleByte[Tables::DoubleIndex(lead, trail)])
            learn(ch, static_cast<uint16_t>(lead << 8 | trail));
    });
    for (const auto& [ch, code] : firstCode)
        t.encode.emplace(ch, code);

    // Text typed or pasted on Linux often carries the JIS forms of characters that code
    // page 932 holds under other code points. They are the same characters to the user,
    // so they are written with the code page 932 code rather than as references.
    const std::pair<char16_t, uint16_t> jisForms[] = {
        {0x2014, 0x815C},  // EM DASH -> HORIZONTAL BAR
        {0x301C, 0x8160},  // WAVE DASH -> FULLWIDTH TILDE
        {0x2016, 0x8161},  // DOUBLE VERTICAL LINE -> PARALLEL TO
        {0x2212, 0x817C},  // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
        {0x00A2, 0x8191},  // CENT SIGN -> FULLWIDTH CENT SIGN
        {0x00A3, 0x8192},  // POUND SIGN -> FULLWIDTH POUND SIGN
        {0x00AC, 0x81CA},  // NOT SIGN -> FULLWIDTH NOT SIGN
    };
    for (const auto& [ch, code] : jisForms)
        t.encode.emplace(ch, code);
    return t;
}

const Tables& GetTables() {
    static const Tables tables = BuildTables();
    return tables;
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

bool IsCp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

Cp932EncodeResult EncodeCp932(std::u16string_view text) {
    const Tables& t = GetTables();
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
        const auto it = t.encode.find(ch);
        if (it == t.encode.end()) {
            AppendCharacterReference(result.bytes, ch);
            result.usedCharacterReferences = true;
            continue;
        }
        if (it->second > 0xFF)
            result.bytes += static_cast<char>(it->second >> 8);
        result.bytes += static_cast<char>(it->second & 0xFF);
    }
    return result;
}

Cp932DecodeResult DecodeCp932(std::string_view bytes) {
    const Tables& t = GetTables();
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
                    t.doubleByte[Tables::DoubleIndex(b, static_cast<unsigned char>(bytes[i + 1]))];
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
        if (t.single[b]) {
            result.text += t.single[b];
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
