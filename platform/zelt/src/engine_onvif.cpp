// The engine's ONVIF side: WS-Discovery probes on the interfaces ZELT uses,
// ProbeMatch, Hello and Bye turned into the same device records and events
// as ZELT announcements, device details read over the device service once a
// password is known, and ZELT_ModifyDeviceNetParam mapped to its calls.
#include "engine.h"

#include "device.h"
#include "log.h"
#include "onvif_client.h"

#include <arpa/inet.h>
#include <sodium.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace zelt {

namespace {

constexpr size_t kMaxOnvifDevices = 200000;

template <size_t N>
void copyText(char (&dst)[N], const std::string &src)
{
    size_t n = std::min(src.size(), N - 1);
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
}

bool isHex(const std::string &s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

// "urn:uuid:…" → the UUID, when it is one.
std::string uuidOf(const std::string &address)
{
    std::string a = address;
    if (a.size() > 9 && strncasecmp(a.c_str(), "urn:uuid:", 9) == 0)
        a = a.substr(9);
    if (a.size() != 36 || a[8] != '-' || a[13] != '-' || a[18] != '-' || a[23] != '-')
        return {};
    std::string hex = a.substr(0, 8) + a.substr(9, 4) + a.substr(14, 4) + a.substr(19, 4) + a.substr(24);
    if (!isHex(hex))
        return {};
    std::transform(a.begin(), a.end(), a.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return a;
}

// Until the device service tells them, the endpoint reference stands in:
// its UUID for the serial number, the node of a time-based UUID (which is
// the device's MAC by the UUID rules) or else a locally administered MAC
// derived from it.
void identityFromEndpoint(const std::string &address, const std::string &scopeMac, std::string &serial, wire::Mac &mac)
{
    uint8_t h[16];
    crypto_generichash(h, sizeof h, reinterpret_cast<const unsigned char *>(address.data()), address.size(), nullptr,
                       0);
    const std::string uuid = uuidOf(address);
    serial = uuid.empty() ? "ONVIF-" + crypto::toHex(h, 12) : uuid;
    if (auto m = wire::parseMac(scopeMac)) {
        mac = *m;
        return;
    }
    if (!uuid.empty() && uuid[14] == '1') {
        wire::Mac node;
        if (crypto::fromHex(uuid.substr(24), node.data(), node.size()) && !(node[0] & 1) && node != wire::Mac{}) {
            mac = node;
            return;
        }
    }
    mac = {uint8_t((h[0] & 0xfc) | 0x02), h[1], h[2], h[3], h[4], h[5]};
}

bool inSubnet(const in_addr &host, const net::Interface &i)
{
    const uint32_t h = ntohl(host.s_addr);
    if (i.loopback)
        return (h >> 24) == 127;
    const uint32_t m = ntohl(i.mask.s_addr), a = ntohl(i.address.s_addr);
    return m != 0 && (h & m) == (a & m);
}

std::string normalisedMac(const std::string &text)
{
    auto m = wire::parseMac(text);
    return m ? wire::macText(*m) : std::string();
}

} // namespace

bool Engine::openOnvif(std::string *error)
{
    if (!onvifEnabled_)
        return true;
    if (const char *p = std::getenv("ZELT_WSD_PORT"); p && *p) {
        long v = std::strtol(p, nullptr, 10);
        if (v > 0 && v < 65536)
            wsdPort_ = uint16_t(v);
    }
    if (const char *pw = std::getenv("ZELT_ONVIF_PASSWORD"); pw && *pw && std::strlen(pw) <= 64)
        onvifPassword_ = pw;
    in_addr group{};
    inet_pton(AF_INET, onvif::kDiscoveryGroup, &group);
    wsdRx_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    wsdTx_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (wsdRx_ < 0 || wsdTx_ < 0) {
        *error = "socket";
        return false;
    }
    int one = 1, big = 4 << 20;
    setsockopt(wsdRx_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    for (int fd : {wsdRx_, wsdTx_}) {
        if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big) != 0)
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
        setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(wsdPort_);
    a.sin_addr = group;
    if (bind(wsdRx_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        *error = "bind WS-Discovery port";
        return false;
    }
    for (auto &i : transport_.interfaces()) {
        ip_mreqn m{};
        m.imr_multiaddr = group;
        m.imr_ifindex = int(i.index);
        if (setsockopt(wsdRx_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0) {
            *error = "join WS-Discovery group on " + i.name;
            return false;
        }
    }
    sockaddr_in any{};
    any.sin_family = AF_INET;
    if (bind(wsdTx_, reinterpret_cast<sockaddr *>(&any), sizeof any) != 0) {
        *error = "bind probe socket";
        return false;
    }
    int loop = 1;
    setsockopt(wsdTx_, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    onvifWorker_ = std::thread([this] { onvifWorkerLoop(); });
    return true;
}

void Engine::sendProbe()
{
    if (wsdTx_ < 0)
        return;
    net::sendOnEachInterface(wsdTx_, transport_.interfaces(), onvif::kDiscoveryGroup, wsdPort_,
                             onvif::probeMessage(onvif::newUuid()));
}

void Engine::receiveOnvif(int fd)
{
    std::vector<char> buf(onvif::kMaxDatagram + 1);
    for (int k = 0; k < 1024 && !stopping_; ++k) {
        char control[256];
        iovec iov{buf.data(), buf.size()};
        msghdr mh{};
        mh.msg_iov = &iov;
        mh.msg_iovlen = 1;
        mh.msg_control = control;
        mh.msg_controllen = sizeof control;
        ssize_t n = recvmsg(fd, &mh, MSG_DONTWAIT);
        if (n < 0)
            break;
        if ((mh.msg_flags & MSG_TRUNC) || size_t(n) > onvif::kMaxDatagram)
            continue; // too long to be a discovery message
        // Only what arrives on a chosen interface.
        int ifindex = -1;
        for (cmsghdr *c = CMSG_FIRSTHDR(&mh); c; c = CMSG_NXTHDR(&mh, c))
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
                ifindex = reinterpret_cast<in_pktinfo *>(CMSG_DATA(c))->ipi_ifindex;
        const auto &ifs = transport_.interfaces();
        if (ifindex >= 0
            && std::none_of(ifs.begin(), ifs.end(), [&](const net::Interface &i) { return int(i.index) == ifindex; }))
            continue;
        handleDiscovery(reinterpret_cast<const uint8_t *>(buf.data()), size_t(n));
    }
}

void Engine::handleDiscovery(const uint8_t *data, size_t size)
{
    auto m = onvif::parseDiscovery(reinterpret_cast<const char *>(data), size);
    if (!m) {
        log::write(3, "dropped malformed WS-Discovery datagram of %zu bytes", size);
        return;
    }
    if (m->kind == onvif::DiscoveryMessage::Probe || m->kind == onvif::DiscoveryMessage::Other)
        return;
    std::vector<std::pair<std::string, ZELT_DEVICE_INFO>> events;
    {
        std::lock_guard lock(mu_);
        onDiscovery(*m, Clock::now(), events);
    }
    if (!events.empty())
        tableCv_.notify_all();
    for (auto &[k, info] : events)
        queueEvent(k, info);
}

void Engine::onDiscovery(const onvif::DiscoveryMessage &m, Clock::time_point now,
                         std::vector<std::pair<std::string, ZELT_DEVICE_INFO>> &events)
{
    for (const onvif::Endpoint &ep : m.endpoints) {
        const std::string key = "onvif:" + ep.address;
        auto it = onvif_.find(key);
        if (m.kind == onvif::DiscoveryMessage::Bye) {
            if (it != onvif_.end())
                dropOnvif(it, events);
            continue;
        }
        // Other WS-Discovery responders (printers, file servers) are no cameras.
        if (!ep.isVideoDevice()) {
            log::write(3, "WS-Discovery endpoint %s is no video device, ignored", ep.address.c_str());
            continue;
        }
        if (ep.xaddrs.empty())
            continue; // nothing to reach it by
        if (it == onvif_.end()) {
            if (onvif_.size() >= kMaxOnvifDevices) {
                log::write(1, "ONVIF table full, %s ignored", ep.address.c_str());
                continue;
            }
            it = onvif_.emplace(key, OnvifEntry{}).first;
            it->second.firstSeen = now;
            ++newSinceInquiry_;
        }
        OnvifEntry &e = it->second;
        const bool moved = e.endpoint.xaddrs != ep.xaddrs || e.endpoint.metadataVersion != ep.metadataVersion;
        e.endpoint = ep;
        e.scopes = onvif::readScopes(ep.scopes);
        e.lastSeen = now;
        refreshOnvif(key, e, events);
        if ((!e.enriched || moved) && (!e.password.empty() || !onvifPassword_.empty()))
            queueEnrich(key, e);
    }
}

void Engine::refreshOnvif(const std::string &key, OnvifEntry &e,
                          std::vector<std::pair<std::string, ZELT_DEVICE_INFO>> &events)
{
    ZELT_DEVICE_INFO fresh;
    std::memset(&fresh, 0, sizeof fresh);
    std::string serial;
    wire::Mac mac{};
    identityFromEndpoint(e.endpoint.address, e.scopes.mac, serial, mac);
    if (e.enriched && !e.device.serial.empty() && e.device.serial.size() <= 47)
        serial = e.device.serial;
    if (e.enriched) {
        if (auto real = wire::parseMac(e.nic.mac))
            mac = *real;
    }
    copyText(fresh.szSerialNO, serial);
    copyText(fresh.szMAC, wire::macText(mac));
    std::string host;
    uint16_t port = 80;
    for (auto &x : e.endpoint.xaddrs)
        if (onvif::splitHttpUrl(x, host, port))
            break;
    copyText(fresh.szIPv4Address, e.enriched && !e.nic.address.empty() ? e.nic.address : host);
    fresh.dwPort = port;
    fresh.wHttpPort = uint16_t(e.enriched && e.httpPort > 0 ? e.httpPort : port);
    copyText(fresh.szDevDesc, e.enriched && !e.device.model.empty() ? e.device.model : e.scopes.hardware);
    copyText(fresh.szOEMinfo, e.scopes.name);
    if (e.enriched) {
        copyText(fresh.szIPv4SubnetMask, onvif::maskFromPrefix(e.nic.prefix));
        copyText(fresh.szDeviceSoftwareVersion, e.device.firmware);
        copyText(fresh.szIPv4Gateway, e.gateway);
        fresh.byDhcpEnabled = e.nic.dhcp ? 1 : 0;
        fresh.byExtendInfo = 1;
        fresh.bySupport = ZELT_SUPPORT_DHCP;
    }
    fresh.byTrust = ZELT_TRUST_UNCERTIFIED;
    fresh.byProtocol = ZELT_PROTOCOL_ONVIF;
    // A device that also speaks ZELT is listed once, by its certified side.
    const bool hidden = byMac_.count(mac) > 0;
    const bool sameIdentity = std::strcmp(fresh.szSerialNO, e.info.szSerialNO) == 0
                              && std::strcmp(fresh.szMAC, e.info.szMAC) == 0;
    if (e.reported && (hidden || !sameIdentity)) {
        ZELT_DEVICE_INFO gone = e.info;
        gone.iResult = ZELT_EVENT_OFFLINE;
        events.emplace_back(key, gone);
        e.reported = false;
    }
    // A new device is held back for an answer window: when it speaks ZELT
    // too, its certified side is heard first and it is listed once.
    const bool settling = zeltEnabled_ && !e.reported
                          && Clock::now() - e.firstSeen < std::chrono::milliseconds(timing_.windowMs + 500);
    if (hidden || settling) {
        e.info = fresh;
        return;
    }
    if (!e.reported) {
        fresh.iResult = ZELT_EVENT_ONLINE;
        e.info = fresh;
        e.reported = true;
        events.emplace_back(key, fresh);
        return;
    }
    fresh.iResult = ZELT_EVENT_CHANGED;
    e.info.iResult = ZELT_EVENT_CHANGED;
    if (std::memcmp(&fresh, &e.info, sizeof fresh) != 0) {
        e.info = fresh;
        events.emplace_back(key, fresh);
    }
}

void Engine::dropOnvif(std::map<std::string, OnvifEntry>::iterator it,
                       std::vector<std::pair<std::string, ZELT_DEVICE_INFO>> &events)
{
    if (it->second.reported) {
        ZELT_DEVICE_INFO gone = it->second.info;
        gone.iResult = ZELT_EVENT_OFFLINE;
        events.emplace_back(it->first, gone);
    }
    sodium_memzero(it->second.password.data(), it->second.password.size());
    onvif_.erase(it);
}

size_t Engine::onvifDeviceCount()
{
    std::lock_guard lock(mu_);
    return onvif_.size();
}

void Engine::queueEnrich(const std::string &key, OnvifEntry &e)
{
    if (e.enrichQueued || onvifWorker_.get_id() == std::thread::id())
        return;
    e.enrichQueued = true;
    {
        std::lock_guard lock(onvifMu_);
        onvifQueue_.push_back(key);
    }
    onvifCv_.notify_one();
}

void Engine::onvifWorkerLoop()
{
    for (;;) {
        std::string key;
        {
            std::unique_lock lock(onvifMu_);
            onvifCv_.wait(lock, [&] { return stopping_ || !onvifQueue_.empty(); });
            if (stopping_)
                return;
            key = std::move(onvifQueue_.front());
            onvifQueue_.pop_front();
        }
        enrich(key);
    }
}

std::string Engine::reachableXAddr(const onvif::Endpoint &e) const
{
    for (const std::string &x : e.xaddrs) {
        std::string host;
        uint16_t port;
        in_addr a;
        if (!onvif::splitHttpUrl(x, host, port) || inet_pton(AF_INET, host.c_str(), &a) != 1)
            continue;
        for (auto &i : transport_.interfaces())
            if (inSubnet(a, i))
                return x;
    }
    return {};
}

// Reads what the device service tells about the device: serial number,
// model, firmware, MAC, address, gateway, HTTP port.
void Engine::enrich(const std::string &key)
{
    onvif::Endpoint ep;
    onvif::Credentials cred{onvif::configuredUser(), {}};
    {
        std::lock_guard lock(mu_);
        auto it = onvif_.find(key);
        if (it == onvif_.end())
            return;
        it->second.enrichQueued = false;
        ep = it->second.endpoint;
        cred.password = it->second.password.empty() ? onvifPassword_ : it->second.password;
    }
    const std::string url = reachableXAddr(ep);
    if (url.empty() || cred.password.empty())
        return;
    onvif::Client c(url, timing_.commandTimeoutMs);
    onvif::Node env;
    onvif::DeviceInformation info;
    std::vector<onvif::NetworkInterface> nics;
    std::string gateway;
    int httpPort = 0;
    uint32_t rc = c.syncClock();
    if (rc == ZELT_ERR_NONE)
        rc = c.call(onvif::request("GetDeviceInformation"), &cred, env);
    if (rc == ZELT_ERR_NONE) {
        auto d = onvif::readDeviceInformation(env);
        rc = d ? ZELT_ERR_NONE : ZELT_ERR_PROTOCOL;
        if (d)
            info = *d;
    }
    if (rc == ZELT_ERR_NONE)
        rc = c.call(onvif::request("GetNetworkInterfaces"), &cred, env);
    if (rc == ZELT_ERR_NONE) {
        auto n = onvif::readNetworkInterfaces(env);
        rc = n && !n->empty() ? ZELT_ERR_NONE : ZELT_ERR_PROTOCOL;
        if (rc == ZELT_ERR_NONE)
            nics = *n;
    }
    // Gateway and protocols are optional for a device: their absence leaves the fields empty.
    if (rc == ZELT_ERR_NONE && c.call(onvif::request("GetNetworkDefaultGateway"), &cred, env) == ZELT_ERR_NONE)
        gateway = onvif::readDefaultGateway(env).value_or("");
    if (rc == ZELT_ERR_NONE && c.call(onvif::request("GetNetworkProtocols"), &cred, env) == ZELT_ERR_NONE)
        httpPort = onvif::readHttpPort(env).value_or(0);
    sodium_memzero(cred.password.data(), cred.password.size());
    std::vector<std::pair<std::string, ZELT_DEVICE_INFO>> events;
    {
        std::lock_guard lock(mu_);
        auto it = onvif_.find(key);
        if (it == onvif_.end())
            return;
        OnvifEntry &e = it->second;
        if (rc != ZELT_ERR_NONE) {
            log::write(2, "ONVIF device %s: details not read (error %u)", ep.address.c_str(), unsigned(rc));
            if (rc == ZELT_ERR_WRONG_PASSWORD)
                sodium_memzero(e.password.data(), e.password.size()), e.password.clear();
            return;
        }
        e.enriched = true;
        e.device = info;
        // The first interface with IPv4 is the one the device is reached by.
        e.nic = nics.front();
        for (auto &n : nics)
            if (n.enabled && n.ipv4Enabled && !n.address.empty()) {
                e.nic = n;
                break;
            }
        e.nic.mac = normalisedMac(e.nic.mac);
        e.gateway = gateway;
        e.httpPort = httpPort;
        e.enrichedVersion = ep.metadataVersion;
        refreshOnvif(key, e, events);
    }
    for (auto &[k, i] : events)
        queueEvent(k, i);
}

std::string Engine::findOnvif(const Target &t)
{
    for (auto &[key, e] : onvif_) {
        const auto mac = wire::parseMac(e.info.szMAC);
        if (!mac || byMac_.count(*mac))
            continue; // the ZELT side answers for it
        if (t.mac ? mac == t.mac : t.serial == e.info.szSerialNO)
            return key;
    }
    return {};
}

void Engine::tickOnvif(Clock::time_point now, std::vector<std::pair<std::string, ZELT_DEVICE_INFO>> &events)
{
    const auto period = std::chrono::milliseconds(timing_.inquiryPeriodMs);
    const auto grace = std::chrono::milliseconds(std::min(timing_.windowMs, timing_.inquiryPeriodMs / 2));
    for (auto it = onvif_.begin(); it != onvif_.end();) {
        if (now - it->second.lastSeen > 3 * period + grace) {
            auto gone = it++;
            dropOnvif(gone, events);
            continue;
        }
        // Its ZELT side came or went: listed by whichever is there.
        refreshOnvif(it->first, it->second, events);
        ++it;
    }
}

uint32_t Engine::onvifCommand(const std::string &key, const OnvifEntry &e, const wire::CommandBody &b)
{
    if (b.command != wire::Command::SetNet) {
        log::write(1, "command %u to ONVIF device %s refused: ONVIF has no such command", unsigned(b.command),
                   e.info.szSerialNO);
        return ZELT_ERR_NOT_IN_PROTOCOL;
    }
    const std::string url = reachableXAddr(e.endpoint);
    if (url.empty()) {
        log::write(1, "ONVIF device %s: no address in a local subnet; not reachable over ONVIF", e.info.szSerialNO);
        return ZELT_ERR_NOT_REACHABLE;
    }
    // The device refuses what a device would refuse: checked before anything is sent.
    if (b.netFlags & (wire::kSetIpv6 | wire::kSetIpv6Gateway))
        return ZELT_ERR_NOT_SUPPORTED;
    auto text = [](const wire::Ip4 &a) {
        char buf[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, a.data(), buf, sizeof buf);
        return std::string(buf);
    };
    onvif::Credentials cred{onvif::configuredUser(), b.password};
    log::write(2, "ONVIF command set network to %s (%s)", e.info.szSerialNO, url.c_str());
    onvif::Client c(url, timing_.commandTimeoutMs);
    onvif::Node env;
    auto finish = [&](uint32_t rc) {
        sodium_memzero(cred.password.data(), cred.password.size());
        log::write(2, "ONVIF set network on %s: status %u", e.info.szSerialNO, unsigned(rc));
        return rc;
    };
    uint32_t rc = c.syncClock();
    if (rc == ZELT_ERR_TIMEOUT || rc == ZELT_ERR_NETWORK)
        return finish(rc);
    rc = c.call(onvif::request("GetNetworkInterfaces"), &cred, env);
    if (rc != ZELT_ERR_NONE)
        return finish(rc);
    auto nics = onvif::readNetworkInterfaces(env);
    if (!nics || nics->empty())
        return finish(ZELT_ERR_PROTOCOL);
    onvif::NetworkInterface cur = nics->front();
    for (auto &n : *nics)
        if (n.enabled && n.ipv4Enabled && !n.address.empty()) {
            cur = n;
            break;
        }
    {
        // Refused as a device would refuse it, before anything is changed.
        wire::DeviceRecord now;
        now.support = ZELT_SUPPORT_DHCP;
        inet_pton(AF_INET, onvif::maskFromPrefix(cur.prefix).c_str(), now.mask.data());
        if (uint32_t bad = checkNetParameters(b, now))
            return finish(bad);
    }
    bool reboot = false;
    auto set = [&](const std::string &bodyXml) {
        uint32_t r = c.call(bodyXml, &cred, env);
        if (r == ZELT_ERR_NONE)
            reboot = reboot || onvif::readRebootNeeded(env).value_or(false);
        return r;
    };
    if (b.netFlags & wire::kSetGateway) {
        if ((rc = set(onvif::setDefaultGatewayBody(text(b.gateway)))) != ZELT_ERR_NONE)
            return finish(rc);
    }
    // The service port and the HTTP port are one port over ONVIF.
    int httpPort = 0;
    if (b.netFlags & wire::kSetHttp)
        httpPort = b.httpPort;
    else if ((b.netFlags & wire::kSetPort) && b.port != e.info.dwPort)
        httpPort = b.port;
    if (httpPort > 0 && httpPort != e.info.wHttpPort) {
        if ((rc = set(onvif::setHttpPortBody(httpPort))) != ZELT_ERR_NONE)
            return finish(rc);
    }
    const bool dhcp = b.dhcp == 1;
    const std::string address = (b.netFlags & wire::kSetIpv4) ? text(b.ipv4) : cur.address;
    const int prefix = (b.netFlags & wire::kSetMask) ? onvif::prefixFromMask(text(b.mask)) : cur.prefix;
    if (!dhcp && (address.empty() || prefix <= 0))
        return finish(ZELT_ERR_BAD_PARAMETERS);
    if (dhcp != cur.dhcp || (!dhcp && (address != cur.address || prefix != cur.prefix))) {
        if ((rc = set(onvif::setNetworkInterfacesBody(cur.token, dhcp, address, prefix))) != ZELT_ERR_NONE)
            return finish(rc);
    }
    if (reboot && (rc = c.call(onvif::request("SystemReboot"), &cred, env)) != ZELT_ERR_NONE)
        return finish(rc);
    {
        // The password worked: the device's details can be read from now on.
        std::lock_guard lock(mu_);
        if (auto it = onvif_.find(key); it != onvif_.end()) {
            it->second.password = b.password;
            queueEnrich(key, it->second);
        }
    }
    return finish(ZELT_ERR_NONE);
}

} // namespace zelt
