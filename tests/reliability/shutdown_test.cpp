// A client that stops reading must not hold up stopping the server, nor keep its port.
#include <chrono>

#include "tests/reliability/raw_http.h"
#include "tests/reliability/test_site.h"

namespace {

enum class Ending { kStop, kDestroy };

class StalledDownloadTest : public ServedSiteTest, public ::testing::WithParamInterface<Ending> {
  protected:
    static inline const GeneratedFile kHuge{"大 下载.bin", 3, 32 << 20};

    void SetUp() override {
        ServedSiteTest::SetUp();
        Write(kHuge);
        ASSERT_TRUE(StartServer());
    }
};

TEST_P(StalledDownloadTest, EndsPromptlyAndFreesThePort) {
    Connection reader(port_, 16 * 1024);
    ASSERT_TRUE(reader.ok());
    ASSERT_TRUE(reader.Send(GetRequest(kHuge.name)));
    ASSERT_TRUE(reader.WaitForData()) << "the download never started";

    FinishesWithin(std::chrono::seconds(20), [&] {
        if (GetParam() == Ending::kStop) {
            EXPECT_TRUE(server_->Stop());
        } else {
            server_.reset();
        }
    });

    // The port is free again at once, while the stalled client has not read a byte.
    JHTTPServer next;
    ASSERT_TRUE(next.Init(root_));
    EXPECT_TRUE(StartOn(next, port_));
    EXPECT_TRUE(ServesIntact(port_, kSmall));

    // The stalled connection was cut: it ends well short of the whole file.
    std::string received;
    const auto outcome = reader.ReceiveUntilClosed(received);
    EXPECT_NE(outcome, Connection::Outcome::kTimedOut);
    const auto response = ParseResponse(received);
    ASSERT_TRUE(response) << received.size() << " bytes received";
    EXPECT_EQ(response->status, 200);
    EXPECT_LT(response->body.size(), kHuge.size);
    EXPECT_TRUE(MatchesFile(kHuge.seed, 0, response->body));
}

INSTANTIATE_TEST_SUITE_P(StopOrDestroy, StalledDownloadTest,
                         ::testing::Values(Ending::kStop, Ending::kDestroy), [](const auto& info) {
                             return info.param == Ending::kStop ? "Stop" : "Destroy";
                         });

}  // namespace
