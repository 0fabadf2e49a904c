#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// What an end-to-end test needs to act as a person at a desktop: child processes, an X server
// with a window manager, and xdotool.
namespace e2e {

// A child process; killed and reaped on destruction if still running.
class Process {
  public:
    // `environment` entries ("NAME=value") replace or add to this process's environment.
    Process(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
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

// A private X server (Xvfb) with openbox running on it.
class DesktopSession {
  public:
    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    bool ready() const { return ready_; }
    std::string display_variable() const { return "DISPLAY=" + display_; }

    // xdotool with this session's display; answers its output without the final line end.
    std::string xdotool(const std::vector<std::string>& arguments) const;
    std::string x_tool(const std::string& tool, const std::vector<std::string>& arguments) const;

    // The id of a window whose title matches `title` exactly, once one is shown.
    std::optional<std::string> find_window(const std::string& title) const;
    std::string window_title(const std::string& window) const;
    // A left click at a point of the window's client area.
    void click(const std::string& window, int x, int y) const;
    // Makes the window active and presses a key (an X key name such as "Escape").
    void press_key(const std::string& window, const std::string& key) const;

  private:
    std::string display_;
    std::optional<Process> server_;
    std::optional<Process> window_manager_;
    bool ready_ = false;
};

}  // namespace e2e
