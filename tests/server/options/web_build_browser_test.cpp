// Web builds in headless Chromium: compressed WebAssembly, cross-origin isolation and a
// history-routed app, each made at test time from small real files.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/server/support/headless_chromium.h"
#include "tests/server/support/run_program.h"
#include "tests/server/support/served_site.h"

namespace {

constexpr const char* kWat2Wasm = "/usr/bin/wat2wasm";
constexpr const char* kBrotli = "/usr/bin/brotli";
constexpr const char* kGzip = "/usr/bin/gzip";
// Long enough for the page's scripts to finish before the DOM is taken.
const std::vector<std::string> kLetScriptsRun = {"--virtual-time-budget=10000"};

std::string AnswerModule(int answer) {
    return "(module (func (export \"answer\") (result i32) i32.const " + std::to_string(answer) +
           "))";
}

// A page whose script writes its findings into <p id="result">.
std::string PageWithScript(const std::string& script) {
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Build</title></head>"
           "<body><p id=\"result\">pending</p><script>" +
           script + "</script></body></html>";
}

std::string Result(const std::string& text) { return "<p id=\"result\">" + text + "</p>"; }

class WebBuildBrowserTest : public ServedSite {
  protected:
    void SetUp() override {
        for (const char* tool : {kChromium, kWat2Wasm, kBrotli, kGzip}) {
            ASSERT_EQ(access(tool, X_OK), 0)
                << tool << " is missing: run scripts/install-deps.sh test";
        }
        ServedSite::SetUp();
        site_.Write("404.html",
                    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Missing</title>"
                    "</head><body><p>Nothing here</p></body></html>");
    }

    // Writes `relative` as WebAssembly compiled from `wat`.
    void WriteModule(const std::string& relative, const std::string& wat) {
        site_.Write(relative + ".wat", wat);
        ASSERT_TRUE(
            RunProgram({kWat2Wasm, site_.PathOf(relative + ".wat"), "-o", site_.PathOf(relative)}));
    }

    void Compress(const char* tool, const std::string& relative) {
        ASSERT_TRUE(RunProgram({tool, "-k", "-f", site_.PathOf(relative)})) << tool;
    }

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
};

TEST_F(WebBuildBrowserTest, RunsCompressedWebAssemblyAndScripts) {
    // As engines export them: only the compressed files are on disk.
    WriteModule("Build/game.wasm", AnswerModule(42));
    Compress(kBrotli, "Build/game.wasm");
    ASSERT_EQ(remove(site_.PathOf("Build/game.wasm").c_str()), 0);
    site_.Write("Build/loader.js", "window.loaderRan = 'yes';");
    Compress(kGzip, "Build/loader.js");
    ASSERT_EQ(remove(site_.PathOf("Build/loader.js").c_str()), 0);
    // Beside the plain file: the brotli copy holds another module, so that the page tells which
    // one arrived; touched last, so that it is not taken for a stale one.
    WriteModule("lib.wasm", AnswerModule(8));
    Compress(kBrotli, "lib.wasm");
    WriteModule("lib.wasm", AnswerModule(7));
    ASSERT_EQ(utimensat(AT_FDCWD, site_.PathOf("lib.wasm.br").c_str(), nullptr, 0), 0);
    site_.Write("index.html",
                "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                "<script src=\"Build/loader.js.gz\"></script></head>"
                "<body><p id=\"result\">pending</p><script>"
                "async function answer(url) {"
                "  try {"
                "    const module = await WebAssembly.instantiateStreaming(fetch(url));"
                "    return module.instance.exports.answer();"
                "  } catch (e) { return 'failed: ' + e; }"
                "}"
                "(async () => {"
                "  const direct = await answer('Build/game.wasm.br');"
                "  const negotiated = await answer('lib.wasm');"
                "  document.getElementById('result').textContent ="
                "    'direct=' + direct + ' negotiated=' + negotiated + ' loader=' + "
                "window.loaderRan;"
                "})();"
                "</script></body></html>");
    const auto dom = DumpDom(Url("/"), kLetScriptsRun);
    ASSERT_TRUE(dom) << "Chromium failed or timed out";
    EXPECT_NE(dom->find(Result("direct=42 negotiated=8 loader=yes")), std::string::npos) << *dom;
}

TEST_F(WebBuildBrowserTest, IsolationGivesThePageSharedMemory) {
    site_.Write("index.html",
                PageWithScript("let shared = 'no';"
                               "try { new SharedArrayBuffer(16); shared = 'yes'; } catch (e) {}"
                               "document.getElementById('result').textContent ="
                               "  'isolated=' + self.crossOriginIsolated + ' shared=' + shared;"));
    for (const bool on : {true, false}) {
        server_.SetOption(ServeOption::kCrossOriginIsolation, on);
        const auto dom = DumpDom(Url("/"), kLetScriptsRun);
        ASSERT_TRUE(dom) << "Chromium failed or timed out";
        const std::string expected = on ? "isolated=true shared=yes" : "isolated=false shared=no";
        EXPECT_NE(dom->find(Result(expected)), std::string::npos) << *dom;
    }
}

TEST_F(WebBuildBrowserTest, HistoryRoutedAppLoadsOnADeepPath) {
    site_.Write("index.html", PageWithScript("document.getElementById('result').textContent ="
                                             "  'route ' + location.pathname;"));
    for (const bool on : {true, false}) {
        server_.SetOption(ServeOption::kSinglePageApp, on);
        const auto dom = DumpDom(Url("/users/7/settings"), kLetScriptsRun);
        ASSERT_TRUE(dom) << "Chromium failed or timed out";
        if (on) {
            EXPECT_NE(dom->find(Result("route /users/7/settings")), std::string::npos) << *dom;
        } else {
            EXPECT_NE(dom->find("Nothing here"), std::string::npos) << *dom;
            EXPECT_EQ(dom->find("route "), std::string::npos) << *dom;
        }
    }
}

}  // namespace
