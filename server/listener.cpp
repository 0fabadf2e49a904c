#include "server/listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

UniqueFd NewSocket(int family) {
    return UniqueFd(socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
}

// SO_REUSEADDR lets our bind pass the TIME_WAIT leftovers of our own earlier connections. Linux
// still refuses it next to any socket in the listening state on an overlapping address (0.0.0.0,
// 127.0.0.1, or a dual-stack [::]), unless both sides use SO_REUSEPORT, which we never set; so
// IPv4 listeners are always noticed by the bind itself.
void AllowAddressReuse(int fd) {
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

// One line on standard error, named after the program (as err(3) does), for whoever started it
// from a terminal: the window itself only says that the start failed.
void ReportRefusal(int port, const char* reason) {
    std::fprintf(stderr, "%s: cannot listen on 127.0.0.1:%d: %s\n", program_invocation_short_name,
                 port, reason);
}

// False when an IPv6 listener holds `port` on [::] or [::1]: a browser that resolves "localhost"
// to ::1 would reach it instead of us. Probing the loopback address rather than the wildcard
// leaves out the machine's outgoing IPv6 connections, which may use the same local port on other
// addresses without being in the way. A machine without IPv6 loopback has no such listener.
bool Ipv6LoopbackPortFree(std::uint16_t port) {
    const UniqueFd fd = NewSocket(AF_INET6);
    if (!fd) return errno == EAFNOSUPPORT;
    AllowAddressReuse(fd.get());
    const int on = 1;
    setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(port);
    address.sin6_addr = in6addr_loopback;
    return bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ||
           errno != EADDRINUSE;
}

}  // namespace

UniqueFd OpenLoopbackListener(int port) {
    if (port < 1 || port > 65535) {
        ReportRefusal(port, "only ports 1-65535 can be used");
        return UniqueFd();
    }
    const auto port16 = static_cast<std::uint16_t>(port);
    if (!Ipv6LoopbackPortFree(port16)) {
        ReportRefusal(port, "Address already in use (by a listener on [::1])");
        return UniqueFd();
    }
    UniqueFd fd = NewSocket(AF_INET);
    if (!fd) {
        ReportRefusal(port, std::strerror(errno));
        return fd;
    }
    AllowAddressReuse(fd.get());
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port16);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd.get(), SOMAXCONN) != 0) {
        ReportRefusal(port, std::strerror(errno));
        fd.reset();
    }
    return fd;
}
