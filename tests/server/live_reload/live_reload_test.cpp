// Live reload over real HTTP: the script in HTML answers, the event stream and what reaches it.

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "server/store_map.h"
#include "site/file_ops.h"
#include "site/settings.h"
#include "tests/server/support/event_stream.h"
#include "tests/server/support/http_client.h"
#include "tests/server/support/served_site.h"

namespace {

using namespace std::chrono_literals;

constexpr std::string_view kScript = "<script src=\"/.site-launcher/live-reload.js\"></script>";
constexpr const char* kHtmlType = "text/html; charset=utf-8";

// An event must come within this; a settled save must stay alone for this long after it.
constexpr auto kEventLimit = 10s;
constexpr auto kSettle = 800ms;

std::string Injected(std::string_view html, std::size_t at) {
    std::string page(html);
    page.insert(at, kScript);
    return page;
}

class LiveReloadTest : public ServedSite {
  protected:
    void SetUp() override {
        ServedSite::SetUp();
        // Switched on while running, as the options menu does.
        server_.SetOption(ServeOption::kLiveReload, true);
    }

    void SetLiveReload(bool on) { server_.SetOption(ServeOption::kLiveReload, on); }

    HttpResponse Head(std::string_view target, std::string_view extra = "") {
        return Exchange(port_, MakeRequest("HEAD", target, extra), true);
    }
};

// ---- The script in HTML answers ----

struct PageCase {
    std::string name;
    std::string file;  // written as page.html
    std::string sent;  // the body expected
};

class InjectionTest : public LiveReloadTest, public testing::WithParamInterface<PageCase> {};

TEST_P(InjectionTest, HtmlCarriesTheScriptOnceWithConsistentHeaders) {
    const PageCase& c = GetParam();
    site_.Write("page.html", c.file);
    const HttpResponse got = Get(port_, "/page.html");
    EXPECT_EQ(got.status, 200);
    EXPECT_TRUE(got.complete);
    EXPECT_EQ(got.body, c.sent);
    EXPECT_EQ(got.Header("Content-Type").value_or(""), kHtmlType);
    EXPECT_EQ(got.Header("Content-Length").value_or(""), std::to_string(c.sent.size()));

    const HttpResponse head = Head("/page.html");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.Header("Content-Length"), got.Header("Content-Length"));
    EXPECT_EQ(head.Header("ETag"), got.Header("ETag"));

    SetLiveReload(false);
    const HttpResponse plain = Get(port_, "/page.html");
    EXPECT_EQ(plain.body, c.file) << "with live reload off the file is sent byte for byte";
    EXPECT_NE(plain.Header("ETag"), got.Header("ETag"));
}

const std::string kBom = "\xEF\xBB\xBF";

INSTANTIATE_TEST_SUITE_P(
    Pages, InjectionTest,
    testing::Values(
        PageCase{"BeforeBodyEnd", "<html><body><p>hi</p></body></html>\n",
                 Injected("<html><body><p>hi</p></body></html>\n", 21)},
        PageCase{"UpperCaseBody", "<HTML><BODY>hi</BODY></HTML>",
                 Injected("<HTML><BODY>hi</BODY></HTML>", 14)},
        PageCase{"MixedCaseBody", "<body>hi</Body >", Injected("<body>hi</Body >", 8)},
        PageCase{"BeforeTheLastOfSeveral", "<body>a</body><!-- </body> -->b</body>x",
                 Injected("<body>a</body><!-- </body> -->b</body>x", 31)},
        PageCase{"FragmentWithoutBody", "<p>fragment</p>", Injected("<p>fragment</p>", 15)},
        PageCase{"EmptyFile", "", std::string(kScript)},
        PageCase{"BomOnly", kBom, kBom + std::string(kScript)},
        PageCase{"BomAndBody", kBom + "<body>x</body>", Injected(kBom + "<body>x</body>", 10)},
        PageCase{"ChineseText", "<body>你好</body>", Injected("<body>你好</body>", 12)}),
    [](const testing::TestParamInfo<PageCase>& info) { return info.param.name; });

TEST_F(LiveReloadTest, OtherTypesAreSentByteForByte) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"style.css", "body{}</body>"},
        {"app.js", "document.write('</body>')"},
        {"notes.txt", "<body></body>"},
        {"page.xhtml", "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body/></html>"},
        {"icon.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"></svg>"},
    };
    for (const auto& [name, content] : files) {
        site_.Write(name, content);
        const HttpResponse got = Get(port_, "/" + name);
        EXPECT_EQ(got.status, 200) << name;
        EXPECT_EQ(got.body, content) << name;
    }
}

