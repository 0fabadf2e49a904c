#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// This computer's own IP addresses, for the Host check of a server that listens on every address.
// They are read when the server starts and read again when a Host does not match them, as they
// change while the server runs (a laptop joins another Wi-Fi). Used from the server's threads.
class OwnAddresses {
  public:
    OwnAddresses();

    // True when `host` is one of this computer's addresses written as an IP literal, with or
    // without a port.
    bool Admits(std::string_view host);

  private:
    // At most one re-read per this interval, so a stream of foreign Hosts costs little.
    static constexpr std::chrono::milliseconds kRereadInterval{500};

    std::mutex mutex_;
    std::vector<std::string> addresses_;
    std::chrono::steady_clock::time_point read_at_;
};
