#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Child processes for tests that run programs: started with a changed environment, waited for
// with a bound, never left running.
namespace test_support {

// A child process; killed and reaped on destruction if still running.
class Process {
  public:
    // `environment` entries ("NAME=value") replace or add to this process's environment. With a
    // `log` path, the child's standard output and error are added to that file.
    Process(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {},
            const std::string& log = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return pid_ > 0; }
    // The exit status, or nothing if the process has not ended within `limit`.
    std::optional<int> wait_for_exit(std::chrono::milliseconds limit);

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// Runs a command to its end (bounded) and answers its standard output.
std::string output_of(const std::vector<std::string>& argv,
                      const std::vector<std::string>& environment = {});

// Polls `condition` until it holds or `limit` has passed; answers its last value.
bool wait_until(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::seconds(15));

}  // namespace test_support
