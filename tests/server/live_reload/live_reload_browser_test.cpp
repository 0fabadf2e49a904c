// Live reload in headless Chromium: a page stays open while its stylesheet and its HTML change.

#include <arpa/inet.h>
#include <fcntl.h>
#include <ftw.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "server/store_map.h"
#include "tests/server/support/headless_chromium.h"
#include "tests/server/support/served_site.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kPatience = 60s;

int RemoveEntry(const char* path, const struct stat*, int, FTW*) { return remove(path); }

// Collects what the page reports: GET /report?<state> requests on a loopback port of its own.
class ReportListener {
  public:
    ReportListener() {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            listen(fd_, 64) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
        thread_ = std::thread([this] { Serve(); });
    }
    ~ReportListener() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }

    int port() const { return port_; }

    // The first report (decoded query text) that satisfies `wanted`, waiting at most kPatience.
    // `nudge`, if given, runs every few seconds meanwhile: it repeats a change that a page whose
    // event stream had not connected yet would have missed.
    std::optional<std::string> WaitFor(const std::function<bool(const std::string&)>& wanted,
                                       const std::function<void()>& nudge = nullptr) {
        const auto deadline = Clock::now() + kPatience;
        auto next_nudge = Clock::now() + 3s;
        std::size_t seen = 0;
        while (Clock::now() < deadline) {
            if (nudge && Clock::now() >= next_nudge) {
                nudge();
                next_nudge = Clock::now() + 3s;
            }
            {
                const std::lock_guard lock(mutex_);
                for (; seen < reports_.size(); ++seen) {
                    if (wanted(reports_[seen])) return reports_[seen];
                }
            }
            std::this_thread::sleep_for(50ms);
        }
        return std::nullopt;
    }

    std::string Last() {
        const std::lock_guard lock(mutex_);
        return reports_.empty() ? "(no report)" : reports_.back();
    }

  private:
    static std::string Decode(std::string_view text) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '%' && i + 2 < text.size()) {
                out +=
                    static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
                i += 2;
            } else {
                out += text[i];
            }
        }
        return out;
    }

    void Serve() {
        while (!stop_) {
            pollfd item{fd_, POLLIN, 0};
            if (poll(&item, 1, 100) != 1) continue;
            const int client = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            std::string request;
            char chunk[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                pollfd readable{client, POLLIN, 0};
                if (poll(&readable, 1, 1000) != 1) break;
                const ssize_t got = recv(client, chunk, sizeof chunk, 0);
                if (got <= 0) break;
                request.append(chunk, static_cast<std::size_t>(got));
            }
            const auto start = request.find("/report?");
            const auto end = request.find(' ', start == std::string::npos ? 0 : start);
            if (start != std::string::npos && end != std::string::npos) {
                const std::lock_guard lock(mutex_);
                reports_.push_back(
                    Decode(std::string_view(request).substr(start + 8, end - start - 8)));
            }
            constexpr std::string_view kAnswer =
                "HTTP/1.1 204 No Content\r\nAccess-Control-Allow-Origin: *\r\nConnection: "
                "close\r\n\r\n";
            send(client, kAnswer.data(), kAnswer.size(), MSG_NOSIGNAL);
            close(client);
        }
    }

    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> reports_;
    std::thread thread_;
};

