#include "server/live_reload/change_watcher.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <unordered_map>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kFolderMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE |
                                      IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                      IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;

std::string Join(const std::string& folder, std::string_view name) {
    if (folder.empty()) return std::string(name);
    if (name.empty()) return folder;
    return folder + "/" + std::string(name);
}

bool IsBeneath(const std::string& path, const std::string& folder) {
    if (folder.empty()) return true;
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

// The inotify state of one watcher thread.
class Watches {
  public:
    Watches(int fd, std::string root) : fd_(fd), root_(std::move(root)) {}

    // Watches `relative` and every folder beneath it; a folder already watched gets its new path
    // (after a rename).
    void AddTree(const std::string& relative) {
        const std::string full = Join(root_, relative);
        // The root may be a link to the folder served (as it is served); links below it are not
        // followed.
        const std::uint32_t mask = relative.empty() ? kFolderMask & ~IN_DONT_FOLLOW : kFolderMask;
        const int wd = inotify_add_watch(fd_, full.c_str(), mask);
        if (wd < 0) {
            if (errno == ENOSPC && !warned_) {
                warned_ = true;
                std::fprintf(stderr,
                             "Live reload: the system's limit of inotify watches is reached "
                             "(fs.inotify.max_user_watches); changes in some folders of %s are "
                             "not seen\n",
                             root_.c_str());
            }
            return;
        }
        folders_[wd] = relative;
        DIR* dir = opendir(full.c_str());
        if (!dir) return;
        while (const dirent* entry = readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            bool folder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat info {};
                folder = fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                         S_ISDIR(info.st_mode);
            }
            if (folder) AddTree(Join(relative, name));
        }
        closedir(dir);
    }

    // Stops watching `relative` and everything beneath it (a folder moved away).
    void RemoveTree(const std::string& relative) {
        for (auto it = folders_.begin(); it != folders_.end();) {
            if (IsBeneath(it->second, relative)) {
                inotify_rm_watch(fd_, it->first);
                it = folders_.erase(it);
            } else {
                ++it;
            }
        }
    }

    void Forget(int wd) { folders_.erase(wd); }

    // Watches the folder holding the root for the root's name, so that a root that is deleted and
    // made again, or replaced by a rename (as site generators do), is watched again.
    void WatchParent() {
        std::string root = root_;
        while (root.size() > 1 && root.back() == '/') root.pop_back();
        const auto slash = root.rfind('/');
        if (slash == std::string::npos) return;
        root_name_ = root.substr(slash + 1);
        const std::string parent = slash == 0 ? "/" : root.substr(0, slash);
        parent_wd_ = inotify_add_watch(fd_, parent.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
    }

    // True for an event of the parent's watch that brings a folder of the root's name.
    bool IsNewRoot(const inotify_event& event) const {
        return event.wd == parent_wd_ && (event.mask & IN_ISDIR) && event.len > 0 &&
               root_name_ == event.name;
    }
    bool IsParent(int wd) const { return wd == parent_wd_; }

    const std::string* FolderOf(int wd) const {
        const auto it = folders_.find(wd);
        return it == folders_.end() ? nullptr : &it->second;
    }

  private:
    const int fd_;
    const std::string root_;
    std::unordered_map<int, std::string> folders_;  // watch descriptor -> relative path
    int parent_wd_ = -1;
    std::string root_name_;
    bool warned_ = false;
};

}  // namespace

ChangeWatcher::ChangeWatcher(std::string root, IgnoreRule ignore, BatchHandler on_batch,
                             std::function<void()> on_tick, Timing timing)
    : root_(std::move(root)),
      ignore_(std::move(ignore)),
      on_batch_(std::move(on_batch)),
      on_tick_(std::move(on_tick)),
      timing_(timing),
      stop_fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    thread_ = std::thread([this] { Run(); });
}

ChangeWatcher::~ChangeWatcher() {
    const std::uint64_t one = 1;
    if (write(stop_fd_.get(), &one, sizeof one) < 0) std::perror("live reload: eventfd");
    thread_.join();
}

void ChangeWatcher::Run() {
    const UniqueFd inotify(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!inotify) {
        std::perror("Live reload: inotify_init1");
        return;
    }
    const int fd = inotify.get();
    Watches watches(fd, root_);
    watches.WatchParent();
    watches.AddTree("");

    std::vector<std::string> batch;
    Clock::time_point first{};
    Clock::time_point last{};
    Clock::time_point next_tick = Clock::now() + timing_.tick;
    std::set<std::uint32_t> quiet_cookies;  // renames away from an ignored name
    alignas(inotify_event) char buffer[64 * 1024];

    auto note = [&](std::string path) {
        const auto now = Clock::now();
        if (batch.empty()) first = now;
        last = now;
        batch.push_back(std::move(path));
    };

    for (;;) {
        const auto now = Clock::now();
        Clock::time_point wake = next_tick;
        if (!batch.empty()) wake = std::min({wake, last + timing_.quiet, first + timing_.longest});
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
        pollfd items[2] = {{stop_fd_.get(), POLLIN, 0}, {fd, POLLIN, 0}};
        const int ready = poll(items, 2, static_cast<int>(std::max<long long>(wait, 0)));
        if (ready < 0 && errno != EINTR) break;
        if (items[0].revents != 0) break;
        if (items[1].revents & POLLIN) {
            for (;;) {
                const ssize_t got = read(fd, buffer, sizeof buffer);
                if (got <= 0) break;
                for (ssize_t at = 0; at < got;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                    if (event->mask & IN_Q_OVERFLOW) {
                        // Events were lost, folders made meanwhile among them: walk again.
                        watches.AddTree("");
                        note("");
                        continue;
                    }
                    if (event->mask & IN_IGNORED) {
                        watches.Forget(event->wd);
                        continue;
                    }
                    if (watches.IsParent(event->wd)) {
                        if (watches.IsNewRoot(*event)) {
                            watches.RemoveTree("");
                            watches.AddTree("");
                            note("");
                        }
                        continue;
                    }
                    const std::string* folder = watches.FolderOf(event->wd);
                    if (!folder) continue;
                    const std::string_view name = event->len ? event->name : "";
                    if (name.empty()) {
                        // The folder itself: only the root going away matters; a subfolder's
                        // removal is reported by its parent.
                        if (folder->empty() && (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF))) {
                            // Moved away, the old folder is no longer the site.
                            if (event->mask & IN_MOVE_SELF) watches.RemoveTree("");
                            note("");
                        }
                        continue;
                    }
                    const std::string path = Join(*folder, name);
                    const bool is_folder = event->mask & IN_ISDIR;
                    if (is_folder && (event->mask & IN_MOVED_FROM)) watches.RemoveTree(path);
                    if (is_folder && (event->mask & (IN_CREATE | IN_MOVED_TO))) {
                        watches.AddTree(path);
                    }
                    if (ignore_(path)) {
                        if (event->mask & IN_MOVED_FROM) quiet_cookies.insert(event->cookie);
                        continue;
                    }
                    if ((event->mask & IN_MOVED_TO) && quiet_cookies.erase(event->cookie)) continue;
                    note(path);
                }
            }
        }
        const auto after = Clock::now();
        if (!batch.empty() && (after >= last + timing_.quiet || after >= first + timing_.longest)) {
            on_batch_(batch);
            batch.clear();
            quiet_cookies.clear();
        }
        if (after >= next_tick) {
            on_tick_();
            next_tick = after + timing_.tick;
        }
    }
}
