#include "net.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace zelt::net {

Settings settingsFromEnvironment()
{
    Settings s;
    if (const char *g = std::getenv("ZELT_GROUP"); g && *g)
        s.group = g;
    if (const char *p = std::getenv("ZELT_PORT"); p && *p) {
        long v = std::strtol(p, nullptr, 10);
        if (v > 0 && v < 65535)
            s.devicePort = uint16_t(v);
    }
    if (const char *i = std::getenv("ZELT_INTERFACES"); i)
        s.interfaces = i;
    return s;
}

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
    std::vector<Interface> all;
    for (ifaddrs *a = list; a; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || !(a->ifa_flags & IFF_UP))
            continue;
        bool known = false;
        for (auto &i : all)
            known = known || i.name == a->ifa_name;
        if (known)
            continue; // first address of an interface is enough
        Interface i;
        i.name = a->ifa_name;
        i.index = if_nametoindex(a->ifa_name);
        i.address = reinterpret_cast<sockaddr_in *>(a->ifa_addr)->sin_addr;
        if (a->ifa_netmask)
            i.mask = reinterpret_cast<sockaddr_in *>(a->ifa_netmask)->sin_addr;
        i.loopback = a->ifa_flags & IFF_LOOPBACK;
        bool multicast = a->ifa_flags & IFF_MULTICAST;
        if (!wanted.empty() || (multicast && !i.loopback))
            all.push_back(i);
        else if (i.loopback)
            all.push_back(i);
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
                *error += "interface " + w + " is not up or has no IPv4 address; ";
        }
        if (chosen.size() != wanted.size())
            return {};
        return chosen;
    }
    for (auto &i : all)
        if (!i.loopback)
            chosen.push_back(i);
    if (chosen.empty())
        for (auto &i : all)
            if (i.loopback)
                chosen.push_back(i);
    if (chosen.empty() && error)
        *error = "no usable network interface";
    return chosen;
}

void sendOnEachInterface(int fd, const std::vector<Interface> &ifs, const char *group, uint16_t port,
                         const std::string &datagram)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    inet_pton(AF_INET, group, &to.sin_addr);
    for (auto &i : ifs) {
        ip_mreqn m{};
        m.imr_ifindex = int(i.index);
        m.imr_address = i.address;
        int ttl = i.loopback ? 0 : 1;
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &m, sizeof m);
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
        sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
    }
}

Transport::~Transport()
{
    close();
}

void Transport::close()
{
    if (rx_ >= 0)
        ::close(rx_);
    rx_ = -1;
    for (int fd : tx_)
        ::close(fd);
    tx_.clear();
    ifs_.clear();
}

bool Transport::open(const Settings &s, uint16_t listenPort, uint16_t sendPort, std::string *error)
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
    std::string ifError;
    ifs_ = chooseInterfaces(s.interfaces, &ifError);
    if (ifs_.empty()) {
        errno = 0;
        return fail(ifError.empty() ? "no usable network interface" : ifError);
    }

    rx_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (rx_ < 0)
        return fail("socket");
    int one = 1;
    setsockopt(rx_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // Thousands of devices answer within one window: a deep queue keeps
    // bursts from overflowing. FORCE works as root, the plain call otherwise.
    int big = 16 << 20;
    if (setsockopt(rx_, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big) != 0)
        setsockopt(rx_, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
    sockaddr_in bindAddr{};
    bindAddr.sin_family = AF_INET;
    bindAddr.sin_port = htons(listenPort);
    bindAddr.sin_addr = group; // only datagrams sent to the group
    if (bind(rx_, reinterpret_cast<sockaddr *>(&bindAddr), sizeof bindAddr) != 0)
        return fail("bind");
    for (auto &i : ifs_) {
        ip_mreqn m{};
        m.imr_multiaddr = group;
        m.imr_ifindex = int(i.index);
        if (setsockopt(rx_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0)
            return fail("join group on " + i.name);
    }
    for (auto &i : ifs_) {
        int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return fail("socket");
        tx_.push_back(fd);
        int big2 = 4 << 20;
        if (setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &big2, sizeof big2) != 0)
            setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &big2, sizeof big2);
        ip_mreqn m{};
        m.imr_ifindex = int(i.index);
        m.imr_address = i.address;
        if (setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &m, sizeof m) != 0)
            return fail("pin " + i.name);
        // TTL 0 keeps loopback traffic on this host; one hop otherwise.
        int ttl = i.loopback ? 0 : 1;
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
        int loop = 1;
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    }
    dest_ = {};
    dest_.sin_family = AF_INET;
    dest_.sin_port = htons(sendPort);
    dest_.sin_addr = group;
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

bool Transport::send(const uint8_t *data, size_t size)
{
    bool any = false;
    for (int fd : tx_) {
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
    return any;
}

} // namespace zelt::net
