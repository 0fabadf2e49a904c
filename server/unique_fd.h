#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <utility>

// Owns one file descriptor and closes it when it goes, so every early return closes what was
// opened. Moving hands the descriptor on and leaves the source empty (-1). Closing keeps errno,
// so the reason a call failed survives the cleanup after it.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }

    // Gives the descriptor up without closing it.
    int release() noexcept { return std::exchange(fd_, -1); }

    // Closes the descriptor held, if any, and takes `fd` instead.
    void reset(int fd = -1) noexcept {
        const int old = std::exchange(fd_, fd);
        if (old >= 0) {
            const int saved = errno;
            close(old);
            errno = saved;
        }
    }

  private:
    int fd_ = -1;
};

// An open folder being read (fdopendir), closed with its descriptor when it goes.
struct CloseDir {
    void operator()(DIR* dir) const noexcept {
        const int saved = errno;
        closedir(dir);
        errno = saved;
    }
};
using UniqueDir = std::unique_ptr<DIR, CloseDir>;