TEST_F(LiveReloadTest, VeryLargePagesAreSentAsTheyAre) {
    std::string html = "<body>";
    html.resize(8 * 1024 * 1024 + 1, 'x');
    html.replace(html.size() - 7, 7, "</body>");
    site_.Write("large.html", html);
    const HttpResponse got = Get(port_, "/large.html");
    EXPECT_EQ(got.status, 200);
    EXPECT_TRUE(got.body == html) << "the large page was changed";
}

TEST_F(LiveReloadTest, RevalidationAndRangesFollowThePageSent) {
    const std::string html = "<!DOCTYPE html><body><p>page</p></body>";
    site_.Write("page.html", html);
    const HttpResponse page = Get(port_, "/page.html");
    const std::string etag = page.Header("ETag").value_or("");
    ASSERT_FALSE(etag.empty());
    EXPECT_EQ(page.Header("Accept-Ranges"), std::nullopt) << "ranges of the page are not offered";

    const HttpResponse same = Get(port_, "/page.html", "If-None-Match: " + etag + "\r\n");
    EXPECT_EQ(same.status, 304);
    EXPECT_EQ(same.Header("ETag").value_or(""), etag);

    // The browser's copy of the plain file is not the page sent now.
    SetLiveReload(false);
    const std::string plain_etag = Get(port_, "/page.html").Header("ETag").value_or("");
    SetLiveReload(true);
    const HttpResponse stale = Get(port_, "/page.html", "If-None-Match: " + plain_etag + "\r\n");
    EXPECT_EQ(stale.status, 200);
    EXPECT_EQ(stale.body, page.body);

    // A range of the page is answered with the whole page: offsets into the file do not match it.
    const HttpResponse ranged = Get(port_, "/page.html", "Range: bytes=0-9\r\n");
    EXPECT_EQ(ranged.status, 200);
    EXPECT_EQ(ranged.body, page.body);
    EXPECT_EQ(ranged.Header("Content-Range"), std::nullopt);

    // A date alone may stand for the plain file the browser holds: the page is sent.
    const HttpResponse dated =
        Get(port_, "/page.html",
            "If-Modified-Since: " + page.Header("Last-Modified").value_or("") + "\r\n");
    EXPECT_EQ(dated.status, 200);
    EXPECT_EQ(dated.body, page.body);

    // Editing the page changes its tag.
    site_.Write("page.html", html + "<!-- edited -->");
    const HttpResponse edited = Get(port_, "/page.html", "If-None-Match: " + etag + "\r\n");
    EXPECT_EQ(edited.status, 200);
    EXPECT_NE(edited.Header("ETag").value_or(""), etag);
}

TEST_F(LiveReloadTest, ListingIndexAndNotFoundPagesCarryTheScript) {
    site_.Write("docs/a.txt", "a");
    site_.Write("sub/index.html", "<body>sub</body>");
    struct Answer {
        std::string target;
        int status;
    };
    const std::vector<Answer> answers = {
        {"/", 200}, {"/sub/", 200}, {"/docs/", 200}, {"/missing.html", 404}};
    for (const auto& [target, status] : answers) {
        const HttpResponse got = Get(port_, target);
        EXPECT_EQ(got.status, status) << target;
        EXPECT_EQ(got.Header("Content-Type").value_or(""), kHtmlType) << target;
        const auto at = got.body.find(kScript);
        EXPECT_NE(at, std::string::npos) << target << ": " << got.body;
        EXPECT_EQ(got.body.find(kScript, at + 1), std::string::npos) << target;
        EXPECT_EQ(got.Header("Content-Length").value_or(""), std::to_string(got.body.size()));
    }
    EXPECT_EQ(Get(port_, "/missing.html").body, std::string(kNotFound) + std::string(kScript));

    // Without the folder's 404.html, our own page.
    ASSERT_EQ(unlink(site_.PathOf("404.html").c_str()), 0);
    const HttpResponse ours = Get(port_, "/missing.html");
    EXPECT_EQ(ours.status, 404);
    EXPECT_NE(ours.body.find(std::string(kScript) + "</body>"), std::string::npos) << ours.body;
}

