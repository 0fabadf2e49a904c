// Serving over a real network address: the test runs itself again inside a network namespace of
// its own (`unshare -rn`), where a veth pair carries documentation-range addresses (192.0.2.0/24,
// 2001:db8::/64) and a default route. Server and client both run in that namespace; the
// computer's real interfaces are never touched.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "server/http_server.h"
#include "server/network/network_interfaces.h"
#include "server/network/share_address.h"
#include "server/store_map.h"
#include "tests/server/support/http_client.h"
#include "tests/server/support/test_site.h"

namespace {

constexpr const char* kInsideVariable = "LAN_SHARING_TEST_IN_NAMESPACE";
constexpr int kSetupFailed = 77;

// Makes the interfaces, then runs this program again with only the inside tests.
constexpr const char* kSetup =
    "ip link set lo up && ip link add share0 type veth peer name share1 &&"
    " ip addr add 192.0.2.1/24 dev share0 && ip addr add 192.0.2.2/24 dev share1 &&"
    " ip -6 addr add 2001:db8::1/64 dev share0 nodad &&"
    " ip link set share0 up && ip link set share1 up &&"
    " ip route add default via 192.0.2.254 dev share0 || exit 77;"
    " exec \"$0\" --gtest_filter='InsideNamespace.*'";

int ShellStatus(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

TEST(LanNamespaceTest, AClientOnTheNetworkFetchesTheSharedSite) {
    if (ShellStatus("unshare -rn true >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "cannot make a network namespace here (unshare -rn failed), "
                        "so serving over a network address is not tested";
    }
    char self[4096] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    const int result = ShellStatus(std::string(kInsideVariable) + "=1 unshare -rn sh -c " +
                                   Quoted(kSetup) + " " + Quoted(self));
    if (result == kSetupFailed) {
        GTEST_SKIP() << "cannot make a veth pair inside the namespace (ip link add failed)";
    }
    EXPECT_EQ(result, 0) << "the tests inside the namespace failed; their output is above";
}

int Fetch(const std::string& address, int port, const std::string& host, std::string* body) {
    HttpConnection connection(address, port);
    if (!connection.IsOpen()) return 0;
    if (!connection.Send("GET / HTTP/1.1\r\nHost: " + host + "\r\n\r\n")) return 0;
    const auto response = connection.Read();
    if (!response) return 0;
    if (body) *body = response->body;
    return response->status;
}

class InsideNamespace : public testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv(kInsideVariable)) GTEST_SKIP() << "runs only inside the namespace";
        site_.Write("index.html", "<p>seen from the phone</p>");
        server_.Init(site_.root());
    }

    TestSite site_;
    JHTTPServer server_;
};

TEST_F(InsideNamespace, ChoosesTheAddressOfTheDefaultRoute) {
    const ShareAddresses addresses =
        ChooseShareAddresses(ReadNetInterfaces(), ReadDefaultRouteInterface());
    EXPECT_EQ(addresses.chosen, "192.0.2.1");
}

TEST_F(InsideNamespace, SharedSiteAnswersOnTheNetworkAddress) {
    server_.SetOption(ServeOption::kLanSharing, true);
    const int port = StartOnFreePort(server_);
    ASSERT_NE(port, 0);
    const std::string with_port = ":" + std::to_string(port);
    std::string body;
    EXPECT_EQ(Fetch("192.0.2.1", port, "192.0.2.1" + with_port, &body), 200);
    EXPECT_NE(body.find("seen from the phone"), std::string::npos);
    EXPECT_EQ(Fetch("192.0.2.2", port, "192.0.2.2", nullptr), 200);
    EXPECT_EQ(Fetch("2001:db8::1", port, "[2001:db8::1]" + with_port, nullptr), 200);
    EXPECT_EQ(Fetch("192.0.2.1", port, "127.0.0.1" + with_port, nullptr), 200);
    EXPECT_EQ(Fetch("192.0.2.1", port, "192.0.2.254" + with_port, nullptr), 403);
    EXPECT_EQ(Fetch("192.0.2.1", port, "rebound.example" + with_port, nullptr), 403);
    EXPECT_EQ(Fetch("127.0.0.1", port, "127.0.0.1", nullptr), 200);
}

// Addresses change while the site runs (a laptop joins another network): a new one is admitted.
TEST_F(InsideNamespace, AdmitsAnAddressAddedWhileRunning) {
    server_.SetOption(ServeOption::kLanSharing, true);
    const int port = StartOnFreePort(server_);
    ASSERT_NE(port, 0);
    ASSERT_EQ(ShellStatus("ip addr add 192.0.2.3/24 dev share0"), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        status = Fetch("192.0.2.3", port, "192.0.2.3", nullptr);
        if (status == 200) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(status, 200);
    EXPECT_EQ(Fetch("192.0.2.3", port, "192.0.2.4", nullptr), 403);
}

TEST_F(InsideNamespace, SharingOffAnswersOnLoopbackOnly) {
    const int port = StartOnFreePort(server_);
    ASSERT_NE(port, 0);
    EXPECT_FALSE(HttpConnection("192.0.2.1", port).IsOpen());
    EXPECT_FALSE(HttpConnection("2001:db8::1", port).IsOpen());
    EXPECT_EQ(Fetch("127.0.0.1", port, "127.0.0.1", nullptr), 200);
}

}  // namespace
