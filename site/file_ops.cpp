#include "site/file_ops.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "site/utf8_path.h"

namespace fs = std::filesystem;

namespace site {
namespace {

std::error_code last_error() { return {errno != 0 ? errno : EIO, std::generic_category()}; }

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

// The file a chain of symbolic links leads to (the path itself when it is no link), so that a
// write replaces that file and leaves the links in place; the file need not exist yet.
fs::path through_links(fs::path path, std::error_code& error) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ignored;
        if (!fs::is_symlink(fs::symlink_status(path, ignored))) return path;
        const fs::path next = fs::read_symlink(path, error);
        if (error) return {};
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return {};
}

// A name beside the target that no other writer in this or another process picks at the same
// time; open_new's exclusive create catches the rest.
fs::path temporary_name(const fs::path& target) {
    static std::atomic<unsigned long> counter{0};
    const std::string name = ".write-" + std::to_string(process_id()) + "-" +
                             std::to_string(counter.fetch_add(1)) + ".tmp";
    return target.parent_path() / name;
}

// Creates a fresh temporary file beside `target` holding exactly `bytes`, flushed to disk.
// Answers its path, or an empty path (no file left behind, `error` set) on failure.
fs::path write_temporary(const fs::path& target, std::string_view bytes, std::error_code& error) {
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path temporary = temporary_name(target);
        const int fd = open_new(temporary);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error = last_error();
            return {};
        }
        errno = 0;
        const bool written = write_all(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
        if (!written) error = last_error();
        const bool closed = ::close(fd) == 0;
        if (written && !closed) error = last_error();
        if (written && closed) return temporary;
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return {};
    }
    error = std::make_error_code(std::errc::file_exists);
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
    std::error_code ignored;
    return write_whole_file(path, bytes, ignored);
}

bool write_whole_file(std::string_view path, std::string_view bytes, std::error_code& error) {
    error.clear();
    if (path.empty()) {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
        return false;
    }
    const fs::path target = through_links(to_path(path), error);
    if (error) return false;
    // "dir/" names a folder, never a file
    if (!target.has_filename()) error = std::make_error_code(std::errc::is_a_directory);

    std::error_code ignored;
    const fs::file_status current = fs::status(target, ignored);
    if (fs::is_directory(current)) error = std::make_error_code(std::errc::is_a_directory);
    if (fs::is_regular_file(current) && !may_overwrite(target)) {
        error = std::make_error_code(std::errc::permission_denied);
    }
    if (error) return false;

    const fs::path temporary = write_temporary(target, bytes, error);
    if (temporary.empty()) return false;

    // The replaced file keeps its permissions, as it would when overwritten in place.
    if (fs::is_regular_file(current)) fs::permissions(temporary, current.permissions(), ignored);

    fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary, ignored);
        return false;
    }
    flush_folder(target.parent_path());
    return true;
}

std::optional<std::string> read_whole_file(std::string_view path) {
    std::error_code ignored;
    return read_whole_file(path, ignored);
}

std::optional<std::string> read_whole_file(std::string_view path, std::error_code& error) {
    error.clear();
    if (path.empty()) {
        error = std::make_error_code(std::errc::no_such_file_or_directory);
        return std::nullopt;
    }
    const fs::path source = to_path(path);
    const fs::file_status status = fs::status(source, error);
    if (error) return std::nullopt;
    if (!fs::is_regular_file(status)) {
        error = std::make_error_code(fs::is_directory(status) ? std::errc::is_a_directory
                                                              : std::errc::invalid_argument);
        return std::nullopt;
    }
    errno = 0;
    std::ifstream stream(source, std::ios::binary);
    if (!stream) {
        error = last_error();
        return std::nullopt;
    }
    std::string bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad()) {
        error = last_error();
        return std::nullopt;
    }
    return bytes;
}

}  // namespace site
