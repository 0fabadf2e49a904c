#include "tests/server/support/captured_stderr.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

CapturedStderr::CapturedStderr() {
    std::fflush(stderr);
    std::string name = (std::filesystem::temp_directory_path() / "stderr-XXXXXX").string();
    file_ = mkstemp(name.data());
    if (file_ < 0) return;
    unlink(name.c_str());
    saved_ = dup(STDERR_FILENO);
    dup2(file_, STDERR_FILENO);
}

CapturedStderr::~CapturedStderr() {
    std::fflush(stderr);
    if (saved_ >= 0) {
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    if (file_ >= 0) close(file_);
}

std::string CapturedStderr::text() const {
    std::fflush(stderr);
    std::string text;
    char buffer[4096];
    for (off_t offset = 0;;) {
        const ssize_t got = pread(file_, buffer, sizeof buffer, offset);
        if (got <= 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        offset += got;
    }
    return text;
}