TEST_F(LiveReloadTest, OptionOffSendsEveryAnswerAsBefore) {
    site_.Write("docs/a.txt", "a");
    SetLiveReload(false);
    for (const char* target : {"/", "/docs/", "/missing.html", "/index.html"}) {
        EXPECT_EQ(Get(port_, target).body.find("live-reload"), std::string::npos) << target;
    }
    EXPECT_EQ(Get(port_, "/").body, kIndex);
    EXPECT_EQ(Get(port_, "/missing.html").body, kNotFound);
}

TEST_F(LiveReloadTest, ReservedPathsAreOrdinaryWhileTheOptionIsOff) {
    site_.Write(".site-launcher/live-reload.js", "// the user's own file");
    site_.Write(".site-launcher/other.txt", "other");

    const HttpResponse script = Get(port_, "/.site-launcher/live-reload.js");
    EXPECT_EQ(script.status, 200);
    EXPECT_EQ(script.Header("Content-Type").value_or(""), "text/javascript; charset=utf-8");
    EXPECT_NE(script.body.find("EventSource"), std::string::npos);
    EXPECT_EQ(Get(port_, "/.site-launcher/other.txt").body, "other");
    const HttpResponse stream_head = Head("/.site-launcher/live-reload");
    EXPECT_EQ(stream_head.status, 200);
    EXPECT_EQ(stream_head.Header("Content-Type").value_or(""), "text/event-stream; charset=utf-8");

    SetLiveReload(false);
    EXPECT_EQ(Get(port_, "/.site-launcher/live-reload.js").body, "// the user's own file");
    EXPECT_EQ(Get(port_, "/.site-launcher/live-reload").status, 404);
}

// ---- What reaches the event stream ----

// Waits for an event naming `data`, letting others pass.
bool SeesChangeOf(EventStream& page, const std::string& data) {
    while (const auto event = page.Next(kEventLimit)) {
        if (event->data == data) return true;
    }
    return false;
}

// The first event after writing `relative` again and again until one comes: the watcher starts
// on its own thread, and a write before its first walk of the folder is not seen.
std::optional<ServerEvent> FirstEventOfRewrites(const TestSite& site, EventStream& page,
                                                const std::string& relative) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        site.Write(relative, "written " + std::to_string(attempt));
        if (auto event = page.Next(500ms)) return event;
    }
    return std::nullopt;
}

// Returns once the watcher has walked the folder and its reports have settled.
void WaitUntilWatched(const TestSite& site, EventStream& page) {
    const auto event = FirstEventOfRewrites(site, page, "watching.txt");
    ASSERT_TRUE(event) << "the folder is not watched";
    EXPECT_EQ(event->data, "watching.txt");
    page.Collect(kSettle);
}

// A change to the folder and the one event it must cause.
struct ChangeCase {
    std::string name;
    std::function<void(const TestSite&)> before;  // done before the page connects
    std::function<void(const TestSite&)> change;
    ServerEvent expected;
};

void WriteInPieces(const std::string& path, const std::vector<std::string>& pieces) {
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    for (const auto& piece : pieces) {
        ASSERT_EQ(write(fd, piece.data(), piece.size()), static_cast<ssize_t>(piece.size()));
        std::this_thread::sleep_for(5ms);
    }
    close(fd);
}

void Rename(const TestSite& site, const char* from, const char* to) {
    ASSERT_EQ(std::rename(site.PathOf(from).c_str(), site.PathOf(to).c_str()), 0);
}

class ChangeEventTest : public LiveReloadTest, public testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangeEventTest, OneSaveMakesExactlyOneEvent) {
    const ChangeCase& c = GetParam();
    // Laid out while the option is off, so that none of it is news.
    SetLiveReload(false);
    site_.Write("sub/deeper/page.html", "<p>old</p>");
    site_.Write("sub/deeper/style.css", "p{}");
    if (c.before) c.before(site_);
    SetLiveReload(true);
    EventStream page(port_);
    ASSERT_TRUE(page.Opened());
    WaitUntilWatched(site_, page);

