#include "server/live_reload/live_reload.h"

#include <algorithm>
#include <cctype>

#include "server/live_reload/reload_streams.h"

namespace {

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// ".write-<process>-<counter>.tmp", the name site::write_whole_file gives its temporary file.
bool IsWriterTemporary(std::string_view name) {
    constexpr std::string_view kPrefix = ".write-";
    constexpr std::string_view kSuffix = ".tmp";
    if (name.size() <= kPrefix.size() + kSuffix.size() || !name.starts_with(kPrefix) ||
        !name.ends_with(kSuffix)) {
        return false;
    }
    const std::string_view middle =
        name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
    const auto dash = middle.find('-');
    return dash != std::string_view::npos && AllDigits(middle.substr(0, dash)) &&
           AllDigits(middle.substr(dash + 1));
}

}  // namespace

LiveReload::LiveReload(std::string root, ReloadStreams& streams, ChangeWatcher::Timing timing)
    : watcher_(
          std::move(root), &IsOwnFile,
          [&streams](const std::vector<std::string>& paths) {
              streams.Send(EventFor(paths), paths.back().empty() ? "/" : paths.back());
          },
          [&streams] { streams.KeepAlive(); }, timing) {}

std::string_view LiveReload::EventFor(const std::vector<std::string>& paths) {
    const bool all_css = std::all_of(paths.begin(), paths.end(), [](const std::string& path) {
        return EndsWithIgnoringCase(path, ".css");
    });
    return all_css && !paths.empty() ? "css" : "reload";
}

bool LiveReload::IsOwnFile(const std::string& path) {
    if (path == "Config.web") return true;
    const auto slash = path.rfind('/');
    return IsWriterTemporary(slash == std::string::npos ? std::string_view(path)
                                                        : std::string_view(path).substr(slash + 1));
}
