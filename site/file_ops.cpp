#include "site/file_ops.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "site/utf8_path.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace site {
namespace {

#ifdef _WIN32
int open_new(const fs::path& path) {
    return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}
bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
        const int written = _write(fd, data, chunk);
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}
bool flush_to_disk(int fd) { return _commit(fd) == 0; }
bool close_file(int fd) { return _close(fd) == 0; }
long process_id() { return _getpid(); }
void flush_folder(const fs::path&) {}  // NTFS journals the rename itself
// Renaming over a read-only file fails by itself here.
bool may_overwrite(const fs::path&) { return true; }
#else
int open_new(const fs::path& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}
bool write_all(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}
bool flush_to_disk(int fd) { return ::fsync(fd) == 0; }
bool close_file(int fd) { return ::close(fd) == 0; }
long process_id() { return static_cast<long>(::getpid()); }
// Makes the rename itself survive a power cut; best effort, the data is already safe.
void flush_folder(const fs::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}
// A rename would replace a read-only file regardless of its mode; refuse it as an in-place
// overwrite would be refused.
bool may_overwrite(const fs::path& path) { return ::access(path.c_str(), W_OK) == 0; }
#endif

// A name beside the target that no other writer in this or another process picks at the same
// time; open_new's exclusive create catches the rest.
fs::path temporary_name(const fs::path& target) {
    static std::atomic<unsigned long> counter{0};
    const std::string name = ".write-" + std::to_string(process_id()) + "-" +
                             std::to_string(counter.fetch_add(1)) + ".tmp";
    return target.parent_path() / name;
}

// Creates a fresh temporary file beside `target` holding exactly `bytes`, flushed to disk.
// Answers its path, or an empty path (and no file left behind) on failure.
fs::path write_temporary(const fs::path& target, std::string_view bytes) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path temporary = temporary_name(target);
        const int fd = open_new(temporary);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return {};
        }
        const bool written = write_all(fd, bytes.data(), bytes.size()) && flush_to_disk(fd);
        const bool closed = close_file(fd);
        if (written && closed) return temporary;
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return {};
    }
    return {};
}

}  // namespace

bool create_folder(std::string_view path) {
    if (path.empty()) return false;
    const fs::path folder = to_path(path);
    std::error_code error;
    fs::create_directory(folder, error);
    return fs::is_directory(folder, error);
}

bool exists(std::string_view path) {
    if (path.empty()) return false;
    std::error_code error;
    return fs::exists(fs::symlink_status(to_path(path), error));
}

bool write_whole_file(std::string_view path, std::string_view bytes) {
    if (path.empty()) return false;
    const fs::path target = to_path(path);
    if (!target.has_filename()) return false;  // "dir/" names a folder, never a file

    std::error_code error;
    const fs::file_status current = fs::status(target, error);
    if (fs::is_directory(current)) return false;
    if (fs::is_regular_file(current) && !may_overwrite(target)) return false;

    const fs::path temporary = write_temporary(target, bytes);
    if (temporary.empty()) return false;

    // The replaced file keeps its permissions, as it would when overwritten in place.
    if (fs::is_regular_file(current)) fs::permissions(temporary, current.permissions(), error);

    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    flush_folder(target.parent_path());
    return true;
}

std::optional<std::string> read_whole_file(std::string_view path) {
    if (path.empty()) return std::nullopt;
    const fs::path source = to_path(path);
    std::error_code error;
    if (!fs::is_regular_file(fs::status(source, error))) return std::nullopt;
    std::ifstream stream(source, std::ios::binary);
    if (!stream) return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad()) return std::nullopt;
    return bytes;
}

}  // namespace site