    c.change(site_);
    const auto first = page.Next(kEventLimit);
    ASSERT_TRUE(first) << "no event";
    EXPECT_EQ(first->name, c.expected.name);
    EXPECT_EQ(first->data, c.expected.data);
    const auto more = page.Collect(kSettle);
    EXPECT_TRUE(more.empty()) << more.size() << " more, first: " << more.front().name << " "
                              << more.front().data;
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ChangeEventTest,
    testing::Values(
        ChangeCase{"CreateInSubfolder",
                   nullptr,
                   [](const TestSite& s) { s.Write("sub/deeper/new.html", "new"); },
                   {"reload", "sub/deeper/new.html"}},
        ChangeCase{"ModifyInSubfolder",
                   nullptr,
                   [](const TestSite& s) { s.Write("sub/deeper/page.html", "<p>new</p>"); },
                   {"reload", "sub/deeper/page.html"}},
        ChangeCase{"DeleteInSubfolder",
                   nullptr,
                   [](const TestSite& s) {
                       ASSERT_EQ(unlink(s.PathOf("sub/deeper/page.html").c_str()), 0);
                   },
                   {"reload", "sub/deeper/page.html"}},
        ChangeCase{
            "RenameInSubfolder",
            nullptr,
            [](const TestSite& s) { Rename(s, "sub/deeper/page.html", "sub/deeper/b.html"); },
            {"reload", "sub/deeper/b.html"}},
        ChangeCase{"StylesheetOnly",
                   nullptr,
                   [](const TestSite& s) { s.Write("sub/deeper/style.css", "p{color:red}"); },
                   {"css", "sub/deeper/style.css"}},
        ChangeCase{"StylesheetAndPageTogether",
                   nullptr,
                   [](const TestSite& s) {
                       s.Write("sub/deeper/style.css", "p{color:red}");
                       s.Write("sub/deeper/page.html", "<p>new</p>");
                   },
                   {"reload", "sub/deeper/page.html"}},
        ChangeCase{"EditorRenameSave",
                   nullptr,
                   [](const TestSite& s) {
                       s.Write("sub/deeper/.page.html.swp", "<p>saved</p>");
                       Rename(s, "sub/deeper/.page.html.swp", "sub/deeper/page.html");
                   },
                   {"reload", "sub/deeper/page.html"}},
        ChangeCase{"EditorBackupAndRenameSaveOfStylesheet",
                   nullptr,
                   [](const TestSite& s) {
                       s.Write("sub/deeper/style.css.new", "p{color:blue}");
                       ASSERT_EQ(link(s.PathOf("sub/deeper/style.css").c_str(),
                                      s.PathOf("sub/deeper/style.css~").c_str()),
                                 0);
                       Rename(s, "sub/deeper/style.css.new", "sub/deeper/style.css");
                       ASSERT_EQ(unlink(s.PathOf("sub/deeper/style.css~").c_str()), 0);
                   },
                   {"reload", "sub/deeper/style.css~"}},
        ChangeCase{"TruncateAndRewriteInPieces",
                   nullptr,
                   [](const TestSite& s) {
                       WriteInPieces(s.PathOf("sub/deeper/page.html"),
                                     {"<p>", "rewritten", " in", " pieces</p>"});
                   },
                   {"reload", "sub/deeper/page.html"}},
        ChangeCase{"FolderMadeBeforeTheOptionWasOn",
                   [](const TestSite& s) { s.Write("late/inner/x.css", "a{}"); },
                   [](const TestSite& s) { s.Write("late/inner/x.css", "a{b:c}"); },
                   {"css", "late/inner/x.css"}},
        ChangeCase{
            "FolderMovedIntoTheSite",
            [](const TestSite& s) { ASSERT_EQ(mkdir((s.outside() + "/moved").c_str(), 0755), 0); },
            [](const TestSite& s) {
                ASSERT_EQ(std::rename((s.outside() + "/moved").c_str(), s.PathOf("moved").c_str()),
                          0);
            },
            {"reload", "moved"}}),
    [](const testing::TestParamInfo<ChangeCase>& info) { return info.param.name; });

