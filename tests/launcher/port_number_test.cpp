#include "launcher/controls/port_number.h"

#include <gtest/gtest.h>

namespace {

struct PortTextCase {
    std::u16string text;
    std::int32_t number;
};

class PortNumberFromText : public testing::TestWithParam<PortTextCase> {};

TEST_P(PortNumberFromText, ReadsLeadingNumber) {
    EXPECT_EQ(port_number_from_text(GetParam().text), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortNumberFromText,
    testing::Values(
        PortTextCase{u"8080", 8080}, PortTextCase{u"", 0}, PortTextCase{u"abc", 0},
        PortTextCase{u"abc123456", 0}, PortTextCase{u"12ab34", 12}, PortTextCase{u"  \t 80", 80},
        PortTextCase{u"+443", 443}, PortTextCase{u"-1", -1}, PortTextCase{u"--1", 0},
        PortTextCase{u"- 1", 0}, PortTextCase{u"-", 0}, PortTextCase{u"0080", 80},
        // full-width digits, sign and the ideographic space fold to ASCII
        PortTextCase{u"\uFF18\uFF10\uFF18\uFF10", 8080}, PortTextCase{u"\u3000\uFF0D\uFF15", -5},
        PortTextCase{u"8\uFF10a", 80},
        // other digits and spaces do not
        PortTextCase{u"\u0661\u0662", 0}, PortTextCase{u"\u00A080", 0},
        // beyond 32 bits the value stops at the limit instead of wrapping round
        PortTextCase{u"2147483647", 2147483647}, PortTextCase{u"2147483648", 2147483647},
        PortTextCase{u"4294975376", 2147483647}, PortTextCase{u"-2147483648", -2147483647 - 1},
        PortTextCase{u"-99999999999999999999", -2147483647 - 1}));

}  // namespace
