#include "server/root_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

RootFolder::Open::~Open() { close(fd); }

std::shared_ptr<const RootFolder::Open> RootFolder::Get() const {
    struct stat named {};
    if (stat(path_.c_str(), &named) != 0 || !S_ISDIR(named.st_mode)) return nullptr;
    {
        // The folder held open keeps its inode, so no other folder can be given the same one.
        const std::lock_guard lock(mutex_);
        if (current_ && current_->device == named.st_dev && current_->inode == named.st_ino) {
            return current_;
        }
    }
    const int fd = open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat opened {};
    if (fstat(fd, &opened) != 0) {
        close(fd);
        return nullptr;
    }
    auto fresh = std::make_shared<const Open>(fd, opened.st_dev, opened.st_ino);
    const std::lock_guard lock(mutex_);
    current_ = fresh;
    return fresh;
}
