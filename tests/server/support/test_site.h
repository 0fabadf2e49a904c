#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class JHTTPServer;

// A served folder for tests: "<tmp>/站点 测试-XXXXXX/网站 根目录". The folder around it holds
// secret.txt, which no request may ever reach. Everything is removed again at destruction.
class TestSite {
  public:
    static constexpr std::string_view kSecret = "TOP-SECRET-BESIDE-THE-ROOT";

    TestSite();
    ~TestSite();
    TestSite(const TestSite&) = delete;
    TestSite& operator=(const TestSite&) = delete;

    const std::string& root() const { return root_; }
    const std::string& outside() const { return outside_; }
    std::string PathOf(std::string_view relative) const {
        return root_ + "/" + std::string(relative);
    }

    // Writes a file below the root, creating the folders on the way.
    void Write(std::string_view relative, std::string_view content) const;
    void MakeFolder(std::string_view relative) const;

  private:
    std::string outside_;
    std::string root_;
};

// Ports for tests, for every suite. They are drawn at random from outside the kernel's range for
// outgoing connections (/proc/sys/net/ipv4/ip_local_port_range), so that the loopback connections
// of suites running beside us never hold one, and each is checked free right before it is handed
// out. Another suite may still draw the same port in between; whoever uses a port retries on a
// collision, which OnFreePort does for them.

// A port that no socket of any address or family holds at the moment, or 0 when none was found.
int UnusedPort();

// Calls `step` with one unused port after another until it answers true (it failed because the
// port was taken meanwhile otherwise); answers the port that worked, or 0 when none did.
int OnFreePort(const std::function<bool(int port)>& step);

// Starts `server` on a free loopback port and answers it, or 0 when no attempt worked.
int StartOnFreePort(JHTTPServer& server);
