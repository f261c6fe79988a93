#include "net.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace zelt::net {

Address Address::v4(uint32_t networkOrder)
{
    Address a;
    a.family = AF_INET;
    std::memcpy(a.bytes.data(), &networkOrder, 4);
    return a;
}

Address Address::v6(const in6_addr &in, uint32_t scope)
{
    Address a;
    a.family = AF_INET6;
    std::memcpy(a.bytes.data(), &in, 16);
    a.scope = scope;
    return a;
}

std::optional<Address> Address::fromSockaddr(const sockaddr *sa, socklen_t len)
{
    if (sa && sa->sa_family == AF_INET && len >= socklen_t(sizeof(sockaddr_in)))
        return v4(reinterpret_cast<const sockaddr_in *>(sa)->sin_addr.s_addr);
    if (sa && sa->sa_family == AF_INET6 && len >= socklen_t(sizeof(sockaddr_in6))) {
        auto *s6 = reinterpret_cast<const sockaddr_in6 *>(sa);
        // An IPv4 peer of a dual-stack socket is an IPv4 address.
        if (IN6_IS_ADDR_V4MAPPED(&s6->sin6_addr)) {
            uint32_t v;
            std::memcpy(&v, s6->sin6_addr.s6_addr + 12, 4);
            return v4(v);
        }
        return v6(s6->sin6_addr, s6->sin6_scope_id);
    }
    return std::nullopt;
}

std::optional<Address> Address::parse(const std::string &text)
{
    in_addr a4;
    if (inet_pton(AF_INET, text.c_str(), &a4) == 1)
        return v4(a4.s_addr);
    const size_t pct = text.find('%');
    in6_addr a6;
    if (inet_pton(AF_INET6, text.substr(0, pct).c_str(), &a6) != 1)
        return std::nullopt;
    uint32_t scope = 0;
    if (pct != std::string::npos) {
        scope = if_nametoindex(text.substr(pct + 1).c_str());
        if (!scope) {
            char *end = nullptr;
            const unsigned long n = std::strtoul(text.c_str() + pct + 1, &end, 10);
            if (!end || *end || !n || n > 0xffffffffu)
                return std::nullopt;
            scope = uint32_t(n);
        }
    }
    return v6(a6, scope);
}

uint32_t Address::v4() const
{
    uint32_t v = 0;
    if (family == AF_INET)
        std::memcpy(&v, bytes.data(), 4);
    return v;
}

bool Address::linkLocal() const
{
    return family == AF_INET6 && bytes[0] == 0xfe && (bytes[1] & 0xc0) == 0x80;
}

bool Address::multicast() const
{
    return family == AF_INET ? (bytes[0] & 0xf0) == 0xe0 : family == AF_INET6 && bytes[0] == 0xff;
}

std::string Address::text() const
{
    char buf[INET6_ADDRSTRLEN] = {};
    if (family == AF_INET)
        inet_ntop(AF_INET, bytes.data(), buf, sizeof buf);
    else if (family == AF_INET6)
        inet_ntop(AF_INET6, bytes.data(), buf, sizeof buf);
    return buf;
}

socklen_t Address::toSockaddr(uint16_t port, sockaddr_storage &out) const
{
    std::memset(&out, 0, sizeof out);
    if (family == AF_INET) {
        auto *s = reinterpret_cast<sockaddr_in *>(&out);
        s->sin_family = AF_INET;
        s->sin_port = htons(port);
        std::memcpy(&s->sin_addr, bytes.data(), 4);
        return sizeof *s;
    }
    auto *s = reinterpret_cast<sockaddr_in6 *>(&out);
    s->sin6_family = AF_INET6;
    s->sin6_port = htons(port);
    std::memcpy(&s->sin6_addr, bytes.data(), 16);
    s->sin6_scope_id = scope;
    return sizeof *s;
}

Settings settingsFromEnvironment()
{
    Settings s;
    if (const char *g = std::getenv("ZELT_GROUP"); g && *g)
        s.group = g;
    if (const char *g = std::getenv("ZELT_GROUP6"); g && *g)
        s.group6 = g;
    if (const char *p = std::getenv("ZELT_PORT"); p && *p) {
        long v = std::strtol(p, nullptr, 10);
        if (v > 0 && v < 65535)
            s.devicePort = uint16_t(v);
    }
    if (const char *i = std::getenv("ZELT_INTERFACES"); i)
        s.interfaces = i;
    return s;
}

