#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <tuple>

#include "server/store_map.h"
#include "tests/server/support/captured_stderr.h"
#include "tests/server/support/http_client.h"
#include "tests/server/support/served_site.h"

namespace {

using namespace std::chrono_literals;

bool StartOn(JHTTPServer& server, int port) {
    return server.Start(*CreateStoreMap("port", port), false);
}

// Where the server listens: 127.0.0.1 only, or every address with sharing on.
enum class Mode { kLoopback, kShared };

const char* NameOf(Mode mode) { return mode == Mode::kShared ? "Shared" : "Loopback"; }

bool StartOn(JHTTPServer& server, int port, Mode mode) {
    server.SetOption(ServeOption::kLanSharing, mode == Mode::kShared);
    return StartOn(server, port);
}

class PortRangeTest : public testing::TestWithParam<int> {};

TEST_P(PortRangeTest, RefusesPortsOutsideTheRange) {
    TestSite site;
    JHTTPServer server;
    server.Init(site.root());
    {
        CapturedStderr said;
        EXPECT_FALSE(StartOn(server, GetParam()));
        EXPECT_EQ(said.text(), std::string(program_invocation_short_name) +
                                   ": cannot listen on 127.0.0.1:" + std::to_string(GetParam()) +
                                   ": only ports 1-65535 can be used\n");
    }
    EXPECT_FALSE(server.IsRunning());
    EXPECT_FALSE(server.Stop());
}

INSTANTIATE_TEST_SUITE_P(Ports, PortRangeTest, testing::Values(0, -1, 65536, 70000, INT32_MIN));

// Something else listening on the port the server is asked for.
struct Holder {
    std::string name;
    int family;
    const char* address;
    int v6only;  // -1: leave the default
    bool reuse_port;
    bool blocks_loopback = true;  // also in the way of a server on 127.0.0.1 only
};

class SocketHolder {
  public:
    SocketHolder(const Holder& kind, int port) : port_(port) {
        fd_ = socket(kind.family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) return;
        const int on = 1;
        if (kind.reuse_port) setsockopt(fd_, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
        if (kind.v6only >= 0) {
            setsockopt(fd_, IPPROTO_IPV6, IPV6_V6ONLY, &kind.v6only, sizeof kind.v6only);
        }
        sockaddr_storage storage{};
        socklen_t length = 0;
        if (kind.family == AF_INET) {
            auto* address = reinterpret_cast<sockaddr_in*>(&storage);
            address->sin_family = AF_INET;
            address->sin_port = htons(static_cast<std::uint16_t>(port));
            inet_pton(AF_INET, kind.address, &address->sin_addr);
            length = sizeof *address;
        } else {
            auto* address = reinterpret_cast<sockaddr_in6*>(&storage);
            address->sin6_family = AF_INET6;
            address->sin6_port = htons(static_cast<std::uint16_t>(port));
            inet_pton(AF_INET6, kind.address, &address->sin6_addr);
            length = sizeof *address;
        }
        listening_ =
            bind(fd_, reinterpret_cast<sockaddr*>(&storage), length) == 0 && listen(fd_, 4) == 0;
    }
    ~SocketHolder() {
        if (fd_ >= 0) close(fd_);
    }
    bool listening() const { return listening_; }
    int port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
    bool listening_ = false;
};

class HeldPortTest : public testing::TestWithParam<std::tuple<Holder, Mode>> {};

TEST_P(HeldPortTest, RefusesAPortAnotherListenerHolds) {
    const auto& [kind, mode] = GetParam();
    TestSite site;
    JHTTPServer server;
    server.Init(site.root());
    std::optional<SocketHolder> holder;
    const int port = OnFreePort([&](int candidate) {
        holder.emplace(kind, candidate);
        return holder->listening();
    });
    if (port == 0 && kind.family == AF_INET6) GTEST_SKIP() << "no IPv6 on this machine";
    ASSERT_NE(port, 0);
    {
        CapturedStderr said;
        const bool in_the_way = mode == Mode::kShared || kind.blocks_loopback;
        EXPECT_EQ(StartOn(server, port, mode), !in_the_way);
        EXPECT_EQ(server.IsRunning(), !in_the_way);
        server.Stop();
        if (in_the_way) {
            // One line for whoever started the program, naming the address and the reason.
            const std::string where = mode == Mode::kShared ? "every address" : "127.0.0.1";
            const std::string text = said.text();
            EXPECT_TRUE(text.starts_with(std::string(program_invocation_short_name) +
                                         ": cannot listen on " + where + ":" +
                                         std::to_string(port) + ": Address already in use") &&
                        text.find('\n') == text.size() - 1)
                << text;
        }
    }
    holder.reset();
    EXPECT_TRUE(StartOn(server, port, mode)) << "free again once the holder is gone";
}

INSTANTIATE_TEST_SUITE_P(
    Holders, HeldPortTest,
    testing::Combine(
        testing::Values(Holder{"AnyIpv4", AF_INET, "0.0.0.0", -1, false},
                        Holder{"LoopbackIpv4", AF_INET, "127.0.0.1", -1, false},
                        Holder{"DualStack", AF_INET6, "::", 0, false},
                        Holder{"Ipv6Only", AF_INET6, "::", 1, false},
                        Holder{"LoopbackIpv6", AF_INET6, "::1", -1, false},
                        Holder{"ReusePortAny", AF_INET, "0.0.0.0", -1, true},
                        Holder{"ReusePortLoopback", AF_INET, "127.0.0.1", -1, true},
                        Holder{"OtherLoopbackIpv4", AF_INET, "127.0.0.2", -1, false, false},
                        Holder{"ReusePortOtherLoopback", AF_INET, "127.0.0.2", -1, true, false}),
        testing::Values(Mode::kLoopback, Mode::kShared)),
    [](const auto& info) {
        return std::get<0>(info.param).name + NameOf(std::get<1>(info.param));
    });

// Sockets on another local address do not take 127.0.0.1's port: neither a listener there nor
// an outgoing connection that happens to use the same local port number.
TEST(LifecycleTest, SocketsOnAnotherAddressAreNotInTheWay) {
    TestSite site;
    JHTTPServer server;
    server.Init(site.root());
    const int port = OnFreePort([&](int candidate) {
        SocketHolder listener(Holder{"OtherLoopback", AF_INET, "127.0.0.2", -1, false}, candidate);
        const bool started = listener.listening() && StartOn(server, candidate);
        server.Stop();
        return started;
    });
    ASSERT_NE(port, 0) << "never started beside a listener on 127.0.0.2";

    std::optional<SocketHolder> target;
    ASSERT_NE(OnFreePort([&](int candidate) {
                  target.emplace(Holder{"Target", AF_INET, "127.0.0.1", -1, false}, candidate);
                  return target->listening();
              }),
              0);
    const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.2", &local.sin_addr);
    ASSERT_EQ(bind(client, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(target->port()));
    inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&remote), sizeof remote), 0);
    EXPECT_TRUE(StartOn(server, port));
    close(client);
}

