#include "tests/reliability/raw_http.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>

namespace {

using Clock = std::chrono::steady_clock;

// Waits for `events` on `fd` until `deadline`; the revents, or 0 when time ran out.
short WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return 0;
        pollfd entry{fd, events, 0};
        const int ready = poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0) return entry.revents;
        if (ready < 0 && errno != EINTR) return POLLERR;
    }
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

Connection::Connection(int port, int receive_buffer) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    if (receive_buffer > 0) {
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        int error = errno;
        if (error == EINPROGRESS && (WaitFor(fd, POLLOUT, Clock::now() + kPatience) & POLLOUT)) {
            socklen_t length = sizeof error;
            getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        }
        if (error != 0) {
            close(fd);
            return;
        }
    }
    fd_ = fd;
}

Connection::Connection(Connection&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

Connection::~Connection() { Close(); }

bool Connection::Send(std::string_view bytes, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (fd_ >= 0 && !bytes.empty()) {
        const ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else if (!(WaitFor(fd_, POLLOUT, deadline) & POLLOUT)) {
            return false;
        }
    }
    return fd_ >= 0;
}

Connection::Outcome Connection::Receive(std::string& into, std::size_t max,
                                        std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    char buffer[65536];
    while (fd_ >= 0) {
        const ssize_t got = recv(fd_, buffer, std::min(max, sizeof buffer), 0);
        if (got > 0) {
            into.append(buffer, static_cast<std::size_t>(got));
            return Outcome::kData;
        }
        if (got == 0) return Outcome::kClosed;
        if (errno == ECONNRESET) return Outcome::kReset;
        if (errno != EAGAIN && errno != EINTR) return Outcome::kReset;
        if (WaitFor(fd_, POLLIN, deadline) == 0) return Outcome::kTimedOut;
    }
    return Outcome::kClosed;
}

Connection::Outcome Connection::ReceiveUpTo(std::string& into, std::size_t size,
                                            std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (into.size() < size) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const Outcome outcome = Receive(into, size - into.size(), left);
        if (outcome != Outcome::kData) return outcome;
    }
    return Outcome::kData;
}

Connection::Outcome Connection::ReceiveUntilClosed(std::string& into,
                                                   std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const Outcome outcome = Receive(into, SIZE_MAX, left);
        if (outcome != Outcome::kData) return outcome;
    }
}

bool Connection::WaitForData(std::chrono::milliseconds limit) {
    return fd_ >= 0 && (WaitFor(fd_, POLLIN, Clock::now() + limit) & POLLIN);
}

void Connection::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

void Connection::Reset() {
    if (fd_ < 0) return;
    const linger abort_at_once{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort_at_once, sizeof abort_at_once);
    Close();
}

std::ostream& operator<<(std::ostream& out, Connection::Outcome outcome) {
    static constexpr const char* kNames[] = {"data", "closed", "reset", "timed out"};
    return out << kNames[static_cast<int>(outcome)];
}

std::optional<Response> ParseResponse(std::string_view raw) {
    const std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view head = raw.substr(0, end + 2);
    const std::size_t first = head.find("\r\n");
    const std::string_view status_line = head.substr(0, first);
    if (status_line.size() < 12 || !status_line.starts_with("HTTP/1.") || status_line[8] != ' ') {
        return std::nullopt;
    }
    Response response;
    const auto digits = status_line.substr(9, 3);
    if (std::from_chars(digits.data(), digits.data() + 3, response.status).ec != std::errc()) {
        return std::nullopt;
    }
    head.remove_prefix(first + 2);
    while (!head.empty()) {
        const std::size_t line_end = head.find("\r\n");
        const std::string_view line = head.substr(0, line_end);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        response.headers[Lower(line.substr(0, colon))] = std::string(Trim(line.substr(colon + 1)));
        head.remove_prefix(line_end + 2);
    }
    response.body = std::string(raw.substr(end + 4));
    return response;
}

std::optional<std::size_t> ContentLength(const Response& response) {
    const auto found = response.headers.find("content-length");
    if (found == response.headers.end()) return std::nullopt;
    std::size_t length = 0;
    const std::string& text = found->second;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return length;
}

std::string EncodeName(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 15];
        }
    }
    return encoded;
}

std::string GetRequest(std::string_view name) {
    return "GET /" + EncodeName(name) + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
}

std::optional<Response> Fetch(int port, std::string_view name) {
    Connection connection(port);
    std::string raw;
    if (!connection.ok() || !connection.Send(GetRequest(name)) ||
        connection.ReceiveUntilClosed(raw) != Connection::Outcome::kClosed) {
        return std::nullopt;
    }
    return ParseResponse(raw);
}