namespace {

int prefixLength(const sockaddr *mask)
{
    if (!mask || mask->sa_family != AF_INET6)
        return 128;
    int n = 0;
    for (uint8_t b : reinterpret_cast<const sockaddr_in6 *>(mask)->sin6_addr.s6_addr)
        n += __builtin_popcount(b);
    return n;
}

bool samePrefix(const uint8_t *a, const uint8_t *b, int prefix)
{
    const int whole = prefix / 8, rest = prefix % 8;
    if (std::memcmp(a, b, size_t(whole)) != 0)
        return false;
    return rest == 0 || ((a[whole] ^ b[whole]) & uint8_t(0xff << (8 - rest))) == 0;
}

} // namespace

std::vector<Interface> chooseInterfaces(const std::string &names, std::string *error)
{
    std::vector<std::string> wanted;
    std::stringstream ss(names);
    for (std::string item; std::getline(ss, item, ',');) {
        while (!item.empty() && item.back() == ' ')
            item.pop_back();
        while (!item.empty() && item.front() == ' ')
            item.erase(0, 1);
        if (!item.empty())
            wanted.push_back(item);
    }
    ifaddrs *list = nullptr;
    if (getifaddrs(&list) != 0) {
        if (error)
            *error = std::string("getifaddrs: ") + std::strerror(errno);
        return {};
    }
    // Every up interface with an address, in the order listed; the first
    // IPv4 address of each is its IPv4 address.
    std::vector<Interface> all;
    std::vector<bool> multicast;
    for (ifaddrs *a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || !(a->ifa_flags & IFF_UP)
            || (a->ifa_addr->sa_family != AF_INET && a->ifa_addr->sa_family != AF_INET6))
            continue;
        size_t k = 0;
        while (k < all.size() && all[k].name != a->ifa_name)
            ++k;
        if (k == all.size()) {
            Interface i;
            i.name = a->ifa_name;
            i.index = if_nametoindex(a->ifa_name);
            i.loopback = a->ifa_flags & IFF_LOOPBACK;
            all.push_back(i);
            multicast.push_back(a->ifa_flags & IFF_MULTICAST);
        }
        Interface &i = all[k];
        if (a->ifa_addr->sa_family == AF_INET) {
            if (i.has4)
                continue;
            i.has4 = true;
            i.address = reinterpret_cast<sockaddr_in *>(a->ifa_addr)->sin_addr;
            if (a->ifa_netmask)
                i.mask = reinterpret_cast<sockaddr_in *>(a->ifa_netmask)->sin_addr;
        } else {
            const in6_addr &a6 = reinterpret_cast<sockaddr_in6 *>(a->ifa_addr)->sin6_addr;
            if (IN6_IS_ADDR_LINKLOCAL(&a6))
                i.linkLocal6 = true;
            else
                i.ipv6.emplace_back(a6, prefixLength(a->ifa_netmask));
        }
    }
    freeifaddrs(list);
    std::vector<Interface> chosen;
    if (!wanted.empty()) {
        for (auto &w : wanted) {
            bool found = false;
            for (auto &i : all)
                if (i.name == w) {
                    chosen.push_back(i);
                    found = true;
                }
            if (!found && error)
                *error += "interface " + w + " is not up or has no address; ";
        }
        if (chosen.size() != wanted.size())
            return {};
        return chosen;
    }
    for (size_t k = 0; k < all.size(); ++k)
        if (!all[k].loopback && multicast[k])
            chosen.push_back(all[k]);
    if (chosen.empty())
        for (auto &i : all)
            if (i.loopback && i.has4)
                chosen.push_back(i);
    if (chosen.empty() && error)
        *error = "no usable network interface";
    return chosen;
}

bool inSubnet(const Address &host, const Interface &i)
{
    if (host.family == AF_INET) {
        if (!i.has4)
            return false;
        const uint32_t h = ntohl(host.v4());
        if (i.loopback)
            return (h >> 24) == 127;
        const uint32_t m = ntohl(i.mask.s_addr), a = ntohl(i.address.s_addr);
        return m != 0 && (h & m) == (a & m);
    }
    if (host.family != AF_INET6 || host.linkLocal())
        return false;
    for (auto &[addr, prefix] : i.ipv6)
        if (prefix > 0 && samePrefix(host.bytes.data(), addr.s6_addr, prefix))
            return true;
    return false;
}

void sendOnEachInterface(int fd, const std::vector<Interface> &ifs, const char *group, uint16_t port,
                         const std::string &datagram)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    inet_pton(AF_INET, group, &to.sin_addr);
    for (auto &i : ifs) {
        if (!i.has4)
            continue;
        ip_mreqn m{};
        m.imr_ifindex = int(i.index);
        m.imr_address = i.address;
        int ttl = i.loopback ? 0 : 1;
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &m, sizeof m);
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
        sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    }
}

