#include "server/requests/request_path.h"

#include <gtest/gtest.h>

namespace {

using Segments = std::vector<std::string>;

struct PathCase {
    std::string raw;
    Segments segments;
    bool directory;
    std::optional<std::string> query;
};

class ParseTargetTest : public testing::TestWithParam<PathCase> {};

TEST_P(ParseTargetTest, DecodesAndNormalises) {
    const auto target = ParseRequestTarget(GetParam().raw);
    ASSERT_TRUE(target) << GetParam().raw;
    EXPECT_EQ(target->segments, GetParam().segments);
    EXPECT_EQ(target->directory, GetParam().directory);
    EXPECT_EQ(target->query, GetParam().query);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ParseTargetTest,
    testing::Values(PathCase{"/", {}, true, std::nullopt},
                    PathCase{"/index.html", {"index.html"}, false, std::nullopt},
                    PathCase{"/docs/", {"docs"}, true, std::nullopt},
                    PathCase{"/docs?x=1&y=%20", {"docs"}, false, "x=1&y=%20"},
                    PathCase{"/docs/?", {"docs"}, true, ""},
                    PathCase{"/a%20b/%E4%B8%AD.txt", {"a b", "中.txt"}, false, std::nullopt},
                    PathCase{"/a//b", {"a", "b"}, false, std::nullopt},
                    PathCase{"/a/./b/.", {"a", "b"}, true, std::nullopt},
                    PathCase{"/a/b/../c", {"a", "c"}, false, std::nullopt},
                    PathCase{"/a/..", {}, true, std::nullopt},
                    PathCase{"/../../x", {"x"}, false, std::nullopt},
                    PathCase{"/%2e%2e/%2E%2E/x", {"x"}, false, std::nullopt},
                    PathCase{"/.%2e/x", {"x"}, false, std::nullopt},
                    PathCase{"/...", {"..."}, false, std::nullopt},
                    PathCase{"/a/..%252f", {"a", "..%2f"}, false, std::nullopt},
                    PathCase{"/x?a/../b", {"x"}, false, "a/../b"}));

class RefusedTargetTest : public testing::TestWithParam<std::string> {};

TEST_P(RefusedTargetTest, IsRefused) { EXPECT_FALSE(ParseRequestTarget(GetParam())); }

INSTANTIATE_TEST_SUITE_P(Targets, RefusedTargetTest,
                         testing::Values("", "index.html", "*", "http://localhost/", "/a%2fb",
                                         "/..%2F..%2Fsecret", "/a%5cb", "/a\\b", "/a%00b", "/%00",
                                         "/a%0ab", "/a%7f", "/a b", "/a\tb", "/%zz", "/%4", "/%",
                                         "/%C0%AE%C0%AE/x", "/%FF", "/%ED%A0%80"));

TEST(EncodePathTest, EncodesEachNameAndMarksFolders) {
    EXPECT_EQ(EncodePath({}, false), "/");
    EXPECT_EQ(EncodePath({"a b", "中"}, true), "/a%20b/%E4%B8%AD/");
    EXPECT_EQ(EncodePath({"x?y"}, false), "/x%3Fy");
}

TEST(EncodePathTest, ParsesBackToTheSameTarget) {
    const Segments names = {"报告 2024", "a&b #1", "100%"};
    const auto target = ParseRequestTarget(EncodePath(names, true));
    ASSERT_TRUE(target);
    EXPECT_EQ(target->segments, names);
    EXPECT_TRUE(target->directory);
}

}  // namespace
