#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "server/network/network_interfaces.h"

// Where a phone on the same network reaches this computer.
struct ShareAddresses {
    std::string chosen;               // an IPv4 address, or "" when there is none
    std::vector<std::string> others;  // further candidates, when one is chosen
};

// The IPv4 address of the interface holding the default route; when that is missing or is a
// virtual one, the first private-range address (10/8, 172.16/12, 192.168/16) of an interface that
// is up. Loopback and link-local addresses and virtual bridge and tunnel interfaces (Docker,
// libvirt, VirtualBox, VPNs) are never offered: a phone cannot reach them.
ShareAddresses ChooseShareAddresses(const std::vector<NetInterface>& interfaces,
                                    std::string_view default_route_interface);