void sendOnEachInterface6(int fd, const std::vector<Interface> &ifs, const char *group, uint16_t port,
                          const std::string &datagram)
{
    auto to = Address::parse(group);
    if (!to || !to->isV6())
        return;
    for (auto &i : ifs)
        if (i.linkLocal6 && !i.loopback) {
            Address dst = *to;
            dst.scope = i.index;
            sendTo(fd, dst, port, reinterpret_cast<const uint8_t *>(datagram.data()), datagram.size(), nullptr,
                   int(i.index));
        }
}

int unicastSocket(int family, uint16_t port, std::string *error)
{
    int fd = socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (error)
            *error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    int one = 1, zero = 0, big = 4 << 20;
    if (port)
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big) != 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    if (setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &big, sizeof big) != 0)
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    sockaddr_storage ss{};
    socklen_t len;
    if (family == AF_INET) {
        setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
        // Bound to any address: without this it would also take every
        // group some other socket of the host joined.
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_ALL, &zero, sizeof zero);
        len = Address::v4(INADDR_ANY).toSockaddr(port, ss);
    } else {
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
        setsockopt(fd, IPPROTO_IPV6, IPV6_RECVPKTINFO, &one, sizeof one);
        setsockopt(fd, IPPROTO_IPV6, IPV6_MULTICAST_ALL, &zero, sizeof zero);
        len = Address::v6(in6addr_any).toSockaddr(port, ss);
    }
    if (bind(fd, reinterpret_cast<sockaddr *>(&ss), len) != 0) {
        if (error)
            *error = "bind unicast port " + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

long receiveFrom(int fd, uint8_t *buf, size_t cap, Received *info)
{
    if (fd < 0)
        return -1;
    sockaddr_storage src{};
    char control[256];
    iovec iov{buf, cap};
    msghdr mh{};
    mh.msg_name = &src;
    mh.msg_namelen = sizeof src;
    mh.msg_iov = &iov;
    mh.msg_iovlen = 1;
    mh.msg_control = control;
    mh.msg_controllen = sizeof control;
    ssize_t n = recvmsg(fd, &mh, MSG_DONTWAIT);
    if (n < 0)
        return -1;
    if (info) {
        *info = Received{};
        if (auto a = Address::fromSockaddr(reinterpret_cast<sockaddr *>(&src), mh.msg_namelen))
            info->from = *a;
        info->fromPort = src.ss_family == AF_INET    ? ntohs(reinterpret_cast<sockaddr_in *>(&src)->sin_port)
                         : src.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6 *>(&src)->sin6_port)
                                                     : 0;
        for (cmsghdr *c = CMSG_FIRSTHDR(&mh); c; c = CMSG_NXTHDR(&mh, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo p;
                std::memcpy(&p, CMSG_DATA(c), sizeof p);
                info->ifindex = p.ipi_ifindex;
                info->to = Address::v4(p.ipi_addr.s_addr);
            } else if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
                in6_pktinfo p;
                std::memcpy(&p, CMSG_DATA(c), sizeof p);
                info->ifindex = int(p.ipi6_ifindex);
                info->to = Address::v6(p.ipi6_addr, p.ipi6_ifindex);
            }
        }
    }
    if ((mh.msg_flags & MSG_TRUNC) || size_t(n) > cap)
        return 0; // too long to be ours: taken as empty
    return long(n);
}

