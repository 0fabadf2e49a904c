// Many clients at once: every one of them gets its whole file, byte for byte.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <latch>
#include <thread>

#include "tests/reliability/raw_http.h"
#include "tests/reliability/test_site.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kClientThreads = 4;
constexpr int kConnectionsPerThread = 250;

// One download driven by a client thread's poll loop.
struct Download {
    Connection connection;
    const GeneratedFile* file = nullptr;
    std::string request;
    std::size_t sent = 0;
    std::string received;
    bool finished = false;
};

// Sends what the socket takes and reads what has arrived; marks the download finished once the
// server closes the connection.
void Advance(Download& download) {
    while (download.sent < download.request.size()) {
        const ssize_t sent = send(download.connection.fd(), download.request.data() + download.sent,
                                  download.request.size() - download.sent, MSG_NOSIGNAL);
        if (sent <= 0) break;
        download.sent += static_cast<std::size_t>(sent);
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = recv(download.connection.fd(), buffer, sizeof buffer, 0);
        if (got > 0) {
            download.received.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got == 0 || (errno != EAGAIN && errno != EINTR)) download.finished = true;
        return;
    }
}

// Drives all `downloads` until each is finished or `deadline` passes.
void DriveAll(std::vector<Download>& downloads, Clock::time_point deadline) {
    std::vector<pollfd> waiting;
    std::vector<Download*> owners;
    while (Clock::now() < deadline) {
        waiting.clear();
        owners.clear();
        for (auto& download : downloads) {
            if (download.finished) continue;
            const bool sending = download.sent < download.request.size();
            waiting.push_back({download.connection.fd(),
                               static_cast<short>(POLLIN | (sending ? POLLOUT : 0)), 0});
            owners.push_back(&download);
        }
        if (waiting.empty()) return;
        if (poll(waiting.data(), waiting.size(), 100) <= 0) continue;
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            if (waiting[i].revents != 0) Advance(*owners[i]);
        }
    }
}

class ManyClientsTest : public ServedSiteTest {
  protected:
    void SetUp() override {
        ServedSiteTest::SetUp();
        // Small pages of assorted sizes beside a few large files, so that short answers and long
        // transfers interleave on the server's workers.
        for (unsigned i = 0; i < 12; ++i) {
            files_.push_back({"page-" + std::to_string(i) + ".html", 100 + i, 97 + i * 1531});
        }
        for (unsigned i = 0; i < 4; ++i) {
            files_.push_back({"图片 " + std::to_string(i) + ".png", 200 + i, 256 * 1024 + i * 17});
        }
        for (const auto& file : files_) Write(file);
        ASSERT_TRUE(StartServer());
    }

    std::vector<GeneratedFile> files_;
};

TEST_F(ManyClientsTest, ThousandConcurrentDownloadsArriveWholeAndExact) {
    const auto deadline = Clock::now() + std::chrono::seconds(40);
    std::vector<std::vector<Download>> downloads(kClientThreads);
    std::latch all_connected(kClientThreads);
    std::vector<std::thread> clients;
    for (int t = 0; t < kClientThreads; ++t) {
        clients.emplace_back([&, t] {
            auto& mine = downloads[t];
            mine.resize(kConnectionsPerThread);
            for (int i = 0; i < kConnectionsPerThread; ++i) {
                const auto& file = files_[(t * kConnectionsPerThread + i) % files_.size()];
                mine[i].connection = Connection(port_);
                mine[i].file = &file;
                mine[i].request = GetRequest(file.name);
            }
            // Every connection is open before any request goes out, so all of them are with the
            // server at the same time.
            all_connected.arrive_and_wait();
            DriveAll(mine, deadline);
        });
    }
    for (auto& client : clients) client.join();

    int failures = 0;
    for (const auto& mine : downloads) {
        for (const auto& download : mine) {
            const GeneratedFile& file = *download.file;
            const auto response = ParseResponse(download.received);
            const bool intact = download.connection.ok() && download.finished && response &&
                                response->status == 200 && ContentLength(*response) == file.size &&
                                response->body.size() == file.size &&
                                MatchesFile(file.seed, 0, response->body);
            if (!intact && ++failures <= 5) {
                ADD_FAILURE() << file.name << ": connected " << download.connection.ok()
                              << ", finished " << download.finished << ", "
                              << download.received.size() << " bytes received";
            }
        }
    }
    EXPECT_EQ(failures, 0) << "downloads that were not whole and exact";
    EXPECT_TRUE(ServesIntact(port_, kLarge));
}

}  // namespace
