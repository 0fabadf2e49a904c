#pragma once

#include <string_view>

// True for a Host header naming this machine's loopback as the server is reached on it:
// 127.0.0.1, localhost or [::1], with or without a port, in any letter case. Anything else may be
// a DNS rebinding attempt from a web page and is refused.
bool IsLoopbackHost(std::string_view host);
