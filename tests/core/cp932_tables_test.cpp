// The tables made at build time against this system's converter, code by code: they must
// convert as glibc's CP932 does, apart from what the program deliberately adds.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/cp932.h"
#include "core/cp932_system_converter.h"

namespace {

// Every single byte but NUL and every lead + trail pair, in code order.
std::vector<std::string> AllCodes() {
    std::vector<std::string> codes;
    for (int b = 1; b < 0x100; ++b)
        if (!tavo::IsCp932LeadByte(static_cast<unsigned char>(b)))
            codes.emplace_back(1, static_cast<char>(b));
    for (int lead = 0x81; lead <= 0xFC; ++lead)
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (tavo::IsCp932LeadByte(static_cast<unsigned char>(lead)) && trail != 0x7F)
                codes.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    return codes;
}

// Windows gives these single bytes a character of their own; glibc refuses them.
const std::map<std::string, char16_t> kWindowsOnlyBytes = {
    {"\x80", 0x0080}, {"\xA0", 0xF8F0}, {"\xFD", 0xF8F1}, {"\xFE", 0xF8F2}, {"\xFF", 0xF8F3}};

// Written with the code of the character code page 932 holds for them.
const std::map<char16_t, std::string> kJisForms = {
    {0x2014, "\x81\x5C"}, {0x301C, "\x81\x60"}, {0x2016, "\x81\x61"}, {0x2212, "\x81\x7C"},
    {0x00A2, "\x81\x91"}, {0x00A3, "\x81\x92"}, {0x00AC, "\x81\xCA"}};

class Cp932TablesTest : public testing::Test {
protected:
    void SetUp() override {
        if (!system_.ok())
            GTEST_SKIP() << "this system's iconv has no CP932 converter";
    }

    // What the program must read for a code: the system converter's character, or the one
    // Windows gives a byte glibc refuses.
    std::optional<char16_t> ExpectedRead(const std::string& code) {
        const auto windowsOnly = kWindowsOnlyBytes.find(code);
        return windowsOnly != kWindowsOnlyBytes.end() ? windowsOnly->second : system_.Decode(code);
    }

    const tavo::cp932_tables::SystemConverter system_;
};

TEST_F(Cp932TablesTest, ReadsEveryCodeAsTheSystemConverterDoes) {
    for (const std::string& code : AllCodes()) {
        const std::optional<char16_t> expected = ExpectedRead(code);
        const tavo::Cp932DecodeResult decoded = tavo::DecodeCp932(code);
        if (expected)
            EXPECT_EQ(decoded.text, std::u16string(1, *expected)) << testing::PrintToString(code);
        else
            EXPECT_TRUE(decoded.hadInvalidBytes) << testing::PrintToString(code);
    }
}

// The code the system converter writes when reading it back gives the character again;
// otherwise the character's first code, so that what was read is written unchanged.
TEST_F(Cp932TablesTest, WritesEveryCharacterAsTheSystemConverterDoes) {
    std::map<char16_t, std::string> firstCode;
    for (const std::string& code : AllCodes())
        if (const tavo::Cp932DecodeResult d = tavo::DecodeCp932(code); !d.hadInvalidBytes)
            firstCode.emplace(d.text[0], code);
    ASSERT_GT(firstCode.size(), 7000u);

    for (char32_t ch = 1; ch < 0x10000; ++ch) {
        if (ch >= 0xD800 && ch <= 0xDFFF)
            continue;  // unpaired surrogates: Cp932Test
        const auto c = static_cast<char16_t>(ch);
        std::optional<std::string> expected = system_.Encode(c);
        if (expected && ExpectedRead(*expected) != c)
            expected.reset();
        if (!expected && firstCode.count(c))
            expected = firstCode[c];
        if (!expected && kJisForms.count(c))
            expected = kJisForms.at(c);
        const tavo::Cp932EncodeResult encoded = tavo::EncodeCp932(std::u16string(1, c));
        if (expected) {
            EXPECT_EQ(encoded.bytes, *expected) << "U+" << std::hex << static_cast<int>(ch);
        } else {
            EXPECT_EQ(encoded.bytes, "&#" + std::to_string(ch) + ";");
            EXPECT_TRUE(encoded.usedCharacterReferences);
        }
    }
}

}  // namespace
