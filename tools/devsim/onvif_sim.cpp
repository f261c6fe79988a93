#include "onvif_sim.h"

#include "crypto.h"
#include "zelt_sdk.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <sodium.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <random>

namespace devsim {

namespace {

namespace ns = zelt::onvif::ns;
using zelt::onvif::escape;
using zelt::onvif::Node;

constexpr size_t kMaxConnections = 512; // open at once, all devices
constexpr size_t kPerSource = 16;       // open at once from one address to one device
constexpr size_t kMaxHeader = 8192;
constexpr double kHeadSeconds = 3, kRequestSeconds = 10, kIdleSeconds = 10;
// WS-Discovery answers. A MessageID comes back as RelatesTo: a long one
// would make every answer long. Per source address the ProbeMatches of the
// whole fleet draw on a budget of bytes: at most two full answers (every
// device once) at a time, refilled at one full answer a second (at least
// 64 KiB and 32 KiB a second for small fleets). A client probing once a
// second is answered in full; a stream of probes, however fast, draws no
// more from the fleet than that (24 devices, 100 probes of 600 bytes a
// second: about half the bytes it sent), and a source spoofed by someone
// else gets no more either.
constexpr size_t kMaxMessageId = 256;
constexpr double kBudgetAnswers = 2, kMinBudget = 65536, kMinRefill = 32768;
constexpr size_t kMaxBudgets = 4096;    // sources remembered; a new one beyond is not answered
constexpr size_t kMaxPending = 262144;  // answers waiting for their delay, all sources
constexpr size_t kMaxTokens = 65536;    // UsernameTokens remembered, fleet-wide
constexpr size_t kMaxDigestNonces = 64; // outstanding HTTP Digest nonces a device

std::string ip4(const zelt::wire::Ip4 &a)
{
    char b[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, a.data(), b, sizeof b);
    return b;
}
std::string ip6(const zelt::wire::Ip6 &a)
{
    char b[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, a.data(), b, sizeof b);
    return b;
}

std::string md5Hex(const std::string &s)
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(s.data(), s.size(), md, &len, EVP_md5(), nullptr);
    return zelt::crypto::toHex(md, len);
}

int listenOn(const zelt::net::Address &addr, uint16_t port, uint16_t &boundPort)
{
    int fd = socket(addr.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (addr.isV6())
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    sockaddr_storage a;
    socklen_t len = addr.toSockaddr(port, a);
    if (bind(fd, reinterpret_cast<sockaddr *>(&a), len) != 0 || listen(fd, 64) != 0) {
        ::close(fd);
        return -1;
    }
    len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    boundPort = ntohs(addr.isV6() ? reinterpret_cast<sockaddr_in6 *>(&a)->sin6_port
                                  : reinterpret_cast<sockaddr_in *>(&a)->sin_port);
    return fd;
}

// The interface that holds this host's address, 0 if none does.
int interfaceHolding(const zelt::net::Address &addr)
{
    int index = 0;
    ifaddrs *all = nullptr;
    if (getifaddrs(&all) != 0)
        return 0;
    for (ifaddrs *a = all; a && !index; a = a->ifa_next)
        if (a->ifa_addr && a->ifa_addr->sa_family == addr.family
            && zelt::net::Address::fromSockaddr(a->ifa_addr, sizeof(sockaddr_in6)) == addr) {
            const std::string name(a->ifa_name);
            index = int(if_nametoindex(name.substr(0, name.find(':')).c_str()));
        }
    freeifaddrs(all);
    return index;
}

std::string urlHost(const zelt::net::Address &a)
{
    return a.isV6() ? "[" + a.text() + "]" : a.text();
}

// Parameters of an HTTP Digest Authorization header: key=value or key="value".
std::map<std::string, std::string> digestParams(const std::string &h)
{
    std::map<std::string, std::string> out;
    size_t i = 0;
    while (i < h.size() && out.size() < 16) {
        while (i < h.size() && (h[i] == ' ' || h[i] == ','))
            ++i;
        size_t eq = h.find('=', i);
        if (eq == std::string::npos)
            break;
        std::string key = h.substr(i, eq - i);
        std::string value;
        i = eq + 1;
        if (i < h.size() && h[i] == '"') {
            size_t end = h.find('"', i + 1);
            if (end == std::string::npos)
                break;
            value = h.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            size_t end = h.find(',', i);
            value = h.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? h.size() : end;
        }
        out[key] = value;
    }
    return out;
}

std::string lower(std::string s)
{
    for (auto &c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string senderFault(const char *subcode, const char *reason)
{
    return zelt::onvif::faultEnvelope("Sender", std::string("ter:") + subcode, reason);
}

} // namespace

OnvifSim::OnvifSim(std::vector<zelt::Device> &devices, std::vector<TlsIdentity> &tls, OnvifOptions opt,
                   std::function<void(size_t)> changed, std::function<void(size_t)> rebooted)
    : devices_(devices)
    , tlsIds_(tls)
    , opt_(std::move(opt))
    , changed_(std::move(changed))
    , rebooted_(std::move(rebooted))
    , instanceId_(uint32_t(time(nullptr)))
{}

OnvifSim::~OnvifSim()
{
    for (auto &d : devs_)
        closeListeners(d);
    while (!conns_.empty())
        drop(conns_.begin());
    for (int fd : {wsd_, wsd6_})
        if (fd >= 0)
            ::close(fd);
    if (tlsCtx_)
        SSL_CTX_free(tlsCtx_);
}

double OnvifSim::now() const
{
    return std::chrono::duration<double>(Clock::now() - start_).count();
}

bool OnvifSim::open(const std::vector<zelt::net::Interface> &ifs, std::string *error)
{
    ifs_ = ifs;
    wsd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (wsd_ < 0) {
        *error = "socket";
        return false;
    }
    int one = 1, big = 4 << 20;
    setsockopt(wsd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    setsockopt(wsd_, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
    if (setsockopt(wsd_, SOL_SOCKET, SO_SNDBUFFORCE, &big, sizeof big) != 0)
        setsockopt(wsd_, SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(opt_.discoveryPort);
    if (bind(wsd_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        *error = std::string("WS-Discovery port ") + std::to_string(opt_.discoveryPort) + ": " + std::strerror(errno);
        return false;
    }
    in_addr group{};
    inet_pton(AF_INET, zelt::onvif::kDiscoveryGroup, &group);
    for (auto &i : ifs_) {
        if (!i.has4)
            continue; // IPv6-only links: the IPv6 group below
        ip_mreqn m{};
        m.imr_multiaddr = group;
        m.imr_ifindex = int(i.index);
        if (setsockopt(wsd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0) {
            *error = "join " + std::string(zelt::onvif::kDiscoveryGroup) + " on " + i.name + ": "
                     + std::strerror(errno);
            return false;
        }
    }
    int loop = 1;
    setsockopt(wsd_, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    open6();
    if (opt_.tls) {
        tlsCtx_ = SSL_CTX_new(TLS_server_method());
        if (!tlsCtx_ || SSL_CTX_set_min_proto_version(tlsCtx_, TLS1_2_VERSION) != 1) {
            *error = "TLS context";
            return false;
        }
        SSL_CTX_set_options(tlsCtx_, SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
        SSL_CTX_set_mode(tlsCtx_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        SSL_CTX_set_session_cache_mode(tlsCtx_, SSL_SESS_CACHE_OFF);
    }
    return true;
}

// IPv6 beside IPv4 where the interfaces have it (loopback excluded, as its
// link carries no link-local multicast everywhere): the group joined on
// each interface with a link-local address, the socket bound to the port
// alone, so that it also takes probes sent to one address (a scan).
void OnvifSim::open6()
{
    if (std::none_of(ifs_.begin(), ifs_.end(), [](auto &i) { return i.linkLocal6 && !i.loopback; }))
        return;
    wsd6_ = socket(AF_INET6, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (wsd6_ < 0)
        return;
    int one = 1, zero = 0, big = 4 << 20;
    setsockopt(wsd6_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    setsockopt(wsd6_, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    setsockopt(wsd6_, IPPROTO_IPV6, IPV6_RECVPKTINFO, &one, sizeof one);
    setsockopt(wsd6_, IPPROTO_IPV6, IPV6_MULTICAST_ALL, &zero, sizeof zero);
    setsockopt(wsd6_, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &one, sizeof one);
    setsockopt(wsd6_, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, &one, sizeof one);
    if (setsockopt(wsd6_, SOL_SOCKET, SO_SNDBUFFORCE, &big, sizeof big) != 0)
        setsockopt(wsd6_, SOL_SOCKET, SO_SNDBUF, &big, sizeof big);
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_port = htons(opt_.discoveryPort);
    bool joined = false;
    if (bind(wsd6_, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0)
        for (auto &i : ifs_) {
            if (!i.linkLocal6 || i.loopback)
                continue;
            ipv6_mreq m{};
            inet_pton(AF_INET6, zelt::onvif::kDiscoveryGroup6, &m.ipv6mr_multiaddr);
            m.ipv6mr_interface = i.index;
            joined = setsockopt(wsd6_, IPPROTO_IPV6, IPV6_JOIN_GROUP, &m, sizeof m) == 0 || joined;
        }
    if (!joined) {
        if (opt_.verbose)
            std::cerr << "onvif: no WS-Discovery over IPv6: " << std::strerror(errno) << "\n";
        ::close(wsd6_);
        wsd6_ = -1;
    }
}

bool OnvifSim::addDevice(size_t index, std::string *error)
{
    Dev d;
    d.index = index;
    if (opt_.tls) {
        if (tlsIds_.size() < devices_.size())
            tlsIds_.resize(devices_.size());
        TlsIdentity &id = tlsIds_[index];
        if (id.empty() || opt_.renewTls.count(index)) {
            id = newTlsIdentity(devices_[index].record().serial);
            tlsCreated_ = true;
        }
        std::string why;
        if (!loadTlsIdentity(id, d.tls, &why)) {
            *error = devices_[index].record().serial + ": " + (id.empty() ? "cannot make a TLS certificate" : why);
            return false;
        }
    }
    // A time-based UUID whose node is the device's MAC, as devices make them.
    const auto &r = devices_[index].record();
    uint8_t h[8];
    crypto_generichash(h, sizeof h, reinterpret_cast<const unsigned char *>(r.serial.data()), r.serial.size(), nullptr,
                       0);
    const std::string t = zelt::crypto::toHex(h, 8), mac = zelt::crypto::toHex(r.mac.data(), 6);
    d.uuid = t.substr(0, 8) + "-" + t.substr(8, 4) + "-1" + t.substr(13, 3) + "-8" + t.substr(1, 3) + "-" + mac;
    byIndex_[index] = devs_.size();
    devs_.push_back(std::move(d));
    relisten(devs_.back());
    return true;
}

void OnvifSim::closeListeners(Dev &d)
{
    for (auto &l : d.listeners)
        ::close(l.fd);
    d.listeners.clear();
}

// On the device's own addresses (IPv4, IPv6) this host has (network
// namespaces of the checks); with neither, one port per device on every
// interface's IPv4 address and, where IPv6 discovery runs, its first IPv6
// address.
void OnvifSim::relisten(Dev &d)
{
    const auto &r = devices_[d.index].record();
    const uint16_t ownPort = r.httpPort ? r.httpPort : 80;
    uint32_t v4;
    std::memcpy(&v4, r.ipv4.data(), 4);
    in6_addr v6;
    std::memcpy(&v6, r.ipv6.data(), 16);
    const Address want4 = v4 ? Address::v4(v4) : Address{}; // 0.0.0.0 is no address (it would bind to all)
    const Address want6 = IN6_IS_ADDR_UNSPECIFIED(&v6) ? Address{} : Address::v6(v6);
    auto closeWhere = [&](auto pred) {
        for (auto it = d.listeners.begin(); it != d.listeners.end();)
            if (pred(*it)) {
                ::close(it->fd);
                it = d.listeners.erase(it);
            } else
                ++it;
    };
    for (auto [own, want] : {std::make_pair(&d.own4, want4), std::make_pair(&d.own6, want6)}) {
        if (own->on && own->addr == want && own->port == ownPort)
            continue;
        uint16_t bound = 0;
        const int fd = want.valid() ? listenOn(want, ownPort, bound) : -1;
        const Address old = own->addr;
        if (own->on)
            closeWhere([&](const Listener &l) { return l.own && l.addr == old; });
        *own = Own{};
        if (fd < 0)
            continue;
        d.listeners.push_back({fd, want, bound, true});
        *own = Own{true, want, ownPort, interfaceHolding(want)};
    }
    if (d.ownAddress()) {
        closeWhere([](const Listener &l) { return !l.own; });
        return;
    }
    if (!d.listeners.empty())
        return; // the interface listeners stay where they are
    uint16_t port = 0;
    for (auto &i : ifs_) {
        std::vector<Address> at;
        if (i.has4)
            at.push_back(Address::v4(i.address.s_addr));
        if (wsd6_ >= 0 && i.linkLocal6 && !i.loopback && !i.ipv6.empty())
            at.push_back(Address::v6(i.ipv6.front().first));
        for (const Address &a : at) {
            uint16_t got = 0;
            int lfd = listenOn(a, port, got);
            if (lfd < 0)
                lfd = listenOn(a, 0, got);
            if (lfd < 0)
                continue;
            if (!port)
                port = got;
            d.listeners.push_back({lfd, a, got, false});
        }
    }
}

bool OnvifSim::onInterface(const Address &a, int ifindex) const
{
    for (auto &i : ifs_)
        if (int(i.index) == ifindex) {
            if (!a.isV6())
                return i.has4 && i.address.s_addr == a.v4();
            return std::any_of(i.ipv6.begin(), i.ipv6.end(),
                               [&](auto &p) { return std::memcmp(&p.first, a.bytes.data(), 16) == 0; });
        }
    return false;
}

std::vector<std::string> OnvifSim::xaddrs(const Dev &d, int ifindex, int family) const
{
    const std::string scheme = opt_.tls ? "https://" : "http://";
    auto url = [&](const Listener &l) {
        return scheme + urlHost(l.addr) + ":" + std::to_string(l.port) + "/onvif/device_service";
    };
    std::vector<std::string> out;
    for (auto &l : d.listeners)
        if ((!family || l.addr.family == family) && (ifindex < 0 || l.own || onInterface(l.addr, ifindex)))
            out.push_back(url(l));
    if (out.empty())
        for (auto &l : d.listeners)
            if (!family || l.addr.family == family)
                out.push_back(url(l));
    return out;
}

zelt::onvif::Endpoint OnvifSim::endpoint(const Dev &d, int ifindex, int family) const
{
    const auto &r = devices_[d.index].record();
    zelt::onvif::Endpoint e;
    e.address = "urn:uuid:" + d.uuid;
    e.scopes = {"onvif://www.onvif.org/type/video_encoder", "onvif://www.onvif.org/Profile/Streaming",
                "onvif://www.onvif.org/hardware/" + r.description, "onvif://www.onvif.org/name/ZT%20" + r.description,
                "onvif://www.onvif.org/location/simulated"};
    e.xaddrs = xaddrs(d, ifindex, family);
    e.metadataVersion = d.metadataVersion;
    return e;
}

OnvifSim::Address OnvifSim::sourceFor(const Dev &d, int ifindex, int family) const
{
    if (d.own(family).on)
        return d.own(family).addr;
    for (auto &l : d.listeners)
        if (l.addr.family == family && onInterface(l.addr, ifindex))
            return l.addr;
    for (auto &l : d.listeners)
        if (l.addr.family == family)
            return l.addr;
    return {};
}

// The source address is set for each datagram (IP_PKTINFO, IPV6_PKTINFO),
// as the sockets are bound to the port alone: devices with addresses of
// their own share them.
void OnvifSim::sendFrom(const std::string &msg, const Address &to, uint16_t port, const Address &from, int ifindex)
{
    if (!zelt::net::sendTo(to.isV6() ? wsd6_ : wsd_, to, port, reinterpret_cast<const uint8_t *>(msg.data()),
                           msg.size(), &from, ifindex)
        && opt_.verbose)
        std::cerr << "onvif: send from " << from.text() << " to " << to.text() << ": " << std::strerror(errno) << "\n";
}

void OnvifSim::multicast(Dev &d, bool hello)
{
    in6_addr group6{};
    inet_pton(AF_INET6, zelt::onvif::kDiscoveryGroup6, &group6);
    const uint32_t number = ++d.messageNumber;
    for (int family : {AF_INET, AF_INET6}) {
        const Own &own = d.own(family);
        const bool ownIf = own.on && std::any_of(ifs_.begin(), ifs_.end(), [&](auto &i) {
                               return int(i.index) == own.ifindex;
                           });
        for (auto &i : ifs_) {
            if (ownIf && int(i.index) != own.ifindex)
                continue;
            Address to;
            if (family == AF_INET) {
                if (!i.has4)
                    continue;
                const int ttl = i.loopback ? 0 : 1; // loopback traffic stays on this host
                setsockopt(wsd_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
                in_addr g{};
                inet_pton(AF_INET, zelt::onvif::kDiscoveryGroup, &g);
                to = Address::v4(g.s_addr);
            } else {
                if (wsd6_ < 0 || !i.linkLocal6 || i.loopback)
                    continue; // where the group was joined
                to = Address::v6(group6, i.index);
            }
            const Address from = sourceFor(d, int(i.index), family);
            if (!from.valid())
                break; // not served over this family
            const zelt::onvif::Endpoint e = endpoint(d, int(i.index), family);
            sendFrom(hello ? zelt::onvif::helloMessage(e, instanceId_, number)
                           : zelt::onvif::byeMessage(e, instanceId_, number),
                     to, opt_.discoveryPort, from, int(i.index));
        }
    }
}

void OnvifSim::announce(size_t index)
{
    auto it = byIndex_.find(index);
    if (it == byIndex_.end() || wsd_ < 0)
        return;
    multicast(devs_[it->second], true);
}

void OnvifSim::sayGoodbye()
{
    for (auto &d : devs_)
        multicast(d, false);
}

void OnvifSim::networkChanged(size_t index)
{
    auto it = byIndex_.find(index);
    if (it == byIndex_.end())
        return;
    Dev &d = devs_[it->second];
    ++d.metadataVersion;
    d.matchBytes = 0;
    relisten(d);
    announce(index);
}

void OnvifSim::pollFds(std::vector<pollfd> &out)
{
    out.push_back({wsd_, POLLIN, 0});
    if (wsd6_ >= 0)
        out.push_back({wsd6_, POLLIN, 0});
    for (auto &d : devs_)
        for (auto &l : d.listeners)
            out.push_back({l.fd, POLLIN, 0});
    for (auto &[fd, c] : conns_) {
        const bool write = c.ssl ? c.wantWrite : !c.reading();
        out.push_back({fd, short(write ? POLLOUT : POLLIN), 0});
    }
}

void OnvifSim::handle(const std::vector<pollfd> &fds, size_t from)
{
    std::vector<std::pair<int, size_t>> toAccept; // listener fd, device
    std::vector<int> ready;
    for (size_t k = from; k < fds.size(); ++k) {
        if (!fds[k].revents)
            continue;
        if (fds[k].fd == wsd_ || (wsd6_ >= 0 && fds[k].fd == wsd6_)) {
            onDiscovery(fds[k].fd);
            continue;
        }
        bool isListener = false;
        for (size_t di = 0; di < devs_.size() && !isListener; ++di)
            for (auto &l : devs_[di].listeners)
                if (l.fd == fds[k].fd) {
                    toAccept.emplace_back(l.fd, di);
                    isListener = true;
                    break;
                }
        if (!isListener)
            ready.push_back(fds[k].fd);
    }
    // Connections first: one that makes room for a new one must not be
    // confused with the new one on the same descriptor number.
    for (int fd : ready) {
        auto it = conns_.find(fd);
        if (it != conns_.end() && !step(it->second))
            drop(it);
    }
    for (auto &[fd, di] : toAccept)
        for (auto &l : devs_[di].listeners)
            if (l.fd == fd) {
                accept(l, di);
                break;
            }
    // Slow clients end: the request head (the TLS handshake included) within
    // kHeadSeconds of the connection, the whole request within kRequestSeconds;
    // a connection that stops moving ends after kIdleSeconds.
    const auto t = Clock::now();
    auto seconds = [&](Clock::time_point since) { return std::chrono::duration<double>(t - since).count(); };
    for (auto it = conns_.begin(); it != conns_.end();) {
        const Conn &c = it->second;
        const double age = seconds(c.accepted);
        if ((!c.headDone && age > kHeadSeconds) || (c.reading() && age > kRequestSeconds)
            || seconds(c.last) > kIdleSeconds) {
            ++stats.shed;
            auto next = std::next(it);
            drop(it);
            it = next;
        } else
            ++it;
    }
}

void OnvifSim::drop(std::map<int, Conn>::iterator it)
{
    if (it->second.ssl)
        SSL_free(it->second.ssl);
    ::close(it->first);
    conns_.erase(it);
}

void OnvifSim::accept(const Listener &l, size_t dev)
{
    for (int k = 0; k < 64; ++k) {
        sockaddr_storage peer{};
        socklen_t len = sizeof peer;
        int fd = ::accept4(l.fd, reinterpret_cast<sockaddr *>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        const Address from = Address::fromSockaddr(reinterpret_cast<sockaddr *>(&peer), len).value_or(Address{});
        // Slow or idle clients must not lock others out. A source holds at
        // most kPerSource connections to a device, and when the table is
        // full the connection idle the longest among those still reading
        // their request makes room: a new client is always heard, and
        // answers being written are never cut.
        auto idlest = [&](bool sameSource) {
            auto found = conns_.end();
            size_t n = 0;
            for (auto it = conns_.begin(); it != conns_.end(); ++it) {
                const Conn &c = it->second;
                if (sameSource && (c.dev != dev || !(c.peer == from)))
                    continue;
                ++n;
                if (c.reading() && (found == conns_.end() || c.last < found->second.last))
                    found = it;
            }
            return std::make_pair(n, found);
        };
        bool room = true;
        for (bool sameSource : {true, false}) {
            auto [n, victim] = idlest(sameSource);
            if (n < (sameSource ? kPerSource : kMaxConnections))
                continue;
            if (victim == conns_.end()) {
                room = false;
                break;
            }
            ++stats.shed;
            drop(victim);
        }
        if (!room) {
            ::close(fd);
            ++stats.shed;
            continue;
        }
        Conn c;
        c.fd = fd;
        c.dev = dev;
        c.peer = from;
        c.accepted = c.last = Clock::now();
        if (tlsCtx_) {
            const Dev &d = devs_[dev];
            c.ssl = SSL_new(tlsCtx_);
            if (!c.ssl || SSL_use_certificate(c.ssl, d.tls.cert.get()) != 1
                || SSL_use_PrivateKey(c.ssl, d.tls.key.get()) != 1 || SSL_set_fd(c.ssl, fd) != 1) {
                if (c.ssl)
                    SSL_free(c.ssl);
                ::close(fd);
                ++stats.dropped;
                continue;
            }
            SSL_set_accept_state(c.ssl);
        }
        conns_[fd] = std::move(c);
    }
}

bool OnvifSim::tlsWait(Conn &c, int result)
{
    switch (SSL_get_error(c.ssl, result)) {
    case SSL_ERROR_WANT_READ: c.wantWrite = false; return true;
    case SSL_ERROR_WANT_WRITE: c.wantWrite = true; return true;
    default: // a failed handshake, a closed or broken connection
        return false;
    }
}

bool OnvifSim::step(Conn &c)
{
    if (c.ssl && !c.handshaken) {
        ERR_clear_error();
        const int r = SSL_do_handshake(c.ssl);
        if (r != 1)
            return tlsWait(c, r);
        c.handshaken = true;
        c.wantWrite = false;
        c.last = Clock::now();
    }
    if (c.reading()) {
        if (!readRequest(c))
            return false;
        if (c.reading())
            return true; // more to come
    }
    return writeAnswer(c);
}

bool OnvifSim::readRequest(Conn &c)
{
    char buf[16384];
    for (;;) {
        ssize_t n;
        if (c.ssl) {
            ERR_clear_error();
            const int r = SSL_read(c.ssl, buf, sizeof buf);
            if (r <= 0) {
                if (!tlsWait(c, r))
                    return false;
                break;
            }
            n = r;
        } else {
            n = ::recv(c.fd, buf, sizeof buf, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
                return false;
            if (n < 0)
                break;
        }
        c.in.append(buf, size_t(n));
        c.last = Clock::now();
        if (c.in.size() > kMaxHeader + zelt::onvif::kMaxSoap) {
            ++stats.dropped;
            return false;
        }
    }
    size_t end = c.in.find("\r\n\r\n");
    if (end == std::string::npos) {
        if (c.in.size() > kMaxHeader) {
            ++stats.dropped;
            return false;
        }
        return true;
    }
    c.headDone = true;
    const std::string head = c.in.substr(0, end);
    // Content-Length decides where the body ends; chunked bodies are not taken.
    long length = -1;
    size_t pos = 0;
    while ((pos = head.find("\r\n", pos)) != std::string::npos) {
        pos += 2;
        size_t colon = head.find(':', pos), eol = head.find("\r\n", pos);
        if (colon == std::string::npos || (eol != std::string::npos && colon > eol))
            continue;
        const std::string name = lower(head.substr(pos, colon - pos));
        std::string value = head.substr(colon + 1, (eol == std::string::npos ? head.size() : eol) - colon - 1);
        while (!value.empty() && value.front() == ' ')
            value.erase(0, 1);
        if (name == "content-length") {
            char *e = nullptr;
            length = std::strtol(value.c_str(), &e, 10);
            if (!e || *e || length < 0)
                length = -2;
        } else if (name == "transfer-encoding")
            length = -2;
    }
    if (length < 0 || size_t(length) > zelt::onvif::kMaxSoap) {
        c.out = "HTTP/1.1 411 Length Required\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        ++stats.dropped;
        return true;
    }
    if (c.in.size() < end + 4 + size_t(length))
        return true; // more to come
    const std::string body = c.in.substr(end + 4, size_t(length));
    c.out = respond(devs_[c.dev], c.peer.family, head, body);
    c.sent = 0;
    return true;
}

bool OnvifSim::writeAnswer(Conn &c)
{
    while (c.sent < c.out.size()) {
        ssize_t n;
        if (c.ssl) {
            ERR_clear_error();
            const int r = SSL_write(c.ssl, c.out.data() + c.sent, int(c.out.size() - c.sent));
            if (r <= 0)
                return tlsWait(c, r);
            n = r;
        } else {
            n = ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
            if (n < 0)
                return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        c.sent += size_t(n);
        c.last = Clock::now();
    }
    if (c.ssl)
        SSL_shutdown(c.ssl); // close_notify, so that the client sees the answer end; not waited for
    return false;            // one request a connection
}

std::string OnvifSim::respond(Dev &d, int family, const std::string &head, const std::string &body)
{
    auto reply = [](int status, const std::string &text, const std::string &content, const std::string &extra = {}) {
        const char *reason = status == 200   ? "OK"
                             : status == 400 ? "Bad Request"
                             : status == 401 ? "Unauthorized"
                             : status == 404 ? "Not Found"
                                             : "Internal Server Error";
        return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nServer: zelt-devsim\r\nContent-Type: " + text
               + "\r\nContent-Length: " + std::to_string(content.size()) + "\r\nConnection: close\r\n" + extra + "\r\n"
               + content;
    };
    const std::string soapType = "application/soap+xml; charset=utf-8";
    if (opt_.verbose)
        std::cerr << "onvif " << devices_[d.index].record().serial << ": " << head.substr(0, head.find("\r\n")) << " "
                  << body.size() << " bytes\n";
    if (opt_.verbose && std::getenv("ZELT_DEVSIM_DUMP"))
        std::cerr << body << "\n";
    if (head.compare(0, 5, "POST ") != 0)
        return reply(404, "text/plain", "POST the device service\n");
    // The Authorization header, for HTTP Digest.
    std::string authorization;
    size_t pos = 0;
    while ((pos = head.find("\r\n", pos)) != std::string::npos) {
        pos += 2;
        size_t colon = head.find(':', pos), eol = head.find("\r\n", pos);
        if (colon == std::string::npos || (eol != std::string::npos && colon > eol))
            continue;
        if (lower(head.substr(pos, colon - pos)) == "authorization") {
            authorization = head.substr(colon + 1, (eol == std::string::npos ? head.size() : eol) - colon - 1);
            while (!authorization.empty() && authorization.front() == ' ')
                authorization.erase(0, 1);
        }
    }
    // The request target: a Digest answer is good for it only.
    const std::string line = head.substr(0, head.find("\r\n"));
    const size_t sp = line.find(' '), sp2 = line.find(' ', sp + 1);
    const std::string target = sp2 == std::string::npos ? std::string() : line.substr(sp + 1, sp2 - sp - 1);
    // While locked out no credential is checked, the right one neither:
    // otherwise the lockout would not stop a guesser.
    bool digestOk = false, stale = false;
    if (opt_.auth != "wsse" && !authorization.empty() && !locked(d)) {
        const Digest r = checkDigest(d, authorization, target);
        digestOk = r == Digest::Ok;
        stale = r == Digest::Stale;
        if (r == Digest::Wrong)
            failure(d);
    }
    if (body.empty() && !digestOk && opt_.auth != "wsse") {
        // An HTTP client negotiating Digest asks without a body first.
        return reply(401, soapType, senderFault("NotAuthorized", "Sender not authorized"),
                     "WWW-Authenticate: " + digestChallenge(d, stale) + "\r\n");
    }
    auto env = zelt::onvif::parse(body.data(), body.size());
    if (!env || !zelt::onvif::body(*env)) {
        ++stats.dropped;
        return reply(400, soapType, zelt::onvif::faultEnvelope("Sender", "ter:WellFormed", "Malformed request"));
    }
    int status = 200;
    bool challenge = false;
    std::string out = soap(d, family, *env, digestOk, status, challenge);
    if (challenge)
        return reply(401, soapType, out, "WWW-Authenticate: " + digestChallenge(d, stale) + "\r\n");
    return reply(status, soapType, out);
}

// A fresh nonce of this device; the oldest ones are forgotten beyond 64.
// stale: the client's nonce was unknown or expired, so that it asks again
// with the new one instead of taking the password for wrong.
std::string OnvifSim::digestChallenge(Dev &d, bool stale)
{
    uint8_t n[16];
    zelt::crypto::randomBytes(n, sizeof n);
    const std::string nonce = zelt::crypto::toHex(n, sizeof n);
    while (d.digestOrder.size() >= kMaxDigestNonces) {
        d.digestNonces.erase(d.digestOrder.front());
        d.digestOrder.pop_front();
    }
    d.digestNonces[nonce] = DigestNonce{now()};
    d.digestOrder.push_back(nonce);
    return "Digest realm=\"zelt-devsim\", qop=\"auth\", nonce=\"" + nonce + "\", algorithm=MD5"
           + (stale ? ", stale=true" : "");
}

OnvifSim::Digest OnvifSim::checkDigest(Dev &d, const std::string &authorization, const std::string &uri)
{
    if (authorization.size() < 7 || lower(authorization.substr(0, 7)) != "digest ")
        return Digest::Refused;
    auto p = digestParams(authorization.substr(7));
    // Only nonces this device issued, within their time, and for this request.
    auto issued = d.digestNonces.find(p["nonce"]);
    if (issued == d.digestNonces.end() || now() - issued->second.issued > opt_.tokenWindowSeconds)
        return Digest::Stale;
    if (p["uri"] != uri || (p.count("algorithm") && lower(p["algorithm"]) != "md5"))
        return Digest::Refused;
    DigestNonce &n = issued->second;
    uint32_t nc = 0;
    if (p.count("qop")) {
        char *e = nullptr;
        const std::string &text = p["nc"];
        const unsigned long v = std::strtoul(text.c_str(), &e, 16);
        // Each answer once: the nonce count must grow.
        if (p["qop"] != "auth" || text.size() != 8 || *e || p["cnonce"].empty() || v <= n.lastNc)
            return Digest::Refused;
        nc = uint32_t(v);
    } else if (n.used || n.lastNc)
        return Digest::Refused;
    if (p["username"] != opt_.user || p["realm"] != "zelt-devsim")
        return Digest::Wrong;
    const std::string ha1 = md5Hex(opt_.user + ":zelt-devsim:" + opt_.password), ha2 = md5Hex("POST:" + p["uri"]);
    const std::string expected = nc ? md5Hex(ha1 + ":" + p["nonce"] + ":" + p["nc"] + ":" + p["cnonce"]
                                             + ":auth:" + ha2)
                                    : md5Hex(ha1 + ":" + p["nonce"] + ":" + ha2);
    if (expected.size() != p["response"].size()
        || sodium_memcmp(expected.data(), p["response"].data(), expected.size()) != 0)
        return Digest::Wrong;
    if (nc)
        n.lastNc = nc;
    else
        n.used = true;
    return Digest::Ok;
}

void OnvifSim::failure(Dev &d)
{
    ++stats.authFailures;
    if (++d.failures < 5)
        return;
    d.lockedUntil = now() + double(opt_.lockoutSeconds) * double(1 << std::min(d.lockLevel, 6));
    ++d.lockLevel;
    d.failures = 0;
}

// PasswordDigest only: a clear-text password is refused. The creation time
// must lie within the window, and a nonce is taken once within it.
bool OnvifSim::checkToken(Dev &d, const zelt::onvif::UsernameToken &t)
{
    auto refuse = [&](const char *why) {
        if (opt_.verbose)
            std::cerr << "onvif " << devices_[d.index].record().serial << ": token refused: " << why << " (user "
                      << t.user << ", created " << t.created << ", nonce "
                      << zelt::crypto::toHex(reinterpret_cast<const uint8_t *>(t.nonce.data()), t.nonce.size())
                      << ")\n";
        return false;
    };
    if (t.passwordType != zelt::onvif::kPasswordDigestType)
        return refuse("not a password digest");
    if (t.nonce.empty() || t.nonce.size() > 64)
        return refuse("no nonce");
    if (t.user != opt_.user)
        return refuse("unknown user");
    auto created = zelt::onvif::parseIsoTime(t.created);
    // Judged by the device's own clock: a client that does not follow a
    // device whose clock is off fails here, as with real cameras.
    const double wall = double(devices_[d.index].clockMs()) / 1000;
    if (!created || std::fabs(double(*created) - wall) > opt_.tokenWindowSeconds)
        return refuse("creation time outside the window");
    const double tnow = now();
    while (!tokenOrder_.empty()) {
        auto it = tokens_.find(tokenOrder_.front());
        const bool full = tokens_.size() > kMaxTokens;
        if (it != tokens_.end() && !full && tnow - it->second.at <= 2 * opt_.tokenWindowSeconds)
            break;
        // Forgotten while still within its window: from now on tokens that
        // old are refused, so that forgetting never lets a replay through.
        if (it != tokens_.end() && full)
            tokenFloor_ = std::max(tokenFloor_, it->second.created);
        if (it != tokens_.end())
            tokens_.erase(it);
        tokenOrder_.pop_front();
    }
    if (*created <= tokenFloor_)
        return refuse("created before the oldest token remembered");
    // A token is the nonce with its creation time: the digest binds both, so
    // a captured token can be sent again only as it was. Some clients reuse
    // a nonce with a new time; that is no replay. A token one device took is
    // never good on another, whatever --onvif-token-reuse says.
    const std::string id = t.nonce + "|" + t.created;
    auto seen = tokens_.find(id);
    if (seen != tokens_.end() && seen->second.dev != d.index)
        return refuse("nonce used on another device");
    if (seen != tokens_.end() && !opt_.allowTokenReuse)
        return refuse("nonce used before");
    const std::string expected = zelt::onvif::passwordDigest(t.nonce, t.created, opt_.password);
    if (expected.size() != t.password.size() || sodium_memcmp(expected.data(), t.password.data(), expected.size()) != 0)
        return refuse("wrong digest");
    if (seen == tokens_.end()) {
        tokens_[id] = TakenToken{d.index, tnow, *created};
        tokenOrder_.push_back(id);
    }
    return true;
}

std::string OnvifSim::soap(Dev &d, int family, const Node &env, bool httpAuthorized, int &status, bool &challenge)
{
    ++stats.calls;
    const Node *op = zelt::onvif::body(env);
    const std::string name = op->ns == ns::tds ? op->name : std::string();
    if (opt_.verbose)
        std::cerr << "onvif " << devices_[d.index].record().serial << ": {" << op->ns << "}" << op->name << "\n";
    auto &dev = devices_[d.index];
    auto &rec = dev.mutableState().record;
    auto ok = [](const std::string &b) { return zelt::onvif::envelope(b); };
    const std::string service = xaddrs(d, -1, family).front();

    // What any client may ask before it logs in.
    if (name == "GetSystemDateAndTime") {
        const time_t t = time_t(dev.clockMs() / 1000);
        tm g;
        gmtime_r(&t, &g);
        char dt[512];
        std::snprintf(
            dt, sizeof dt,
            "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:DateTimeType>Manual</tt:DateTimeType>"
            "<tt:DaylightSavings>false</tt:DaylightSavings><tt:TimeZone><tt:TZ>UTC0</tt:TZ></"
            "tt:TimeZone><tt:UTCDateTime>"
            "<tt:Time><tt:Hour>%d</tt:Hour><tt:Minute>%d</tt:Minute><tt:Second>%d</tt:Second></tt:Time>"
            "<tt:Date><tt:Year>%d</tt:Year><tt:Month>%d</tt:Month><tt:Day>%d</tt:Day></tt:Date></tt:UTCDateTime>"
            "</tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse>",
            g.tm_hour, g.tm_min, g.tm_sec, g.tm_year + 1900, g.tm_mon + 1, g.tm_mday);
        return ok(dt);
    }
    if (name == "GetCapabilities")
        return ok(
            "<tds:GetCapabilitiesResponse><tds:Capabilities><tt:Device><tt:XAddr>" + escape(service)
            + "</tt:XAddr><tt:Network><tt:IPFilter>false</tt:IPFilter><tt:ZeroConfiguration>false</"
              "tt:ZeroConfiguration>"
              "<tt:IPVersion6>false</tt:IPVersion6><tt:DynDNS>false</tt:DynDNS></tt:Network><tt:System>"
              "<tt:DiscoveryResolve>false</tt:DiscoveryResolve><tt:DiscoveryBye>true</tt:DiscoveryBye>"
              "<tt:RemoteDiscovery>false</tt:RemoteDiscovery><tt:SystemBackup>false</tt:SystemBackup>"
              "<tt:SystemLogging>false</tt:SystemLogging><tt:FirmwareUpgrade>false</tt:FirmwareUpgrade></tt:System>"
              "<tt:Security><tt:TLS1.1>false</tt:TLS1.1><tt:TLS1.2>"
            + std::string(opt_.tls ? "true" : "false")
            + "</tt:TLS1.2><tt:OnboardKeyGeneration>false</"
              "tt:OnboardKeyGeneration>"
              "<tt:AccessPolicyConfig>false</tt:AccessPolicyConfig><tt:X.509Token>false</tt:X.509Token>"
              "<tt:SAMLToken>false</tt:SAMLToken><tt:KerberosToken>false</tt:KerberosToken><tt:RELToken>false</"
              "tt:RELToken>"
              "</tt:Security></tt:Device><tt:Media><tt:XAddr>"
            + escape(service)
            + "</tt:XAddr><tt:StreamingCapabilities><tt:RTPMulticast>false</tt:RTPMulticast><tt:RTP_TCP>true</"
              "tt:RTP_TCP>"
              "<tt:RTP_RTSP_TCP>true</tt:RTP_RTSP_TCP></tt:StreamingCapabilities></tt:Media></tds:Capabilities></"
              "tds:GetCapabilitiesResponse>");
    if (name == "GetServices")
        return ok("<tds:GetServicesResponse><tds:Service><tds:Namespace>" + std::string(ns::tds)
                  + "</tds:Namespace><tds:XAddr>" + escape(service)
                  + "</tds:XAddr><tds:Version><tt:Major>2</tt:Major><tt:Minor>60</tt:Minor></tds:Version>"
                    "</tds:Service></tds:GetServicesResponse>");

    // Everything else needs the password.
    bool authorized = httpAuthorized;
    if (!authorized && locked(d)) {
        status = 400;
        return senderFault("NotAuthorized", "Locked after failed attempts; try later");
    }
    if (!authorized && opt_.auth != "digest") {
        if (auto tok = zelt::onvif::findUsernameToken(env)) {
            authorized = checkToken(d, *tok);
            // A token without a user name tries no password (clients send
            // one while they look around): no failed attempt.
            if (!authorized && !tok->user.empty())
                failure(d);
        }
    }
    if (!authorized) {
        if (opt_.auth != "wsse")
            challenge = true;
        status = 400;
        return senderFault("NotAuthorized", "Sender not authorized");
    }
    d.failures = 0;
    d.lockLevel = 0;

    // Some clients put the request's parts in the schema namespace (tt)
    // instead of the service's (tds): taken from either.
    auto part = [&](const char *local) -> const Node * {
        const Node *n = op->child(ns::tds, local);
        return n ? n : op->child(ns::tt, local);
    };
    auto partText = [&](const char *local) {
        const Node *n = part(local);
        return n ? n->text : std::string();
    };
    auto invalid = [&](const char *what) {
        status = 400;
        return zelt::onvif::faultEnvelope("Sender", "ter:InvalidArgVal", what);
    };
    // The media service, as far as clients ask for it while logging in.
    const char *trt = "http://www.onvif.org/ver10/media/wsdl";
    if (op->ns == trt && (op->name == "GetProfiles" || op->name == "GetProfile")) {
        const bool one = op->name == "GetProfile";
        const std::string tag = one ? "Profile" : "Profiles";
        return zelt::onvif::envelope(
            "<trt:" + op->name + "Response xmlns:trt=\"" + std::string(trt) + "\"><trt:" + tag
            + " token=\"profile_1\" fixed=\"true\"><tt:Name>main</tt:Name>"
              "<tt:VideoEncoderConfiguration token=\"venc_1\"><tt:Name>main</tt:Name><tt:UseCount>1</tt:UseCount>"
              "<tt:Encoding>H264</tt:Encoding><tt:Resolution><tt:Width>1920</tt:Width><tt:Height>1080</tt:Height>"
              "</tt:Resolution><tt:Quality>5</tt:Quality><tt:RateControl><tt:FrameRateLimit>25</tt:FrameRateLimit>"
              "<tt:EncodingInterval>1</tt:EncodingInterval><tt:BitrateLimit>4096</tt:BitrateLimit></tt:RateControl>"
              "</tt:VideoEncoderConfiguration></trt:"
            + tag + "></trt:" + op->name + "Response>");
    }
    if (name == "GetDeviceInformation") {
        char hw[16];
        std::snprintf(hw, sizeof hw, "0x%04X", rec.type);
        return ok("<tds:GetDeviceInformationResponse><tds:Manufacturer>ZT simulated</tds:Manufacturer><tds:Model>"
                  + escape(rec.description) + "</tds:Model><tds:FirmwareVersion>" + escape(rec.softVersion)
                  + "</tds:FirmwareVersion><tds:SerialNumber>" + escape(rec.serial)
                  + "</tds:SerialNumber><tds:HardwareId>" + hw
                  + "</tds:HardwareId></tds:GetDeviceInformationResponse>");
    }
    if (name == "GetNetworkInterfaces") {
        std::string mac = zelt::wire::macText(rec.mac);
        std::replace(mac.begin(), mac.end(), '-', ':');
        const int prefix = zelt::onvif::prefixFromMask(ip4(rec.mask));
        const std::string addr = "<tt:Address>" + ip4(rec.ipv4) + "</tt:Address><tt:PrefixLength>"
                                 + std::to_string(std::max(prefix, 0)) + "</tt:PrefixLength>";
        // IPv6 on devices that have it: a manual address, or none with DHCP Auto
        // (the simulator has no router to give one).
        std::string v6;
        if (rec.support & ZELT_SUPPORT_IPV6) {
            const bool manual = rec.ipv6 != zelt::wire::Ip6{};
            v6 = "<tt:IPv6><tt:Enabled>true</tt:Enabled><tt:Config><tt:AcceptRouterAdvert>"
                 + std::string(manual ? "false" : "true") + "</tt:AcceptRouterAdvert>"
                 + (manual ? "<tt:Manual><tt:Address>" + ip6(rec.ipv6) + "</tt:Address><tt:PrefixLength>"
                                 + std::to_string(rec.ipv6Prefix) + "</tt:PrefixLength></tt:Manual>"
                           : std::string())
                 + "<tt:DHCP>" + (manual ? "Off" : "Auto") + "</tt:DHCP></tt:Config></tt:IPv6>";
        }
        return ok("<tds:GetNetworkInterfacesResponse><tds:NetworkInterfaces "
                  "token=\"eth0\"><tt:Enabled>true</tt:Enabled><tt:Info>"
                  "<tt:Name>eth0</tt:Name><tt:HwAddress>"
                  + mac
                  + "</tt:HwAddress><tt:MTU>1500</tt:MTU></tt:Info><tt:IPv4>"
                    "<tt:Enabled>true</tt:Enabled><tt:Config>"
                  + (rec.dhcp ? "<tt:FromDHCP>" + addr + "</tt:FromDHCP>" : "<tt:Manual>" + addr + "</tt:Manual>")
                  + "<tt:DHCP>" + (rec.dhcp ? "true" : "false") + "</tt:DHCP></tt:Config></tt:IPv4>" + v6
                  + "</tds:NetworkInterfaces></tds:GetNetworkInterfacesResponse>");
    }
    if (name == "GetNetworkDefaultGateway")
        return ok("<tds:GetNetworkDefaultGatewayResponse><tds:NetworkGateway><tt:IPv4Address>" + ip4(rec.gateway)
                  + "</tt:IPv4Address>"
                  + (rec.ipv6Gateway != zelt::wire::Ip6{}
                         ? "<tt:IPv6Address>" + ip6(rec.ipv6Gateway) + "</tt:IPv6Address>"
                         : std::string())
                  + "</tds:NetworkGateway></tds:GetNetworkDefaultGatewayResponse>");
    if (name == "GetNetworkProtocols")
        return ok("<tds:GetNetworkProtocolsResponse><tds:NetworkProtocols><tt:Name>HTTP</tt:Name><tt:Enabled>"
                  + std::string(rec.httpPort ? "true" : "false") + "</tt:Enabled><tt:Port>"
                  + std::to_string(rec.httpPort ? rec.httpPort : 80)
                  + "</tt:Port></tds:NetworkProtocols><tds:NetworkProtocols><tt:Name>RTSP</tt:Name><tt:Enabled>true</"
                    "tt:Enabled>"
                    "<tt:Port>554</tt:Port></tds:NetworkProtocols></tds:GetNetworkProtocolsResponse>");
    if (name == "GetDNS")
        return ok("<tds:GetDNSResponse><tds:DNSInformation><tt:FromDHCP>false</"
                  "tt:FromDHCP><tt:DNSManual><tt:Type>IPv4</tt:Type>"
                  "<tt:IPv4Address>"
                  + ip4(rec.gateway) + "</tt:IPv4Address></tt:DNSManual></tds:DNSInformation></tds:GetDNSResponse>");
    if (name == "GetHostname")
        return ok("<tds:GetHostnameResponse><tds:HostnameInformation><tt:FromDHCP>false</tt:FromDHCP><tt:Name>"
                  + escape(rec.serial) + "</tt:Name></tds:HostnameInformation></tds:GetHostnameResponse>");
    if (name == "SetNetworkInterfaces") {
        if (partText("InterfaceToken") != "eth0") {
            status = 400;
            return zelt::onvif::faultEnvelope("Sender", "ter:InvalidNetworkInterface", "No such interface");
        }
        const Node *nic = part("NetworkInterface");
        const Node *v4 = nic ? nic->child(ns::tt, "IPv4") : nullptr;
        const Node *v6 = nic ? nic->child(ns::tt, "IPv6") : nullptr;
        if (!v4 && !v6)
            return invalid("IPv4 or IPv6 settings missing");
        zelt::wire::CommandBody c;
        zelt::wire::DeviceRecord withDhcp = rec;
        withDhcp.support |= ZELT_SUPPORT_DHCP;
        // IPv6: a manual address (DHCP Off), or none (Auto, Stateful,
        // Stateless: the device takes what its routers give).
        bool v6Automatic = false;
        if (v6) {
            const std::string mode = v6->childText(ns::tt, "DHCP");
            const Node *manual = v6->child(ns::tt, "Manual");
            if (mode != "Off" && mode != "Auto" && mode != "Stateful" && mode != "Stateless")
                return invalid("Invalid IPv6 DHCP mode");
            v6Automatic = mode != "Off";
            c.netFlags |= zelt::wire::kSetIpv6;
            if (!v6Automatic) {
                const std::string a = manual ? manual->childText(ns::tt, "Address") : std::string();
                const std::string p = manual ? manual->childText(ns::tt, "PrefixLength") : std::string();
                char *e = nullptr;
                const long prefix = std::strtol(p.c_str(), &e, 10);
                in6_addr a6;
                if (inet_pton(AF_INET6, a.c_str(), &a6) != 1 || p.empty() || *e || prefix < 1 || prefix > 128
                    || IN6_IS_ADDR_MULTICAST(&a6) || IN6_IS_ADDR_UNSPECIFIED(&a6) || IN6_IS_ADDR_LINKLOCAL(&a6))
                    return invalid("Invalid IPv6 address or prefix");
                std::memcpy(c.ipv6.data(), &a6, 16);
                c.ipv6Prefix = uint8_t(prefix);
            }
            if (zelt::checkNetParameters(c, withDhcp) == ZELT_ERR_NOT_SUPPORTED)
                return invalid("IPv6 settings not supported");
            if (!v4) {
                rec.ipv6 = v6Automatic ? zelt::wire::Ip6{} : c.ipv6;
                rec.ipv6Prefix = v6Automatic ? 0 : c.ipv6Prefix;
                dev.touch();
                changed_(d.index);
                return ok("<tds:SetNetworkInterfacesResponse><tds:RebootNeeded>false</tds:RebootNeeded></"
                          "tds:SetNetworkInterfacesResponse>");
            }
        }
        const bool dhcp = v4->childText(ns::tt, "DHCP") == "true";
        c.dhcp = dhcp ? 1 : 0;
        if (const Node *manual = v4->child(ns::tt, "Manual")) {
            const std::string a = manual->childText(ns::tt, "Address");
            const std::string p = manual->childText(ns::tt, "PrefixLength");
            char *e = nullptr;
            long prefix = p.empty() ? zelt::onvif::prefixFromMask(ip4(rec.mask)) : std::strtol(p.c_str(), &e, 10);
            if (inet_pton(AF_INET, a.c_str(), c.ipv4.data()) != 1 || (e && *e) || prefix < 1 || prefix > 31)
                return invalid("Invalid IPv4 address or prefix");
            const std::string m = zelt::onvif::maskFromPrefix(int(prefix));
            inet_pton(AF_INET, m.c_str(), c.mask.data());
            c.netFlags |= zelt::wire::kSetIpv4 | zelt::wire::kSetMask;
        } else if (!dhcp)
            return invalid("A manual address is needed without DHCP");
        if (zelt::checkNetParameters(c, withDhcp))
            return invalid("Invalid IPv4 settings");
        if (c.netFlags & zelt::wire::kSetIpv4) {
            rec.ipv4 = c.ipv4;
            rec.mask = c.mask;
        }
        if (v6) {
            rec.ipv6 = v6Automatic ? zelt::wire::Ip6{} : c.ipv6;
            rec.ipv6Prefix = v6Automatic ? 0 : c.ipv6Prefix;
        }
        rec.dhcp = c.dhcp;
        dev.touch();
        changed_(d.index);
        return ok("<tds:SetNetworkInterfacesResponse><tds:RebootNeeded>false</tds:RebootNeeded></"
                  "tds:SetNetworkInterfacesResponse>");
    }
    if (name == "SetNetworkDefaultGateway") {
        const std::string g = partText("IPv4Address"), g6 = partText("IPv6Address");
        zelt::wire::CommandBody c;
        if (g.empty() && g6.empty())
            return invalid("Invalid gateway");
        if (!g.empty() && inet_pton(AF_INET, g.c_str(), c.gateway.data()) != 1)
            return invalid("Invalid gateway");
        if (!g6.empty() && inet_pton(AF_INET6, g6.c_str(), c.ipv6Gateway.data()) != 1)
            return invalid("Invalid IPv6 gateway");
        c.netFlags = (g.empty() ? 0 : zelt::wire::kSetGateway) | (g6.empty() ? 0 : zelt::wire::kSetIpv6Gateway);
        if (zelt::checkNetParameters(c, rec))
            return invalid("Invalid gateway");
        if (!g.empty())
            rec.gateway = c.gateway;
        if (!g6.empty())
            rec.ipv6Gateway = c.ipv6Gateway;
        dev.touch();
        changed_(d.index);
        return ok("<tds:SetNetworkDefaultGatewayResponse/>");
    }
    if (name == "SetNetworkProtocols") {
        std::vector<const Node *> protocols = op->all(ns::tds, "NetworkProtocols");
        for (const Node *p : op->all(ns::tt, "NetworkProtocols"))
            protocols.push_back(p);
        for (const Node *p : protocols) {
            if (p->childText(ns::tt, "Name") != "HTTP")
                continue;
            char *e = nullptr;
            const std::string text = p->childText(ns::tt, "Port");
            long port = std::strtol(text.c_str(), &e, 10);
            if (text.empty() || *e || port < 1 || port > 65535)
                return invalid("Invalid port");
            rec.httpPort = uint16_t(port);
            dev.touch();
            changed_(d.index);
        }
        return ok("<tds:SetNetworkProtocolsResponse/>");
    }
    if (name == "SetSystemDateAndTime") {
        const std::string type = partText("DateTimeType");
        if (type == "NTP")
            return ok("<tds:SetSystemDateAndTimeResponse/>"); // no time server to follow: the clock stays
        const Node *utc = part("UTCDateTime");
        const auto when = utc ? zelt::onvif::readDateTime(*utc) : std::nullopt;
        if (type != "Manual" || !when || *when < 946684800 || *when > 4102444800)
            return invalid("Invalid date and time");
        dev.setClockMs(int64_t(*when) * 1000);
        if (clockSet_)
            clockSet_(d.index);
        return ok("<tds:SetSystemDateAndTimeResponse/>");
    }
    if (name == "SystemReboot") {
        rebooted_(d.index);
        return ok("<tds:SystemRebootResponse><tds:Message>Rebooting</tds:Message></tds:SystemRebootResponse>");
    }
    status = 500;
    return zelt::onvif::faultEnvelope("Receiver", "ter:ActionNotSupported", "Not supported by this device");
}

void OnvifSim::onDiscovery(int fd)
{
    std::vector<uint8_t> buf(zelt::onvif::kMaxDatagram + 1);
    for (int k = 0; k < 256; ++k) {
        zelt::net::Received info;
        const long n = zelt::net::receiveFrom(fd, buf.data(), buf.size(), &info);
        if (n < 0)
            return;
        if (n == 0) { // truncated
            ++stats.dropped;
            continue;
        }
        const int ifindex = info.ifindex;
        const Address &to = info.to;
        // Only what arrives on a chosen interface.
        if (std::none_of(ifs_.begin(), ifs_.end(), [&](auto &i) { return int(i.index) == ifindex; }))
            continue;
        auto m = zelt::onvif::parseDiscovery(reinterpret_cast<const char *>(buf.data()), size_t(n));
        if (!m) {
            ++stats.dropped;
            continue;
        }
        if (m->kind != zelt::onvif::DiscoveryMessage::Probe)
            continue;
        ++stats.probes;
        const std::string tds = std::string("{") + ns::tds + "}Device",
                          nvt = std::string("{") + ns::dn + "}NetworkVideoTransmitter";
        bool wanted = m->probeTypes.empty();
        for (auto &t : m->probeTypes)
            wanted = wanted || t == tds || t == nvt;
        if (!wanted || !m->probeScopes.empty())
            continue; // these devices match no scope filter
        if (m->messageId.empty() || m->messageId.size() > kMaxMessageId) {
            ++stats.refusedProbes;
            continue;
        }
        // A probe sent to one address (a scan) is answered by the device
        // there only: by the one that has it, or, for an address of an
        // interface, by those listening on the interfaces.
        std::vector<size_t> addressed;
        if (!to.multicast()) {
            for (size_t di = 0; di < devs_.size(); ++di)
                if (devs_[di].own(to.family).on && devs_[di].own(to.family).addr == to)
                    addressed.push_back(di);
            if (addressed.empty())
                for (size_t di = 0; di < devs_.size(); ++di)
                    if (!devs_[di].ownAddress())
                        for (auto &l : devs_[di].listeners)
                            if (l.addr == to)
                                addressed.push_back(di);
            if (addressed.empty())
                continue;
        }
        answerProbe(info.from, info.fromPort, m->messageId, ifindex, addressed.empty() ? nullptr : &addressed);
    }
}

size_t OnvifSim::matchBytes(Dev &d)
{
    if (!d.matchBytes)
        d.matchBytes = zelt::onvif::probeMatchesMessage({}, endpoint(d, -1, 0), instanceId_, UINT32_MAX).size();
    return d.matchBytes;
}

void OnvifSim::answerProbe(const Address &from, uint16_t port, const std::string &messageId, int ifindex,
                           const std::vector<size_t> *only)
{
    const size_t idBytes = escape(messageId).size();
    double full = 0; // every device's answer to this probe
    for (auto &d : devs_)
        full += double(matchBytes(d) + idBytes);
    const double cap = std::max(kMinBudget, kBudgetAnswers * full), refill = std::max(kMinRefill, full);
    const auto t = Clock::now();
    auto refilled = [&](const Budget &b) {
        return std::min(cap, b.bytes + std::chrono::duration<double>(t - b.at).count() * refill);
    };
    auto it = budgets_.find(from);
    if (it == budgets_.end()) {
        if (budgets_.size() >= kMaxBudgets) // forget sources whose budget is whole again
            for (auto b = budgets_.begin(); b != budgets_.end();)
                b = refilled(b->second) >= cap ? budgets_.erase(b) : std::next(b);
        if (budgets_.size() >= kMaxBudgets) {
            stats.limitedMatches += devs_.size();
            return;
        }
        it = budgets_.emplace(from, Budget{cap, t}).first;
    }
    Budget &budget = it->second;
    budget.bytes = refilled(budget);
    budget.at = t;
    // Each device answers after a random delay of up to half a second.
    static std::mt19937 rng{std::random_device{}()};
    std::uniform_int_distribution<int> delay(0, 500);
    const size_t n = only ? only->size() : devs_.size();
    for (size_t k = 0; k < n; ++k) {
        const size_t di = only ? (*only)[k] : (probeCursor_ + k) % n;
        if (!sourceFor(devs_[di], ifindex, from.family).valid())
            continue; // not served over the probe's family
        const double cost = double(matchBytes(devs_[di]) + idBytes);
        if (budget.bytes < cost || pending_.size() >= kMaxPending) {
            stats.limitedMatches += n - k;
            probeCursor_ = di;
            return;
        }
        budget.bytes -= cost;
        pending_.push_back({t + std::chrono::milliseconds(delay(rng)), di, from, port, messageId, ifindex});
        std::push_heap(pending_.begin(), pending_.end(), [](auto &a, auto &b) { return a.at > b.at; });
    }
}

int OnvifSim::msUntilNextTimer() const
{
    if (pending_.empty())
        return -1;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(pending_.front().at - Clock::now()).count();
    return int(std::max<long long>(0, ms));
}

void OnvifSim::runTimers()
{
    const auto t = Clock::now();
    int budget = 2000;
    auto later = [](auto &a, auto &b) { return a.at > b.at; };
    while (!pending_.empty() && pending_.front().at <= t && budget-- > 0) {
        std::pop_heap(pending_.begin(), pending_.end(), later);
        Pending p = pending_.back();
        pending_.pop_back();
        if (p.dev >= devs_.size())
            continue;
        Dev &d = devs_[p.dev];
        const int family = p.to.family;
        const Address from = sourceFor(d, p.ifindex, family);
        if (!from.valid())
            continue; // moved off that family meanwhile
        const std::string msg = zelt::onvif::probeMatchesMessage(p.relatesTo, endpoint(d, p.ifindex, family),
                                                                 instanceId_, ++d.messageNumber);
        // A device of its own address answers from it, wherever the route goes.
        sendFrom(msg, p.to, p.port, from, d.own(family).on ? 0 : p.ifindex);
        ++stats.matches;
    }
}

} // namespace devsim
