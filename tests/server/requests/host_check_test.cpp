#include "server/requests/host_check.h"

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

struct AddressHostCase {
    std::string host;
    bool allowed;
};

class AddressHostTest : public testing::TestWithParam<AddressHostCase> {};

TEST_P(AddressHostTest, AllowsOnlyTheGivenAddressesAsIpLiterals) {
    const std::vector<std::string> own = {"127.0.0.1", "192.0.2.10", "::1", "2001:db8::a",
                                          "fe80::1:2"};
    EXPECT_EQ(IsAddressHost(GetParam().host, own), GetParam().allowed) << GetParam().host;
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, AddressHostTest,
    testing::Values(
        AddressHostCase{"192.0.2.10", true}, AddressHostCase{"192.0.2.10:8080", true},
        AddressHostCase{"192.0.2.10:65535", true}, AddressHostCase{"[2001:db8::a]", true},
        AddressHostCase{"[2001:DB8:0:0:0:0:0:A]:80", true},
        AddressHostCase{"[fe80::1:2]:9999", true}, AddressHostCase{"[::1]", true},
        AddressHostCase{"192.0.2.11", false}, AddressHostCase{"192.0.2.1", false},
        AddressHostCase{"192.0.2.100", false}, AddressHostCase{"192.0.2.10.", false},
        AddressHostCase{"192.0.2.010", false}, AddressHostCase{"192.0.2", false},
        AddressHostCase{"3221226058", false}, AddressHostCase{"0xc0.0.2.10", false},
        AddressHostCase{"192.0.2.10:", false}, AddressHostCase{"192.0.2.10:x", false},
        AddressHostCase{"192.0.2.10:123456", false}, AddressHostCase{"192.0.2.10:80:80", false},
        AddressHostCase{"2001:db8::a", false}, AddressHostCase{"[2001:db8::a", false},
        AddressHostCase{"[2001:db8::a]x", false}, AddressHostCase{"[192.0.2.10]", false},
        AddressHostCase{"[::ffff:192.0.2.10]", false}, AddressHostCase{"[fe80::1:2%25eth0]", false},
        AddressHostCase{"evil.example", false}, AddressHostCase{"localhost", false},
        AddressHostCase{"192.0.2.10.evil.example", false}, AddressHostCase{"", false},
        AddressHostCase{" 192.0.2.10", false}));

}  // namespace