class SecondServerTest : public testing::TestWithParam<std::tuple<Mode, Mode>> {};

TEST_P(SecondServerTest, CannotTakeThePort) {
    const auto& [first_mode, second_mode] = GetParam();
    TestSite site;
    JHTTPServer first;
    JHTTPServer second;
    first.Init(site.root());
    second.Init(site.root());
    first.SetOption(ServeOption::kLanSharing, first_mode == Mode::kShared);
    const int port = StartOnFreePort(first);
    ASSERT_NE(port, 0);
    EXPECT_FALSE(StartOn(second, port, second_mode));
    EXPECT_FALSE(second.IsRunning());
    EXPECT_TRUE(first.IsRunning());
}

INSTANTIATE_TEST_SUITE_P(Modes, SecondServerTest,
                         testing::Combine(testing::Values(Mode::kLoopback, Mode::kShared),
                                          testing::Values(Mode::kLoopback, Mode::kShared)),
                         [](const auto& info) {
                             return std::string(NameOf(std::get<0>(info.param))) + "Then" +
                                    NameOf(std::get<1>(info.param));
                         });

class RunningServerTest : public ServedSite {};

TEST_F(RunningServerTest, StartWhileRunningIsRefusedAndChangesNothing) {
    EXPECT_FALSE(StartOn(server_, UnusedPort()));
    EXPECT_TRUE(server_.IsRunning());
    EXPECT_EQ(Get(port_, "/").status, 200);
    EXPECT_TRUE(server_.Stop());
    EXPECT_FALSE(server_.IsRunning());
    EXPECT_FALSE(server_.Stop());
}

