#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "server/http_server.h"
#include "server/network/network_interfaces.h"
#include "server/store_map.h"
#include "tests/server/support/http_client.h"
#include "tests/server/support/served_site.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kIndex = "<p>shared home page</p>";

// Every address of this computer as a Host header writes it (IPv6 in brackets).
std::vector<std::string> OwnHostNames() {
    std::vector<std::string> names;
    for (const NetInterface& interface : ReadNetInterfaces()) {
        for (const std::string& address : interface.ipv4) names.push_back(address);
        for (const std::string& address : interface.ipv6) names.push_back("[" + address + "]");
    }
    return names;
}

bool IsOwn(const std::string& host) {
    const auto own = OwnHostNames();
    return std::find(own.begin(), own.end(), host) != own.end();
}

int StatusFor(int port, const std::string& host) {
    return Exchange(port, "GET / HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n")
        .status;
}

// A test site served with sharing on, reached through 127.0.0.1.
class SharedSiteTest : public testing::Test {
  protected:
    void SetUp() override {
        site_.Write("index.html", kIndex);
        server_.Init(site_.root());
        server_.SetOption(ServeOption::kLanSharing, true);
        port_ = StartOnFreePort(server_);
        ASSERT_NE(port_, 0);
    }

    TestSite site_;
    JHTTPServer server_;
    int port_ = 0;
};

struct HostCase {
    std::string host;
    int status;
};

TEST_F(SharedSiteTest, AdmitsThisComputersAddressesAndLoopbackNamesOnly) {
    const std::string port = ":" + std::to_string(port_);
    std::vector<HostCase> cases = {
        {"127.0.0.1", 200},        {"localhost" + port, 200},    {"[::1]" + port, 200},
        {"evil.example", 403},     {"evil.example" + port, 403}, {"localhost.evil.example", 403},
        {"127.0.0.1.nip.io", 403},
    };
    for (const std::string& own : OwnHostNames()) {
        cases.push_back({own, 200});
        cases.push_back({own + port, 200});
        cases.push_back({own + ".evil.example" + port, 403});
    }
    for (const std::string foreign : {"203.0.113.9", "198.51.100.20", "[2001:db8::dead:beef]"}) {
        if (IsOwn(foreign)) continue;
        cases.push_back({foreign, 403});
        cases.push_back({foreign + port, 403});
    }
    for (const HostCase& c : cases) {
        EXPECT_EQ(StatusFor(port_, c.host), c.status) << "Host: " << c.host;
    }
    EXPECT_NE(Get(port_, "/").body.find("shared home page"), std::string::npos);
}

// With sharing off, the Host check is what it always was: this computer's own network addresses
// are refused like any other.
class LoopbackSiteTest : public ServedSite {};

TEST_F(LoopbackSiteTest, RefusesThisComputersNetworkAddresses) {
    for (const std::string& own : OwnHostNames()) {
        if (own == "127.0.0.1" || own == "[::1]") continue;
        EXPECT_EQ(StatusFor(port_, own), 403) << "Host: " << own;
        EXPECT_EQ(StatusFor(port_, own + ":" + std::to_string(port_)), 403) << "Host: " << own;
    }
    EXPECT_EQ(StatusFor(port_, "127.0.0.1"), 200);
}

TEST_F(SharedSiteTest, TellsWhetherItShares) {
    EXPECT_TRUE(server_.IsShared());
    server_.SetOption(ServeOption::kLanSharing, false);
    EXPECT_TRUE(server_.IsShared()) << "where it listens changes at the next start only";
    server_.Stop();
    EXPECT_FALSE(server_.IsShared());
    ASSERT_TRUE(server_.Start(*CreateStoreMap("port", port_), false));
    EXPECT_FALSE(server_.IsShared());
    EXPECT_EQ(StatusFor(port_, "127.0.0.1"), 200);
}

TEST_F(SharedSiteTest, StopClosesAStalledDownloadAtOnce) {
    const int fd = open(site_.PathOf("big.bin").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 20 << 20), 0);
    close(fd);
    HttpConnection stalled(port_);
    ASSERT_TRUE(stalled.Send(MakeRequest("GET", "/big.bin")));
    ASSERT_TRUE(stalled.WaitReadable(10s));
    EXPECT_TRUE(server_.Stop());
    EXPECT_TRUE(stalled.WaitClosed(10s));
    EXPECT_TRUE(server_.Start(*CreateStoreMap("port", port_), false)) << "the port is free again";
    EXPECT_TRUE(server_.IsShared());
}

}  // namespace
