#include "tests/server/support/headless_chromium.h"

#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <utility>

namespace {

using namespace std::chrono_literals;

constexpr auto kBrowserLimit = 60s;

int RemoveEntry(const char* path, const struct stat*, int, FTW*) { return remove(path); }

}  // namespace

std::vector<std::string> HeadlessChromium(const std::string& profile) {
    return {kChromium,
            "--headless",
            "--no-sandbox",
            "--disable-gpu",
            "--no-first-run",
            "--disable-background-networking",
            "--disable-component-update",
            "--disable-sync",
            "--user-data-dir=" + profile};
}

int StartChromium(std::vector<std::string> args, int stdout_fd) {
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        const int null = open("/dev/null", O_WRONLY);
        dup2(stdout_fd >= 0 ? stdout_fd : null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(kChromium, argv.data());
        _exit(127);
    }
    if (child > 0) setpgid(child, child);
    return child;
}

std::optional<std::string> DumpDom(const std::string& url,
                                   const std::vector<std::string>& extra_args) {
    char profile[] = "/tmp/browser-profile-XXXXXX";
    if (!mkdtemp(profile)) return std::nullopt;
    std::vector<std::string> args = HeadlessChromium(profile);
    args.push_back("--dump-dom");
    args.insert(args.end(), extra_args.begin(), extra_args.end());
    args.push_back(url);
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
    const pid_t child = StartChromium(std::move(args), out[1]);
    close(out[1]);
    std::string dom;
    bool exited = false;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + kBrowserLimit;
    while (child > 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd item{out[0], POLLIN, 0};
        if (poll(&item, 1, 100) == 1) {
            char chunk[65536];
            const ssize_t got = read(out[0], chunk, sizeof chunk);
            if (got > 0) {
                dom.append(chunk, static_cast<std::size_t>(got));
                continue;
            }
        }
        if (waitpid(child, &status, WNOHANG) == child) {
            exited = true;
            break;
        }
    }
    if (child > 0) {
        kill(-child, SIGKILL);
        if (!exited) waitpid(child, &status, 0);
    }
    close(out[0]);
    nftw(profile, &RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    if (!exited || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return dom;
}
