// The serving options over real HTTP, each switched on and off on the running server.

#include <string>
#include <vector>

#include "tests/server/support/http_client.h"
#include "tests/server/support/served_site.h"

namespace {

const std::string kNone = "(none)";
const std::string kNavigation =
    "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,image/avif,image/webp,"
    "*/*;q=0.8\r\n";

class ServeOptionsTest : public ServedSite {
  protected:
    void SetUp() override {
        ServedSite::SetUp();
        site_.Write("app.js", "console.log(1)");
        site_.Write("data.bin", "0123456789");
        site_.MakeFolder("assets");
        site_.Write("notes.txt", "notes");
    }
};

// Requests that between them reach every kind of answer.
struct AnyAnswer {
    std::string name;
    std::string request;
    int status;
    bool head = false;
};

std::vector<AnyAnswer> EveryKindOfAnswer() {
    return {
        {"File", MakeRequest("GET", "/app.js"), 200},
        {"Index", MakeRequest("GET", "/"), 200},
        {"Head", MakeRequest("HEAD", "/notes.txt"), 200, true},
        {"Range", MakeRequest("GET", "/data.bin", "Range: bytes=0-1\r\n"), 206},
        {"NotModified", MakeRequest("GET", "/data.bin", "If-None-Match: *\r\n"), 304},
        {"Listing", MakeRequest("GET", "/assets/"), 200},
        {"Redirect", MakeRequest("GET", "/assets"), 301},
        {"Missing", MakeRequest("GET", "/missing.js"), 404},
        {"BadTarget", MakeRequest("GET", "/%zz"), 400},
        {"OtherMethod", MakeRequest("POST", "/", "Content-Length: 0\r\n"), 405},
        {"ForeignHost", "GET / HTTP/1.1\r\nHost: evil.example\r\n\r\n", 403},
    };
}

struct HeaderSet {
    ServeOption option;
    std::vector<std::pair<std::string, std::string>> headers;
};

const HeaderSet kIsolation{ServeOption::kCrossOriginIsolation,
                           {{"Cross-Origin-Opener-Policy", "same-origin"},
                            {"Cross-Origin-Embedder-Policy", "require-corp"},
                            {"Cross-Origin-Resource-Policy", "same-origin"}}};
const HeaderSet kCors{ServeOption::kCors, {{"Access-Control-Allow-Origin", "*"}}};

class PolicyHeadersTest : public ServeOptionsTest, public testing::WithParamInterface<HeaderSet> {};

TEST_P(PolicyHeadersTest, EveryAnswerCarriesThemWhileTheOptionIsOn) {
    const HeaderSet& set = GetParam();
    for (const bool on : {false, true, false}) {
        server_.SetOption(set.option, on);
        for (const AnyAnswer& answer : EveryKindOfAnswer()) {
            const HttpResponse response = Exchange(port_, answer.request, answer.head);
            EXPECT_EQ(response.status, answer.status) << answer.name;
            for (const auto& [name, value] : set.headers) {
                EXPECT_EQ(response.Header(name).value_or(kNone), on ? value : kNone)
                    << answer.name << " " << name << (on ? " (on)" : " (off)");
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Options, PolicyHeadersTest, testing::Values(kIsolation, kCors),
                         [](const auto& info) {
                             return info.param.option == ServeOption::kCors ? "Cors" : "Isolation";
                         });

TEST_F(ServeOptionsTest, OptionsLeaveEachOthersHeadersAlone) {
    server_.SetOption(ServeOption::kCors, true);
    const HttpResponse response = Get(port_, "/app.js");
    EXPECT_EQ(response.Header("Access-Control-Allow-Origin"), "*");
    EXPECT_FALSE(response.Header("Cross-Origin-Embedder-Policy"));
}

struct PreflightCase {
    std::string name;
    std::string request;
    int status;
    std::vector<std::pair<std::string, std::string>> headers;  // kNone: absent
};

std::string Preflight(std::string extra, std::string host = "127.0.0.1") {
    return "OPTIONS /data.bin HTTP/1.1\r\nHost: " + host +
           "\r\nOrigin: http://example.com\r\nAccess-Control-Request-Method: GET\r\n" + extra +
           "\r\n";
}

class PreflightTest : public ServeOptionsTest, public testing::WithParamInterface<PreflightCase> {};

TEST_P(PreflightTest, AnswersWhatTheBrowserAsks) {
    const PreflightCase& c = GetParam();
    server_.SetOption(ServeOption::kCors, true);
    const HttpResponse response = Exchange(port_, c.request);
    EXPECT_EQ(response.status, c.status);
    EXPECT_TRUE(response.complete);
    if (c.status == 204) {
        EXPECT_EQ(response.body, "");
    }
    for (const auto& [name, value] : c.headers) {
        EXPECT_EQ(response.Header(name).value_or(kNone), value) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, PreflightTest,
    testing::Values(
        PreflightCase{"Plain",
                      Preflight(""),
                      204,
                      {{"Access-Control-Allow-Origin", "*"},
                       {"Access-Control-Allow-Methods", "GET, HEAD"},
                       {"Access-Control-Allow-Headers", kNone},
                       {"Access-Control-Max-Age", "600"}}},
        PreflightCase{"RequestedHeaders",
                      Preflight("Access-Control-Request-Headers: content-type,x-custom\r\n"),
                      204,
                      {{"Access-Control-Allow-Headers", "content-type,x-custom"},
                       {"Access-Control-Allow-Methods", "GET, HEAD"}}},
        PreflightCase{"JunkHeadersNotEchoed",
                      Preflight("Access-Control-Request-Headers: x-a, <script>\r\n"),
                      204,
                      {{"Access-Control-Allow-Headers", kNone}}},
        PreflightCase{"EmptyElementNotEchoed",
                      Preflight("Access-Control-Request-Headers: x-a,,x-b\r\n"),
                      204,
                      {{"Access-Control-Allow-Headers", kNone}}},
        PreflightCase{"OptionsWithoutOrigin",
                      MakeRequest("OPTIONS", "/data.bin", "Access-Control-Request-Method: GET\r\n"),
                      405,
                      {{"Allow", "GET, HEAD"}, {"Access-Control-Allow-Origin", "*"}}},
        PreflightCase{"OptionsWithoutMethod",
                      MakeRequest("OPTIONS", "*", "Origin: http://example.com\r\n"),
                      405,
                      {{"Allow", "GET, HEAD"}}},
        PreflightCase{"ForeignHostFirst",
                      Preflight("", "evil.example"),
                      403,
                      {{"Access-Control-Allow-Methods", kNone}}}),
    [](const auto& info) { return info.param.name; });

TEST_F(ServeOptionsTest, PreflightIsRefusedWhileCorsIsOff) {
    const HttpResponse response = Exchange(port_, Preflight(""));
    EXPECT_EQ(response.status, 405);
    EXPECT_EQ(response.Header("Allow"), "GET, HEAD");
    EXPECT_FALSE(response.Header("Access-Control-Allow-Methods"));
    EXPECT_FALSE(response.Header("Access-Control-Allow-Origin"));
}

TEST_F(ServeOptionsTest, PreflightKeepsTheConnection) {
    server_.SetOption(ServeOption::kCors, true);
    HttpConnection connection(port_);
    ASSERT_TRUE(connection.IsOpen());
    ASSERT_TRUE(connection.Send(Preflight("")));
    const auto preflight = connection.Read();
    ASSERT_TRUE(preflight);
    EXPECT_EQ(preflight->status, 204);
    ASSERT_TRUE(connection.Send(MakeRequest("GET", "/data.bin", "Origin: http://example.com\r\n")));
    const auto actual = connection.Read();
    ASSERT_TRUE(actual);
    EXPECT_EQ(actual->status, 200);
    EXPECT_EQ(actual->body, "0123456789");
}

struct FallbackCase {
    std::string name;
    std::string method;
    std::string target;
    std::string headers;
    int status;
    std::string body_part;  // what the answer must hold (GET)
};

class SinglePageTest : public ServeOptionsTest, public testing::WithParamInterface<FallbackCase> {};

TEST_P(SinglePageTest, MissingRoutesLoadTheApp) {
    const FallbackCase& c = GetParam();
    server_.SetOption(ServeOption::kSinglePageApp, true);
    const bool head = c.method == "HEAD";
    const HttpResponse response = Exchange(port_, MakeRequest(c.method, c.target, c.headers), head);
    EXPECT_EQ(response.status, c.status);
    if (!head) {
        EXPECT_NE(response.body.find(c.body_part), std::string::npos) << response.body;
    }
    if (c.status == 200 && c.body_part == "home page") {
        const HttpResponse index = Get(port_, "/index.html");
        EXPECT_EQ(response.Header("ETag"), index.Header("ETag"));
        EXPECT_EQ(response.Header("Last-Modified"), index.Header("Last-Modified"));
        EXPECT_EQ(response.Header("Content-Length"), index.Header("Content-Length"));
        EXPECT_EQ(response.Header("Content-Type"), "text/html; charset=utf-8");
    }
}

const std::string kHome = "home page";
const std::string kMissing = "custom missing page";

INSTANTIATE_TEST_SUITE_P(
    Requests, SinglePageTest,
    testing::Values(
        FallbackCase{"Route", "GET", "/settings", kNavigation, 200, kHome},
        FallbackCase{"DeepRoute", "GET", "/users/7/profile", kNavigation, 200, kHome},
        FallbackCase{"RouteWithSlash", "GET", "/settings/", kNavigation, 200, kHome},
        FallbackCase{"RouteWithQuery", "GET", "/search?q=a.b", kNavigation, 200, kHome},
        FallbackCase{"RouteBelowAFile", "GET", "/notes.txt/edit", kNavigation, 200, kHome},
        FallbackCase{"HeadRoute", "HEAD", "/settings", kNavigation, 200, ""},
        FallbackCase{"AnyType", "GET", "/settings", "Accept: */*\r\n", 200, kHome},
        FallbackCase{"AnyText", "GET", "/settings", "Accept: text/*\r\n", 200, kHome},
        FallbackCase{"Revalidated", "GET", "/settings", kNavigation + "If-None-Match: *\r\n", 304,
                     ""},
        FallbackCase{"Root", "GET", "/", kNavigation, 200, kHome},
        FallbackCase{"ExistingFile", "GET", "/notes.txt", kNavigation, 200, "notes"},
        FallbackCase{"ExistingFolder", "GET", "/assets/", kNavigation, 200, "索引：/assets/"},
        FallbackCase{"MissingScript", "GET", "/app2.js", kNavigation, 404, kMissing},
        FallbackCase{"MissingScriptInRoute", "GET", "/users/7/app.js", "Accept: */*\r\n", 404,
                     kMissing},
        FallbackCase{"MissingPageFile", "GET", "/about.html", kNavigation, 404, kMissing},
        FallbackCase{"JsonAccept", "GET", "/api/items", "Accept: application/json\r\n", 404,
                     kMissing},
        FallbackCase{"HtmlRefused", "GET", "/settings", "Accept: text/html;q=0, */*\r\n", 404,
                     kMissing},
        FallbackCase{"NoAccept", "GET", "/settings", "", 404, kMissing},
        FallbackCase{"FileWithSlash", "GET", "/notes.txt/", kNavigation, 404, kMissing}),
    [](const auto& info) { return info.param.name; });

TEST_F(ServeOptionsTest, RoutesGetTheNotFoundPageWhileSinglePageIsOff) {
    for (const bool on : {true, false}) {
        server_.SetOption(ServeOption::kSinglePageApp, on);
        const HttpResponse response = Get(port_, "/settings", kNavigation);
        EXPECT_EQ(response.status, on ? 200 : 404);
        EXPECT_NE(response.body.find(on ? kHome : kMissing), std::string::npos) << response.body;
        EXPECT_EQ(response.Header("Vary").value_or(kNone), on ? "Accept" : kNone);
    }
}

TEST_F(ServeOptionsTest, RoutesWithoutARootIndexGetTheNotFoundPage) {
    server_.SetOption(ServeOption::kSinglePageApp, true);
    ASSERT_EQ(remove(site_.PathOf("index.html").c_str()), 0);
    const HttpResponse response = Get(port_, "/settings", kNavigation);
    EXPECT_EQ(response.status, 404);
    EXPECT_NE(response.body.find(kMissing), std::string::npos);
}

}  // namespace