TEST_F(LiveReloadTest, FoldersCreatedWhileWatchingAreWatched) {
    EventStream page(port_);
    ASSERT_TRUE(page.Opened());
    WaitUntilWatched(site_, page);
    site_.MakeFolder("new");
    const auto made = page.Next(kEventLimit);
    ASSERT_TRUE(made);
    EXPECT_EQ(*made, (ServerEvent{"reload", "new"}));
    page.Collect(kSettle);

    site_.MakeFolder("new/deeper");
    ASSERT_TRUE(page.Next(kEventLimit));
    page.Collect(kSettle);
    site_.Write("new/deeper/site.css", "body{}");
    const auto css = page.Next(kEventLimit);
    ASSERT_TRUE(css);
    EXPECT_EQ(*css, (ServerEvent{"css", "new/deeper/site.css"}));

    // A folder moved in from outside, with a folder inside it, is watched all the way down.
    ASSERT_EQ(mkdir((site_.outside() + "/box").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((site_.outside() + "/box/inner").c_str(), 0755), 0);
    ASSERT_EQ(std::rename((site_.outside() + "/box").c_str(), site_.PathOf("box").c_str()), 0);
    ASSERT_TRUE(page.Next(kEventLimit));
    page.Collect(kSettle);
    site_.Write("box/inner/page.html", "x");
    const auto inner = page.Next(kEventLimit);
    ASSERT_TRUE(inner);
    EXPECT_EQ(*inner, (ServerEvent{"reload", "box/inner/page.html"}));
}

TEST_F(LiveReloadTest, ARootReplacedWhileWatchingIsWatchedAgain) {
    EventStream page(port_);
    ASSERT_TRUE(page.Opened());
    WaitUntilWatched(site_, page);

    // Renamed away and a new folder put in its place.
    ASSERT_EQ(std::rename(site_.root().c_str(), (site_.outside() + "/old").c_str()), 0);
    ASSERT_EQ(mkdir(site_.root().c_str(), 0755), 0);
    EXPECT_TRUE(SeesChangeOf(page, "/"));
    page.Collect(kSettle);
    site_.Write("fresh.html", "fresh");
    EXPECT_TRUE(SeesChangeOf(page, "fresh.html"));
    page.Collect(kSettle);
    // The old folder is not the site any more.
    std::ofstream(site_.outside() + "/old/index.html") << "stale";
    site_.Write("marker.html", "x");
    const auto next = page.Next(kEventLimit);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->data, "marker.html");

    // Deleted and made again.
    std::filesystem::remove_all(site_.root());
    ASSERT_EQ(mkdir(site_.root().c_str(), 0755), 0);
    EXPECT_TRUE(SeesChangeOf(page, "/"));
    page.Collect(kSettle);
    site_.Write("again.html", "again");
    EXPECT_TRUE(SeesChangeOf(page, "again.html"));
}

TEST(LiveReloadRoot, ALinkToTheFolderIsWatchedThrough) {
    TestSite site;
    site.Write("index.html", "x");
    const std::string link = site.outside() + "/link to root";
    ASSERT_EQ(symlink(site.root().c_str(), link.c_str()), 0);
    JHTTPServer server;
    server.Init(link);
    server.SetOption(ServeOption::kLiveReload, true);
    const int port = StartOnFreePort(server);
    ASSERT_NE(port, 0);
    EventStream page(port);
    ASSERT_TRUE(page.Opened());
    const auto event = FirstEventOfRewrites(site, page, "index.html");
    ASSERT_TRUE(event);
    EXPECT_EQ(*event, (ServerEvent{"reload", "index.html"}));
}

TEST_F(LiveReloadTest, TheProgramsOwnWritesMakeNoEvent) {
    site_.Write("Config.web", "[Config]\r\nPort=8080\r\n");
    EventStream page(port_);
    ASSERT_TRUE(page.Opened());
    WaitUntilWatched(site_, page);
    // As the launcher writes them: a temporary file beside the target, renamed over it.
    ASSERT_TRUE(site::write_whole_file(site_.PathOf("404.html"), "<p>fresh missing page</p>"));
    ASSERT_TRUE(site::write_setting(site_.PathOf("Config.web"), "Config", "Port", "8080"));
    ASSERT_TRUE(site::write_setting(site_.PathOf("Config.web"), "Config", "LiveReload", "1"));
    // Well past the longest batch, so that the next change cannot share a batch with these.
    std::this_thread::sleep_for(600ms);
    site_.Write("after.html", "after");
    const auto first = page.Next(kEventLimit);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, (ServerEvent{"reload", "after.html"}));
}

TEST_F(LiveReloadTest, AReconnectingPageThatMissedChangesReloads) {
    {
        EventStream page(port_);
        ASSERT_TRUE(page.Opened());
        WaitUntilWatched(site_, page);
        site_.Write("a.html", "a");
        ASSERT_TRUE(page.Next(kEventLimit));
    }
    // A page coming back with the id of an older state (it was away, or the site was restarted
    // meanwhile) reloads at once.
    EventStream current(port_, "Last-Event-ID: stale-id\r\n");
    const auto missed = current.Next(kEventLimit);
    ASSERT_TRUE(missed);
    EXPECT_EQ(missed->name, "reload");
}

