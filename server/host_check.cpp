#include "server/host_check.h"

#include <array>

#include "server/text_codec.h"

namespace {

bool IsPort(std::string_view text) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace

bool IsLoopbackHost(std::string_view host) {
    static constexpr std::array<std::string_view, 3> kNames = {"127.0.0.1", "localhost", "[::1]"};
    for (auto name : kNames) {
        if (host.size() < name.size() || !EqualsIgnoringCase(host.substr(0, name.size()), name)) {
            continue;
        }
        const std::string_view rest = host.substr(name.size());
        if (rest.empty() || (rest.front() == ':' && IsPort(rest.substr(1)))) return true;
    }
    return false;
}
