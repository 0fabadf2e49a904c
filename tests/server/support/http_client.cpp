#include "tests/server/support/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<HttpResponse> ParseHead(std::string_view head) {
    HttpResponse response;
    const auto first_end = head.find("\r\n");
    const std::string_view status_line = head.substr(0, first_end);
    if (status_line.substr(0, 5) != "HTTP/" || status_line.size() < 12) return std::nullopt;
    response.status = std::atoi(std::string(status_line.substr(9, 3)).c_str());
    std::size_t pos = first_end == std::string_view::npos ? head.size() : first_end + 2;
    while (pos < head.size()) {
        auto end = head.find("\r\n", pos);
        if (end == std::string_view::npos) end = head.size();
        const std::string_view line = head.substr(pos, end - pos);
        const auto colon = line.find(':');
        if (colon != std::string_view::npos) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
            response.headers.emplace_back(std::string(line.substr(0, colon)), std::string(value));
        }
        pos = end + 2;
    }
    return response;
}

}  // namespace

std::optional<std::string> HttpResponse::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (EqualsIgnoringCase(key, name)) return value;
    }
    return std::nullopt;
}

HttpConnection::HttpConnection(int port) : HttpConnection("127.0.0.1", port) {}

HttpConnection::HttpConnection(const std::string& address, int port) {
    sockaddr_storage storage{};
    socklen_t length = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET, address.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof *v4;
    } else if (inet_pton(AF_INET6, address.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof *v6;
    } else {
        return;
    }
    fd_ = socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    if (connect(fd_, reinterpret_cast<sockaddr*>(&storage), length) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

HttpConnection::~HttpConnection() {
    if (fd_ >= 0) close(fd_);
}

bool HttpConnection::Send(std::string_view bytes) {
    while (!bytes.empty() && fd_ >= 0) {
        const ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return fd_ >= 0;
}

bool HttpConnection::Fill(Clock::time_point deadline) {
    if (fd_ < 0 || closed_) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd item{fd_, POLLIN, 0};
    if (poll(&item, 1, static_cast<int>(left.count())) <= 0) return false;
    char chunk[65536];
    const ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
    if (got <= 0) {
        closed_ = true;
        return false;
    }
    buffer_.append(chunk, static_cast<std::size_t>(got));
    return true;
}

std::optional<HttpResponse> HttpConnection::Read(bool head, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    std::size_t head_end;
    while ((head_end = buffer_.find("\r\n\r\n")) == std::string::npos) {
        if (!Fill(deadline)) return std::nullopt;
    }
    auto response = ParseHead(std::string_view(buffer_).substr(0, head_end));
    buffer_.erase(0, head_end + 4);
    if (!response) return std::nullopt;
    const bool no_body =
        head || response->status == 304 || response->status == 204 || response->status / 100 == 1;
    const auto length = response->Header("Content-Length");
    if (no_body) {
        response->complete = true;
    } else if (length) {
        const auto wanted = static_cast<std::size_t>(std::strtoull(length->c_str(), nullptr, 10));
        while (buffer_.size() < wanted && Fill(deadline)) {
        }
        response->complete = buffer_.size() >= wanted;
        const std::size_t take = std::min(wanted, buffer_.size());
        response->body = buffer_.substr(0, take);
        buffer_.erase(0, take);
    } else {
        while (Fill(deadline)) {
        }
        response->complete = closed_;
        response->body = std::move(buffer_);
        buffer_.clear();
    }
    return response;
}

std::string HttpConnection::ReadSome(std::size_t count, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (buffer_.size() < count && Fill(deadline)) {
    }
    std::string taken = buffer_.substr(0, std::min(count, buffer_.size()));
    buffer_.erase(0, taken.size());
    return taken;
}

bool HttpConnection::WaitReadable(std::chrono::milliseconds limit) const {
    pollfd item{fd_, POLLIN, 0};
    return fd_ >= 0 && poll(&item, 1, static_cast<int>(limit.count())) == 1;
}

bool HttpConnection::WaitClosed(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Fill(deadline)) buffer_.clear();
    return closed_;
}

std::string MakeRequest(std::string_view method, std::string_view target,
                        std::string_view extra_headers) {
    std::string request;
    request.append(method).append(" ").append(target).append(" HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    request.append(extra_headers).append("\r\n");
    return request;
}

HttpResponse Exchange(int port, std::string_view request, bool head) {
    HttpConnection connection(port);
    if (!connection.Send(request)) return {};
    return connection.Read(head).value_or(HttpResponse{});
}

HttpResponse Get(int port, std::string_view target, std::string_view extra_headers) {
    return Exchange(port, MakeRequest("GET", target, extra_headers));
}
