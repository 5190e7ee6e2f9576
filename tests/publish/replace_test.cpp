#include "publish/replace.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ReplaceCase {
    const char* name;
    const char* source;
    const char* pattern;
    const char* replacement;
    const char* expected;
};

void PrintTo(const ReplaceCase& c, std::ostream* os) {
    *os << c.name;
}

class ReplaceAllTest : public testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAllTest, GivesTheExpectedText) {
    const ReplaceCase& c = GetParam();
    EXPECT_EQ(tavo::ReplaceAll(c.source, c.pattern, c.replacement), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceAllTest,
    testing::Values(ReplaceCase{"EveryOccurrence", "a-b-c", "-", "+", "a+b+c"},
                    ReplaceCase{"LeftToRightWithoutOverlap", "aaa", "aa", "b", "ba"},
                    ReplaceCase{"ReplacementIsNotSearchedAgain", "aaa", "aa", "aa", "aaa"},
                    ReplaceCase{"ReplacementHoldingThePattern", "xax", "a", "aa", "xaax"},
                    ReplaceCase{"NoRescanAcrossTheJoin", "abab", "ab", "a", "aa"},
                    ReplaceCase{"EmptyPatternIsNeverFound", "abc", "", "x", "abc"},
                    ReplaceCase{"EmptySource", "", "a", "b", ""},
                    ReplaceCase{"EmptyReplacementDeletes", "<-a-><-a->x", "<-a->", "", "x"},
                    ReplaceCase{"CaseSensitive", "<-Year-><-year->", "<-year->", "2004",
                                "<-Year->2004"},
                    ReplaceCase{"PatternLongerThanSource", "ab", "abc", "x", "ab"},
                    ReplaceCase{"WholeSource", "abc", "abc", "", ""},
                    ReplaceCase{"AtBothEnds", "xax", "x", "yy", "yyayy"}),
    [](const testing::TestParamInfo<ReplaceCase>& info) { return std::string(info.param.name); });

TEST(ReplaceAllBytesTest, WorksOnAnyBytes) {
    // Code page 932 text with an embedded zero byte and CR LF.
    const std::string source("\x93\xfa\0<-x->\r\n", 10);
    EXPECT_EQ(tavo::ReplaceAll(source, "<-x->", "\x8c\x8e"),
              std::string("\x93\xfa\0\x8c\x8e\r\n", 7));
}

}  // namespace
