#include "server/answers/byte_ranges.h"

#include <gtest/gtest.h>

namespace {

using Kind = RangeRequest::Kind;

struct RangeCase {
    std::string header;
    std::uint64_t size;
    Kind kind;
    std::uint64_t first = 0;
    std::uint64_t length = 0;
};

class ParseRangeTest : public testing::TestWithParam<RangeCase> {};

TEST_P(ParseRangeTest, ReadsTheHeader) {
    const RangeCase& c = GetParam();
    const RangeRequest range = ParseRange(c.header, c.size);
    EXPECT_EQ(range.kind, c.kind) << c.header;
    if (c.kind == Kind::kPartial) {
        EXPECT_EQ(range.first, c.first) << c.header;
        EXPECT_EQ(range.length, c.length) << c.header;
    }
}

constexpr std::uint64_t kBig = 5ULL << 30;  // beyond 32 bits

INSTANTIATE_TEST_SUITE_P(
    Headers, ParseRangeTest,
    testing::Values(
        RangeCase{"bytes=0-9", 100, Kind::kPartial, 0, 10},
        RangeCase{"bytes=90-", 100, Kind::kPartial, 90, 10},
        RangeCase{"bytes=-10", 100, Kind::kPartial, 90, 10},
        RangeCase{"bytes=-1000", 100, Kind::kPartial, 0, 100},
        RangeCase{"bytes=95-1000", 100, Kind::kPartial, 95, 5},
        RangeCase{"bytes=99-99", 100, Kind::kPartial, 99, 1},
        RangeCase{"Bytes= 5 - 6 ", 100, Kind::kPartial, 5, 2},
        RangeCase{"bytes=5-99999999999999999999999", 100, Kind::kPartial, 5, 95},
        RangeCase{"bytes=-5", kBig, Kind::kPartial, kBig - 5, 5},
        RangeCase{"bytes=4294967296-4294967300", kBig, Kind::kPartial, 4294967296, 5},
        RangeCase{"bytes=100-", 100, Kind::kUnsatisfiable},
        RangeCase{"bytes=100-200", 100, Kind::kUnsatisfiable},
        RangeCase{"bytes=99999999999999999999999-", 100, Kind::kUnsatisfiable},
        RangeCase{"bytes=-0", 100, Kind::kUnsatisfiable},
        RangeCase{"bytes=0-", 0, Kind::kUnsatisfiable},
        RangeCase{"bytes=-5", 0, Kind::kUnsatisfiable},
        RangeCase{"bytes=0-1,5-6", 100, Kind::kWhole}, RangeCase{"bytes=5-4", 100, Kind::kWhole},
        RangeCase{"bytes=-", 100, Kind::kWhole}, RangeCase{"bytes=a-b", 100, Kind::kWhole},
        RangeCase{"bytes=1-2x", 100, Kind::kWhole}, RangeCase{"bytes=+1-2", 100, Kind::kWhole},
        RangeCase{"bytes 0-9", 100, Kind::kWhole}, RangeCase{"items=0-9", 100, Kind::kWhole},
        RangeCase{"", 100, Kind::kWhole}));

}  // namespace
