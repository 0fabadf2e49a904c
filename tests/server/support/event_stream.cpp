#include "tests/server/support/event_stream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "tests/server/support/http_client.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

EventStream::EventStream(int port, std::string_view extra_headers) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        closed_ = true;
        return;
    }
    const std::string request =
        MakeRequest("GET", "/.site-launcher/live-reload",
                    std::string("Accept: text/event-stream\r\n") + std::string(extra_headers));
    if (send(fd_, request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size())) {
        closed_ = true;
    }
}

EventStream::~EventStream() {
    if (fd_ >= 0) close(fd_);
}

bool EventStream::Fill(Clock::time_point deadline) {
    if (closed_) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd item{fd_, POLLIN, 0};
    if (poll(&item, 1, static_cast<int>(left)) <= 0) return false;
    char chunk[16384];
    const ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
    if (got <= 0) {
        closed_ = true;
        return false;
    }
    raw_.append(chunk, static_cast<std::size_t>(got));
    return true;
}

bool EventStream::Opened(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!head_done_) {
        const auto end = raw_.find("\r\n\r\n");
        if (end != std::string::npos) {
            const std::string head = Lower(raw_.substr(0, end));
            ok_ = head.rfind("http/1.1 200", 0) == 0 &&
                  head.find("\r\ncontent-type: text/event-stream") != std::string::npos &&
                  head.find("\r\ntransfer-encoding: chunked") != std::string::npos;
            raw_.erase(0, end + 4);
            head_done_ = true;
            break;
        }
        if (!Fill(deadline)) return false;
    }
    return ok_;
}

void EventStream::Dechunk() {
    while (!last_chunk_) {
        const auto line_end = raw_.find("\r\n");
        if (line_end == std::string::npos) return;
        const std::size_t size = std::strtoul(raw_.substr(0, line_end).c_str(), nullptr, 16);
        if (size == 0) {
            last_chunk_ = true;
            return;
        }
        if (raw_.size() < line_end + 2 + size + 2) return;
        body_.append(raw_, line_end + 2, size);
        raw_.erase(0, line_end + 2 + size + 2);
    }
}

std::optional<ServerEvent> EventStream::Next(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    if (!Opened(limit)) return std::nullopt;
    for (;;) {
        Dechunk();
        std::size_t end;
        while ((end = body_.find("\n\n")) != std::string::npos) {
            const std::string block = body_.substr(0, end + 1);
            body_.erase(0, end + 2);
            ServerEvent event{"message", ""};
            bool has_data = false;
            for (std::size_t pos = 0; pos < block.size();) {
                const auto eol = block.find('\n', pos);
                const std::string line = block.substr(pos, eol - pos);
                pos = eol + 1;
                if (line.rfind("event: ", 0) == 0) event.name = line.substr(7);
                if (line.rfind("data: ", 0) == 0) {
                    event.data += line.substr(6);
                    has_data = true;
                }
            }
            if (has_data) return event;
        }
        if (last_chunk_ || !Fill(deadline)) return std::nullopt;
    }
}

std::vector<ServerEvent> EventStream::Collect(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    std::vector<ServerEvent> events;
    while (Clock::now() < deadline) {
        auto event =
            Next(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
        if (!event) break;
        events.push_back(std::move(*event));
    }
    return events;
}

bool EventStream::Ends(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        Dechunk();
        if (last_chunk_ || closed_) return true;
        if (!Fill(deadline)) return last_chunk_ || closed_;
    }
}
