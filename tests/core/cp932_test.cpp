#include "core/cp932.h"

#include <gtest/gtest.h>

namespace {

struct MappingCase {
    const char* name;
    std::u16string text;
    std::string bytes;
};

void PrintTo(const MappingCase& c, std::ostream* os) {
    *os << c.name;
}

class Cp932MappingTest : public testing::TestWithParam<MappingCase> {};

// Characters whose codes differ between the Shift_JIS variants: the diary's files hold the
// Windows codes, and reading them must give the same characters back.
TEST_P(Cp932MappingTest, EncodesToWindowsCodeAndBack) {
    const auto& c = GetParam();
    const tavo::Cp932EncodeResult encoded = tavo::EncodeCp932(c.text);
    EXPECT_EQ(encoded.bytes, c.bytes);
    EXPECT_FALSE(encoded.usedCharacterReferences);
    const tavo::Cp932DecodeResult decoded = tavo::DecodeCp932(c.bytes);
    EXPECT_EQ(decoded.text, c.text);
    EXPECT_FALSE(decoded.hadInvalidBytes);
}

INSTANTIATE_TEST_SUITE_P(
    WindowsCodes, Cp932MappingTest,
    testing::Values(MappingCase{"ascii", u"abc\\~", "abc\\~"},
                    MappingCase{"horizontal_bar", u"\u2015", "\x81\x5C"},
                    MappingCase{"fullwidth_tilde", u"\uFF5E", "\x81\x60"},
                    MappingCase{"fullwidth_reverse_solidus", u"\uFF3C", "\x81\x5F"},
                    MappingCase{"parallel_to", u"\u2225", "\x81\x61"},
                    MappingCase{"fullwidth_hyphen_minus", u"\uFF0D", "\x81\x7C"},
                    MappingCase{"fullwidth_not_sign", u"\uFFE2", "\x81\xCA"},
                    MappingCase{"nec_circled_one", u"\u2460", "\x87\x40"},
                    MappingCase{"nec_roman_one", u"\u2160", "\x87\x54"},
                    MappingCase{"ibm_small_roman_one", u"\u2170", "\xFA\x40"},
                    MappingCase{"nec_because", u"\u2235", "\x81\xE6"},
                    MappingCase{"ibm_kanji", u"\u9AD9", "\xFB\xFC"},
                    MappingCase{"halfwidth_katakana", u"\uFF71\uFF9F", "\xB1\xDF"},
                    MappingCase{"hiragana_kanji", u"\u65E5\u8A18", "\x93\xFA\x8B\x4C"},
                    MappingCase{"user_defined_area", u"\uE000", "\xF0\x40"},
                    MappingCase{"line_break", u"a\r\nb", "a\r\nb"}),
    [](const auto& info) { return info.param.name; });

TEST(Cp932Test, ReadsBothCodesOfNecSelectedIbmExtensions) {
    EXPECT_EQ(tavo::DecodeCp932("\xEE\xEF").text, u"\u2170");
    EXPECT_EQ(tavo::DecodeCp932("\xFA\x40").text, u"\u2170");
}

TEST(Cp932Test, KeepsSingleBytesWindowsGivesACharacterOfTheirOwn) {
    const std::string bytes = "\x80\xA0\xFD\xFE\xFF";
    const tavo::Cp932DecodeResult decoded = tavo::DecodeCp932(bytes);
    EXPECT_FALSE(decoded.hadInvalidBytes);
    EXPECT_EQ(tavo::EncodeCp932(decoded.text).bytes, bytes);
}

using ReferenceCase = MappingCase;

class Cp932ReferenceTest : public testing::TestWithParam<ReferenceCase> {};

// Nothing the user types is dropped: what code page 932 cannot hold is kept as a numeric
// character reference, which the published page shows as the character itself.
TEST_P(Cp932ReferenceTest, KeepsUnrepresentableCharactersAsReferences) {
    const tavo::Cp932EncodeResult encoded = tavo::EncodeCp932(GetParam().text);
    EXPECT_EQ(encoded.bytes, GetParam().bytes);
    EXPECT_TRUE(encoded.usedCharacterReferences);
}

INSTANTIATE_TEST_SUITE_P(
    Unrepresentable, Cp932ReferenceTest,
    testing::Values(ReferenceCase{"emoji", u"a\U0001F600b", "a&#128512;b"},
                    ReferenceCase{"supplementary_kanji", u"\U00020BB7", "&#134071;"},
                    ReferenceCase{"broken_bar", u"\u00A6", "&#166;"},
                    // Converters map these to 5C and 7E, which would read back as
                    // backslash and tilde: the character would change.
                    ReferenceCase{"yen_sign", u"\u00A5", "&#165;"},
                    ReferenceCase{"overline", u"\u203E", "&#8254;"},
                    ReferenceCase{"unpaired_surrogate", std::u16string(1, char16_t(0xD800)),
                                  "&#55296;"}),
    [](const auto& info) { return info.param.name; });

TEST(Cp932Test, WritesJisFormsWithTheirWindowsCodes) {
    // Text from Linux input methods often carries these; they are the same characters.
    EXPECT_EQ(tavo::EncodeCp932(u"\u301C\u2212\u2016\u2014").bytes,
              "\x81\x60\x81\x7C\x81\x61\x81\x5C");
}

TEST(Cp932Test, ReportsBytesThatAreNotCp932) {
    struct Case {
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"\x82", u"\uFFFD"},       // lead byte at the end
        {"\x82\x20", u"\uFFFD "},  // lead byte followed by a byte that cannot trail
        {"\x85\x40", u"\uFFFD"},   // unassigned double-byte code
    };
    for (const Case& c : cases) {
        const tavo::Cp932DecodeResult decoded = tavo::DecodeCp932(c.bytes);
        EXPECT_TRUE(decoded.hadInvalidBytes);
        EXPECT_EQ(decoded.text, c.text);
    }
}

TEST(Cp932Test, EveryDecodableCodeEncodesToACodeThatDecodesToTheSameCharacter) {
    int checked = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0)
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
            const tavo::Cp932DecodeResult decoded = tavo::DecodeCp932(bytes);
            if (decoded.hadInvalidBytes)
                continue;
            const std::string again = tavo::EncodeCp932(decoded.text).bytes;
            ASSERT_EQ(tavo::DecodeCp932(again).text, decoded.text) << std::hex << lead << trail;
            ++checked;
        }
    }
    EXPECT_GT(checked, 7000);  // CP932 has 7,915 double-byte characters
}

}  // namespace
