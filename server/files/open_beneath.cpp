#include "server/files/open_beneath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

// Non-blocking so that opening a FIFO someone left in the folder cannot stall a worker.
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

std::atomic<bool> openat2_missing{false};

// F_SETFL replaces only the status flags, of which kOpenFlags sets O_NONBLOCK alone, so there is
// nothing to read back first.
UniqueFd MakeBlocking(UniqueFd fd) {
    if (fd && fcntl(fd.get(), F_SETFL, kOpenFlags & ~O_NONBLOCK) != 0) fd.reset();
    return fd;
}

std::string JoinRelative(const std::vector<std::string>& segments) {
    if (segments.empty()) return ".";
    std::string path;
    for (const auto& segment : segments) {
        if (!path.empty()) path += '/';
        path += segment;
    }
    return path;
}

UniqueFd OpenConfined(int root_fd, const std::string& path) {
    open_how how{};
    how.flags = kOpenFlags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const long fd = syscall(SYS_openat2, root_fd, path.c_str(), &how, sizeof how);
        if (fd >= 0 || errno != EAGAIN) return UniqueFd(static_cast<int>(fd));
    }
    return UniqueFd();
}

}  // namespace

UniqueFd OpenWithoutLinks(int root_fd, const std::vector<std::string>& segments) {
    UniqueFd current(openat(root_fd, ".", kOpenFlags | O_DIRECTORY));
    for (std::size_t i = 0; current && i < segments.size(); ++i) {
        const bool last = i + 1 == segments.size();
        current = UniqueFd(openat(current.get(), segments[i].c_str(),
                                  kOpenFlags | O_NOFOLLOW | (last ? 0 : O_DIRECTORY)));
    }
    return MakeBlocking(std::move(current));
}

UniqueFd OpenBeneath(int root_fd, const std::vector<std::string>& segments) {
    if (!openat2_missing.load(std::memory_order_relaxed)) {
        UniqueFd fd = OpenConfined(root_fd, JoinRelative(segments));
        // Kernels before 5.6 lack openat2; some container filters refuse it with EPERM.
        if (fd || (errno != ENOSYS && errno != EPERM)) return MakeBlocking(std::move(fd));
        openat2_missing.store(true, std::memory_order_relaxed);
    }
    return OpenWithoutLinks(root_fd, segments);
}
