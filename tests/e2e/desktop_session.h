#pragma once

#include <optional>
#include <string>
#include <vector>

#include "child_process.h"

// What an end-to-end test needs to act as a person at a desktop: an X server with a window
// manager, and xdotool.
namespace e2e {

// A private X server (Xvfb) with openbox running on it. The bring-up has one deadline for all of
// it: the display must accept connections before openbox starts (on a fresh machine the first
// start can take a while), and an openbox that ends before it manages the screen is started again.
class DesktopSession {
  public:
    DesktopSession();
    ~DesktopSession();
    DesktopSession(const DesktopSession&) = delete;
    DesktopSession& operator=(const DesktopSession&) = delete;

    bool ready() const { return ready_; }
    // What went wrong while coming up, with what Xvfb and openbox printed.
    std::string failure_report() const;
    std::string display_variable() const { return "DISPLAY=" + display_; }

    // xdotool with this session's display; answers its output without the final line end.
    std::string xdotool(const std::vector<std::string>& arguments) const;
    std::string x_tool(const std::string& tool, const std::vector<std::string>& arguments) const;

    // The id of a window whose title matches `title` exactly, once one is shown.
    std::optional<std::string> find_window(const std::string& title) const;
    std::string window_title(const std::string& window) const;
    // A left click at a point of the window's client area.
    void click(const std::string& window, int x, int y) const;
    // A right click there.
    void right_click(const std::string& window, int x, int y) const;
    // Makes the window active and presses a key (an X key name such as "Escape").
    void press_key(const std::string& window, const std::string& key) const;

  private:
    bool bring_up();
    bool display_accepts_connections() const;
    bool window_manager_runs() const;

    std::string log_folder_;
    std::string stage_;  // the step the bring-up reached
    std::string display_;
    std::optional<test_support::Process> server_;
    std::optional<test_support::Process> window_manager_;
    bool ready_ = false;
};

}  // namespace e2e