TEST_F(LiveReloadTest, SwitchingTheOptionStartsAndStopsEvents) {
    EventStream page(port_);
    ASSERT_TRUE(page.Opened());
    SetLiveReload(false);
    site_.Write("while-off.html", "x");
    std::this_thread::sleep_for(600ms);
    SetLiveReload(true);
    const auto first = FirstEventOfRewrites(site_, page, "while-on.html");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->data, "while-on.html");
}

TEST(LiveReloadStreams, OutliveTheIdleTimeout) {
    TestSite site;
    site.Write("index.html", "x");
    JHTTPServer server;
    server.Init(site.root());
    server.SetOption(ServeOption::kLiveReload, true);
    int port = 0;
    for (int attempt = 0; attempt < 20 && port == 0; ++attempt) {
        const int candidate = UnusedPort();
        auto config = CreateStoreMap("port", candidate);
        config->SetInt("idle_timeout", 1);
        if (server.Start(*config, false)) port = candidate;
    }
    ASSERT_NE(port, 0);
    EventStream page(port);
    ASSERT_TRUE(page.Opened());
    // Three idle timeouts pass; the page is still connected.
    std::this_thread::sleep_for(3500ms);
    const auto event = FirstEventOfRewrites(site, page, "index.html");
    ASSERT_TRUE(event);
    EXPECT_EQ(*event, (ServerEvent{"reload", "index.html"}));
}

// Runs in a child process: a user namespace of its own where at most `watches` folders can be
// watched, a server with live reload on the folder, its port written to `port_out`; serves until
// `hold` reaches end of file.
[[noreturn]] void ServeWithFewWatches(const std::string& root, int watches, int port_out,
                                      int hold) {
    const auto write_text = [](const char* path, const std::string& text) {
        std::ofstream(path) << text;
    };
    const std::string uid = std::to_string(getuid());
    const std::string gid = std::to_string(getgid());
    if (unshare(CLONE_NEWUSER) != 0) _exit(3);
    write_text("/proc/self/setgroups", "deny");
    write_text("/proc/self/uid_map", "0 " + uid + " 1");
    write_text("/proc/self/gid_map", "0 " + gid + " 1");
    write_text("/proc/sys/user/max_inotify_watches", std::to_string(watches));
    {
        JHTTPServer server;
        server.Init(root);
        server.SetOption(ServeOption::kLiveReload, true);
        const int port = StartOnFreePort(server);
        if (write(port_out, &port, sizeof port) != sizeof port) _exit(4);
        char byte;
        while (read(hold, &byte, 1) > 0) {
        }
    }
    _exit(0);
}

TEST(LiveReloadWatchLimit, ServingGoesOnWatchedFoldersReloadAndStderrSaysSo) {
    TestSite site;
    site.Write("index.html", "<p>home</p>");
    for (int i = 0; i < 12; ++i) site.Write("folder" + std::to_string(i) + "/page.html", "page");
    int port_pipe[2];
    int hold_pipe[2];
    int error_pipe[2];
    ASSERT_EQ(pipe2(port_pipe, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(hold_pipe, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(error_pipe, O_CLOEXEC), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(error_pipe[1], STDERR_FILENO);
        close(hold_pipe[1]);
        // The root and three of its twelve folders.
        ServeWithFewWatches(site.root(), 4, port_pipe[1], hold_pipe[0]);
    }
    close(port_pipe[1]);
    close(hold_pipe[0]);
    close(error_pipe[1]);
    int port = 0;
    const bool started = read(port_pipe[0], &port, sizeof port) == sizeof port && port != 0;
    close(port_pipe[0]);

    if (started) {
        EXPECT_EQ(Get(port, "/folder11/page.html").body,
                  "page<script src=\"/.site-launcher/live-reload.js\"></script>");
        EventStream page(port);
        EXPECT_TRUE(page.Opened());
        const auto event = FirstEventOfRewrites(site, page, "index.html");
        EXPECT_TRUE(event && *event == (ServerEvent{"reload", "index.html"}));
    }
    close(hold_pipe[1]);
    int status = 0;
    waitpid(child, &status, 0);
    std::string errors;
    char chunk[4096];
    for (ssize_t got; (got = read(error_pipe[0], chunk, sizeof chunk)) > 0;) {
        errors.append(chunk, static_cast<std::size_t>(got));
    }
    close(error_pipe[0]);
    ASSERT_TRUE(started) << "the server did not start: " << errors;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(errors.find("max_user_watches"), std::string::npos) << errors;
    EXPECT_EQ(errors.find('\n'), errors.size() - 1) << "one line: " << errors;
}

}  // namespace
