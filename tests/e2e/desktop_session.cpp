#include "desktop_session.h"

#include <fcntl.h>
#include <unistd.h>

namespace e2e {

using test_support::output_of;
using test_support::wait_until;

DesktopSession::DesktopSession() {
    // Xvfb picks a free display itself and writes its number to the pipe.
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return;
    fcntl(pipe_ends[0], F_SETFD, FD_CLOEXEC);
    server_.emplace(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(pipe_ends[1]),
                                             "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
    close(pipe_ends[1]);
    std::string number;
    char c = 0;
    while (read(pipe_ends[0], &c, 1) == 1 && c != '\n') number += c;
    close(pipe_ends[0]);
    if (number.empty()) return;
    display_ = ":" + number;

    window_manager_.emplace(std::vector<std::string>{"openbox"},
                            std::vector<std::string>{display_variable()});
    ready_ = wait_until([this] {
        return x_tool("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).find("window id") !=
               std::string::npos;
    });
}

DesktopSession::~DesktopSession() = default;

std::string DesktopSession::x_tool(const std::string& tool,
                                   const std::vector<std::string>& arguments) const {
    std::vector<std::string> argv{tool};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::string output = output_of(argv, {display_variable()});
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

std::string DesktopSession::xdotool(const std::vector<std::string>& arguments) const {
    return x_tool("xdotool", arguments);
}

std::optional<std::string> DesktopSession::find_window(const std::string& title) const {
    std::string found;
    wait_until([&] {
        found = xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"});
        return !found.empty();
    });
    if (found.empty()) return std::nullopt;
    return found.substr(0, found.find('\n'));
}

std::string DesktopSession::window_title(const std::string& window) const {
    return xdotool({"getwindowname", window});
}

void DesktopSession::click(const std::string& window, int x, int y) const {
    xdotool({"mousemove", "--sync", "--window", window, std::to_string(x), std::to_string(y),
             "click", "1"});
}

void DesktopSession::right_click(const std::string& window, int x, int y) const {
    xdotool({"mousemove", "--sync", "--window", window, std::to_string(x), std::to_string(y),
             "click", "3"});
}

void DesktopSession::press_key(const std::string& window, const std::string& key) const {
    xdotool({"windowactivate", "--sync", window, "key", "--clearmodifiers", key});
}

}  // namespace e2e
