#include "server/listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace {

int NewSocket(int family) { return socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0); }

// SO_REUSEADDR lets our bind pass the TIME_WAIT leftovers of our own earlier connections. Linux
// still refuses it next to any socket in the listening state on an overlapping address (0.0.0.0,
// 127.0.0.1, or a dual-stack [::]), unless both sides use SO_REUSEPORT, which we never set; so
// IPv4 listeners are always noticed by the bind itself.
void AllowAddressReuse(int fd) {
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

// False when an IPv6 listener holds `port` on [::] or [::1]: a browser that resolves "localhost"
// to ::1 would reach it instead of us. Probing the loopback address rather than the wildcard
// leaves out the machine's outgoing IPv6 connections, which may use the same local port on other
// addresses without being in the way. A machine without IPv6 loopback has no such listener.
bool Ipv6LoopbackPortFree(std::uint16_t port) {
    const int fd = NewSocket(AF_INET6);
    if (fd < 0) return errno == EAFNOSUPPORT;
    AllowAddressReuse(fd);
    const int on = 1;
    setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(port);
    address.sin6_addr = in6addr_loopback;
    const bool bound = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const int error = errno;
    close(fd);
    return bound || error != EADDRINUSE;
}

// Binds `fd` to `address` and listens; closes it and answers -1 when either fails, with errno
// telling why.
template <typename Address>
int ListenOn(int fd, const Address& address) {
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, SOMAXCONN) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace

int OpenLoopbackListener(int port) {
    if (port < 1 || port > 65535) return -1;
    const auto port16 = static_cast<std::uint16_t>(port);
    if (!Ipv6LoopbackPortFree(port16)) return -1;
    const int fd = NewSocket(AF_INET);
    if (fd < 0) return -1;
    AllowAddressReuse(fd);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port16);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, SOMAXCONN) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The wildcard bind overlaps every address, so Linux refuses it next to any other listener on the
// port, IPv4 or IPv6, whatever address it chose; no separate probe is needed. Where IPv6 is
// missing or switched off, 0.0.0.0 alone serves.
int OpenSharedListener(int port) {
    if (port < 1 || port > 65535) return -1;
    const auto port16 = static_cast<std::uint16_t>(port);
    if (const int fd = NewSocket(AF_INET6); fd >= 0) {
        AllowAddressReuse(fd);
        const int off = 0;
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(port16);
        address.sin6_addr = in6addr_any;
        const int listening = ListenOn(fd, address);
        if (listening >= 0 || errno == EADDRINUSE) return listening;
    }
    const int fd = NewSocket(AF_INET);
    if (fd < 0) return -1;
    AllowAddressReuse(fd);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port16);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    return ListenOn(fd, address);
}
