#pragma once

#include <sys/types.h>

#include <memory>
#include <mutex>
#include <string>

#include "server/unique_fd.h"

// The served folder, kept open between requests instead of being opened for each one. Every use
// checks that the path still names the folder held open, so a folder that is deleted or replaced
// while the server runs (as site generators do when they rebuild) is followed, never served stale.
class RootFolder {
  public:
    struct Open {
        Open(UniqueFd folder, dev_t device, ino_t inode)
            : folder(std::move(folder)), device(device), inode(inode) {}
        int fd() const { return folder.get(); }
        const UniqueFd folder;
        const dev_t device;
        const ino_t inode;
    };

    explicit RootFolder(std::string path) : path_(std::move(path)) {}

    // The folder the path names now, opened; nothing when it names no folder. Safe to call from
    // several threads; the descriptor stays open while the caller holds the result.
    std::shared_ptr<const Open> Get() const;

    const std::string& path() const { return path_; }

  private:
    std::string path_;
    mutable std::mutex mutex_;
    mutable std::shared_ptr<const Open> current_;
};
