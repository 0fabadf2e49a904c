// The road of a first run, walked through the built program as a person would: under Xvfb with
// openbox, driven by xdotool at the controls' places, with a stand-in for xdg-open first on PATH
// that writes down what it was handed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "desktop_session.h"
#include "site/settings.h"
#include "test_support.h"
#include "tests/server/support/http_client.h"
#include "tests/server/support/test_site.h"

namespace {

using namespace std::chrono_literals;
using namespace test_support;
namespace fs = std::filesystem;

// Centres of the controls in the window's client area.
constexpr int kStartButton[] = {48, 92};
constexpr int kOpenSiteButton[] = {176, 92};
constexpr int kOpenFolderButton[] = {176, 59};
constexpr int kEmptyArea[] = {130, 59};

class FirstRunRoad : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(desktop.ready()) << desktop.failure_report();
        fs::copy_file(SITE_LAUNCHER_PROGRAM, program());
        fs::create_directory(folder.path() / "bin");
        const fs::path stand_in = folder.path() / "bin" / "xdg-open";
        std::ofstream(stand_in) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << opened_log().string()
                                << "'\n";
        fs::permissions(stand_in, fs::perms::owner_all);
    }

    fs::path program() const { return folder.path() / "site-launcher"; }
    fs::path opened_log() const { return folder.path() / "opened.txt"; }
    fs::path config() const { return folder.web() / "Config.web"; }
    std::string remembered_port() const {
        return site::read_setting(config().string(), "Config", "Port", "");
    }
    std::vector<std::string> opened() const {
        std::vector<std::string> lines;
        std::ifstream in(opened_log());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // Starts the program and answers its window, once shown.
    std::string launch() {
        const char* path = std::getenv("PATH");
        running.emplace(std::vector<std::string>{program().string()},
                        std::vector<std::string>{desktop.display_variable(),
                                                 "PATH=" + (folder.path() / "bin").string() + ":" +
                                                     (path ? path : "/usr/bin:/bin"),
                                                 "QT_QPA_PLATFORM=xcb"});
        const std::optional<std::string> window = desktop.find_window("网站启动");
        if (!window) return "";
        // The window is framed, sized and centred after it first shows; clicks wait for that.
        std::string last;
        wait_until([&] {
            const Outer outer = outer_size(*window);
            const std::string place = desktop.xdotool({"getwindowgeometry", "--shell", *window});
            const bool settled = outer.title_bar > 0 && place == last;
            last = place;
            return settled;
        });
        return *window;
    }

    struct Outer {
        int width = 0;
        int height = 0;
        int title_bar = 0;
    };
    // The window's size with the frame the window manager drew around it.
    Outer outer_size(const std::string& window) const {
        const std::string extents = desktop.x_tool("xprop", {"-id", window, "_NET_FRAME_EXTENTS"});
        std::istringstream frame(extents.substr(extents.find('=') + 1));
        int left = 0, right = 0, top = 0, bottom = 0;
        char comma = 0;
        frame >> left >> comma >> right >> comma >> top >> comma >> bottom;
        Outer outer{left + right, top + bottom, top};
        std::istringstream client(desktop.xdotool({"getwindowgeometry", "--shell", window}));
        for (std::string line; std::getline(client, line);) {
            if (line.starts_with("WIDTH=")) outer.width += std::stoi(line.substr(6));
            if (line.starts_with("HEIGHT=")) outer.height += std::stoi(line.substr(7));
        }
        return outer;
    }

    testing::AssertionResult title_becomes(const std::string& window,
                                           const std::string& title) const {
        if (wait_until([&] { return desktop.window_title(window) == title; }))
            return testing::AssertionSuccess();
        const bool message_shown =
            !desktop.xdotool({"search", "--onlyvisible", "--name", "^信息：$"}).empty();
        return testing::AssertionFailure()
               << "the title is still \"" << desktop.window_title(window) << "\""
               << (message_shown ? " and the start-failure message is shown" : "");
    }

    void click(const std::string& window, const int (&where)[2]) const {
        desktop.click(window, where[0], where[1]);
    }

    // The program's windows on screen: its main window, and its menu while that is open.
    std::size_t shown_windows() const {
        std::istringstream ids(
            desktop.xdotool({"search", "--onlyvisible", "--classname", "site-launcher"}));
        std::size_t count = 0;
        for (std::string id; std::getline(ids, id);) count += !id.empty();
        return count;
    }

    e2e::DesktopSession desktop;
    TempFolder folder;
    std::optional<Process> running;
};

