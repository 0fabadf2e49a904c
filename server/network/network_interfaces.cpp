#include "server/network/network_interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/route.h>
#include <netinet/in.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

NetInterface& InterfaceNamed(std::vector<NetInterface>& interfaces, const char* name) {
    const auto found =
        std::find_if(interfaces.begin(), interfaces.end(),
                     [name](const NetInterface& known) { return known.name == name; });
    if (found != interfaces.end()) return *found;
    interfaces.push_back(NetInterface{name, false, false, {}, {}});
    return interfaces.back();
}

std::string AddressText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    const void* bytes = nullptr;
    if (address->sa_family == AF_INET) {
        bytes = &reinterpret_cast<const sockaddr_in*>(address)->sin_addr;
    } else {
        bytes = &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
    }
    return inet_ntop(address->sa_family, bytes, text, sizeof text) ? text : "";
}

bool ParseHex(std::string_view text, unsigned long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::vector<NetInterface> ReadNetInterfaces() {
    std::vector<NetInterface> interfaces;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return interfaces;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_name) continue;
        NetInterface& interface = InterfaceNamed(interfaces, entry->ifa_name);
        interface.up = (entry->ifa_flags & IFF_UP) != 0;
        interface.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        if (!entry->ifa_addr) continue;
        const int family = entry->ifa_addr->sa_family;
        if (family != AF_INET && family != AF_INET6) continue;
        std::string text = AddressText(entry->ifa_addr);
        if (text.empty()) continue;
        (family == AF_INET ? interface.ipv4 : interface.ipv6).push_back(std::move(text));
    }
    freeifaddrs(list);
    return interfaces;
}

std::string DefaultRouteInterface(std::string_view route_table) {
    std::istringstream lines{std::string(route_table)};
    std::string line;
    std::getline(lines, line);  // the column titles
    std::string best;
    unsigned long best_metric = std::numeric_limits<unsigned long>::max();
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name, destination, gateway, flags, references, use, metric, mask;
        if (!(fields >> name >> destination >> gateway >> flags >> references >> use >> metric >>
              mask)) {
            continue;
        }
        unsigned long destination_bits = 1, flag_bits = 0, metric_value = 0, mask_bits = 1;
        if (!ParseHex(destination, destination_bits) || !ParseHex(flags, flag_bits) ||
            !ParseHex(mask, mask_bits) ||
            std::from_chars(metric.data(), metric.data() + metric.size(), metric_value).ec !=
                std::errc()) {
            continue;
        }
        if (destination_bits != 0 || mask_bits != 0 || (flag_bits & RTF_UP) == 0) continue;
        if (best.empty() || metric_value < best_metric) {
            best = name;
            best_metric = metric_value;
        }
    }
    return best;
}

std::string ReadDefaultRouteInterface() {
    std::ifstream file("/proc/net/route");
    std::stringstream text;
    text << file.rdbuf();
    return DefaultRouteInterface(text.str());
}
