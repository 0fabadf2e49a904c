#pragma once

#include <string>
#include <string_view>
#include <vector>

// True for a Host header naming this machine's loopback as the server is reached on it:
// 127.0.0.1, localhost or [::1], with or without a port, in any letter case. Anything else may be
// a DNS rebinding attempt from a web page and is refused.
bool IsLoopbackHost(std::string_view host);

// True for a Host header that is one of `addresses` (IPv4 or IPv6 text) written as an IP literal:
// "192.168.1.20", "192.168.1.20:8080", "[fe80::1]", "[fe80::1]:8080". Names never match, so a
// page served under a name that later resolves to this machine stays refused.
bool IsAddressHost(std::string_view host, const std::vector<std::string>& addresses);
