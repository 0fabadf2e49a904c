#include "server/network/share_address.h"

#include <gtest/gtest.h>

#include "server/network/network_interfaces.h"

namespace {

NetInterface Up(std::string name, std::vector<std::string> ipv4,
                std::vector<std::string> ipv6 = {}) {
    return NetInterface{std::move(name), true, false, std::move(ipv4), std::move(ipv6)};
}

NetInterface Down(std::string name, std::vector<std::string> ipv4) {
    return NetInterface{std::move(name), false, false, std::move(ipv4), {}};
}

const NetInterface kLoopback{"lo", true, true, {"127.0.0.1"}, {"::1"}};

struct ChoiceCase {
    std::string name;
    std::vector<NetInterface> interfaces;
    std::string default_route;
    std::string chosen;
    std::vector<std::string> others;
};

class ShareAddressTest : public testing::TestWithParam<ChoiceCase> {};

TEST_P(ShareAddressTest, ChoosesTheAddressAPhoneReaches) {
    const ShareAddresses result =
        ChooseShareAddresses(GetParam().interfaces, GetParam().default_route);
    EXPECT_EQ(result.chosen, GetParam().chosen);
    EXPECT_EQ(result.others, GetParam().others);
}

INSTANTIATE_TEST_SUITE_P(
    Computers, ShareAddressTest,
    testing::Values(
        ChoiceCase{"WifiDockerVpn",
                   {kLoopback, Up("wlp2s0", {"192.168.1.23"}, {"fe80::1"}),
                    Up("docker0", {"172.17.0.1"}), Up("br-5f2a", {"172.18.0.1"}),
                    Up("veth12ab", {"169.254.3.3"}), Up("tun0", {"10.8.0.6"})},
                   "wlp2s0",
                   "192.168.1.23",
                   {}},
        ChoiceCase{"OnlyLoopback", {kLoopback}, "", "", {}},
        ChoiceCase{"NothingAtAll", {}, "", "", {}},
        ChoiceCase{"TwoRealAdaptersRouteOnTheSecond",
                   {kLoopback, Up("enp3s0", {"10.0.0.5"}), Up("wlp2s0", {"192.168.1.23"})},
                   "wlp2s0",
                   "192.168.1.23",
                   {"10.0.0.5"}},
        ChoiceCase{"TwoRealAdaptersNoRoute",
                   {kLoopback, Up("enp3s0", {"10.0.0.5"}), Up("wlp2s0", {"192.168.1.23"})},
                   "",
                   "10.0.0.5",
                   {"192.168.1.23"}},
        ChoiceCase{
            "Ipv6Only", {kLoopback, Up("eth0", {}, {"2001:db8::5", "fe80::5"})}, "eth0", "", {}},
        ChoiceCase{"DefaultRouteOnVpnTunnel",
                   {kLoopback, Up("wlp2s0", {"192.168.0.40"}), Up("tun0", {"10.8.0.6"})},
                   "tun0",
                   "192.168.0.40",
                   {}},
        ChoiceCase{"DefaultRouteOnWireGuard",
                   {kLoopback, Up("wg0", {"10.66.0.2"}), Up("eth0", {"172.20.4.9"})},
                   "wg0",
                   "172.20.4.9",
                   {}},
        ChoiceCase{"OnlyVirtualInterfaces",
                   {kLoopback, Up("docker0", {"172.17.0.1"}), Up("virbr0", {"192.168.122.1"}),
                    Up("vboxnet0", {"192.168.56.1"}), Up("tap0", {"10.1.0.1"}),
                    Up("zt5u4abc", {"10.147.17.3"})},
                   "",
                   "",
                   {}},
        ChoiceCase{"AdapterDownIsSkipped",
                   {kLoopback, Down("enp3s0", {"10.0.0.5"}), Up("wlp2s0", {"192.168.1.23"})},
                   "",
                   "192.168.1.23",
                   {}},
        ChoiceCase{
            "LinkLocalOnlyMeansNone", {kLoopback, Up("eth0", {"169.254.10.20"})}, "", "", {}},
        ChoiceCase{"PublicAddressOnTheDefaultRoute",
                   {kLoopback, Up("eth0", {"203.0.113.7"}), Up("eth1", {"192.168.5.2"})},
                   "eth0",
                   "203.0.113.7",
                   {"192.168.5.2"}},
        ChoiceCase{"PublicAddressWithoutRouteIsNotChosen",
                   {kLoopback, Up("eth0", {"203.0.113.7"})},
                   "",
                   "",
                   {}},
        ChoiceCase{"PrivateRangeEdges",
                   {kLoopback, Up("eth0", {"172.32.0.1", "172.15.255.1", "172.31.255.254"})},
                   "",
                   "172.31.255.254",
                   {"172.32.0.1", "172.15.255.1"}},
        ChoiceCase{"SeveralAddressesOnTheRoutedAdapter",
                   {kLoopback, Up("eth0", {"192.168.1.2", "192.168.1.3"})},
                   "eth0",
                   "192.168.1.2",
                   {"192.168.1.3"}}),
    [](const auto& info) { return info.param.name; });

struct RouteCase {
    std::string name;
    std::string table;
    std::string interface;
};

class DefaultRouteTest : public testing::TestWithParam<RouteCase> {};

TEST_P(DefaultRouteTest, FindsTheInterfaceOfTheDefaultRoute) {
    EXPECT_EQ(DefaultRouteInterface(GetParam().table), GetParam().interface);
}

constexpr const char* kTitles =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

INSTANTIATE_TEST_SUITE_P(
    Tables, DefaultRouteTest,
    testing::Values(
        RouteCase{"Wifi",
                  std::string(kTitles) +
                      "wlp2s0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
                      "wlp2s0\t0001A8C0\t00000000\t0001\t0\t0\t600\t00FFFFFF\t0\t0\t0\n"
                      "docker0\t000011AC\t00000000\t0001\t0\t0\t0\t0000FFFF\t0\t0\t0\n",
                  "wlp2s0"},
        RouteCase{"LowestMetricWins",
                  std::string(kTitles) +
                      "wlp2s0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
                      "enp3s0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",
                  "enp3s0"},
        RouteCase{"VpnSplitRoutesAreNotDefault",
                  std::string(kTitles) +
                      "tun0\t00000000\t00000000\t0001\t0\t0\t0\t00000080\t0\t0\t0\n"
                      "tun0\t00000080\t00000000\t0001\t0\t0\t0\t00000080\t0\t0\t0\n"
                      "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",
                  "eth0"},
        RouteCase{
            "RouteDown",
            std::string(kTitles) + "eth0\t00000000\t0102A8C0\t0002\t0\t0\t100\t00000000\t0\t0\t0\n",
            ""},
        RouteCase{
            "NoDefault",
            std::string(kTitles) + "eth0\t0002A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n",
            ""},
        RouteCase{"Empty", "", ""}, RouteCase{"OnlyTitles", kTitles, ""},
        RouteCase{"Garbled", std::string(kTitles) + "eth0 zz 00 0003 0 0 x 00000000\nshort\n", ""}),
    [](const auto& info) { return info.param.name; });

}  // namespace
