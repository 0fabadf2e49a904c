#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "tests/server/support/http_client.h"
#include "tests/server/support/served_site.h"

namespace {

using namespace std::chrono_literals;
using Headers = std::vector<std::pair<std::string, std::string>>;

std::string DataBytes() {
    std::string data(1000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('A' + i % 23);
    return data;
}

// The site every table below is run against.
class ServingTest : public ServedSite {
  protected:
    void SetUp() override {
        ServedSite::SetUp();
        site_.Write("中文 文件.txt", "你好，世界");
        site_.Write("docs/b.txt", "b");
        site_.Write("docs/a file.css", "a");
        site_.Write("docs/<i>.txt", "i");
        site_.MakeFolder("docs/子目录");
        site_.Write("site/index.html", "sub index");
        site_.Write("data.bin", DataBytes());
        site_.Write("empty.txt", "");
        site_.Write("style.CSS", "body{}");
        site_.Write("unknown.xyz", "?");
        ASSERT_EQ(symlink("index.html", site_.PathOf("link_in").c_str()), 0);
        ASSERT_EQ(symlink("../secret.txt", site_.PathOf("link_out").c_str()), 0);
        ASSERT_EQ(symlink("..", site_.PathOf("dir_out").c_str()), 0);
        ASSERT_EQ(mkfifo(site_.PathOf("pipe").c_str(), 0600), 0);
    }
};

struct ExchangeCase {
    std::string name;
    std::string request;
    int status;
    Headers headers;        // expected exactly
    std::string body_part;  // expected inside the body
    bool head = false;
    // False where MHD answers by itself (request line or headers too big for its buffer).
    bool our_answer = true;
};

ExchangeCase Case(std::string name, std::string method, std::string target, int status,
                  Headers headers = {}, std::string body_part = "", std::string extra = "") {
    const bool head = method == "HEAD";
    return {std::move(name),
            MakeRequest(method, target, extra),
            status,
            std::move(headers),
            std::move(body_part),
            head};
}

ExchangeCase AnsweredByMhd(ExchangeCase c) {
    c.our_answer = false;
    return c;
}

class ExchangeTest : public ServingTest, public testing::WithParamInterface<ExchangeCase> {};

TEST_P(ExchangeTest, Answers) {
    const ExchangeCase& c = GetParam();
    const HttpResponse response = Exchange(port_, c.request, c.head);
    EXPECT_EQ(response.status, c.status);
    EXPECT_TRUE(response.complete);
    for (const auto& [name, value] : c.headers) {
        EXPECT_EQ(response.Header(name).value_or("(none)"), value) << name;
    }
    EXPECT_NE(response.body.find(c.body_part), std::string::npos) << response.body;
    EXPECT_TRUE(response.Header("Date"));
    if (c.our_answer) {
        EXPECT_EQ(response.Header("X-Content-Type-Options"), "nosniff");
        EXPECT_EQ(response.Header("Server"), "SiteLauncher");
    }
    if (c.head) {
        EXPECT_EQ(response.body, "");
    }
}

const std::string kHtml = "text/html; charset=utf-8";
const std::string kLongTarget = "/" + std::string(9000, 'a');
const std::string kHugeTarget = "/" + std::string(40000, 'a');

std::string ManyHeaders() {
    std::string headers;
    for (int i = 0; i < 400; ++i)
        headers += "X-Filler-" + std::to_string(i) + ": " + std::string(100, 'x') + "\r\n";
    return headers;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ExchangeTest,
    testing::Values(
        Case("Root", "GET", "/", 200, {{"Content-Type", kHtml}}, "home page"),
        Case("HeadRoot", "HEAD", "/", 200,
             {{"Content-Length", std::to_string(std::string(ServedSite::kIndex).size())}}),
        Case("IndexFile", "GET", "/index.html", 200,
             {{"Cache-Control", "no-cache"}, {"Accept-Ranges", "bytes"}}, "home page"),
        Case("FolderRedirect", "GET", "/docs", 301, {{"Location", "/docs/"}}),
        Case("RedirectKeepsQuery", "GET", "/docs?x=1&y=%20", 301,
             {{"Location", "/docs/?x=1&y=%20"}}),
        Case("ChineseFolderRedirect", "GET", "/docs/%E5%AD%90%E7%9B%AE%E5%BD%95", 301,
             {{"Location", "/docs/%E5%AD%90%E7%9B%AE%E5%BD%95/"}}),
        Case("FolderIndex", "GET", "/site/", 200, {{"Content-Type", kHtml}}, "sub index"),
        Case("Listing", "GET", "/docs/", 200, {{"Content-Type", kHtml}}, "索引：/docs/"),
        Case("DotSegments", "GET", "/docs/../site/./", 200, {}, "sub index"),
        Case("Missing", "GET", "/nothing.html", 404, {{"Content-Type", kHtml}},
             "custom missing page"),
        Case("MissingInFolder", "GET", "/docs/nothing/", 404, {}, "custom missing page"),
        Case("HeadMissing", "HEAD", "/nothing.html", 404, {{"Content-Type", kHtml}}),
        Case("FileWithSlash", "GET", "/index.html/", 404, {}, "custom missing page"),
        Case("ChineseName", "GET", "/%E4%B8%AD%E6%96%87%20%E6%96%87%E4%BB%B6.txt", 200,
             {{"Content-Type", "text/plain; charset=utf-8"}}, "你好，世界"),
        Case("RawUtf8Name", "GET", "/中文%20文件.txt", 200, {}, "你好，世界"),
        Case("EmptyFile", "GET", "/empty.txt", 200, {{"Content-Length", "0"}}),
        Case("UpperCaseExtension", "GET", "/style.CSS", 200,
             {{"Content-Type", "text/css; charset=utf-8"}}),
        Case("UnknownExtension", "GET", "/unknown.xyz", 200,
             {{"Content-Type", "application/octet-stream"}}),
        Case("Fifo", "GET", "/pipe", 404),
        Case("LinkInside", "GET", "/link_in", 200, {}, "home page"),
        Case("Post", "POST", "/", 405, {{"Allow", "GET, HEAD"}}, "", "Content-Length: 5\r\n"),
        Case("Put", "PUT", "/index.html", 405, {{"Allow", "GET, HEAD"}}),
        Case("Delete", "DELETE", "/index.html", 405, {{"Allow", "GET, HEAD"}}),
        Case("Options", "OPTIONS", "*", 405, {{"Allow", "GET, HEAD"}}),
        Case("LowerCaseGet", "get", "/", 405, {{"Allow", "GET, HEAD"}}),
        Case("LongTarget", "GET", kLongTarget, 414),
        AnsweredByMhd(Case("HugeTarget", "GET", kHugeTarget, 414)),
        AnsweredByMhd(Case("HugeHeader", "GET", "/", 431, {}, "",
                           "X-Big: " + std::string(40000, 'b') + "\r\n")),
        AnsweredByMhd(Case("ManyHeaders", "GET", "/", 431, {}, "", ManyHeaders())),
        Case("BadEscape", "GET", "/%zz", 400), Case("EncodedSlash", "GET", "/docs%2fb.txt", 400),
        Case("AbsoluteForm", "GET", "http://127.0.0.1/", 400),
        Case("TwoHosts", "GET", "/", 400, {}, "", "Host: evil.example\r\n"),
        ExchangeCase{"Http10WithoutHost", "GET / HTTP/1.0\r\n\r\n", 200, {}, "home page"},
        ExchangeCase{"Http11WithoutHost", "GET / HTTP/1.1\r\n\r\n", 400, {}, ""}),
    [](const auto& info) { return info.param.name; });

struct HostCase {
    std::string name;
    std::string host;
    int status;
};

class HostTest : public ServingTest, public testing::WithParamInterface<HostCase> {};

TEST_P(HostTest, RefusesForeignNames) {
    const std::string request = "GET / HTTP/1.1\r\nHost: " + GetParam().host + "\r\n\r\n";
    EXPECT_EQ(Exchange(port_, request).status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostTest,
                         testing::Values(HostCase{"Loopback", "127.0.0.1", 200},
                                         HostCase{"LoopbackPort", "127.0.0.1:8080", 200},
                                         HostCase{"Localhost", "LocalHost", 200},
                                         HostCase{"Ipv6", "[::1]:80", 200},
                                         HostCase{"Foreign", "evil.example", 403},
                                         HostCase{"Suffix", "localhost.evil.example", 403},
                                         HostCase{"OtherLoopback", "127.0.0.2", 403},
                                         HostCase{"Empty", "", 403}),
                         [](const auto& info) { return info.param.name; });

class TraversalTest : public ServingTest, public testing::WithParamInterface<std::string> {};

TEST_P(TraversalTest, NeverLeavesTheRoot) {
    const HttpResponse response = Get(port_, GetParam());
    EXPECT_TRUE(response.status == 400 || response.status == 404) << response.status;
    EXPECT_EQ(response.body.find(TestSite::kSecret), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Attempts, TraversalTest,
    testing::Values("/../secret.txt", "/../../secret.txt", "/docs/../../secret.txt",
                    "/%2e%2e/secret.txt", "/%2E%2E/secret.txt", "/.%2e/secret.txt",
                    "/%2e%2e%2fsecret.txt", "/..%2fsecret.txt", "/..%2Fsecret.txt",
                    "/docs/..%2f..%2fsecret.txt", "/..%5csecret.txt", "/..\\secret.txt",
                    "/%5c..%5csecret.txt", "/..%00/secret.txt", "/secret.txt%00.html",
                    "/%c0%ae%c0%ae/secret.txt", "/%c0%afsecret.txt", "/..%c0%afsecret.txt",
                    "/%e0%80%ae%e0%80%ae/secret.txt", "/..%252fsecret.txt", "/....//secret.txt",
                    "/.../secret.txt", "//../secret.txt", "/./../secret.txt", "/secret.txt",
                    "/link_out", "/dir_out/secret.txt", "/dir_out/", "/%2fsecret.txt",
                    "/%2f%2e%2e%2fsecret.txt", "/docs/%2e%2e/%2e%2e/secret.txt"));

// Whole requests that are malformed or hostile in their framing, not just their path: each is
// refused with the status given, and nothing from beside the root ever comes back.
struct RawCase {
    std::string name;
    std::string request;
    int status;
};

class RawRequestTest : public ServingTest, public testing::WithParamInterface<RawCase> {};

TEST_P(RawRequestTest, IsRefusedWithoutLeaking) {
    const HttpResponse response = Exchange(port_, GetParam().request);
    EXPECT_EQ(response.status, GetParam().status);
    EXPECT_EQ(response.body.find(TestSite::kSecret), std::string::npos);
}

const std::string kLoopback = "Host: 127.0.0.1\r\n";

INSTANTIATE_TEST_SUITE_P(
    Requests, RawRequestTest,
    testing::Values(
        RawCase{"ForeignHostWithTraversal",
                "GET /../secret.txt HTTP/1.1\r\nHost: evil.example\r\n\r\n", 403},
        RawCase{"HostHoldingAPath", "GET / HTTP/1.1\r\nHost: 127.0.0.1/../\r\n\r\n", 403},
        RawCase{"TwoHosts", "GET / HTTP/1.1\r\n" + kLoopback + "Host: evil.example\r\n\r\n", 400},
        RawCase{"NoHostOnHttp11", "GET / HTTP/1.1\r\n\r\n", 400},
        RawCase{"RelativeTarget", "GET ../secret.txt HTTP/1.1\r\n" + kLoopback + "\r\n", 400},
        RawCase{"AbsoluteForm",
                "GET http://127.0.0.1/../secret.txt HTTP/1.1\r\n" + kLoopback + "\r\n", 400},
        RawCase{"RawOverlongUtf8",
                "GET /\xc0\xae\xc0\xae/secret.txt HTTP/1.1\r\n" + kLoopback + "\r\n", 400},
        RawCase{"RawInvalidUtf8", "GET /\xff\xfe HTTP/1.1\r\n" + kLoopback + "\r\n", 400},
        RawCase{"EncodedNul", "GET /secret.txt%00 HTTP/1.1\r\n" + kLoopback + "\r\n", 400},
        RawCase{"HugeTarget",
                "GET /" + std::string(20000, 'a') + "/../../secret.txt HTTP/1.1\r\n" + kLoopback +
                    "\r\n",
                414},
        RawCase{"HugeHeader",
                "GET /../secret.txt HTTP/1.1\r\n" + kLoopback +
                    "X-Fill: " + std::string(40000, 'x') + "\r\n\r\n",
                431},
        RawCase{"TraversalWithAnotherMethod",
                "DELETE /../secret.txt HTTP/1.1\r\n" + kLoopback + "\r\n", 405}),
    [](const auto& info) { return info.param.name; });

// Fills {etag} and {date} in request headers with the file's validators.
std::string FillValidators(std::string text, const HttpResponse& original) {
    for (const auto& [key, name] : {std::pair{"{etag}", "ETag"}, {"{date}", "Last-Modified"}}) {
        const auto at = text.find(key);
        if (at != std::string::npos)
            text.replace(at, std::string(key).size(), *original.Header(name));
    }
    return text;
}

struct ConditionalCase {
    std::string name;
    std::string headers;
    int status;
    std::string content_range = "";
    std::size_t offset = 0;
    std::size_t length = 1000;
};

class ConditionalTest : public ServingTest, public testing::WithParamInterface<ConditionalCase> {};

TEST_P(ConditionalTest, HonoursValidatorsAndRanges) {
    const ConditionalCase& c = GetParam();
    const HttpResponse original = Get(port_, "/data.bin");
    ASSERT_EQ(original.status, 200);
    ASSERT_TRUE(original.Header("ETag"));
    ASSERT_TRUE(original.Header("Last-Modified"));
    const HttpResponse response = Get(port_, "/data.bin", FillValidators(c.headers, original));
    EXPECT_EQ(response.status, c.status);
    EXPECT_EQ(response.Header("ETag"), original.Header("ETag"));
    EXPECT_EQ(response.Header("Content-Range").value_or(""), c.content_range);
    if (c.status == 304 || c.status == 416) {
        EXPECT_EQ(response.Header("Cache-Control"), "no-cache");
        if (c.status == 304) {
            EXPECT_EQ(response.body, "");
        }
    } else {
        EXPECT_EQ(response.body, DataBytes().substr(c.offset, c.length));
    }
}

const std::string kEpoch = "Thu, 01 Jan 1970 00:00:00 GMT";

INSTANTIATE_TEST_SUITE_P(
    Headers, ConditionalTest,
    testing::Values(
        ConditionalCase{"SameTag", "If-None-Match: {etag}\r\n", 304},
        ConditionalCase{"WeakTag", "If-None-Match: W/{etag}\r\n", 304},
        ConditionalCase{"TagInList", "If-None-Match: \"x\", {etag}\r\n", 304},
        ConditionalCase{"AnyTag", "If-None-Match: *\r\n", 304},
        ConditionalCase{"OtherTag", "If-None-Match: \"x\"\r\n", 200},
        ConditionalCase{"SameDate", "If-Modified-Since: {date}\r\n", 304},
        ConditionalCase{"OlderDate", "If-Modified-Since: " + kEpoch + "\r\n", 200},
        ConditionalCase{"TagBeatsDate", "If-None-Match: \"x\"\r\nIf-Modified-Since: {date}\r\n",
                        200},
        ConditionalCase{"FirstBytes", "Range: bytes=0-9\r\n", 206, "bytes 0-9/1000", 0, 10},
        ConditionalCase{"OpenEnd", "Range: bytes=990-\r\n", 206, "bytes 990-999/1000", 990, 10},
        ConditionalCase{"Suffix", "Range: bytes=-10\r\n", 206, "bytes 990-999/1000", 990, 10},
        ConditionalCase{"PastEnd", "Range: bytes=995-2000\r\n", 206, "bytes 995-999/1000", 995, 5},
        ConditionalCase{"Unsatisfiable", "Range: bytes=1000-\r\n", 416, "bytes */1000"},
        ConditionalCase{"EmptySuffix", "Range: bytes=-0\r\n", 416, "bytes */1000"},
        ConditionalCase{"SeveralRanges", "Range: bytes=0-1,5-6\r\n", 200},
        ConditionalCase{"Malformed", "Range: bytes=abc\r\n", 200},
        ConditionalCase{"IfRangeTag", "Range: bytes=0-9\r\nIf-Range: {etag}\r\n", 206,
                        "bytes 0-9/1000", 0, 10},
        ConditionalCase{"IfRangeDate", "Range: bytes=0-9\r\nIf-Range: {date}\r\n", 206,
                        "bytes 0-9/1000", 0, 10},
        ConditionalCase{"IfRangeStaleTag", "Range: bytes=0-9\r\nIf-Range: \"stale\"\r\n", 200},
        ConditionalCase{"IfRangeStaleDate", "Range: bytes=0-9\r\nIf-Range: " + kEpoch + "\r\n",
                        200}),
    [](const auto& info) { return info.param.name; });

TEST_F(ServingTest, ListingShowsFoldersFirstWithEncodedLinks) {
    const HttpResponse response = Get(port_, "/docs/");
    ASSERT_EQ(response.status, 200);
    const auto folder = response.body.find("href=\"%E5%AD%90%E7%9B%AE%E5%BD%95/\"");
    const auto file = response.body.find("href=\"a%20file.css\"");
    ASSERT_NE(folder, std::string::npos);
    ASSERT_NE(file, std::string::npos);
    EXPECT_LT(folder, file);
    EXPECT_NE(response.body.find("&lt;i&gt;.txt"), std::string::npos);
    EXPECT_NE(response.body.find("href=\"../\""), std::string::npos);
}

TEST_F(ServingTest, RootListingHasNoParentLink) {
    ASSERT_EQ(unlink(site_.PathOf("index.html").c_str()), 0);
    const HttpResponse response = Get(port_, "/");
    EXPECT_EQ(response.status, 200);
    EXPECT_NE(response.body.find("索引：/"), std::string::npos);
    EXPECT_EQ(response.body.find("href=\"../\""), std::string::npos);
    EXPECT_EQ(response.body.find("link_out"), std::string::npos);
}

TEST_F(ServingTest, NotFoundPageIsReadForEachRequest) {
    EXPECT_NE(Get(port_, "/gone").body.find("custom missing page"), std::string::npos);
    site_.Write("404.html", "<title>Missing</title>edited");
    EXPECT_NE(Get(port_, "/gone").body.find("edited"), std::string::npos);
    ASSERT_EQ(unlink(site_.PathOf("404.html").c_str()), 0);
    const HttpResponse own = Get(port_, "/gone");
    EXPECT_EQ(own.status, 404);
    EXPECT_EQ(own.Header("Content-Type"), kHtml);
    EXPECT_NE(own.body.find("404 Not Found"), std::string::npos);
}

TEST_F(ServingTest, ServesTheFolderThePathNamesNowAfterItIsReplaced) {
    namespace fs = std::filesystem;
    EXPECT_NE(Get(port_, "/").body.find("home page"), std::string::npos);

    // A site generator deletes and rebuilds the folder while the site runs.
    fs::remove_all(site_.root());
    EXPECT_EQ(Get(port_, "/").status, 404);
    site_.Write("index.html", "rebuilt page");
    EXPECT_EQ(Get(port_, "/").body, "rebuilt page");

    // Or moves the old one away and puts a new one in its place.
    const std::string old_root = site_.root() + ".old";
    fs::rename(site_.root(), old_root);
    site_.Write("index.html", "renamed in");
    EXPECT_EQ(Get(port_, "/").body, "renamed in");
    fs::remove_all(old_root);
}

TEST_F(ServingTest, KeepsTheConnectionForFurtherRequests) {
    HttpConnection connection(port_);
    const std::string requests =
        MakeRequest("GET", "/") + MakeRequest("GET", "/nothing") + MakeRequest("HEAD", "/data.bin");
    ASSERT_TRUE(connection.Send(requests));
    EXPECT_EQ(connection.Read().value_or(HttpResponse{}).status, 200);
    EXPECT_EQ(connection.Read().value_or(HttpResponse{}).status, 404);
    const auto head = connection.Read(true);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->Header("Content-Length"), "1000");
    ASSERT_TRUE(connection.Send(MakeRequest("GET", "/empty.txt")));
    EXPECT_EQ(connection.Read().value_or(HttpResponse{}).status, 200);
}

TEST_F(ServingTest, ServesFilesBeyondFourGibibytes) {
    constexpr off_t kSize = (5LL << 30) + 123;
    const int fd = open(site_.PathOf("huge.bin").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, kSize), 0);
    ASSERT_EQ(pwrite(fd, "tail-end", 8, kSize - 8), 8);
    close(fd);
    const std::string size = std::to_string(kSize);

    const HttpResponse head = Exchange(port_, MakeRequest("HEAD", "/huge.bin"), true);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.Header("Content-Length"), size);

    const HttpResponse tail = Get(port_, "/huge.bin", "Range: bytes=-8\r\n");
    EXPECT_EQ(tail.status, 206);
    EXPECT_EQ(tail.Header("Content-Range"),
              "bytes " + std::to_string(kSize - 8) + "-" + std::to_string(kSize - 1) + "/" + size);
    EXPECT_EQ(tail.body, "tail-end");

    const HttpResponse middle = Get(port_, "/huge.bin", "Range: bytes=4294967296-4294967299\r\n");
    EXPECT_EQ(middle.status, 206);
    EXPECT_EQ(middle.body, std::string(4, '\0'));
}

TEST_F(ServingTest, AFileShrinkingDuringADownloadEndsThatResponseOnly) {
    constexpr off_t kSize = 20 << 20;
    const int fd =
        open(site_.PathOf("shrinking.bin").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, kSize), 0);

