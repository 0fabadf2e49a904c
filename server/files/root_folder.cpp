#include "server/files/root_folder.h"

#include <fcntl.h>
#include <sys/stat.h>

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
    UniqueFd folder(open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat opened {};
    if (!folder || fstat(folder.get(), &opened) != 0) return nullptr;
    auto fresh = std::make_shared<const Open>(std::move(folder), opened.st_dev, opened.st_ino);
    const std::lock_guard lock(mutex_);
    current_ = fresh;
    return fresh;
}
