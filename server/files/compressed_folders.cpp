#include "server/files/compressed_folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <optional>
#include <string_view>

#include "server/files/open_beneath.h"
#include "server/unique_fd.h"

namespace {

constexpr std::time_t kSettleSeconds = 2;

bool IsCompressedName(std::string_view name) {
    return name.ends_with(".br") || name.ends_with(".gz");
}

// Whether the folder holds a compressed copy, read from the folder itself; nothing when it cannot
// be read.
std::optional<bool> ReadHoldsCompressed(int root_fd, const std::vector<std::string>& folder) {
    // The served folder is opened afresh: a copy of its descriptor would share the position that
    // other readers of the folder move.
    UniqueFd fd = folder.empty()
                      ? UniqueFd(openat(root_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))
                      : OpenBeneath(root_fd, folder);
    if (!fd) return std::nullopt;
    UniqueDir dir(fdopendir(fd.get()));
    if (!dir) return std::nullopt;
    fd.release();  // now the folder handle's
    while (const dirent* entry = readdir(dir.get())) {
        if (IsCompressedName(entry->d_name)) return true;
    }
    return false;
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

bool CompressedFolders::MayHoldCompressed(int root_fd,
                                          const std::vector<std::string>& folder) const {
    // The folder's identity and time, without opening it: the served folder is open already.
    std::string path;
    for (const auto& segment : folder) path += (path.empty() ? "" : "/") + segment;
    struct stat info {};
    const int found = folder.empty() ? fstat(root_fd, &info)
                                     : fstatat(root_fd, path.c_str(), &info, AT_SYMLINK_NOFOLLOW);
    if (found != 0 || !S_ISDIR(info.st_mode)) return true;

    const Identity identity{info.st_dev, info.st_ino};
    {
        std::lock_guard lock(mutex_);
        const auto known = readings_.find(identity);
        if (known != readings_.end() && SameTime(known->second.modified, info.st_mtim)) {
            return known->second.holds_compressed;
        }
    }
    const std::optional<bool> holds = ReadHoldsCompressed(root_fd, folder);
    if (!holds) return true;
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    if (info.st_mtim.tv_sec + kSettleSeconds > now) return *holds;  // still changing, maybe
    std::lock_guard lock(mutex_);
    if (readings_.size() >= kMaxFolders) readings_.clear();
    readings_[identity] = {info.st_mtim, *holds};
    return *holds;
}
