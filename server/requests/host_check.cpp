#include "server/requests/host_check.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <array>
#include <cstring>
#include <string>

#include "server/requests/text_codec.h"

namespace {

bool IsPort(std::string_view text) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The address of an IP-literal Host (port, if any, removed), in the form inet_pton reads.
struct HostLiteral {
    int family = AF_UNSPEC;
    unsigned char bytes[sizeof(in6_addr)] = {};
};

bool ParseHostLiteral(std::string_view host, HostLiteral& literal) {
    std::string_view address = host;
    std::string_view rest;
    if (!host.empty() && host.front() == '[') {
        const auto close = host.find(']');
        if (close == std::string_view::npos) return false;
        address = host.substr(1, close - 1);
        rest = host.substr(close + 1);
        literal.family = AF_INET6;
    } else {
        const auto colon = host.find(':');
        if (colon != std::string_view::npos) {
            address = host.substr(0, colon);
            rest = host.substr(colon);
        }
        literal.family = AF_INET;
    }
    if (!rest.empty() && (rest.front() != ':' || !IsPort(rest.substr(1)))) return false;
    if (address.empty() || address.size() >= INET6_ADDRSTRLEN) return false;
    return inet_pton(literal.family, std::string(address).c_str(), literal.bytes) == 1;
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

bool IsAddressHost(std::string_view host, const std::vector<std::string>& addresses) {
    HostLiteral literal;
    if (!ParseHostLiteral(host, literal)) return false;
    const std::size_t size = literal.family == AF_INET ? sizeof(in_addr) : sizeof(in6_addr);
    for (const std::string& address : addresses) {
        unsigned char bytes[sizeof(in6_addr)] = {};
        if (inet_pton(literal.family, address.c_str(), bytes) == 1 &&
            std::memcmp(bytes, literal.bytes, size) == 0) {
            return true;
        }
    }
    return false;
}
