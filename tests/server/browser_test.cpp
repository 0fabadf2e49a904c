// Loads pages from the server in headless Chromium and checks what it rendered.

#include <unistd.h>

#include <string>

#include "tests/server/support/headless_chromium.h"
#include "tests/server/support/served_site.h"

namespace {

class BrowserTest : public ServedSite {
  protected:
    void SetUp() override {
        ASSERT_EQ(access(kChromium, X_OK), 0)
            << "Chromium is missing: run scripts/install-deps.sh test";
        ServedSite::SetUp();
        site_.Write(
            "index.html",
            "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Hello 你好</title>"
            "</head><body><p id=\"greeting\">Served by the launcher 网站</p></body></html>");
        site_.Write("404.html",
                    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Missing</title>"
                    "</head><body><p>Nothing here</p></body></html>");
    }

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
};

TEST_F(BrowserTest, RendersTheIndexPage) {
    const auto dom = DumpDom(Url("/"));
    ASSERT_TRUE(dom) << "Chromium failed or timed out";
    EXPECT_NE(dom->find("<title>Hello 你好</title>"), std::string::npos) << *dom;
    EXPECT_NE(dom->find("Served by the launcher 网站"), std::string::npos) << *dom;
}

TEST_F(BrowserTest, RendersTheFoldersNotFoundPage) {
    const auto dom = DumpDom(Url("/no/such/page.html"));
    ASSERT_TRUE(dom) << "Chromium failed or timed out";
    EXPECT_NE(dom->find("<title>Missing</title>"), std::string::npos) << *dom;
    EXPECT_NE(dom->find("Nothing here"), std::string::npos) << *dom;
}

}  // namespace
