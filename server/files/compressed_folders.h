#pragma once

#include <sys/types.h>

#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Remembers which folders of the site hold no compressed copies (names ending in ".br" or ".gz"),
// so that a request for a file there is not slowed by looking for copies beside it: most sites
// have none. A folder is read again whenever its modification time changes, as it does when an
// entry is created, removed or renamed in it; a folder changed within the last two seconds is not
// trusted at all, since file times advance in clock ticks and a copy made in the same tick as a
// reading would otherwise go unseen.
class CompressedFolders {
  public:
    // False only when the folder `folder` (segments beneath the served folder `root_fd`) is known
    // to hold no compressed copy; true when it does, or when that cannot be told.
    bool MayHoldCompressed(int root_fd, const std::vector<std::string>& folder) const;

  private:
    struct Reading {
        timespec modified;
        bool holds_compressed;
    };
    using Identity = std::pair<dev_t, ino_t>;
    static constexpr std::size_t kMaxFolders = 4096;

    mutable std::mutex mutex_;
    mutable std::map<Identity, Reading> readings_;
};