bool sendTo(int fd, const Address &to, uint16_t port, const uint8_t *data, size_t size, const Address *from,
            int ifindex)
{
    if (fd < 0 || !to.valid())
        return false;
    sockaddr_storage dst;
    const socklen_t len = to.toSockaddr(port, dst);
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in6_pktinfo))] = {};
    iovec iov{const_cast<uint8_t *>(data), size};
    msghdr mh{};
    mh.msg_name = &dst;
    mh.msg_namelen = len;
    mh.msg_iov = &iov;
    mh.msg_iovlen = 1;
    if ((from && from->valid()) || ifindex) {
        mh.msg_control = control;
        cmsghdr *c = reinterpret_cast<cmsghdr *>(control);
        if (to.family == AF_INET) {
            in_pktinfo p{};
            p.ipi_ifindex = ifindex;
            if (from)
                p.ipi_spec_dst.s_addr = from->v4();
            c->cmsg_level = IPPROTO_IP;
            c->cmsg_type = IP_PKTINFO;
            c->cmsg_len = CMSG_LEN(sizeof p);
            std::memcpy(CMSG_DATA(c), &p, sizeof p);
            mh.msg_controllen = CMSG_SPACE(sizeof p);
        } else {
            in6_pktinfo p{};
            p.ipi6_ifindex = unsigned(ifindex);
            if (from && from->isV6())
                std::memcpy(&p.ipi6_addr, from->bytes.data(), 16);
            c->cmsg_level = IPPROTO_IPV6;
            c->cmsg_type = IPV6_PKTINFO;
            c->cmsg_len = CMSG_LEN(sizeof p);
            std::memcpy(CMSG_DATA(c), &p, sizeof p);
            mh.msg_controllen = CMSG_SPACE(sizeof p);
        }
    }
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (sendmsg(fd, &mh, 0) == ssize_t(size))
            return true;
        if (errno != ENOBUFS && errno != EAGAIN)
            return false;
        usleep(200); // send queue full during a burst: wait for it to drain
    }
    return false;
}

Transport::~Transport()
{
    close();
}

