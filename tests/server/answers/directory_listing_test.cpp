#include "server/answers/directory_listing.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "tests/server/support/test_site.h"

namespace {

std::size_t Position(const std::string& page, const std::string& needle) {
    const auto at = page.find(needle);
    EXPECT_NE(at, std::string::npos) << needle;
    return at;
}

TEST(RenderListingTest, ListsFoldersFirstThenFilesByName) {
    const std::string page = RenderListing(
        "/docs/", false,
        {{"b.txt", false, 10, 0}, {"Z", true, 0, 0}, {"a.txt", false, 2048, 0}, {"m", true, 0, 0}});
    const auto z = Position(page, "href=\"Z/\"");
    const auto m = Position(page, "href=\"m/\"");
    const auto a = Position(page, "href=\"a.txt\"");
    const auto b = Position(page, "href=\"b.txt\"");
    EXPECT_LT(z, m);
    EXPECT_LT(m, a);
    EXPECT_LT(a, b);
    EXPECT_NE(page.find("2.0 KiB"), std::string::npos);
    EXPECT_NE(page.find("10 B"), std::string::npos);
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(page.find("<html lang=\"zh-CN\">"), std::string::npos);
    EXPECT_NE(page.find("<title>索引：/docs/</title>"), std::string::npos);
    EXPECT_NE(page.find("<th>名称</th><th>大小</th><th>修改时间</th>"), std::string::npos);
}

TEST(RenderListingTest, LinksToTheParentExceptAtTheRoot) {
    EXPECT_NE(RenderListing("/docs/", false, {}).find("<a href=\"../\">上级目录</a>"),
              std::string::npos);
    EXPECT_EQ(RenderListing("/", true, {}).find("href=\"../\""), std::string::npos);
}

TEST(RenderListingTest, EscapesNamesInTextAndLinks) {
    const std::string page = RenderListing("/<b>/", false,
                                           {{"<img src=x onerror=alert(1)>.txt", false, 1, 0},
                                            {"报告 #1?.txt", false, 1, 0},
                                            {"a\"b'c&d", true, 0, 0}});
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_NE(page.find("<h1>索引：/&lt;b&gt;/</h1>"), std::string::npos);
    EXPECT_NE(page.find("&lt;img src=x onerror=alert(1)&gt;.txt</a>"), std::string::npos);
    EXPECT_NE(page.find("href=\"%E6%8A%A5%E5%91%8A%20%231%3F.txt\""), std::string::npos);
    EXPECT_NE(page.find(">报告 #1?.txt</a>"), std::string::npos);
    EXPECT_NE(page.find("href=\"a%22b%27c%26d/\""), std::string::npos);
    EXPECT_NE(page.find(">a&quot;b&#39;c&amp;d/</a>"), std::string::npos);
}

std::vector<std::string> Names(const std::vector<ListingEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.name + (entry.folder ? "/" : ""));
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ReadListingTest, ShowsWhatCanBeServedOnly) {
    TestSite site;
    site.Write("docs/中文 名.txt", "12345");
    site.MakeFolder("docs/子目录");
    site.Write("docs/.hidden", "h");
    ASSERT_EQ(symlink("中文 名.txt", site.PathOf("docs/link_in").c_str()), 0);
    ASSERT_EQ(
        symlink((site.outside() + "/secret.txt").c_str(), site.PathOf("docs/link_out").c_str()), 0);
    ASSERT_EQ(symlink("../..", site.PathOf("docs/up").c_str()), 0);
    ASSERT_EQ(mkfifo(site.PathOf("docs/pipe").c_str(), 0600), 0);
    site.Write("docs/bad\x01name", "x");
    site.Write("docs/bad\xC0\xAFname", "x");

    const int root = open(site.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(root, 0);
    const auto entries = ReadListing(root, {"docs"});
    close(root);
    EXPECT_EQ(Names(entries),
              (std::vector<std::string>{".hidden", "link_in", "中文 名.txt", "子目录/"}));
    for (const auto& entry : entries) {
        if (entry.name == "link_in") {
            EXPECT_EQ(entry.size, 5u);
        }
    }
}

}  // namespace
