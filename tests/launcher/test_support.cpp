#include "test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

namespace test_support {

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int connect_to(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    const sockaddr_in address = loopback(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    const std::string name =
        "网站 启动测试 " + std::to_string(getpid()) + "-" + std::to_string(counter++);
    path_ = std::filesystem::temp_directory_path() / std::u8string(name.begin(), name.end());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::text() const {
    const std::u8string utf8 = path_.u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

int free_port() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

bool port_accepts(int port) {
    const int fd = connect_to(port);
    if (fd < 0) return false;
    close(fd);
    return true;
}

PortHolder::PortHolder(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(port);
    if (bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd_, 8) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

PortHolder::~PortHolder() {
    if (fd_ >= 0) close(fd_);
}

std::string http_get(int port, const std::string& target) {
    const int fd = connect_to(port);
    if (fd < 0) return {};
    const std::string request = "GET " + target +
                                " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                "\r\nConnection: close\r\n\r\n";
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string response;
    char buffer[8192];
    for (ssize_t got; (got = recv(fd, buffer, sizeof buffer, 0)) > 0;) response.append(buffer, got);
    close(fd);
    return response;
}

}  // namespace test_support
