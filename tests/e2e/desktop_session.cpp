#include "desktop_session.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace e2e {

using namespace std::chrono_literals;
using test_support::output_of;
using test_support::wait_until;
using Clock = std::chrono::steady_clock;

namespace {

// Generous: the first start of Xvfb and openbox on a freshly set-up machine is slow.
constexpr auto kBringUpLimit = 60s;

std::chrono::milliseconds time_left(Clock::time_point deadline) {
    return std::max(0ms,
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
}

// Reads one line from `fd` until `deadline`; empty when nothing came.
std::string read_line(int fd, Clock::time_point deadline) {
    std::string line;
    while (Clock::now() < deadline) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(time_left(deadline).count())) <= 0) break;
        char c = 0;
        if (read(fd, &c, 1) != 1 || c == '\n') break;
        line += c;
    }
    return line;
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

DesktopSession::DesktopSession() {
    std::string pattern = (std::filesystem::temp_directory_path() / "desktop-XXXXXX").string();
    if (mkdtemp(pattern.data())) log_folder_ = pattern;
    ready_ = bring_up();
}

DesktopSession::~DesktopSession() {
    window_manager_.reset();
    server_.reset();
    std::error_code ignored;
    if (!log_folder_.empty()) std::filesystem::remove_all(log_folder_, ignored);
}

bool DesktopSession::bring_up() {
    const auto deadline = Clock::now() + kBringUpLimit;
    const std::string server_log = log_folder_ + "/Xvfb.log";
    const std::string manager_log = log_folder_ + "/openbox.log";

    // Xvfb picks a free display itself and writes its number to the pipe.
    stage_ = "starting Xvfb";
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return false;
    fcntl(pipe_ends[0], F_SETFD, FD_CLOEXEC);
    server_.emplace(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(pipe_ends[1]),
                                             "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
                    std::vector<std::string>{}, server_log);
    close(pipe_ends[1]);
    const std::string number = read_line(pipe_ends[0], deadline);
    close(pipe_ends[0]);
    if (!server_->started() || number.empty()) return false;
    display_ = ":" + number;

    stage_ = "waiting for display " + display_ + " to accept connections";
    if (!wait_until([this] { return display_accepts_connections(); }, time_left(deadline)))
        return false;

    stage_ = "waiting for openbox to manage the screen";
    int starts = 0;
    Clock::time_point last_start;
    return wait_until(
        [&] {
            const bool ended = !window_manager_ || window_manager_->wait_for_exit(0ms);
            // An openbox that ends at once is started again, once a second at most.
            if (ended && Clock::now() - last_start >= 1s) {
                if (window_manager_) {
                    std::ofstream(manager_log, std::ios::app) << "[openbox ended; started again]\n";
                }
                window_manager_.emplace(std::vector<std::string>{"openbox"},
                                        std::vector<std::string>{display_variable()}, manager_log);
                last_start = Clock::now();
                stage_ = "waiting for openbox to manage the screen (start " +
                         std::to_string(++starts) + ")";
            }
            return window_manager_runs();
        },
        time_left(deadline));
}

bool DesktopSession::display_accepts_connections() const {
    // A real client connection, not just the socket file being there.
    return output_of({"xdpyinfo"}, {display_variable()}).find("name of display") !=
           std::string::npos;
}

bool DesktopSession::window_manager_runs() const {
    return x_tool("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).find("window id") !=
           std::string::npos;
}

std::string DesktopSession::failure_report() const {
    if (ready_) return {};
    std::string report = "the desktop session did not come up (" +
                         std::to_string(kBringUpLimit.count()) + " s allowed) while " + stage_;
    if (server_ && !server_->started()) report += "\nXvfb could not be started (is it installed?)";
    for (const char* name : {"Xvfb", "openbox"}) {
        std::string said = contents(log_folder_ + "/" + name + ".log");
        if (said.size() > 4000)
            said = "...\n" + said.substr(said.find('\n', said.size() - 4000) + 1);
        report += std::string("\n--- ") + name + " said:\n" + (said.empty() ? "(nothing)\n" : said);
    }
    return report;
}

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
