#include "core/scramble.h"

#include <gtest/gtest.h>

namespace {

struct EncodeCase {
    std::string plain;
    std::string encoded;
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.plain);
}

class EncodeTextTest : public testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeTextTest, EncodesAndDecodesBack) {
    EXPECT_EQ(tavo::EncodeText(GetParam().plain), GetParam().encoded);
    EXPECT_EQ(tavo::DecodeText(GetParam().encoded), GetParam().plain);
}

INSTANTIATE_TEST_SUITE_P(
    KnownValues, EncodeTextTest,
    testing::Values(EncodeCase{"", ""}, EncodeCase{"abc", "666462"},
                    EncodeCase{"a\r\nb", "660D0F62"},  // pairs in reverse order
                    EncodeCase{"\xFF", "00"},          // 0xFF + 1 wraps to 0
                    EncodeCase{"\x82\xA0", "A283"},    // a double-byte character is two bytes
                    EncodeCase{std::string("\0", 1), "01"}));

TEST(ScrambleTest, RoundTripsEveryByteAtPositionsBeyond255) {
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += static_cast<char>((i * 37 + 11) & 0xFF);
    const std::string encoded = tavo::EncodeText(text);
    ASSERT_EQ(encoded.size(), text.size() * 2);
    EXPECT_TRUE(tavo::IsEncodedText(encoded));
    EXPECT_EQ(tavo::DecodeText(encoded), text);
}

TEST(ScrambleTest, DecodeFollowsTheRulesForHandEditedInput) {
    // A trailing odd character is ignored.
    EXPECT_EQ(tavo::DecodeText("6664627"), "abc");
    EXPECT_EQ(tavo::DecodeText("F"), "");
    // A non-digit second character leaves the first digit's value alone: "6z" is 6,
    // and 6 - 1 (the last byte's position) is 5.
    EXPECT_EQ(tavo::DecodeText("6z"), std::string("\x05"));
    // Lower-case letters are not digits: a non-digit first character keeps the value of
    // the previous pair (0x66 here), then the second digit shifts it: 0x66 * 16 + 4.
    EXPECT_EQ(tavo::DecodeText("66x4"), "cd");
    // Before the first pair the value starts from zero.
    EXPECT_EQ(tavo::DecodeText("xx"), std::string(1, static_cast<char>(0xFF)));
}

TEST(ScrambleTest, IsEncodedTextAcceptsOnlyUpperCaseHexPairs) {
    EXPECT_TRUE(tavo::IsEncodedText(""));
    EXPECT_TRUE(tavo::IsEncodedText("0A9F"));
    EXPECT_FALSE(tavo::IsEncodedText("0a9f"));
    EXPECT_FALSE(tavo::IsEncodedText("ABC"));
    EXPECT_FALSE(tavo::IsEncodedText("G0"));
    EXPECT_FALSE(tavo::IsEncodedText("66 4"));
}

}  // namespace
