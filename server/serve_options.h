#pragma once

#include <array>
#include <atomic>
#include <cstddef>

// Switches the user turns on from the window's options menu; every one is off by default, and
// with all of them off the server behaves as it always has.
enum class ServeOption : std::size_t {
    kLiveReload,            // pages reload when a file of the folder changes
    kCrossOriginIsolation,  // COOP/COEP headers, for pages that need SharedArrayBuffer
    kSinglePageApp,         // missing page-like paths answer the root index.html
    kCors,                  // Access-Control-Allow-Origin: * and preflight answers
    kLanSharing,            // listen on every address of the computer (read at Start)
    kCount
};

// The switches as the server's threads read them: set from the window's thread at any time.
class ServeOptions {
  public:
    void Set(ServeOption option, bool on) {
        flags_[static_cast<std::size_t>(option)].store(on, std::memory_order_relaxed);
    }
    bool On(ServeOption option) const {
        return flags_[static_cast<std::size_t>(option)].load(std::memory_order_relaxed);
    }

  private:
    std::array<std::atomic<bool>, static_cast<std::size_t>(ServeOption::kCount)> flags_{};
};
