#include "tests/server/test_site.h"

#include <arpa/inet.h>
#include <ftw.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

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

int UnusedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

int StartOnFreePort(JHTTPServer& server) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int port = UnusedPort();
        if (port != 0 && server.Start(*CreateStoreMap("port", port), false)) return port;
    }
    return 0;
}
