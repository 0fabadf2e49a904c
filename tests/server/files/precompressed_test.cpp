#include "server/files/precompressed.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct StoredCase {
    std::string name;
    std::string type;
    std::string encoding;
};

class StoredTypeTest : public testing::TestWithParam<StoredCase> {};

TEST_P(StoredTypeTest, SendsTheInnerTypeInItsCoding) {
    const StoredCase& c = GetParam();
    const StoredType type = TypeOfStoredFile(c.name);
    EXPECT_EQ(type.content_type, c.type) << c.name;
    EXPECT_EQ(type.content_encoding, c.encoding) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, StoredTypeTest,
    testing::Values(StoredCase{"game.wasm.br", "application/wasm", "br"},
                    StoredCase{"game.wasm.gz", "application/wasm", "gzip"},
                    StoredCase{"game.data.gz", "application/octet-stream", "gzip"},
                    StoredCase{"game.framework.js.br", "text/javascript; charset=utf-8", "br"},
                    StoredCase{"STYLE.CSS.GZ", "text/css; charset=utf-8", "gzip"},
                    StoredCase{"backup.tar.gz", "application/gzip", ""},
                    StoredCase{"archive.gz", "application/gzip", ""},
                    StoredCase{"notes.xyz.br", "application/octet-stream", ""},
                    StoredCase{".br", "application/octet-stream", ""},
                    StoredCase{"app.js", "text/javascript; charset=utf-8", ""}));

struct CodingCase {
    std::string name;
    std::optional<std::string> accept_encoding;
    Coding coding;
    bool have_brotli = true;
    bool have_gzip = true;
};

class CodingTest : public testing::TestWithParam<CodingCase> {};

TEST_P(CodingTest, FollowsAcceptEncoding) {
    const CodingCase& c = GetParam();
    const auto header =
        c.accept_encoding ? std::optional<std::string_view>(*c.accept_encoding) : std::nullopt;
    EXPECT_EQ(ChooseCoding(header, c.have_brotli, c.have_gzip), c.coding);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, CodingTest,
    testing::Values(CodingCase{"NoHeader", std::nullopt, Coding::kIdentity},
                    CodingCase{"EmptyHeader", "", Coding::kIdentity},
                    CodingCase{"Chromium", "gzip, deflate, br, zstd", Coding::kBrotli},
                    CodingCase{"GzipOnly", "gzip, deflate", Coding::kGzip},
                    CodingCase{"BrotliRefused", "br;q=0, gzip", Coding::kGzip},
                    CodingCase{"GzipPreferred", "br;q=0.5, gzip;q=0.8", Coding::kGzip},
                    CodingCase{"TieGoesToBrotli", "gzip;q=0.5, br;q=0.5", Coding::kBrotli},
                    CodingCase{"Star", "*", Coding::kBrotli},
                    CodingCase{"StarRefused", "*;q=0", Coding::kIdentity},
                    CodingCase{"BothRefused", "br;q=0, gzip;q=0", Coding::kIdentity},
                    CodingCase{"IdentityOnly", "identity", Coding::kIdentity},
                    CodingCase{"IdentityPreferred", "identity, br;q=0.5", Coding::kIdentity},
                    CodingCase{"IdentityRefused", "identity;q=0, gzip", Coding::kGzip},
                    CodingCase{"ImplicitIdentityDoesNotCompete", "gzip;q=0.1", Coding::kGzip},
                    CodingCase{"XGzip", "x-gzip", Coding::kGzip},
                    CodingCase{"DeflateOnly", "deflate", Coding::kIdentity},
                    CodingCase{"MalformedWeightDropped", "br;q=2, gzip", Coding::kGzip},
                    CodingCase{"NoBrotliSibling", "br, gzip", Coding::kGzip, false, true},
                    CodingCase{"OnlyBrotliAccepted", "br", Coding::kIdentity, false, true},
                    CodingCase{"NoSiblings", "br, gzip", Coding::kIdentity, false, false}),
    [](const auto& info) { return info.param.name; });

}  // namespace
