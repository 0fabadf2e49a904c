// Connections that are opened and then left alone must not keep others from being served.
#include <chrono>
#include <thread>

#include "tests/reliability/raw_http.h"
#include "tests/reliability/test_site.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kIdleConnections = 500;
constexpr int kIdleSeconds = 2;

class IdleConnectionsTest : public ServedSiteTest {
  protected:
    void SetUp() override {
        ServedSiteTest::SetUp();
        ASSERT_TRUE(StartServer({{"idle_timeout", kIdleSeconds}}));
    }
};

// True once the server has closed `connection` (it may answer an unfinished request first).
bool ClosedByServer(Connection& connection, std::chrono::milliseconds limit) {
    std::string ignored;
    for (;;) {
        switch (connection.Receive(ignored, 4096, limit)) {
            case Connection::Outcome::kData:
                continue;
            case Connection::Outcome::kTimedOut:
                return false;
            default:
                return true;
        }
    }
}

TEST_F(IdleConnectionsTest, NewRequestsAreAnsweredBesideHundredsOfSilentConnections) {
    // Half send nothing at all, half stop in the middle of the request line.
    std::vector<Connection> idle;
    for (int i = 0; i < kIdleConnections; ++i) {
        idle.emplace_back(port_);
        ASSERT_TRUE(idle.back().ok()) << "idle connection " << i;
        if (i % 2 == 1) {
            ASSERT_TRUE(idle.back().Send("GET /small.txt HT"));
        }
    }
    EXPECT_TRUE(ServesIntact(port_, kSmall));
    EXPECT_TRUE(ServesIntact(port_, kLarge));

    // Some clients give up, politely or not.
    for (int i = 0; i < 100; ++i) {
        if (i % 2 == 0) {
            idle[i].Close();
        } else {
            idle[i].Reset();
        }
    }
    EXPECT_TRUE(ServesIntact(port_, kSmall));

    // The rest outstay the idle timeout and are closed by the server.
    for (int i = 100; i < kIdleConnections; ++i) {
        EXPECT_TRUE(ClosedByServer(idle[i], kPatience)) << "idle connection " << i << " kept open";
    }
    EXPECT_TRUE(ServesIntact(port_, kSmall));
    EXPECT_TRUE(ServesIntact(port_, kLarge));
}

}  // namespace
