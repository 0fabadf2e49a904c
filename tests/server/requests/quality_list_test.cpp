#include "server/requests/quality_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct WeightCase {
    std::string header;
    std::string name;
    std::optional<int> weight;
};

class QualityListTest : public testing::TestWithParam<WeightCase> {};

TEST_P(QualityListTest, GivesEachNameItsWeight) {
    const WeightCase& c = GetParam();
    EXPECT_EQ(WeightOf(ParseQualityList(c.header), c.name), c.weight)
        << c.header << " / " << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Headers, QualityListTest,
    testing::Values(WeightCase{"gzip, deflate, br, zstd", "br", 1000},
                    WeightCase{"gzip, deflate", "br", std::nullopt},
                    WeightCase{"br;q=0.5", "br", 500}, WeightCase{"br;q=0", "br", 0},
                    WeightCase{"br;q=0.000", "br", 0}, WeightCase{"br;q=1.000", "br", 1000},
                    WeightCase{"br;q=.5", "br", std::nullopt},      // malformed: dropped
                    WeightCase{"br;q=1.5", "br", std::nullopt},     // above one: dropped
                    WeightCase{"br;q=0.1234", "br", std::nullopt},  // four decimals: dropped
                    WeightCase{"br;q=abc, *;q=0.2", "br", 200},     // falls back to *
                    WeightCase{"br ; Q=0.25", "br", 250},           // spaces, capital Q
                    WeightCase{"BR", "br", 1000},                   // names ignore case
                    WeightCase{"*", "gzip", 1000}, WeightCase{"*;q=0", "br", 0},
                    WeightCase{"*;q=0, br", "br", 1000},  // the exact name beats *
                    WeightCase{"text/html;level=1;q=0.7", "text/html", 700},
                    WeightCase{"", "br", std::nullopt}, WeightCase{" , ,", "br", std::nullopt},
                    WeightCase{"brotli", "br", std::nullopt}));

TEST(QualityListTest, AliasCountsLikeTheName) {
    EXPECT_EQ(WeightOf(ParseQualityList("x-gzip;q=0.3, *;q=0.1"), "gzip", "x-gzip"), 300);
}

}  // namespace