void Transport::close()
{
    for (int *fd : {&rx_, &rx6_, &tx6_, &u4_, &u6_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    for (int fd : tx_)
        if (fd >= 0)
            ::close(fd);
    tx_.clear();
    ifs_.clear();
}

bool Transport::open(const Settings &s, uint16_t listenPort, uint16_t sendPort, std::string *error,
                     uint16_t unicastPort)
{
    close();
    auto fail = [&](const std::string &what) {
        if (error)
            *error = what + (errno ? std::string(": ") + std::strerror(errno) : std::string());
        close();
        return false;
    };
    errno = 0;
    in_addr group{};
    if (inet_pton(AF_INET, s.group.c_str(), &group) != 1 || !IN_MULTICAST(ntohl(group.s_addr)))
        return fail("bad multicast group " + s.group);
    in6_addr group6{};
    if (inet_pton(AF_INET6, s.group6.c_str(), &group6) != 1 || !IN6_IS_ADDR_MC_LINKLOCAL(&group6))
        return fail("bad IPv6 multicast group " + s.group6 + " (a link-local group, ff02::…)");
    std::string ifError;
    ifs_ = chooseInterfaces(s.interfaces, &ifError);
    if (ifs_.empty()) {
        errno = 0;
        return fail(ifError.empty() ? "no usable network interface" : ifError);
    }
    sendPort_ = sendPort;
    // Thousands of devices answer within one window: a deep queue keeps
    // bursts from overflowing. FORCE works as root, the plain call otherwise.
    auto deepen = [](int fd) {
        int big = 16 << 20;
        if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big) != 0)
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    };
    int one = 1;
    bool any4 = false;
    for (auto &i : ifs_)
        any4 = any4 || i.has4;
    if (any4) {
        rx_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (rx_ < 0)
            return fail("socket");
        setsockopt(rx_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        deepen(rx_);
        sockaddr_in bindAddr{};
        bindAddr.sin_family = AF_INET;
        bindAddr.sin_port = htons(listenPort);
        bindAddr.sin_addr = group; // only datagrams sent to the group
        if (bind(rx_, reinterpret_cast<sockaddr *>(&bindAddr), sizeof bindAddr) != 0)
            return fail("bind");
    }
    for (auto &i : ifs_) {
        if (!i.has4) {
            tx_.push_back(-1);
            continue;
        }
        ip_mreqn m{};
        m.imr_multiaddr = group;
        m.imr_ifindex = int(i.index);
        if (setsockopt(rx_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0)
            return fail("join group on " + i.name);
        int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return fail("socket");
        tx_.push_back(fd);
        int big2 = 4 << 20;
        if (setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &big2, sizeof big2) != 0)
            setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &big2, sizeof big2);
        m.imr_multiaddr = {};
        m.imr_address = i.address;
        if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &m, sizeof m) != 0)
            return fail("pin " + i.name);
        // TTL 0 keeps loopback traffic on this host; one hop otherwise.
        int ttl = i.loopback ? 0 : 1;
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
        int loop = 1;
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    }
    // IPv6 where an interface has a link-local address; loopback carries no
    // link-local multicast on every kernel, so it keeps to IPv4. A host
    // without IPv6 goes on without it.
    bool any6 = false;
    for (auto &i : ifs_)
        any6 = any6 || (i.linkLocal6 && !i.loopback);
    if (any6) {
        rx6_ = socket(AF_INET6, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        tx6_ = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        // A link-local group can be bound to on one link only: the socket is
        // bound to the port, takes only the group it joined, and its readers
        // drop what was not sent to the group (IPV6_RECVPKTINFO).
        sockaddr_in6 b{};
        b.sin6_family = AF_INET6;
        b.sin6_port = htons(listenPort);
        bool joined = false;
        if (rx6_ >= 0 && tx6_ >= 0) {
            int zero = 0;
            setsockopt(rx6_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            setsockopt(rx6_, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
            setsockopt(rx6_, IPPROTO_IPV6, IPV6_RECVPKTINFO, &one, sizeof one);
            setsockopt(rx6_, IPPROTO_IPV6, IPV6_MULTICAST_ALL, &zero, sizeof zero);
            deepen(rx6_);
            if (bind(rx6_, reinterpret_cast<sockaddr *>(&b), sizeof b) == 0)
                for (auto &i : ifs_) {
                    if (!i.linkLocal6 || i.loopback)
                        continue;
                    ipv6_mreq m{};
                    m.ipv6mr_multiaddr = group6;
                    m.ipv6mr_interface = i.index;
                    if (setsockopt(rx6_, IPPROTO_IPV6, IPV6_JOIN_GROUP, &m, sizeof m) == 0)
                        joined = true;
                    else
                        i.linkLocal6 = false; // no IPv6 multicast here after all
                }
            int hops = 1, loop = 1, big2 = 4 << 20;
            setsockopt(tx6_, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &hops, sizeof hops);
            setsockopt(tx6_, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, &loop, sizeof loop);
            if (setsockopt(tx6_, SOL_SOCKET, SO_SNDBUFFORCE, &big2, sizeof big2) != 0)
                setsockopt(tx6_, SOL_SOCKET, SO_SNDBUF, &big2, sizeof big2);
        }
        if (!joined) {
            for (int *fd : {&rx6_, &tx6_})
                if (*fd >= 0)
                    ::close(*fd), *fd = -1;
            for (auto &i : ifs_)
                i.linkLocal6 = false;
        }
    } else {
        for (auto &i : ifs_)
            i.linkLocal6 = false;
    }
    if (rx_ < 0 && rx6_ < 0) {
        errno = 0;
        return fail("no interface carries IPv4 or IPv6 multicast");
    }
    // Unicast: IPv4 must work; IPv6 may be switched off on the host.
    std::string why;
    u4_ = unicastSocket(AF_INET, unicastPort, &why);
    if (u4_ < 0) {
        errno = 0;
        return fail(why);
    }
    u6_ = unicastSocket(AF_INET6, unicastPort, nullptr);
    dest_ = {};
    dest_.sin_family = AF_INET;
    dest_.sin_port = htons(sendPort);
    dest_.sin_addr = group;
    dest6_ = {};
    dest6_.sin6_family = AF_INET6;
    dest6_.sin6_port = htons(sendPort);
    dest6_.sin6_addr = group6;
    return true;
}

long Transport::receive(uint8_t *buf, size_t cap)
{
    if (rx_ < 0)
        return -1;
    ssize_t n = recv(rx_, buf, cap, MSG_DONTWAIT | MSG_TRUNC);
    if (n < 0)
        return -1;
    if (size_t(n) > cap)
        return 0; // truncated: too long to be ours, reject as empty
    return long(n);
}

bool Transport::send(const uint8_t *data, size_t size, int families)
{
    bool any = false;
    if (families & kV4)
        for (int fd : tx_) {
            if (fd < 0)
                continue;
            for (int attempt = 0; attempt < 50; ++attempt) {
                ssize_t n = sendto(fd, data, size, 0, reinterpret_cast<const sockaddr *>(&dest_), sizeof dest_);
                if (n == ssize_t(size)) {
                    any = true;
                    break;
                }
                if (errno != ENOBUFS && errno != EAGAIN)
                    break;
                usleep(200); // send queue full during a burst: wait for it to drain
            }
        }
    if ((families & kV6) && tx6_ >= 0)
        for (auto &i : ifs_)
            if (i.linkLocal6) {
                Address to = Address::v6(dest6_.sin6_addr, i.index);
                any = net::sendTo(tx6_, to, sendPort_, data, size, nullptr, int(i.index)) || any;
            }
    return any;
}

bool Transport::sendTo(const Address &to, uint16_t port, const uint8_t *data, size_t size, const Address *from)
{
    return net::sendTo(to.isV6() ? u6_ : u4_, to, port, data, size, from);
}

} // namespace zelt::net
