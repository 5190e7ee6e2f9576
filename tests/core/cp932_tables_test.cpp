// The tables made at build time against this system's converter, code by code: they must
// convert as glibc's CP932 does, apart from what the program deliberately adds.
#include <gtest/gtest.h>
#include <iconv.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/cp932.h"

namespace {

class SystemConverter {
public:
    SystemConverter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~SystemConverter() {
        if (ok())
            iconv_close(handle_);
    }
    SystemConverter(const SystemConverter&) = delete;
    SystemConverter& operator=(const SystemConverter&) = delete;

    bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    std::optional<std::string> Convert(std::string in) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        char* inPtr = in.data();
        size_t inLeft = in.size();
        char out[16];
        char* outPtr = out;
        size_t outLeft = sizeof out;
        if (iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
            inLeft != 0)
            return std::nullopt;
        return std::string(out, sizeof out - outLeft);
    }

private:
    iconv_t handle_;
};

std::string Utf16le(char16_t ch) {
    return {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
}

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
        if (!decoder_.ok() || !encoder_.ok())
            GTEST_SKIP() << "this system's iconv has no CP932 converter";
    }

    // One character, or nothing when the converter refuses the code.
    std::optional<char16_t> SystemDecode(const std::string& code) {
        const auto out = decoder_.Convert(code);
        if (!out || out->size() != 2)
            return std::nullopt;
        return static_cast<char16_t>(static_cast<unsigned char>((*out)[0]) |
                                     static_cast<unsigned char>((*out)[1]) << 8);
    }

    // What the program must read for a code: the system converter's character, or the one
    // Windows gives a byte glibc refuses.
    std::optional<char16_t> ExpectedRead(const std::string& code) {
        const auto windowsOnly = kWindowsOnlyBytes.find(code);
        return windowsOnly != kWindowsOnlyBytes.end() ? windowsOnly->second : SystemDecode(code);
    }

    SystemConverter decoder_{"UTF-16LE", "CP932"};
    SystemConverter encoder_{"CP932", "UTF-16LE"};
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
        std::optional<std::string> expected = encoder_.Convert(Utf16le(c));
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
