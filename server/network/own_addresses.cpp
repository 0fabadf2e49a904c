#include "server/network/own_addresses.h"

#include "server/network/network_interfaces.h"
#include "server/requests/host_check.h"

namespace {

std::vector<std::string> ReadOwnAddresses() {
    std::vector<std::string> addresses;
    for (NetInterface& interface : ReadNetInterfaces()) {
        for (auto* family : {&interface.ipv4, &interface.ipv6}) {
            for (std::string& address : *family) addresses.push_back(std::move(address));
        }
    }
    return addresses;
}

}  // namespace

OwnAddresses::OwnAddresses()
    : addresses_(ReadOwnAddresses()), read_at_(std::chrono::steady_clock::now()) {}

bool OwnAddresses::Admits(std::string_view host) {
    std::lock_guard lock(mutex_);
    if (IsAddressHost(host, addresses_)) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now - read_at_ < kRereadInterval) return false;
    addresses_ = ReadOwnAddresses();
    read_at_ = now;
    return IsAddressHost(host, addresses_);
}
