#pragma once

#include <string>
#include <string_view>
#include <vector>

// One network interface of the computer as the address choice and the Host check see it.
struct NetInterface {
    std::string name;
    bool up = false;
    bool loopback = false;
    std::vector<std::string> ipv4;  // dotted text, e.g. "192.168.1.20"
    std::vector<std::string> ipv6;  // text without brackets or zone, e.g. "fe80::1"
};

// The computer's interfaces with their addresses, in the system's order (getifaddrs); empty
// when they cannot be read.
std::vector<NetInterface> ReadNetInterfaces();

// The interface of the IPv4 default route in the text of /proc/net/route (the one with the lowest
// metric when there are several), or "" when there is none.
std::string DefaultRouteInterface(std::string_view route_table);

// DefaultRouteInterface of this computer's /proc/net/route.
std::string ReadDefaultRouteInterface();
