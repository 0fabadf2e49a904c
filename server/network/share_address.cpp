#include "server/network/share_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace {

bool IsVirtualInterface(std::string_view name) {
    static constexpr std::array<std::string_view, 9> kPrefixes = {
        "docker", "br-", "veth", "virbr", "vboxnet", "tun", "tap", "wg", "zt"};
    for (auto prefix : kPrefixes) {
        if (name.substr(0, prefix.size()) == prefix) return true;
    }
    return false;
}

std::optional<std::uint32_t> Ipv4Bits(const std::string& text) {
    in_addr address{};
    if (inet_pton(AF_INET, text.c_str(), &address) != 1) return std::nullopt;
    return ntohl(address.s_addr);
}

bool InRange(std::uint32_t bits, std::uint32_t network, int prefix) {
    const std::uint32_t mask = prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - prefix);
    return (bits & mask) == network;
}

bool IsReachableAddress(std::uint32_t bits) {
    return !InRange(bits, 0x7f000000, 8) && !InRange(bits, 0xa9fe0000, 16) && !InRange(bits, 0, 8);
}

bool IsPrivateAddress(std::uint32_t bits) {
    return InRange(bits, 0x0a000000, 8) || InRange(bits, 0xac100000, 12) ||
           InRange(bits, 0xc0a80000, 16);
}

struct Candidate {
    std::string address;
    bool on_default_route;
    bool is_private;
};

}  // namespace

ShareAddresses ChooseShareAddresses(const std::vector<NetInterface>& interfaces,
                                    std::string_view default_route_interface) {
    std::vector<Candidate> candidates;
    for (const NetInterface& interface : interfaces) {
        if (!interface.up || interface.loopback || IsVirtualInterface(interface.name)) continue;
        for (const std::string& address : interface.ipv4) {
            const auto bits = Ipv4Bits(address);
            if (!bits || !IsReachableAddress(*bits)) continue;
            candidates.push_back(Candidate{address, interface.name == default_route_interface,
                                           IsPrivateAddress(*bits)});
        }
    }
    auto chosen = std::find_if(candidates.begin(), candidates.end(),
                               [](const Candidate& c) { return c.on_default_route; });
    if (chosen == candidates.end()) {
        chosen = std::find_if(candidates.begin(), candidates.end(),
                              [](const Candidate& c) { return c.is_private; });
    }
    ShareAddresses result;
    if (chosen == candidates.end()) return result;
    result.chosen = chosen->address;
    for (auto it = candidates.begin(); it != candidates.end(); ++it) {
        if (it != chosen) result.others.push_back(it->address);
    }
    return result;
}