TEST_F(FirstRunRoad, StartOpenStopRestartAndClose) {
    // 1. The window appears with its fixed outer size; the folder is seeded; nothing remembered.
    const std::string window = launch();
    ASSERT_FALSE(window.empty());
    const Outer outer = outer_size(window);
    EXPECT_GT(outer.title_bar, 0) << "openbox draws a title bar";
    EXPECT_EQ(outer.width, 231);
    EXPECT_EQ(outer.height, 142);
    // The frame is fixed: the window manager offers neither resizing nor maximising.
    const std::string actions = desktop.x_tool("xprop", {"-id", window, "_NET_WM_ALLOWED_ACTIONS"});
    EXPECT_NE(actions.find("_NET_WM_ACTION_MINIMIZE"), std::string::npos);
    EXPECT_NE(actions.find("_NET_WM_ACTION_CLOSE"), std::string::npos);
    EXPECT_EQ(actions.find("_NET_WM_ACTION_MAXIMIZE"), std::string::npos);
    EXPECT_EQ(actions.find("_NET_WM_ACTION_RESIZE"), std::string::npos);
    EXPECT_EQ(fs::file_size(folder.web() / "favicon.ico"), 67646u);
    EXPECT_TRUE(fs::exists(folder.web() / "index.html"));
    EXPECT_FALSE(fs::exists(config()));

    // 2. Start: the title says so, the port is remembered and the site answers.
    click(window, kStartButton);
    ASSERT_TRUE(title_becomes(window, "网页已启动"));
    const std::string port_text = remembered_port();
    ASSERT_FALSE(port_text.empty());
    const int port = std::stoi(port_text);
    EXPECT_EQ(Get(port, "/").body, read_file(folder.web() / "index.html"));
    const HttpResponse missing = Get(port, "/no-such-page.html");
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.body, read_file(folder.web() / "404.html"));

    // 3. The shortcuts hand the address and the folder to the desktop.
    click(window, kOpenSiteButton);
    ASSERT_TRUE(wait_until([&] { return opened().size() == 1; }));
    click(window, kOpenFolderButton);
    ASSERT_TRUE(wait_until([&] { return opened().size() == 2; }));
    EXPECT_EQ(opened()[0], "http://127.0.0.1:" + port_text);
    EXPECT_EQ(opened()[1], folder.web().string());

    // 4. A second click stops the site.
    click(window, kStartButton);
    ASSERT_TRUE(title_becomes(window, "网页未启动"));
    EXPECT_FALSE(port_accepts(port));

    // 5. A restart shows the remembered port; Esc with the site running ends the program at once.
    running->wait_for_exit(0ms);
    running.reset();
    const std::string again = launch();
    ASSERT_FALSE(again.empty());
    click(again, kOpenSiteButton);
    ASSERT_TRUE(wait_until([&] { return opened().size() == 3; }));
    EXPECT_EQ(opened()[2], "http://127.0.0.1:" + port_text);
    click(again, kStartButton);
    ASSERT_TRUE(title_becomes(again, "网页已启动"));
    ASSERT_TRUE(port_accepts(port));
    desktop.press_key(again, "Escape");
    EXPECT_EQ(running->wait_for_exit(10s), 0);
    EXPECT_FALSE(port_accepts(port));
}

TEST_F(FirstRunRoad, HeldPortShowsTheMessageAndChangesNothing) {
    std::optional<PortHolder> holder;
    const int port = OnFreePort([&](int candidate) {
        holder.emplace(candidate);
        return holder->holding();
    });
    ASSERT_NE(port, 0);
    fs::create_directory(folder.web());
    const std::string config_text = "[Config]\nPort=" + std::to_string(port) + "\n";
    write_file(config(), config_text);

    const std::string window = launch();
    ASSERT_FALSE(window.empty());
    click(window, kStartButton);
    const std::optional<std::string> box = desktop.find_window("信息：");
    ASSERT_TRUE(box);
    desktop.press_key(*box, "Return");
    EXPECT_TRUE(wait_until([&] {
        return desktop.xdotool({"search", "--onlyvisible", "--name", "^信息：$"}).empty();
    }));
    EXPECT_EQ(desktop.window_title(window), "网站启动");
    EXPECT_EQ(read_file(config()), config_text);
    EXPECT_TRUE(fs::exists(folder.web() / "404.html"));
}

TEST_F(FirstRunRoad, OptionsMenuOpensOnARightClickAndRemembersTheChoice) {
    const std::string window = launch();
    ASSERT_FALSE(window.empty());

    // The menu opens over the empty area; the first entry (自动刷新) is chosen with the keyboard.
    desktop.right_click(window, kEmptyArea[0], kEmptyArea[1]);
    ASSERT_TRUE(wait_until([&] { return shown_windows() == 2; })) << "no menu opened";
    desktop.xdotool({"key", "--clearmodifiers", "Down", "Return"});
    ASSERT_TRUE(wait_until([&] { return shown_windows() == 1; }));
    EXPECT_TRUE(wait_until([&] { return read_file(config()) == "[Config]\nLiveReload=1\n"; }))
        << read_file(config());

    // Over a button it opens too; Esc closes the menu alone and changes nothing.
    desktop.right_click(window, kStartButton[0], kStartButton[1]);
    ASSERT_TRUE(wait_until([&] { return shown_windows() == 2; })) << "no menu opened";
    desktop.xdotool({"key", "--clearmodifiers", "Escape"});
    ASSERT_TRUE(wait_until([&] { return shown_windows() == 1; }));
    EXPECT_FALSE(running->wait_for_exit(0ms).has_value());
    EXPECT_EQ(read_file(config()), "[Config]\nLiveReload=1\n");
    EXPECT_EQ(desktop.window_title(window), "网站启动");
}

}  // namespace