TEST_F(RunningServerTest, InitTakesEffectAtTheNextStart) {
    TestSite other;
    other.Write("index.html", "other site");
    server_.Init(other.root());
    EXPECT_NE(Get(port_, "/").body.find("home page"), std::string::npos);
    server_.Stop();
    ASSERT_TRUE(server_.Start(*CreateStoreMap("port", port_), true));
    EXPECT_NE(Get(port_, "/").body.find("other site"), std::string::npos);
}

TEST_F(RunningServerTest, RestartsOnTheSamePortRightAway) {
    for (int round = 0; round < 5; ++round) {
        HttpConnection kept(port_);
        ASSERT_TRUE(kept.Send(MakeRequest("GET", "/")));
        ASSERT_TRUE(kept.Read());
        EXPECT_EQ(Get(port_, "/nothing").status, 404);
        ASSERT_TRUE(server_.Stop());
        EXPECT_TRUE(kept.WaitClosed(10s));
        ASSERT_TRUE(StartOn(server_, port_)) << "round " << round;
    }
}

std::size_t CountEntries(const char* folder) {
    std::size_t count = 0;
    if (DIR* dir = opendir(folder)) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
}

// Waits for `count` to come back down to `baseline`, as closing sockets may take a moment.
bool SettlesTo(const std::function<std::size_t()>& count, std::size_t baseline) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (count() > baseline) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

TEST_F(RunningServerTest, RepeatedStartsLeakNoDescriptorsOrThreads) {
    EXPECT_EQ(Get(port_, "/").status, 200);
    server_.Stop();
    const auto descriptors = [] { return CountEntries("/proc/self/fd"); };
    const auto threads = [] { return CountEntries("/proc/self/task"); };
    const std::size_t descriptors_before = descriptors();
    const std::size_t threads_before = threads();
    for (int cycle = 0; cycle < 200; ++cycle) {
        ASSERT_TRUE(StartOn(server_, port_)) << "cycle " << cycle;
        if (cycle % 20 == 0) {
            HttpConnection kept(port_);
            ASSERT_TRUE(kept.Send(MakeRequest("GET", "/")));
            ASSERT_TRUE(kept.Read());
            EXPECT_EQ(Get(port_, "/nothing").status, 404);
        }
        ASSERT_TRUE(server_.Stop());
    }
    EXPECT_TRUE(SettlesTo(descriptors, descriptors_before));
    EXPECT_TRUE(SettlesTo(threads, threads_before));
}

// A client that asked for a 20 MiB file and never reads it.
class StalledDownloadTest : public ServedSite {
  protected:
    void SetUp() override {
        ServedSite::SetUp();
        const int fd = open(site_.PathOf("big.bin").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, 20 << 20), 0);
        close(fd);
        stalled_ = std::make_unique<HttpConnection>(port_);
        ASSERT_TRUE(stalled_->Send(MakeRequest("GET", "/big.bin")));
        ASSERT_TRUE(stalled_->WaitReadable(10s));
    }

    std::unique_ptr<HttpConnection> stalled_;
};

TEST_F(StalledDownloadTest, StopClosesItAtOnce) {
    auto stopping = std::async(std::launch::async, [this] { return server_.Stop(); });
    ASSERT_EQ(stopping.wait_for(10s), std::future_status::ready) << "Stop hangs";
    EXPECT_TRUE(stopping.get());
    EXPECT_FALSE(server_.IsRunning());
    EXPECT_TRUE(stalled_->WaitClosed(10s));
    EXPECT_TRUE(StartOn(server_, port_));
}

TEST_F(StalledDownloadTest, DestroyingTheServerClosesItAtOnce) {
    auto owned = std::make_unique<JHTTPServer>();
    owned->Init(site_.root());
    const int port = StartOnFreePort(*owned);
    ASSERT_NE(port, 0);
    HttpConnection stalled(port);
    ASSERT_TRUE(stalled.Send(MakeRequest("GET", "/big.bin")));
    ASSERT_TRUE(stalled.WaitReadable(10s));
    auto destroying = std::async(std::launch::async, [&owned] { owned.reset(); });
    ASSERT_EQ(destroying.wait_for(10s), std::future_status::ready) << "destruction hangs";
    EXPECT_TRUE(stalled.WaitClosed(10s));
    JHTTPServer again;
    again.Init(site_.root());
    EXPECT_TRUE(StartOn(again, port));
}

}  // namespace
