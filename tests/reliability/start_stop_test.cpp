// Starting and stopping the server over and over must not leak descriptors, threads or memory.
#include <dirent.h>

#include <fstream>
#include <sstream>

#include "tests/reliability/raw_http.h"
#include "tests/reliability/test_site.h"

namespace {

constexpr int kWarmUpCycles = 50;
constexpr int kCycles = 1000;
constexpr long kRssGrowthBoundKiB = 8 * 1024;

// Entries of a /proc folder, without "." and "..".
int EntriesOf(const char* folder) {
    DIR* dir = opendir(folder);
    if (!dir) return -1;
    int entries = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++entries;
    }
    closedir(dir);
    return entries;
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) {
            long kib = 0;
            std::istringstream(line.substr(6)) >> kib;
            return kib;
        }
    }
    return -1;
}

struct Usage {
    int descriptors = EntriesOf("/proc/self/fd");
    int threads = EntriesOf("/proc/self/task");
    long resident_kib = ResidentKiB();
};

class StartStopTest : public ServedSiteTest {
  protected:
    // One cycle on the port of the first start; a port taken in between by someone else moves us
    // to another one. Every 20th cycle also serves a request.
    void Cycle(int number) {
        if (!StartOn(*server_, port_)) {
            ASSERT_TRUE(StartServer()) << "cycle " << number;
        }
        if (number % 20 == 0) {
            EXPECT_TRUE(ServesIntact(port_, kSmall)) << "cycle " << number;
        }
        ASSERT_TRUE(server_->Stop()) << "cycle " << number;
    }
};

TEST_F(StartStopTest, ThousandCyclesLeakNothing) {
    ASSERT_TRUE(StartServer());
    ASSERT_TRUE(server_->Stop());
    for (int i = 0; i < kWarmUpCycles; ++i) ASSERT_NO_FATAL_FAILURE(Cycle(i));
    const Usage before;
    for (int i = 0; i < kCycles; ++i) ASSERT_NO_FATAL_FAILURE(Cycle(i));
    const Usage after;
    EXPECT_EQ(after.descriptors, before.descriptors) << "open descriptors";
    EXPECT_EQ(after.threads, before.threads) << "threads";
#ifndef __SANITIZE_ADDRESS__  // AddressSanitizer holds freed memory back; it checks leaks itself
    EXPECT_LT(after.resident_kib - before.resident_kib, kRssGrowthBoundKiB)
        << "resident memory grew from " << before.resident_kib << " KiB to " << after.resident_kib
        << " KiB";
#endif
}

}  // namespace