// Headless Chromium showing one page until destroyed; it and everything it started are killed.
class Browser {
  public:
    explicit Browser(const std::string& url) {
        if (!mkdtemp(profile_)) return;
        std::vector<std::string> args = HeadlessChromium(profile_);
        args.push_back(url);
        child_ = StartChromium(std::move(args), -1);
    }
    ~Browser() {
        if (child_ > 0) {
            kill(-child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        nftw(profile_, &RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

  private:
    char profile_[32] = "/tmp/browser-profile-XXXXXX";
    pid_t child_ = -1;
};

// The page reports, every 100 ms: the id it drew when it loaded (a reload draws a new one), the
// paragraph's colour and text, and how far it is scrolled.
constexpr const char* kProbe = R"(
var loadId = String(Math.random()).slice(2);
window.scrollTo(0, 500);
setInterval(function () {
    var p = document.getElementById("text");
    var state = "load=" + loadId + ";color=" + getComputedStyle(p).color + ";text=" +
        p.textContent + ";scroll=" + Math.round(window.scrollY);
    fetch("http://127.0.0.1:REPORT_PORT/report?" + encodeURIComponent(state), {mode: "no-cors"})
        .catch(function () {});
}, 100);
)";

std::string Field(const std::string& report, const std::string& name) {
    const auto start = report.find(name + "=");
    if (start == std::string::npos) return "";
    const auto end = report.find(';', start);
    return report.substr(start + name.size() + 1,
                         end == std::string::npos ? end : end - start - name.size() - 1);
}

class LiveReloadBrowserTest : public ServedSite {
  protected:
    void SetUp() override {
        ASSERT_EQ(access(kChromium, X_OK), 0)
            << "Chromium is missing: run scripts/install-deps.sh test";
        ServedSite::SetUp();
        server_.SetOption(ServeOption::kLiveReload, true);
    }

    void WritePage(const std::string& text) {
        // The page forbids inline scripts: the reload script must come from its own address.
        site_.Write("page/index.html",
                    "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                    "<meta http-equiv=\"Content-Security-Policy\" content=\"script-src 'self'; "
                    "connect-src *\">"
                    "<link rel=\"stylesheet\" href=\"css/look.css\"></head>"
                    "<body style=\"height:5000px\"><p id=\"text\">" +
                        text + "</p><script src=\"probe.js\"></script></body></html>");
    }
};

TEST_F(LiveReloadBrowserTest, StylesheetChangesApplyInPlaceAndPageChangesReload) {
    ReportListener reports;
    ASSERT_NE(reports.port(), 0);
    std::string probe = kProbe;
    probe.replace(probe.find("REPORT_PORT"), 11, std::to_string(reports.port()));
    site_.Write("page/probe.js", probe);
    site_.Write("page/css/look.css", "#text { color: rgb(255, 0, 0); }");
    WritePage("first text");

    Browser browser("http://127.0.0.1:" + std::to_string(port_) + "/page/");
    const auto loaded = reports.WaitFor([](const std::string& r) {
        return Field(r, "color") == "rgb(255, 0, 0)" && Field(r, "scroll") == "500";
    });
    ASSERT_TRUE(loaded) << "the page never reported; last: " << reports.Last();

    const auto restyle = [&] {
        site_.Write("page/css/look.css", "#text { color: rgb(0, 0, 255); }");
    };
    restyle();
    const auto restyled = reports.WaitFor(
        [](const std::string& r) { return Field(r, "color") == "rgb(0, 0, 255)"; }, restyle);
    ASSERT_TRUE(restyled) << "the new style never showed; last: " << reports.Last();
    EXPECT_EQ(Field(*restyled, "load"), Field(*loaded, "load")) << "the page was reloaded";
    EXPECT_EQ(Field(*restyled, "scroll"), "500");

    WritePage("second text");
    const auto rewritten =
        reports.WaitFor([](const std::string& r) { return Field(r, "text") == "second text"; });
    ASSERT_TRUE(rewritten) << "the new text never showed; last: " << reports.Last();
    EXPECT_EQ(Field(*rewritten, "color"), "rgb(0, 0, 255)");

    // The site is stopped, the page edited meanwhile, the site started again: the page
    // reconnects and shows the edit.
    ASSERT_TRUE(server_.Stop());
    WritePage("third text");
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(server_.Start(*CreateStoreMap("port", port_), false));
    const auto reconnected =
        reports.WaitFor([](const std::string& r) { return Field(r, "text") == "third text"; });
    ASSERT_TRUE(reconnected) << "the page did not come back; last: " << reports.Last();

    // The page reloaded; its new event stream may still be connecting.
    WritePage("fourth text");
    EXPECT_TRUE(
        reports.WaitFor([](const std::string& r) { return Field(r, "text") == "fourth text"; },
                        [&] { WritePage("fourth text"); }))
        << "no reload after the restart; last: " << reports.Last();
}

}  // namespace
