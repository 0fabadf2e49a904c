// Compressed files over real HTTP: asked for directly, and negotiated beside the plain file.

#include <fcntl.h>
#include <sys/stat.h>

#include <set>
#include <string>

#include "tests/server/support/http_client.h"
#include "tests/server/support/served_site.h"

namespace {

const std::string kJs = "text/javascript; charset=utf-8";
// The bodies need not be real compressed data: the server never looks inside.
const std::string kPlain = "console.log('plain script, the longest of the three');";
const std::string kBrotli = "BROTLI-BYTES";
const std::string kGzip = "GZIP-BYTES-LONGER";
const std::string kNone = "(none)";

// Moves a file's modification time one hour back.
void MakeOlder(const std::string& path) {
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    timespec times[2] = {info.st_atim, info.st_mtim};
    times[1].tv_sec -= 3600;
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class PrecompressedTest : public ServedSite {
  protected:
    void SetUp() override {
        ServedSite::SetUp();
        site_.Write("app.js", kPlain);
        site_.Write("app.js.br", kBrotli);
        site_.Write("app.js.gz", kGzip);
        site_.Write("style.css", "body { color: red }");
        site_.Write("style.css.gz", kGzip);
        site_.Write("old.js", kPlain);
        site_.Write("old.js.br", kBrotli);
        MakeOlder(site_.PathOf("old.js.br"));
        site_.Write("Build/game.wasm.br", kBrotli);
        site_.Write("Build/game.data.gz", kGzip);
        site_.Write("Build/game.framework.js.gz", kGzip);
        site_.Write("backup.tar.gz", kGzip);
        site_.Write("solo.js", kPlain);
    }
};

struct EncodingCase {
    std::string name;
    std::string target;
    std::string accept_encoding;  // empty: no header
    std::string body;
    std::string encoding;  // kNone: no Content-Encoding
    std::string type;
    std::string vary;  // kNone: no Vary
};

class EncodingTest : public PrecompressedTest, public testing::WithParamInterface<EncodingCase> {};

TEST_P(EncodingTest, SendsTheChosenRepresentation) {
    const EncodingCase& c = GetParam();
    const std::string header =
        c.accept_encoding.empty() ? "" : "Accept-Encoding: " + c.accept_encoding + "\r\n";
    const HttpResponse response = Get(port_, c.target, header);
    ASSERT_EQ(response.status, 200);
    EXPECT_EQ(response.body, c.body);
    EXPECT_EQ(response.Header("Content-Length"), std::to_string(c.body.size()));
    EXPECT_EQ(response.Header("Content-Encoding").value_or(kNone), c.encoding);
    EXPECT_EQ(response.Header("Content-Type").value_or(kNone), c.type);
    EXPECT_EQ(response.Header("Vary").value_or(kNone), c.vary);

    const HttpResponse head = Exchange(port_, MakeRequest("HEAD", c.target, header), true);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.Header("Content-Length"), std::to_string(c.body.size()));
    EXPECT_EQ(head.Header("Content-Encoding").value_or(kNone), c.encoding);
    EXPECT_EQ(head.Header("ETag"), response.Header("ETag"));
}

const std::string kVary = "Accept-Encoding";
const std::string kChromium = "gzip, deflate, br, zstd";

INSTANTIATE_TEST_SUITE_P(
    Requests, EncodingTest,
    testing::Values(
        EncodingCase{"NoAcceptEncoding", "/app.js", "", kPlain, kNone, kJs, kVary},
        EncodingCase{"Chromium", "/app.js", kChromium, kBrotli, "br", kJs, kVary},
        EncodingCase{"GzipOnly", "/app.js", "gzip", kGzip, "gzip", kJs, kVary},
        EncodingCase{"BrotliRefused", "/app.js", "br;q=0, gzip", kGzip, "gzip", kJs, kVary},
        EncodingCase{"GzipWeighedHigher", "/app.js", "br;q=0.2, gzip;q=0.9", kGzip, "gzip", kJs,
                     kVary},
        EncodingCase{"Star", "/app.js", "*", kBrotli, "br", kJs, kVary},
        EncodingCase{"StarRefused", "/app.js", "*;q=0", kPlain, kNone, kJs, kVary},
        EncodingCase{"IdentityOnly", "/app.js", "identity", kPlain, kNone, kJs, kVary},
        EncodingCase{"IdentityWeighedHigher", "/app.js", "identity, br;q=0.5", kPlain, kNone, kJs,
                     kVary},
        EncodingCase{"DeflateOnly", "/app.js", "deflate", kPlain, kNone, kJs, kVary},
        EncodingCase{"OnlyGzipBeside", "/style.css", kChromium, kGzip, "gzip",
                     "text/css; charset=utf-8", kVary},
        EncodingCase{"OnlyBrotliAcceptedNoneBeside", "/style.css", "br", "body { color: red }",
                     kNone, "text/css; charset=utf-8", kVary},
        EncodingCase{"StaleSiblingIgnored", "/old.js", kChromium, kPlain, kNone, kJs, kVary},
        EncodingCase{"NoSiblings", "/solo.js", kChromium, kPlain, kNone, kJs, kNone},
        EncodingCase{"DirectBrotli", "/Build/game.wasm.br", "", kBrotli, "br", "application/wasm",
                     kNone},
        EncodingCase{"DirectGzipData", "/Build/game.data.gz", "", kGzip, "gzip",
                     "application/octet-stream", kNone},
        EncodingCase{"DirectGzipScript", "/Build/game.framework.js.gz", kChromium, kGzip, "gzip",
                     kJs, kNone},
        EncodingCase{"DirectSiblingByName", "/app.js.br", "", kBrotli, "br", kJs, kNone},
        EncodingCase{"TarGzStaysADownload", "/backup.tar.gz", kChromium, kGzip, kNone,
                     "application/gzip", kNone}),
    [](const auto& info) { return info.param.name; });

std::string AcceptEncoding(const std::string& codings) {
    return "Accept-Encoding: " + codings + "\r\n";
}

TEST_F(PrecompressedTest, EachCodingHasItsOwnEntityTag) {
    std::set<std::string> tags;
    for (const std::string codings : {"identity", "br", "gzip"}) {
        const HttpResponse response = Get(port_, "/app.js", AcceptEncoding(codings));
        ASSERT_TRUE(response.Header("ETag")) << codings;
        tags.insert(*response.Header("ETag"));
    }
    EXPECT_EQ(tags.size(), 3u);
}

TEST_F(PrecompressedTest, RevalidatesTheRepresentationItSent) {
    const std::string etag = *Get(port_, "/app.js", AcceptEncoding("br")).Header("ETag");
    const std::string same = AcceptEncoding("br") + "If-None-Match: " + etag + "\r\n";
    const HttpResponse not_modified = Get(port_, "/app.js", same);
    EXPECT_EQ(not_modified.status, 304);
    EXPECT_EQ(not_modified.Header("ETag"), etag);
    EXPECT_EQ(not_modified.Header("Vary"), kVary);

    // The brotli tag says nothing about the gzip copy, which is sent whole.
    const HttpResponse other =
        Get(port_, "/app.js", AcceptEncoding("gzip") + "If-None-Match: " + etag + "\r\n");
    EXPECT_EQ(other.status, 200);
    EXPECT_EQ(other.body, kGzip);
}

TEST_F(PrecompressedTest, RangesCountBytesOfTheCodingSent) {
    const HttpResponse part = Get(port_, "/app.js", AcceptEncoding("br") + "Range: bytes=2-5\r\n");
    EXPECT_EQ(part.status, 206);
    EXPECT_EQ(part.body, kBrotli.substr(2, 4));
    EXPECT_EQ(part.Header("Content-Encoding"), "br");
    EXPECT_EQ(part.Header("Content-Range"), "bytes 2-5/" + std::to_string(kBrotli.size()));

    const HttpResponse beyond =
        Get(port_, "/app.js", AcceptEncoding("br") + "Range: bytes=40-\r\n");
    EXPECT_EQ(beyond.status, 416);
    EXPECT_EQ(beyond.Header("Content-Range"), "bytes */" + std::to_string(kBrotli.size()));

    const std::string etag = *Get(port_, "/app.js", AcceptEncoding("br")).Header("ETag");
    const HttpResponse stale_range =
        Get(port_, "/app.js",
            AcceptEncoding("gzip") + "Range: bytes=0-3\r\nIf-Range: " + etag + "\r\n");
    EXPECT_EQ(stale_range.status, 200);
    EXPECT_EQ(stale_range.body, kGzip);
}

TEST_F(PrecompressedTest, FreshnessIsJudgedAtEachRequest) {
    EXPECT_EQ(Get(port_, "/old.js", AcceptEncoding("br")).body, kPlain);
    // Two hours back puts the file behind its sibling, which then stands for it.
    MakeOlder(site_.PathOf("old.js"));
    MakeOlder(site_.PathOf("old.js"));
    EXPECT_EQ(Get(port_, "/old.js", AcceptEncoding("br")).body, kBrotli);
}

TEST_F(PrecompressedTest, FolderIndexIsNegotiatedToo) {
    site_.Write("index.html.gz", kGzip);
    const HttpResponse response = Get(port_, "/", AcceptEncoding("gzip"));
    EXPECT_EQ(response.body, kGzip);
    EXPECT_EQ(response.Header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(response.Header("Content-Encoding"), "gzip");
}

}  // namespace