    HttpConnection download(port_);
    ASSERT_TRUE(download.Send(MakeRequest("GET", "/shrinking.bin")));
    EXPECT_EQ(download.ReadSome(100000, 10s).size(), 100000u);
    ASSERT_EQ(ftruncate(fd, 1 << 20), 0);
    close(fd);
    std::string rest;
    while (true) {
        const std::string piece = download.ReadSome(1 << 20, 10s);
        if (piece.empty()) break;
        rest += piece;
    }
    EXPECT_TRUE(download.WaitClosed(10s));
    EXPECT_LT(rest.size(), static_cast<std::size_t>(kSize));
    EXPECT_EQ(Get(port_, "/").status, 200);
}

TEST_F(ServingTest, IdleAndSlowClientsDoNotHoldUpOthers) {
    std::vector<std::unique_ptr<HttpConnection>> idle;
    for (int i = 0; i < 300; ++i) {
        idle.push_back(std::make_unique<HttpConnection>(port_));
        ASSERT_TRUE(idle.back()->IsOpen());
        if (i % 2 == 0) {
            ASSERT_TRUE(idle.back()->Send("GET /index.html HTTP/1.1\r\nHo"));
        }
    }
    const HttpResponse response = Get(port_, "/");
    EXPECT_EQ(response.status, 200);
    EXPECT_NE(response.body.find("home page"), std::string::npos);
}

}  // namespace
