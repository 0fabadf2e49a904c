#include "server/host_check.h"

#include <gtest/gtest.h>

namespace {

struct HostCase {
    std::string host;
    bool allowed;
};

class HostCheckTest : public testing::TestWithParam<HostCase> {};

TEST_P(HostCheckTest, AllowsOnlyLoopbackNames) {
    EXPECT_EQ(IsLoopbackHost(GetParam().host), GetParam().allowed) << GetParam().host;
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, HostCheckTest,
    testing::Values(HostCase{"127.0.0.1", true}, HostCase{"127.0.0.1:8080", true},
                    HostCase{"localhost", true}, HostCase{"LOCALHOST:80", true},
                    HostCase{"LocalHost", true}, HostCase{"[::1]", true},
                    HostCase{"[::1]:65535", true}, HostCase{"", false},
                    HostCase{"evil.example", false}, HostCase{"localhost.evil.example", false},
                    HostCase{"127.0.0.1.evil.example", false}, HostCase{"127.0.0.2", false},
                    HostCase{"localhost:", false}, HostCase{"localhost:80x", false},
                    HostCase{"localhost:123456", false}, HostCase{"{::1]", false},
                    HostCase{"[::1]x", false}, HostCase{"::1", false},
                    HostCase{"localhost@evil.example", false}, HostCase{" localhost", false}));

}  // namespace
