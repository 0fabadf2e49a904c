#include "server/network/listener.h"

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

// An IPv6 socket ready to bind: IPv6 only, or dual-stack (also taking IPv4 connections).
UniqueFd NewIpv6Socket(bool v6only) {
    UniqueFd fd = NewSocket(AF_INET6);
    if (!fd) return fd;
    AllowAddressReuse(fd.get());
    const int flag = v6only ? 1 : 0;
    setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &flag, sizeof flag);
    return fd;
}

sockaddr_in6 Ipv6Address(const in6_addr& host, std::uint16_t port) {
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(port);
    address.sin6_addr = host;
    return address;
}

// One line on standard error, named after the program (as err(3) does), for whoever started it
// from a terminal: the window itself only says that the start failed.
void ReportRefusal(const char* address, int port, const char* reason) {
    std::fprintf(stderr, "%s: cannot listen on %s:%d: %s\n", program_invocation_short_name, address,
                 port, reason);
}

// False when an IPv6 listener holds `port` on [::] or [::1]: a browser that resolves "localhost"
// to ::1 would reach it instead of us. Probing the loopback address rather than the wildcard
// leaves out the machine's outgoing IPv6 connections, which may use the same local port on other
// addresses without being in the way. A machine without IPv6 loopback has no such listener.
bool Ipv6LoopbackPortFree(std::uint16_t port) {
    const UniqueFd fd = NewIpv6Socket(true);
    if (!fd) return errno == EAFNOSUPPORT;
    const sockaddr_in6 address = Ipv6Address(in6addr_loopback, port);
    return bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
           errno != EADDRINUSE;
}

// Binds `fd` to `address` and listens; closes it and answers an empty descriptor when either
// fails, with errno telling why.
template <typename Address>
UniqueFd ListenOn(UniqueFd fd, const Address& address) {
    if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd.get(), SOMAXCONN) != 0) {
        fd.reset();
    }
    return fd;
}

UniqueFd ListenOnIpv4(std::uint16_t port, in_addr_t host_address) {
    UniqueFd fd = NewSocket(AF_INET);
    if (!fd) return fd;
    AllowAddressReuse(fd.get());
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(host_address);
    return ListenOn(std::move(fd), address);
}

// A dual-stack [::] socket, which also takes IPv4 connections.
UniqueFd ListenOnEveryAddress(std::uint16_t port) {
    UniqueFd fd = NewIpv6Socket(false);
    if (!fd) return fd;
    return ListenOn(std::move(fd), Ipv6Address(in6addr_any, port));
}

}  // namespace

UniqueFd OpenLoopbackListener(int port) {
    if (port < 1 || port > 65535) {
        ReportRefusal("127.0.0.1", port, "only ports 1-65535 can be used");
        return UniqueFd();
    }
    const auto port16 = static_cast<std::uint16_t>(port);
    if (!Ipv6LoopbackPortFree(port16)) {
        ReportRefusal("127.0.0.1", port, "Address already in use (by a listener on [::1])");
        return UniqueFd();
    }
    UniqueFd fd = ListenOnIpv4(port16, INADDR_LOOPBACK);
    if (!fd) ReportRefusal("127.0.0.1", port, std::strerror(errno));
    return fd;
}

// The wildcard bind overlaps every address, so Linux refuses it next to any other listener on the
// port, IPv4 or IPv6, whatever address it chose; no separate probe is needed. Where IPv6 is
// missing or switched off, 0.0.0.0 alone serves.
UniqueFd OpenSharedListener(int port) {
    if (port < 1 || port > 65535) {
        ReportRefusal("every address", port, "only ports 1-65535 can be used");
        return UniqueFd();
    }
    const auto port16 = static_cast<std::uint16_t>(port);
    UniqueFd fd = ListenOnEveryAddress(port16);
    if (!fd && errno != EADDRINUSE) fd = ListenOnIpv4(port16, INADDR_ANY);
    if (!fd) ReportRefusal("every address", port, std::strerror(errno));
    return fd;
}
