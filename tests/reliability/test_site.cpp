#include "tests/reliability/test_site.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <thread>

#include "server/store_map.h"
#include "tests/reliability/raw_http.h"
#include "tests/server/support/test_site.h"

namespace {

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

char PatternByte(unsigned seed, std::uint64_t offset) {
    const std::uint64_t word = Mix((std::uint64_t{seed} << 44) ^ (offset / 8));
    return static_cast<char>(word >> (8 * (offset % 8)));
}

}  // namespace

const GeneratedFile ServedSiteTest::kSmall{"small.txt", 1, 3000};
const GeneratedFile ServedSiteTest::kLarge{"大 文件.bin", 2, 256 * 1024};

bool MatchesFile(unsigned seed, std::uint64_t offset, std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != PatternByte(seed, offset + i)) return false;
    }
    return true;
}

void RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

void FinishesWithin(std::chrono::seconds limit, const std::function<void()>& work) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([&work, done] {
        work();
        done->set_value();
    }).detach();
    if (finished.wait_for(limit) != std::future_status::ready) {
        std::fprintf(stderr, "a call did not return within %lld s; giving up\n",
                     static_cast<long long>(limit.count()));
        std::abort();
    }
}

void ServedSiteTest::SetUp() {
    RaiseDescriptorLimit();
    const std::string pattern =
        (std::filesystem::temp_directory_path() / "可靠性 测试-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    ASSERT_NE(mkdtemp(name.data()), nullptr) << std::strerror(errno);
    root_ = name.data();
    Write(kSmall);
    Write(kLarge);
    server_ = std::make_unique<JHTTPServer>();
    ASSERT_TRUE(server_->Init(root_));
}

void ServedSiteTest::TearDown() {
    server_.reset();
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
}

std::string ServedSiteTest::at(std::string_view name) const {
    return root_ + "/" + std::string(name);
}

void ServedSiteTest::Write(const GeneratedFile& file) const { WriteGenerated(at(file.name), file); }

void WriteGenerated(const std::string& path, const GeneratedFile& file) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path << ": " << std::strerror(errno);
    std::string chunk;
    for (std::size_t offset = 0; offset < file.size; offset += chunk.size()) {
        chunk.resize(std::min<std::size_t>(1 << 20, file.size - offset));
        for (std::size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = PatternByte(file.seed, offset + i);
        ASSERT_EQ(write(fd, chunk.data(), chunk.size()), static_cast<ssize_t>(chunk.size()));
    }
    close(fd);
}

bool ServedSiteTest::StartServer(const std::vector<std::pair<std::string, int>>& settings) {
    port_ = OnFreePort([&](int port) { return StartOn(*server_, port, settings); });
    return port_ != 0;
}

bool ServedSiteTest::StartOn(JHTTPServer& server, int port,
                             const std::vector<std::pair<std::string, int>>& settings) {
    const auto config = CreateStoreMap("port", port);
    for (const auto& [key, value] : settings) config->SetInt(key, value);
    return server.Start(*config, false);
}

::testing::AssertionResult ServesIntact(int port, const GeneratedFile& file) {
    const std::optional<Response> response = Fetch(port, file.name);
    if (!response) return ::testing::AssertionFailure() << "no whole response for " << file.name;
    if (response->status != 200) {
        return ::testing::AssertionFailure() << file.name << " answered " << response->status;
    }
    if (ContentLength(*response) != file.size || response->body.size() != file.size ||
        !MatchesFile(file.seed, 0, response->body)) {
        return ::testing::AssertionFailure() << file.name << ": " << response->body.size()
                                             << " body bytes, not its " << file.size << " bytes";
    }
    return ::testing::AssertionSuccess();
}
