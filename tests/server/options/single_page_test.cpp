#include "server/options/single_page.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SinglePageTest, RoutePathsHaveNoExtension) {
    using Segments = std::vector<std::string>;
    for (const Segments& route : {Segments{"settings"}, Segments{"users", "7"},
                                  Segments{"a.b", "profile"}, Segments{".well-known"}}) {
        EXPECT_TRUE(IsRoutePath(route)) << route.back();
    }
    for (const Segments& file : {Segments{}, Segments{"app.js"}, Segments{"img", "logo.png"},
                                 Segments{"v1.2"}, Segments{"archive.tar.gz"}}) {
        EXPECT_FALSE(IsRoutePath(file)) << (file.empty() ? "/" : file.back());
    }
}

struct AcceptCase {
    std::optional<std::string> accept;
    bool html;
};

class AcceptsHtmlTest : public testing::TestWithParam<AcceptCase> {};

TEST_P(AcceptsHtmlTest, WeighsTheMostSpecificRange) {
    const AcceptCase& c = GetParam();
    const auto header = c.accept ? std::optional<std::string_view>(*c.accept) : std::nullopt;
    EXPECT_EQ(AcceptsHtml(header), c.html) << c.accept.value_or("(none)");
}

INSTANTIATE_TEST_SUITE_P(
    Headers, AcceptsHtmlTest,
    testing::Values(AcceptCase{"text/html,application/xhtml+xml,application/xml;q=0.9,image/avif,"
                               "image/webp,*/*;q=0.8",
                               true},
                    AcceptCase{"TEXT/HTML", true}, AcceptCase{"text/*", true},
                    AcceptCase{"*/*", true}, AcceptCase{"*/*;q=0.1", true},
                    AcceptCase{"application/json", false},
                    AcceptCase{"image/avif,image/webp,*/*;q=0", false},
                    AcceptCase{"text/html;q=0, */*", false},  // the exact range decides
                    AcceptCase{"text/*;q=0, text/html", true}, AcceptCase{"text/plain", false},
                    AcceptCase{"", false}, AcceptCase{std::nullopt, false}));

}  // namespace
