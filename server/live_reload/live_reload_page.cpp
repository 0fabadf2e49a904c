#include "server/live_reload/live_reload_page.h"

#include <algorithm>
#include <cctype>

extern const unsigned char server_live_reload_script[];
extern const std::size_t server_live_reload_script_size;

namespace {

bool SameLetters(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

// Where the last "</body" starts (any letter case), or npos.
std::size_t LastBodyEnd(std::string_view html) {
    constexpr std::string_view kTag = "</body";
    const auto found =
        std::find_end(html.begin(), html.end(), kTag.begin(), kTag.end(), SameLetters);
    return found == html.end() ? std::string_view::npos
                               : static_cast<std::size_t>(found - html.begin());
}

}  // namespace

std::string WithReloadScript(std::string_view html) {
    const std::size_t at = std::min(LastBodyEnd(html), html.size());
    std::string page;
    page.reserve(html.size() + kReloadScriptElement.size());
    page.append(html.substr(0, at));
    page.append(kReloadScriptElement);
    page.append(html.substr(at));
    return page;
}

std::string ReloadPageETag(std::string_view etag) {
    if (etag.size() >= 2 && etag.back() == '"') {
        return std::string(etag.substr(0, etag.size() - 1)) + "-live\"";
    }
    return std::string(etag) + "-live";
}

std::string_view ReloadScript() {
    return {reinterpret_cast<const char*>(server_live_reload_script),
            server_live_reload_script_size};
}
