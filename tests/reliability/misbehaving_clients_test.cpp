// Clients that break off or send nonsense: each gets a clear end, and everyone else is served.
#include <chrono>
#include <functional>
#include <random>

#include "tests/reliability/raw_http.h"
#include "tests/reliability/test_site.h"

namespace {

constexpr std::size_t kFewKiB = 8 * 1024;

struct Misbehaviour {
    const char* name;
    // What the client sends before it stops (it never sends anything after).
    std::function<std::string()> sends;
    // How the client leaves: after reading a few KiB of the answer (and closing or resetting), or
    // by waiting for the server's verdict. `answer` is the status the server gives, if it gives
    // one.
    enum class Leaves { kAfterFewKiB, kResetAfterFewKiB, kAtOnce, kAfterVerdict } leaves;
    int answer = 0;
};

std::string RandomBinary() {
    std::mt19937 random(20240601);
    std::string bytes(4096, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes + "\r\n\r\n";
}

std::string HugeHeaderLine() {
    return "GET /small.txt HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Filler: " +
           std::string(256 * 1024, 'a') + "\r\n\r\n";
}

class MisbehavingClientTest : public ServedSiteTest,
                              public ::testing::WithParamInterface<Misbehaviour> {
  protected:
    static inline const GeneratedFile kBig{"big file.bin", 4, 8 << 20};

    void SetUp() override {
        ServedSiteTest::SetUp();
        Write(kBig);
        ASSERT_TRUE(StartServer());
    }
};

TEST_P(MisbehavingClientTest, ServerCarriesOnServingOthers) {
    const Misbehaviour& client = GetParam();
    for (int round = 0; round < 3; ++round) {
        Connection connection(port_);
        ASSERT_TRUE(connection.ok());
        // The server may refuse a huge request before it has all of it; that is its right.
        const bool sent_all = connection.Send(client.sends());
        std::string received;
        switch (client.leaves) {
            case Misbehaviour::Leaves::kAfterFewKiB:
            case Misbehaviour::Leaves::kResetAfterFewKiB:
                ASSERT_TRUE(sent_all);
                EXPECT_EQ(connection.ReceiveUpTo(received, kFewKiB), Connection::Outcome::kData);
                if (client.leaves == Misbehaviour::Leaves::kAfterFewKiB) {
                    connection.Close();
                } else {
                    connection.Reset();
                }
                break;
            case Misbehaviour::Leaves::kAtOnce:
                connection.Close();
                break;
            case Misbehaviour::Leaves::kAfterVerdict: {
                const auto outcome = connection.ReceiveUntilClosed(received);
                ASSERT_NE(outcome, Connection::Outcome::kTimedOut) << "the server kept waiting";
                const auto response = ParseResponse(received);
                ASSERT_TRUE(response) << "no answer but " << received.size() << " bytes";
                EXPECT_EQ(response->status, client.answer);
                break;
            }
        }
        EXPECT_TRUE(ServesIntact(port_, kSmall)) << "after round " << round;
        EXPECT_TRUE(ServesIntact(port_, kBig)) << "after round " << round;
    }
}

void PrintTo(const Misbehaviour& client, std::ostream* out) { *out << client.name; }

INSTANTIATE_TEST_SUITE_P(
    Clients, MisbehavingClientTest,
    ::testing::Values(
        Misbehaviour{"ClosesAfterFewKiB", [] { return GetRequest("big file.bin"); },
                     Misbehaviour::Leaves::kAfterFewKiB},
        Misbehaviour{"ResetsAfterFewKiB", [] { return GetRequest("big file.bin"); },
                     Misbehaviour::Leaves::kResetAfterFewKiB},
        Misbehaviour{"ClosesInsideRequestLine", [] { return std::string("GET /small.t"); },
                     Misbehaviour::Leaves::kAtOnce},
        Misbehaviour{"ClosesInsideHeaders",
                     [] { return std::string("GET /small.txt HTTP/1.1\r\nHost: 127.0"); },
                     Misbehaviour::Leaves::kAtOnce},
        Misbehaviour{"SendsRandomBinary", RandomBinary, Misbehaviour::Leaves::kAfterVerdict, 400},
        Misbehaviour{"SendsRequestLineWithoutVersion",
                     [] { return std::string("GET /small.txt\r\n\r\n"); },
                     Misbehaviour::Leaves::kAfterVerdict, 400},
        Misbehaviour{"SendsHugeHeaderLine", HugeHeaderLine, Misbehaviour::Leaves::kAfterVerdict,
                     431}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
