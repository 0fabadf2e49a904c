#include "server/options/cors.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CorsTest, EchoesOnlyListsOfFieldNames) {
    for (const std::string list : {"content-type", "content-type,x-requested-with",
                                   "X-Custom , Authorization", "x-a!#$%&'*+-.^_`|~"}) {
        EXPECT_TRUE(IsTokenList(list)) << list;
    }
    for (const std::string junk : {"", " ", "a,,b", "a,", ",a", "x-a b", "x-<script>",
                                   "a\r\nSet-Cookie: x=1", "a;b", "\"quoted\"", "ü"}) {
        EXPECT_FALSE(IsTokenList(junk)) << junk;
    }
}

}  // namespace
