#include "server/requests/text_codec.h"

#include <gtest/gtest.h>

namespace {

struct Utf8Case {
    std::string text;
    bool valid;
};

class Utf8Test : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Test, AcceptsOnlyWellFormedText) {
    EXPECT_EQ(IsValidUtf8(GetParam().text), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf8Test,
                         testing::Values(Utf8Case{"plain ascii", true}, Utf8Case{"中文 名字", true},
                                         Utf8Case{"\xF0\x9F\x98\x80", true},   // U+1F600
                                         Utf8Case{"\xF4\x8F\xBF\xBF", true},   // U+10FFFF
                                         Utf8Case{"\xC0\xAF", false},          // overlong '/'
                                         Utf8Case{"\xC1\x9C", false},          // overlong '\'
                                         Utf8Case{"\xE0\x80\xAF", false},      // overlong, 3 bytes
                                         Utf8Case{"\xF0\x80\x80\xAF", false},  // overlong, 4 bytes
                                         Utf8Case{"\xED\xA0\x80", false},      // surrogate
                                         Utf8Case{"\xF4\x90\x80\x80", false},  // above U+10FFFF
                                         Utf8Case{"\xE4\xB8", false},          // cut short
                                         Utf8Case{"\x80", false},              // lone continuation
                                         Utf8Case{"\xE4\x41\xAD", false},  // broken continuation
                                         Utf8Case{"\xFF", false}));

TEST(PercentDecodeTest, DecodesEscapesAndRefusesBrokenOnes) {
    EXPECT_EQ(PercentDecode("a%20b%2F%e4%B8%ad"), "a b/\xE4\xB8\xAD");
    EXPECT_EQ(PercentDecode("100%25"), "100%");
    EXPECT_EQ(PercentDecode("%00"), std::string(1, '\0'));
    for (const char* broken : {"%", "%4", "%zz", "a%g1", "%%41"}) {
        EXPECT_FALSE(PercentDecode(broken)) << broken;
    }
}

TEST(PercentEncodeSegmentTest, KeepsOnlyUnreservedCharacters) {
    EXPECT_EQ(PercentEncodeSegment("A-z_0.9~"), "A-z_0.9~");
    EXPECT_EQ(PercentEncodeSegment("a b/c?d#e%f"), "a%20b%2Fc%3Fd%23e%25f");
    EXPECT_EQ(PercentEncodeSegment("中"), "%E4%B8%AD");
    EXPECT_EQ(PercentEncodeSegment("javascript:x"), "javascript%3Ax");
}

TEST(PercentEncodeSegmentTest, DecodesBackToTheSameName) {
    const std::string name = "报告 <2024> & \"final\" #1?.txt";
    EXPECT_EQ(PercentDecode(PercentEncodeSegment(name)), name);
}

TEST(EscapeHtmlTest, EscapesMarkupCharacters) {
    EXPECT_EQ(EscapeHtml("<a href=\"x\">'&'</a>"),
              "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
    EXPECT_EQ(EscapeHtml("中文"), "中文");
}

TEST(TextHelpersTest, CaseFoldingTouchesOnlyLetters) {
    EXPECT_TRUE(EqualsIgnoringCase("LocalHost", "localhost"));
    EXPECT_FALSE(EqualsIgnoringCase("[", "{"));
    EXPECT_FALSE(EqualsIgnoringCase("ab", "abc"));
    EXPECT_EQ(TrimSpaces(" \t x y \t"), "x y");
}

}  // namespace
