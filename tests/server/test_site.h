#pragma once

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

// Starts `server` on a free loopback port and answers it, or 0 when no attempt worked.
int StartOnFreePort(JHTTPServer& server);

// A port nothing listens on at the moment (the kernel's choice for a throw-away socket).
int UnusedPort();
