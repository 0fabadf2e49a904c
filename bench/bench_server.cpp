// Drives the server object the way the launcher does, for scripts/bench.sh.
//
//   bench_server [--live-reload] FOLDER PORT
//       Serves FOLDER on 127.0.0.1:PORT until SIGTERM or SIGINT, then stops; with --live-reload,
//       with the live-reload option on.
//   bench_server --stop-latency FOLDER PORT [CONNECTIONS]
//       Starts, opens CONNECTIONS (200) keep-alive connections that each finish one request and
//       then sit idle, times Stop and checks that every connection was closed by it. Prints
//       "stop_ms=<milliseconds> closed=<closed>/<connections>".
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "server/http_server.h"
#include "server/serve_options.h"
#include "server/store_map.h"

namespace {

constexpr int kIoTimeoutMs = 10'000;

bool start(JHTTPServer& server, const char* folder, int port) {
    server.Init(folder);
    const auto config = CreateStoreMap("port", port);
    if (server.Start(*config, false)) return true;
    fprintf(stderr, "bench_server: cannot listen on 127.0.0.1:%d\n", port);
    return false;
}

int serve(const char* folder, int port, bool live_reload) {
    // Blocked before the server's threads exist, so that only sigwait below takes the signal.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    JHTTPServer server;
    server.SetOption(ServeOption::kLiveReload, live_reload);
    if (!start(server, folder, port)) return 1;
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    server.Stop();
    return 0;
}

bool wait_readable(int fd, int timeout_ms) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, timeout_ms) == 1;
}

int connect_loopback(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads one whole response (headers and a Content-Length body) so the connection is idle after.
bool read_response(int fd) {
    std::string received;
    std::size_t header_end = std::string::npos;
    std::size_t wanted = std::string::npos;
    char buffer[16384];
    while (wanted == std::string::npos || received.size() < wanted) {
        if (!wait_readable(fd, kIoTimeoutMs)) return false;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        received.append(buffer, static_cast<std::size_t>(n));
        if (header_end != std::string::npos) continue;
        header_end = received.find("\r\n\r\n");
        if (header_end == std::string::npos) continue;
        std::string headers = received.substr(0, header_end);
        for (char& c : headers) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        const std::size_t length = headers.find("\r\ncontent-length:");
        if (length == std::string::npos) return false;
        wanted = header_end + 4 + std::strtoul(headers.c_str() + length + 17, nullptr, 10);
    }
    return true;
}

// True when the peer has closed the connection (end of file or reset) within the bound.
bool closed_by_peer(int fd) {
    char byte;
    return wait_readable(fd, kIoTimeoutMs) && read(fd, &byte, 1) <= 0;
}

int stop_latency(const char* folder, int port, int count) {
    JHTTPServer server;
    if (!start(server, folder, port)) return 1;

    constexpr std::string_view request = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    std::vector<int> connections;
    for (int i = 0; i < count; ++i) {
        const int fd = connect_loopback(port);
        if (fd < 0 || write(fd, request.data(), request.size()) != ssize_t(request.size())) {
            fprintf(stderr, "bench_server: connection %d failed\n", i + 1);
            return 1;
        }
        connections.push_back(fd);
    }
    for (const int fd : connections) {
        if (!read_response(fd)) {
            fprintf(stderr, "bench_server: no complete response on a connection\n");
            return 1;
        }
    }

    const auto before = std::chrono::steady_clock::now();
    server.Stop();
    const std::chrono::duration<double, std::milli> took =
        std::chrono::steady_clock::now() - before;

    int closed = 0;
    for (const int fd : connections) {
        closed += closed_by_peer(fd) ? 1 : 0;
        close(fd);
    }
    printf("stop_ms=%.2f closed=%d/%d\n", took.count(), closed, count);
    return closed == count ? 0 : 1;
}

int usage() {
    fprintf(stderr,
            "usage: bench_server [--live-reload] FOLDER PORT\n"
            "       bench_server --stop-latency FOLDER PORT [CONNECTIONS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3) return serve(argv[1], std::atoi(argv[2]), false);
    if (argc == 4 && std::string_view(argv[1]) == "--live-reload") {
        return serve(argv[2], std::atoi(argv[3]), true);
    }
    if ((argc == 4 || argc == 5) && std::string_view(argv[1]) == "--stop-latency") {
        const int count = argc == 5 ? std::atoi(argv[4]) : 200;
        if (count < 1) return usage();
        return stop_latency(argv[2], std::atoi(argv[3]), count);
    }
    return usage();
}
