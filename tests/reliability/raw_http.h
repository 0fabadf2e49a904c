#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

// How long any single wait on the server may take before a test gives up on it. Generous, so a
// loaded machine never trips it; a server that is merely slow still passes.
inline constexpr std::chrono::milliseconds kPatience{20000};

// A TCP connection to 127.0.0.1 on which every wait has a deadline: a stuck server fails a test
// instead of hanging it.
class Connection {
  public:
    enum class Outcome { kData, kClosed, kReset, kTimedOut };

    Connection() = default;
    // Connects to 127.0.0.1:`port`. A `receive_buffer` above 0 shrinks SO_RCVBUF first, which makes
    // the connection a slow reader. Check ok() for the result.
    explicit Connection(int port, int receive_buffer = 0);
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Sends every byte; false when the peer is gone or `limit` passes first.
    bool Send(std::string_view bytes, std::chrono::milliseconds limit = kPatience);
    // Appends at most `max` bytes of what arrives next.
    Outcome Receive(std::string& into, std::size_t max,
                    std::chrono::milliseconds limit = kPatience);
    // Appends until `into` holds `size` bytes, the peer closes or resets, or `limit` passes.
    Outcome ReceiveUpTo(std::string& into, std::size_t size,
                        std::chrono::milliseconds limit = kPatience);
    // Appends everything until the peer closes or resets (kTimedOut when it does neither).
    Outcome ReceiveUntilClosed(std::string& into, std::chrono::milliseconds limit = kPatience);
    // True once bytes are waiting to be read, without taking them.
    bool WaitForData(std::chrono::milliseconds limit = kPatience);

    // An orderly close (FIN).
    void Close();
    // An abortive close: SO_LINGER with a zero timeout makes the kernel send RST.
    void Reset();

  private:
    int fd_ = -1;
};

std::ostream& operator<<(std::ostream& out, Connection::Outcome outcome);

struct Response {
    int status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
};

// Splits a response read up to the closing of its connection. Nothing when the status line or the
// header block is incomplete or malformed; the body is everything after the header block.
std::optional<Response> ParseResponse(std::string_view raw);

// The body length announced by Content-Length, if any.
std::optional<std::size_t> ContentLength(const Response& response);

// Percent-encodes every byte of a file name outside the unreserved set.
std::string EncodeName(std::string_view name);

// "GET /<name> HTTP/1.1" asking the server to close the connection after the answer.
std::string GetRequest(std::string_view name);

// One whole GET on a fresh connection; nothing when the connection fails, breaks or stalls.
std::optional<Response> Fetch(int port, std::string_view name);
