#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace test_support {
namespace {

using namespace std::chrono_literals;

// This process's environment with `changes` applied.
std::vector<std::string> merged_environment(const std::vector<std::string>& changes) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const std::string& change : changes)
            replaced = replaced || change.substr(0, change.find('=')) == name;
        if (!replaced) result.push_back(text);
    }
    result.insert(result.end(), changes.begin(), changes.end());
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
            posix_spawn_file_actions_t* actions) {
    std::vector<std::string> arguments = argv;
    std::vector<std::string> variables = merged_environment(environment);
    std::vector<char*> argv_pointers = pointers(arguments);
    std::vector<char*> env_pointers = pointers(variables);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv_pointers[0], actions, nullptr, argv_pointers.data(),
                     env_pointers.data()) != 0)
        return -1;
    return pid;
}

}  // namespace

Process::Process(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                 const std::string& log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!log.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    }
    pid_ = spawn(argv, environment, &actions);
    posix_spawn_file_actions_destroy(&actions);
}

Process::~Process() {
    if (pid_ > 0 && !status_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::optional<int> Process::wait_for_exit(std::chrono::milliseconds limit) {
    if (status_ || pid_ <= 0) return status_;
    wait_until(
        [this] {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
            return status_.has_value();
        },
        limit);
    return status_;
}

std::string output_of(const std::vector<std::string>& argv,
                      const std::vector<std::string>& environment) {
    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Bounded: a tool that hangs is ended after ten seconds.
    std::vector<std::string> bounded{"timeout", "-s", "KILL", "10"};
    bounded.insert(bounded.end(), argv.begin(), argv.end());
    const pid_t pid = spawn(bounded, environment, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    std::string output;
    char buffer[4096];
    for (ssize_t got; (got = read(pipe_ends[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(got));
    close(pipe_ends[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    return output;
}

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return condition();
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

}  // namespace test_support
