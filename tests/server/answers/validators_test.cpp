#include "server/answers/validators.h"

#include <gtest/gtest.h>

namespace {

constexpr std::time_t kSample = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT

TEST(HttpDateTest, FormatsImfFixdate) {
    EXPECT_EQ(FormatHttpDate(kSample), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(FormatHttpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(FormatHttpDate(4102444799), "Thu, 31 Dec 2099 23:59:59 GMT");
}

struct DateCase {
    std::string text;
    std::optional<std::time_t> when;
};

class ParseDateTest : public testing::TestWithParam<DateCase> {};

TEST_P(ParseDateTest, ReadsAllThreeForms) {
    EXPECT_EQ(ParseHttpDate(GetParam().text), GetParam().when) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Dates, ParseDateTest,
                         testing::Values(DateCase{"Sun, 06 Nov 1994 08:49:37 GMT", kSample},
                                         DateCase{"Sunday, 06-Nov-94 08:49:37 GMT", kSample},
                                         DateCase{"Sun Nov  6 08:49:37 1994", kSample},
                                         DateCase{" Sun, 06 Nov 1994 08:49:37 GMT ", kSample},
                                         DateCase{"Sunday, 06-Nov-1994 08:49:37 GMT", std::nullopt},
                                         DateCase{"Sun, 06 Nov 1994 08:49:37 UTC", std::nullopt},
                                         DateCase{"Sun, 06 Foo 1994 08:49:37 GMT", std::nullopt},
                                         DateCase{"Sun, 36 Nov 1994 08:49:37 GMT", std::nullopt},
                                         DateCase{"Sun, 06 Nov 1994 25:49:37 GMT", std::nullopt},
                                         DateCase{"Sun, 06 Nov 1994 08:49 GMT", std::nullopt},
                                         DateCase{"yesterday", std::nullopt},
                                         DateCase{"", std::nullopt}));

TEST(HttpDateTest, RoundTrips) {
    for (std::time_t when :
         {std::time_t{0}, kSample, std::time_t{1700000000}, std::time_t{4102444799}}) {
        EXPECT_EQ(ParseHttpDate(FormatHttpDate(when)), when);
    }
}

TEST(MakeETagTest, ChangesWithSizeTimeAndInode) {
    struct stat base {};
    base.st_ino = 42;
    base.st_size = 1000;
    base.st_mtim = {1700000000, 5};
    const std::string tag = MakeETag(base);
    // The same file keeps its tag across versions of the server, so caches stay valid.
    EXPECT_EQ(tag, "\"2a-3e8-17979cfe362a0005\"");
    EXPECT_EQ(MakeETag(base), tag);
    struct stat changed = base;
    changed.st_mtim.tv_nsec = 6;
    EXPECT_NE(MakeETag(changed), tag);
    changed = base;
    changed.st_size = 1001;
    EXPECT_NE(MakeETag(changed), tag);
    changed = base;
    changed.st_ino = 43;
    EXPECT_NE(MakeETag(changed), tag);
}

struct ListCase {
    std::string header;
    bool matches;
};

class EtagListTest : public testing::TestWithParam<ListCase> {};

TEST_P(EtagListTest, ComparesWeakly) {
    EXPECT_EQ(EtagListMatches(GetParam().header, "\"abc\""), GetParam().matches)
        << GetParam().header;
}

INSTANTIATE_TEST_SUITE_P(Lists, EtagListTest,
                         testing::Values(ListCase{"\"abc\"", true}, ListCase{"W/\"abc\"", true},
                                         ListCase{"*", true}, ListCase{" \"x\" , \"abc\" ", true},
                                         ListCase{"\"x\",W/\"abc\"", true},
                                         ListCase{"\"abcd\"", false}, ListCase{"abc", false},
                                         ListCase{"\"x\", \"y\"", false}, ListCase{"", false},
                                         ListCase{"W/abc", false}));

struct IfRangeCase {
    std::string header;
    bool matches;
};

class IfRangeTest : public testing::TestWithParam<IfRangeCase> {};

TEST_P(IfRangeTest, NeedsAStrongTagOrTheExactDate) {
    EXPECT_EQ(IfRangeMatches(GetParam().header, "\"abc\"", kSample), GetParam().matches)
        << GetParam().header;
}

INSTANTIATE_TEST_SUITE_P(Headers, IfRangeTest,
                         testing::Values(IfRangeCase{"\"abc\"", true},
                                         IfRangeCase{"Sun, 06 Nov 1994 08:49:37 GMT", true},
                                         IfRangeCase{"W/\"abc\"", false},
                                         IfRangeCase{"\"abd\"", false},
                                         IfRangeCase{"Sun, 06 Nov 1994 08:49:38 GMT", false},
                                         IfRangeCase{"*", false}, IfRangeCase{"junk", false}));

}  // namespace
