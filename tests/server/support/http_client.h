#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A small raw-socket HTTP/1.1 client for tests: sends any bytes, reads responses with deadlines.

struct HttpResponse {
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // The body arrived whole (all of Content-Length, or up to the server's close without one).
    bool complete = false;

    // The first header of that name (any letter case).
    std::optional<std::string> Header(std::string_view name) const;
};

class HttpConnection {
  public:
    // Connects to 127.0.0.1:`port`; IsOpen() tells whether that worked.
    explicit HttpConnection(int port);
    // Connects to `address` (IPv4 or IPv6 text, without brackets) and `port`.
    HttpConnection(const std::string& address, int port);
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    bool Send(std::string_view bytes);

    // Reads one response; `head` when it answers a HEAD request (no body follows). Nothing when
    // no complete status line and headers arrive before the deadline or the connection closes.
    std::optional<HttpResponse> Read(bool head = false,
                                     std::chrono::milliseconds limit = std::chrono::seconds(10));

    // Reads up to `count` body bytes of a response whose head Read has not consumed: for tests
    // that stop reading part way.
    std::string ReadSome(std::size_t count, std::chrono::milliseconds limit);

    // True once data (or the server's close) is waiting, without reading any of it.
    bool WaitReadable(std::chrono::milliseconds limit) const;

    // True once the server closes the connection (any unread data is dropped) before `limit`.
    bool WaitClosed(std::chrono::milliseconds limit);

  private:
    // Appends what arrives before `deadline`; false on timeout or close.
    bool Fill(std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    bool closed_ = false;
    std::string buffer_;
};

// Request bytes: "<method> <target> HTTP/1.1", Host: 127.0.0.1, then `extra_headers` (each ending
// in "\r\n").
std::string MakeRequest(std::string_view method, std::string_view target,
                        std::string_view extra_headers = "");

// Sends `request` on a fresh connection and reads the one response (status 0 if none came).
HttpResponse Exchange(int port, std::string_view request, bool head = false);

// GET `target` with optional extra headers.
HttpResponse Get(int port, std::string_view target, std::string_view extra_headers = "");
