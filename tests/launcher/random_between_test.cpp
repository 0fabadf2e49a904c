#include "launcher/random_between.h"

#include <gtest/gtest.h>

namespace {

struct DrawCase {
    std::uint32_t seed, low, high, expected;
};

class RandomBetweenSeeded : public testing::TestWithParam<DrawCase> {};

TEST_P(RandomBetweenSeeded, TakesOneGeneratorStep) {
    const DrawCase& c = GetParam();
    EXPECT_EQ(random_between_seeded(c.seed, c.low, c.high), c.expected);
}

// x = seed * 214013 + 2531011 (mod 2^32); r = (x >> 16) & 0x7FFF; low + r % (high - low + 1).
INSTANTIATE_TEST_SUITE_P(
    Cases, RandomBetweenSeeded,
    testing::Values(DrawCase{0, 9999, 65000, 9999 + 38},        // x = 0x00269EC3
                    DrawCase{1, 9999, 65000, 9999 + 41},        // x = 0x0029E2C0
                    DrawCase{4028364353u, 9999, 65000, 42766},  // x = 0x7FFF0000: the largest r
                    DrawCase{3254384005u, 9999, 65000, 42766},  // x = 0xFFFF1234: bit 31 dropped
                    DrawCase{4028364353u, 0, 9, 32767 % 10}, DrawCase{4028364353u, 5, 5, 5},
                    DrawCase{4028364353u, 0, 0, 32767},  // high 0 reads as 0x7FFFFFFF
                    // a span of all 2^32 values wraps to 0; it must not divide by zero
                    DrawCase{4028364353u, 0, 0xFFFFFFFFu, 32767}, DrawCase{0, 1, 0, 1 + 38}));

TEST(RandomBetween, DefaultPortsStayWithinTheirRange) {
    for (std::uint32_t seed = 0; seed < 200000; seed += 7) {
        const std::uint32_t port = random_between_seeded(seed * 21481u, 9999, 65000);
        ASSERT_GE(port, 9999u);
        ASSERT_LE(port, 42766u);
    }
    const std::uint32_t drawn = random_between(9999, 65000);
    EXPECT_GE(drawn, 9999u);
    EXPECT_LE(drawn, 42766u);
}

}  // namespace
