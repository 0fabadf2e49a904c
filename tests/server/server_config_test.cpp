#include "server/server_config.h"

#include <gtest/gtest.h>

#include "server/store_map.h"

namespace {

TEST(ServerConfigTest, MapEntriesReplaceMatchingItems) {
    JMap map;
    map.SetInt("port", 8123);
    map.SetInt("threads", 3);
    map.SetInt("idle_timeout", 5);
    map.SetInt("unrelated", 1);
    const ServerConfig base;
    const ServerConfig config = ApplyOverrides(base, map);
    EXPECT_EQ(config.port, 8123);
    EXPECT_EQ(config.threads, 3u);
    EXPECT_EQ(config.idle_timeout_seconds, 5u);
    EXPECT_EQ(config.max_target_bytes, base.max_target_bytes);
}

TEST(ServerConfigTest, UnusableValuesKeepTheDefaults) {
    const ServerConfig base;
    for (int bad : {0, -1, 100000}) {
        JMap map;
        map.SetInt("threads", bad);
        map.SetInt("idle_timeout", bad);
        const ServerConfig config = ApplyOverrides(base, map);
        EXPECT_EQ(config.threads, base.threads) << bad;
        EXPECT_EQ(config.idle_timeout_seconds, base.idle_timeout_seconds) << bad;
    }
}

TEST(ServerConfigTest, EmptyMapChangesNothing) {
    const ServerConfig config = ApplyOverrides(ServerConfig{}, JMap{});
    EXPECT_EQ(config.port, ServerConfig{}.port);
}

}  // namespace
