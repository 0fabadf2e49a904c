#include "site/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "site/utf8_path.h"

namespace {

using PathOf = std::string (*)(std::string_view);

struct PathCase {
    const char* label;
    PathOf path_of;
    std::string_view file_name;  // empty for the folder itself
};
void PrintTo(const PathCase& c, std::ostream* os) { *os << c.label; }

class FixedPaths : public ::testing::TestWithParam<PathCase> {};

// The base is used exactly as given: nothing is trimmed, no separator is doubled or dropped.
TEST_P(FixedPaths, AppendSeparatorAndNamesToTheBaseText) {
    const PathCase& c = GetParam();
    const std::string sep(1, static_cast<char>(std::filesystem::path::preferred_separator));
    for (const std::string base : {"/srv/站点 一", "relative", "", "/trailing/", " blank "}) {
        std::string expected = base + sep + "web";
        if (!c.file_name.empty()) expected += sep + std::string(c.file_name);
        EXPECT_EQ(c.path_of(base), expected) << "base '" << base << "'";
    }
}

INSTANTIATE_TEST_SUITE_P(Site, FixedPaths,
                         ::testing::Values(PathCase{"folder", site::site_folder, ""},
                                           PathCase{"settings", site::settings_file, "Config.web"},
                                           PathCase{"icon", site::icon_file, "favicon.ico"},
                                           PathCase{"index", site::index_file, "index.html"},
                                           PathCase{"not_found", site::not_found_file, "404.html"}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(RunDirectory, IsTheFolderOfThisExecutableWithoutTrailingSeparator) {
    const std::string folder = site::run_directory();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), site::separator().front());
    EXPECT_TRUE(std::filesystem::path(site::to_path(folder)).is_absolute());
    EXPECT_TRUE(std::filesystem::equivalent(site::to_path(folder), SITE_TESTS_DIR)) << folder;
}

}  // namespace
