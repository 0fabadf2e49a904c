#include "server/answers/mime_types.h"

#include <gtest/gtest.h>

namespace {

struct TypeCase {
    std::string name;
    std::string type;
};

class ContentTypeTest : public testing::TestWithParam<TypeCase> {};

TEST_P(ContentTypeTest, FollowsTheExtension) {
    EXPECT_EQ(ContentTypeFor(GetParam().name), GetParam().type) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, ContentTypeTest,
    testing::Values(
        TypeCase{"index.html", "text/html; charset=utf-8"},
        TypeCase{"OLD.HTM", "text/html; charset=utf-8"},
        TypeCase{"site.css", "text/css; charset=utf-8"},
        TypeCase{"app.js", "text/javascript; charset=utf-8"},
        TypeCase{"mod.mjs", "text/javascript; charset=utf-8"},
        TypeCase{"data.json", "application/json"}, TypeCase{"app.js.map", "application/json"},
        TypeCase{"a.wasm", "application/wasm"}, TypeCase{"logo.svg", "image/svg+xml"},
        TypeCase{"a.png", "image/png"}, TypeCase{"a.jpg", "image/jpeg"},
        TypeCase{"a.JPEG", "image/jpeg"}, TypeCase{"a.gif", "image/gif"},
        TypeCase{"a.webp", "image/webp"}, TypeCase{"a.avif", "image/avif"},
        TypeCase{"favicon.ico", "image/x-icon"}, TypeCase{"a.bmp", "image/bmp"},
        TypeCase{"a.woff", "font/woff"}, TypeCase{"a.woff2", "font/woff2"},
        TypeCase{"a.ttf", "font/ttf"}, TypeCase{"a.otf", "font/otf"},
        TypeCase{"a.mp4", "video/mp4"}, TypeCase{"a.webm", "video/webm"},
        TypeCase{"a.mp3", "audio/mpeg"}, TypeCase{"a.ogg", "audio/ogg"},
        TypeCase{"a.wav", "audio/wav"}, TypeCase{"a.m4a", "audio/mp4"},
        TypeCase{"a.flac", "audio/flac"}, TypeCase{"a.pdf", "application/pdf"},
        TypeCase{"说明.txt", "text/plain; charset=utf-8"}, TypeCase{"a.xml", "application/xml"},
        TypeCase{"a.csv", "text/csv; charset=utf-8"},
        TypeCase{"site.webmanifest", "application/manifest+json"},
        TypeCase{"a.zip", "application/zip"}, TypeCase{"a.exe", "application/octet-stream"},
        TypeCase{"Makefile", "application/octet-stream"},
        TypeCase{"trailing.", "application/octet-stream"},
        TypeCase{".htaccess", "application/octet-stream"}));

}  // namespace
