// Writes the code page 932 conversion tables as C++ arrays (cp932_tables_gen OUTPUT), asked
// of glibc's CP932 converter at build time, so that the program neither builds them at
// start-up nor needs that converter where it runs.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/cp932_system_converter.h"
#include "core/cp932_tables.h"

namespace {

using tavo::IsCp932LeadByte;
using tavo::cp932_tables::DoubleIndex;
using tavo::cp932_tables::IsTrailByte;
using tavo::cp932_tables::kDoubleByteCount;
using tavo::cp932_tables::SystemConverter;

struct Tables {
    std::vector<char16_t> single = std::vector<char16_t>(256);  // 0 = not a single-byte character
    std::vector<char16_t> doubleByte = std::vector<char16_t>(kDoubleByteCount);  // 0 = unmapped
    std::vector<std::uint16_t> codeOf = std::vector<std::uint16_t>(0x10000);     // 0 = no code
};

char16_t Decode(const SystemConverter& system, std::string_view code) {
    return system.Decode(code).value_or(0);
}

// 0 when the converter cannot write the character.
std::uint16_t Encode(const SystemConverter& system, char16_t ch) {
    std::uint16_t code = 0;
    for (const char c : system.Encode(ch).value_or(""))
        code = static_cast<std::uint16_t>(code << 8 | static_cast<unsigned char>(c));
    return code;
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

// glibc maps like Windows for everything it knows. Windows also gives the five single bytes
// below a character of their own; glibc refuses them, so they are added by hand to keep such
// bytes from older files intact.
Tables Build(const SystemConverter& system) {
    Tables t;
    for (int b = 1; b < 0x100; ++b)
        if (!IsCp932LeadByte(static_cast<unsigned char>(b)))
            t.single[b] = Decode(system, std::string(1, static_cast<char>(b)));
    t.single[0x80] = 0x0080;
    t.single[0xA0] = 0xF8F0;
    t.single[0xFD] = 0xF8F1;
    t.single[0xFE] = 0xF8F2;
    t.single[0xFF] = 0xF8F3;
    ForEachDoubleByteCode([&](unsigned char lead, unsigned char trail) {
        const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        t.doubleByte[DoubleIndex(lead, trail)] = Decode(system, std::string_view(in, 2));
    });

    // The converter knows which of several codes Windows writes for a character (FA40
    // rather than EEEF for U+2170); a character it cannot write keeps its first code.
    std::unordered_map<char16_t, std::uint16_t> firstCode;
    auto learn = [&](char16_t ch, std::uint16_t code) {
        if (t.codeOf[ch])
            return;
        const std::uint16_t preferred = Encode(system, ch);
        if (preferred) {
            const char16_t back = preferred <= 0xFF
                                      ? t.single[preferred]
                                      : t.doubleByte[DoubleIndex(preferred >> 8, preferred & 0xFF)];
            if (back == ch) {
                t.codeOf[ch] = preferred;
                return;
            }
        }
        firstCode.emplace(ch, code);
    };
    for (int b = 1; b < 0x100; ++b)
        if (t.single[b])
            learn(t.single[b], static_cast<std::uint16_t>(b));
    ForEachDoubleByteCode([&](unsigned char lead, unsigned char trail) {
        if (const char16_t ch = t.doubleByte[DoubleIndex(lead, trail)])
            learn(ch, static_cast<std::uint16_t>(lead << 8 | trail));
    });
    for (const auto& [ch, code] : firstCode)
        if (!t.codeOf[ch])
            t.codeOf[ch] = code;

    // Text typed or pasted on Linux often carries the JIS forms of characters that code
    // page 932 holds under other code points. They are the same characters to the user,
    // so they are written with the code page 932 code rather than as references.
    const std::pair<char16_t, std::uint16_t> jisForms[] = {
        {0x2014, 0x815C},  // EM DASH -> HORIZONTAL BAR
        {0x301C, 0x8160},  // WAVE DASH -> FULLWIDTH TILDE
        {0x2016, 0x8161},  // DOUBLE VERTICAL LINE -> PARALLEL TO
        {0x2212, 0x817C},  // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
        {0x00A2, 0x8191},  // CENT SIGN -> FULLWIDTH CENT SIGN
        {0x00A3, 0x8192},  // POUND SIGN -> FULLWIDTH POUND SIGN
        {0x00AC, 0x81CA},  // NOT SIGN -> FULLWIDTH NOT SIGN
    };
    for (const auto& [ch, code] : jisForms)
        if (!t.codeOf[ch])
            t.codeOf[ch] = code;
    return t;
}

template <typename T>
void WriteArray(std::ostream& out, const char* declaration, const std::vector<T>& values) {
    out << declaration << " = {\n";
    char number[16];
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::snprintf(number, sizeof number, values[i] ? "0x%X," : "0,",
                      static_cast<unsigned>(values[i]));
        out << number << ((i + 1) % 16 == 0 || i + 1 == values.size() ? "\n" : "");
    }
    out << "};\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    const SystemConverter system;
    if (!system.ok()) {
        std::fprintf(stderr, "%s: this system's iconv has no CP932 converter\n", argv[0]);
        return 1;
    }
    const Tables t = Build(system);

    // Written beside and renamed over, so that a failed run never leaves half a table
    // that the next build would take as up to date.
    const std::filesystem::path output = argv[1];
    std::filesystem::path temporary = output;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << "// Generated by cp932_tables_gen from the build machine's CP932 converter.\n";
        WriteArray(out, "constexpr char16_t kSingleByte[256]", t.single);
        WriteArray(out, "constexpr char16_t kDoubleByte[kDoubleByteCount]", t.doubleByte);
        WriteArray(out, "constexpr std::uint16_t kCodeOf[0x10000]", t.codeOf);
        out.close();
        if (!out) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], temporary.c_str());
            return 1;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, output, error);
    if (error) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], output.c_str(),
                     error.message().c_str());
        return 1;
    }
    return 0;
}
