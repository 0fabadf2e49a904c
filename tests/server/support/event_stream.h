#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A live reload page's side of the event stream, for tests: GETs the stream over HTTP/1.1 on
// 127.0.0.1 and reads Server-Sent Events from its chunked body.

struct ServerEvent {
    std::string name;
    std::string data;
    bool operator==(const ServerEvent&) const = default;
};

class EventStream {
  public:
    // Connects and sends the request, with optional extra headers (each ending in "\r\n").
    explicit EventStream(int port, std::string_view extra_headers = "");
    ~EventStream();
    EventStream(const EventStream&) = delete;
    EventStream& operator=(const EventStream&) = delete;

    // True once the answer's head arrived: 200 with Content-Type text/event-stream.
    bool Opened(std::chrono::milliseconds limit = std::chrono::seconds(10));

    // The next event (comments and blocks without data dispatch none), or nothing when none
    // arrives before `limit` or the stream ends.
    std::optional<ServerEvent> Next(std::chrono::milliseconds limit);

    // Every event that arrives before `limit` passes.
    std::vector<ServerEvent> Collect(std::chrono::milliseconds limit);

    // True once the server ends the stream or closes the connection before `limit`.
    bool Ends(std::chrono::milliseconds limit);

  private:
    // Reads more bytes before `deadline`; false on timeout or close.
    bool Fill(std::chrono::steady_clock::time_point deadline);
    // Moves whole chunks from raw_ to body_.
    void Dechunk();

    int fd_ = -1;
    bool closed_ = false;
    bool head_done_ = false;
    bool ok_ = false;
    bool last_chunk_ = false;
    std::string raw_;
    std::string body_;
};
