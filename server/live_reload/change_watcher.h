#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "server/unique_fd.h"

// Watches a folder and everything beneath it with the kernel's inotify (no polling), folders
// created later included, and reports changes in settled batches: a batch is handed over once no
// change has come for `quiet`, or `longest` after its first change while changes keep coming. An
// editor's save (temporary file and rename, truncate and rewrite, several writes) thus makes one
// batch. Runs its own thread from construction to destruction.
class ChangeWatcher {
  public:
    struct Timing {
        std::chrono::milliseconds quiet{40};
        std::chrono::milliseconds longest{250};
        std::chrono::milliseconds tick{20000};
    };
    // Paths relative to the folder ("css/site.css"); the empty path stands for the folder itself
    // (it went away, or the kernel dropped events).
    using BatchHandler = std::function<void(const std::vector<std::string>& paths)>;
    // Paths never reported; a file renamed from an ignored name is not reported either, so that a
    // write through an ignored temporary file stays silent.
    using IgnoreRule = std::function<bool(const std::string& path)>;

    // `on_batch` and `on_tick` (called every `timing.tick` while watching) run on the watcher's
    // thread.
    ChangeWatcher(std::string root, IgnoreRule ignore, BatchHandler on_batch,
                  std::function<void()> on_tick, Timing timing);
    // Stops the thread at once.
    ~ChangeWatcher();
    ChangeWatcher(const ChangeWatcher&) = delete;
    ChangeWatcher& operator=(const ChangeWatcher&) = delete;

  private:
    void Run();

    const std::string root_;
    const IgnoreRule ignore_;
    const BatchHandler on_batch_;
    const std::function<void()> on_tick_;
    const Timing timing_;
    UniqueFd stop_fd_;  // an eventfd the destructor signals
    std::thread thread_;
};
