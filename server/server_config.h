#pragma once

#include <cstddef>

class JMap;

// The server's own configuration; a start map replaces the items it names.
struct ServerConfig {
    int port = 80;
    unsigned threads = 0;  // 0: one worker per processor core
    unsigned idle_timeout_seconds = 30;
    // A longer request target is answered 414; a request line and headers that outgrow the
    // per-connection memory are answered 414 or 431 by the HTTP library.
    std::size_t max_target_bytes = 8 * 1024;
    std::size_t connection_memory_bytes = 32 * 1024;
};

// `base` with the entries of `overrides` named "port", "threads" and "idle_timeout". Thread counts
// outside 1-256 and timeouts outside 1-86400 seconds are ignored; the port is checked by Start.
ServerConfig ApplyOverrides(ServerConfig base, const JMap& overrides);
