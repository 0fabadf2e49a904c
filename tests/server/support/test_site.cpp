#include "tests/server/support/test_site.h"

#include <arpa/inet.h>
#include <ftw.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include "server/http_server.h"
#include "server/store_map.h"

namespace {

int RemoveEntry(const char* path, const struct stat*, int, FTW*) { return remove(path); }

void MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        mkdir(path.substr(0, slash).c_str(), 0755);
    }
    mkdir(path.c_str(), 0755);
}

}  // namespace

TestSite::TestSite() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/站点 测试-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    outside_ = pattern;
    root_ = outside_ + "/网站 根目录";
    MakeFolders(root_);
    std::ofstream(outside_ + "/secret.txt") << kSecret;
}

TestSite::~TestSite() { nftw(outside_.c_str(), &RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

void TestSite::Write(std::string_view relative, std::string_view content) const {
    const std::string path = PathOf(relative);
    MakeFolders(path.substr(0, path.rfind('/')));
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!file) throw std::runtime_error("cannot write " + path);
}

void TestSite::MakeFolder(std::string_view relative) const { MakeFolders(PathOf(relative)); }

namespace {

// Ports below this are left to the machine's own services.
constexpr int kLowestTestPort = 10000;

// The kernel's range for the local ports of outgoing connections (its default when unreadable).
std::pair<int, int> EphemeralRange() {
    int low = 32768;
    int high = 60999;
    std::ifstream("/proc/sys/net/ipv4/ip_local_port_range") >> low >> high;
    return {low, high};
}

// The ports tests may use: those above kLowestTestPort on either side of the ephemeral range.
std::vector<std::pair<int, int>> TestPortRanges() {
    const auto [low, high] = EphemeralRange();
    std::vector<std::pair<int, int>> ranges;
    if (low - 1 >= kLowestTestPort) ranges.emplace_back(kLowestTestPort, low - 1);
    if (high + 1 <= 65535) ranges.emplace_back(std::max(high + 1, kLowestTestPort), 65535);
    if (ranges.empty()) ranges.emplace_back(kLowestTestPort, 65535);  // nothing else is left
    return ranges;
}

int RandomTestPort() {
    static std::mutex mutex;
    static const std::vector<std::pair<int, int>> ranges = TestPortRanges();
    static std::mt19937 random(std::random_device{}() ^ static_cast<unsigned>(getpid()));
    int size = 0;
    for (const auto& [first, last] : ranges) size += last - first + 1;
    const std::lock_guard lock(mutex);
    int pick = std::uniform_int_distribution<int>(0, size - 1)(random);
    for (const auto& [first, last] : ranges) {
        if (pick <= last - first) return first + pick;
        pick -= last - first + 1;
    }
    return ranges.front().first;
}

// True when a plain bind (no SO_REUSEADDR) of the wildcard address succeeds: then no listener, no
// connection and no TIME_WAIT leftover holds the port on any address of that family.
bool WildcardBindWorks(int family, int port) {
    const int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno == EAFNOSUPPORT;  // no such family here, so nothing can hold it
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (family == AF_INET) {
        auto* address = reinterpret_cast<sockaddr_in*>(&storage);
        address->sin_family = AF_INET;
        address->sin_port = htons(static_cast<std::uint16_t>(port));
        address->sin_addr.s_addr = htonl(INADDR_ANY);
        length = sizeof *address;
    } else {
        const int on = 1;
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        auto* address = reinterpret_cast<sockaddr_in6*>(&storage);
        address->sin6_family = AF_INET6;
        address->sin6_port = htons(static_cast<std::uint16_t>(port));
        address->sin6_addr = in6addr_any;
        length = sizeof *address;
    }
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&storage), length) == 0;
    const int error = errno;
    close(fd);
    return bound || (family == AF_INET6 && error == EADDRNOTAVAIL);
}

}  // namespace

int UnusedPort() {
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int port = RandomTestPort();
        if (WildcardBindWorks(AF_INET, port) && WildcardBindWorks(AF_INET6, port)) return port;
    }
    return 0;
}

int OnFreePort(const std::function<bool(int port)>& step) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int port = UnusedPort();
        if (port != 0 && step(port)) return port;
    }
    return 0;
}

int StartOnFreePort(JHTTPServer& server) {
    return OnFreePort(
        [&server](int port) { return server.Start(*CreateStoreMap("port", port), false); });
}
