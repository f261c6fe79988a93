#include "onvif_devices.h"

#include "device.h"
#include "fixed_text.h"
#include "log.h"
#include "onvif_client.h"

#include <arpa/inet.h>
#include <sodium.h>
#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace zelt {

namespace {

constexpr auto kConsentLife = std::chrono::seconds(60);
constexpr size_t kMaxProbeIds = 32;

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

// The host of an XAddr, when it is an address literal.
std::optional<net::Address> xaddrHost(const std::string &url, bool *https = nullptr)
{
    std::string host;
    uint16_t port;
    if (!onvif::splitHttpUrl(url, host, port, https))
        return std::nullopt;
    return net::Address::parse(host);
}

std::string normalisedMac(const std::string &text)
{
    auto m = wire::parseMac(text);
    return m ? wire::macText(*m) : std::string();
}

} // namespace

OnvifDevices::OnvifDevices(PartContext ctx, const net::Transport &transport, const ZeltLookup &zelt, bool zeltEnabled)
    : ctx_(ctx)
    , transport_(transport)
    , zelt_(zelt)
    , zeltEnabled_(zeltEnabled)
{}

void OnvifDevices::configure()
{
    if (const char *pw = std::getenv("ZELT_ONVIF_PASSWORD"); pw && *pw && std::strlen(pw) <= 64)
        password_ = pw;
    if (const char *p = std::getenv("ZELT_ONVIF_PER_SENDER"); p && *p) {
        long v = std::strtol(p, nullptr, 10);
        if (v > 0)
            perSenderMax_ = size_t(std::min<long>(v, long(kMaxDevices)));
    }
    pins_.load(PinStore::defaultPath());
}

size_t OnvifDevices::deviceCount()
{
    std::lock_guard lock(mu_);
    return entries_.size();
}

void OnvifDevices::report(const std::string &key, const ZELT_DEVICE_INFO &info)
{
    mu_.assertHeld();
    ctx_.events.push(key, info);
    ctx_.watch.changed();
}

std::string OnvifDevices::newProbe()
{
    const std::string id = onvif::newUuid();
    {
        // Matches are taken only in answer to a probe of ours.
        std::lock_guard lock(mu_);
        probeIds_.emplace_back("urn:uuid:" + id, Clock::now());
        while (probeIds_.size() > kMaxProbeIds)
            probeIds_.pop_front();
    }
    return onvif::probeMessage(id);
}

void OnvifDevices::handleDiscovery(const uint8_t *data, size_t size, const Origin *from)
{
    auto m = onvif::parseDiscovery(reinterpret_cast<const char *>(data), size);
    if (!m) {
        log::write(3, "dropped malformed WS-Discovery datagram of %zu bytes", size);
        return;
    }
    if (m->kind == onvif::DiscoveryMessage::Probe || m->kind == onvif::DiscoveryMessage::Other)
        return;
    // An answer to the probe sent to its sender's very address in a scan range.
    const bool directed = m->kind == onvif::DiscoveryMessage::ProbeMatches && from && from->directedProbe
                          && from->directedProbe(m->relatesTo);
    if (from && !from->chosenInterface && !directed)
        return; // only answers to directed probes may come in by another way
    std::lock_guard lock(mu_);
    if (m->kind == onvif::DiscoveryMessage::ProbeMatches && !directed
        && std::none_of(probeIds_.begin(), probeIds_.end(), [&](const auto &p) {
               return p.first == m->relatesTo
                      && Clock::now() - p.second < std::chrono::milliseconds(2 * ctx_.timing.windowMs + 5000);
           })) {
        log::write(3, "ProbeMatches answering no probe of ours, dropped");
        return;
    }
    onDiscovery(*m, from, directed, Clock::now());
}

bool OnvifDevices::heardFrom(const net::Address &a, Clock::time_point since)
{
    std::lock_guard lock(mu_);
    auto it = heardAt_.find(a);
    return it != heardAt_.end() && it->second >= since;
}

void OnvifDevices::onDiscovery(const onvif::DiscoveryMessage &m, const Origin *from, bool directed,
                               Clock::time_point now)
{
    mu_.assertHeld();
    for (const onvif::Endpoint &ep : m.endpoints) {
        const std::string key = "onvif:" + ep.address;
        auto it = entries_.find(key);
        if (m.kind == onvif::DiscoveryMessage::Bye) {
            // Only the sender that announced it may say it is gone.
            if (it != entries_.end() && from && from->address == it->second.sender)
                drop(it);
            continue;
        }
        // Other WS-Discovery responders (printers, file servers) are no cameras.
        if (!ep.isVideoDevice()) {
            log::write(3, "WS-Discovery endpoint %s is no video device, ignored", ep.address.c_str());
            continue;
        }
        if (ep.xaddrs.empty())
            continue; // nothing to reach it by
        const net::Address sender = from ? from->address : net::Address{};
        if (sender.valid()) {
            if (heardAt_.size() >= kMaxDevices && !heardAt_.count(sender))
                heardAt_.clear(); // bounded like the table
            heardAt_[sender] = now;
        }
        if (it == entries_.end()) {
            size_t &mine = perSender_[sender];
            if (entries_.size() >= kMaxDevices || mine >= perSenderMax_) {
                log::write(1, "ONVIF table full (%zu, %zu from this sender), %s ignored", entries_.size(), mine,
                           ep.address.c_str());
                continue;
            }
            ++mine;
            it = entries_.emplace(key, Entry{}).first;
            it->second.firstSeen = now;
            it->second.sender = sender;
            ctx_.watch.deviceAdded();
        } else if (it->second.sender != sender) {
            // Another host speaks for this endpoint now: what was bound to
            // the old one (password, pin check) is not carried over.
            if (--perSender_[it->second.sender] == 0)
                perSender_.erase(it->second.sender);
            ++perSender_[sender];
            it->second.sender = sender;
            it->second.pinMatched = false;
        }
        Entry &e = it->second;
        const bool moved = e.endpoint.xaddrs != ep.xaddrs || e.endpoint.metadataVersion != ep.metadataVersion;
        e.endpoint = ep;
        e.scopes = onvif::readScopes(ep.scopes);
        e.lastSeen = now;
        e.url = reachableXAddr(ep);
        // The service must live at the address the announcement came from,
        // and that address on the link it came in on, or be the scanned
        // address whose probe this answers.
        e.originOk = false;
        if (from && !e.url.empty()) {
            auto a = xaddrHost(e.url);
            if (a && *a == from->address) {
                e.originOk = directed;
                for (auto &i : transport_.interfaces())
                    if (int(i.index) == from->ifindex && net::inSubnet(*a, i))
                        e.originOk = true;
            }
        }
        if (moved)
            e.pinMatched = false;
        if (e.password.size() && e.passwordUrl != e.url) {
            // A password is bound to the address it was proven at.
            sodium_memzero(e.password.data(), e.password.size());
            e.password.clear();
        }
        refresh(key, e);
        if (e.originOk && (!e.enriched || moved))
            queueEnrich(key, e);
    }
}

uint8_t OnvifDevices::trustOf(const Entry &e)
{
    mu_.assertHeld();
    if (e.ambiguous)
        return ZELT_TRUST_AMBIGUOUS;
    // Pinned: this run's handshake showed the certificate of an earlier run.
    return e.pinMatched && !e.certChanged && pins_.fromEarlierRun(e.pinKey) ? ZELT_TRUST_PINNED
                                                                            : ZELT_TRUST_UNCERTIFIED;
}

bool OnvifDevices::rival(const std::string &key, const Entry &e, const ZeltClaim &zelt) const
{
    mu_.assertHeld();
    // A ZELT device has (or had) this MAC or serial number: an ONVIF entry
    // claiming it elsewhere is no fallback for it.
    if ((zelt.heard && !zelt.listed) || zelt.serialElsewhere)
        return true;
    auto differs = [&](const std::string &other) {
        if (other == key)
            return false;
        auto it = entries_.find(other);
        return it != entries_.end() && it->second.url != e.url;
    };
    for (auto [a, b] = byMac_.equal_range(e.idMac); a != b; ++a)
        if (differs(a->second))
            return true;
    for (auto [a, b] = bySerial_.equal_range(e.idSerial); a != b; ++a)
        if (differs(a->second))
            return true;
    return false;
}

bool OnvifDevices::rival(const std::string &key, const Entry &e) const
{
    mu_.assertHeld();
    return rival(key, e, zelt_.claim(e.idSerial, e.idMac));
}

void OnvifDevices::unindex(const std::string &key, const Entry &e)
{
    mu_.assertHeld();
    for (auto [a, b] = bySerial_.equal_range(e.idSerial); a != b; ++a)
        if (a->second == key) {
            bySerial_.erase(a);
            break;
        }
    for (auto [a, b] = byMac_.equal_range(e.idMac); a != b; ++a)
        if (a->second == key) {
            byMac_.erase(a);
            break;
        }
}

void OnvifDevices::refresh(const std::string &key, Entry &e, bool peers)
{
    mu_.assertHeld();
    ZELT_DEVICE_INFO fresh;
    std::memset(&fresh, 0, sizeof fresh);
    std::string serial;
    wire::Mac mac{};
    identityFromEndpoint(e.endpoint.address, e.scopes.mac, serial, mac);
    if (e.pinKey.empty())
        e.pinKey = e.endpoint.address + " " + wire::macText(mac);
    if (e.enriched && !e.device.serial.empty() && e.device.serial.size() <= 47)
        serial = e.device.serial;
    if (e.enriched) {
        if (auto real = wire::parseMac(e.nic.mac))
            mac = *real;
    }
    // Its identity in the indexes; a change there concerns the old and the new peers.
    std::vector<std::pair<std::string, wire::Mac>> groups;
    if (serial != e.idSerial || mac != e.idMac) {
        if (!e.idSerial.empty()) {
            unindex(key, e);
            groups.emplace_back(e.idSerial, e.idMac);
        }
        e.idSerial = serial;
        e.idMac = mac;
        bySerial_.emplace(serial, key);
        byMac_.emplace(mac, key);
    }
    groups.emplace_back(serial, mac);
    const ZeltClaim zelt = zelt_.claim(serial, mac);
    e.ambiguous = rival(key, e, zelt);

    copyText(fresh.szSerialNO, serial);
    copyText(fresh.szMAC, wire::macText(mac));
    // The first IPv4 XAddr gives address and port; an IPv6-only device's first IPv6 one.
    std::string host, host6;
    uint16_t port = 80, port6 = 80;
    for (auto &x : e.endpoint.xaddrs) {
        std::string h;
        uint16_t p;
        if (!onvif::splitHttpUrl(x, h, p))
            continue;
        const bool v6 = h.find(':') != std::string::npos;
        if (v6 && host6.empty())
            host6 = h, port6 = p;
        else if (!v6 && host.empty())
            host = h, port = p;
    }
    if (host.empty())
        port = port6;
    copyText(fresh.szIPv4Address, e.enriched && !e.nic.address.empty() ? e.nic.address : host);
    copyText(fresh.szIPv6Address, host6);
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
        if (e.nic.hasIpv6) { // its device service takes IPv6 settings
            fresh.bySupport |= ZELT_SUPPORT_IPV6 | ZELT_SUPPORT_MODIFY_IPV6;
            if (!e.nic.ipv6Address.empty())
                copyText(fresh.szIPv6Address, e.nic.ipv6Address);
            fresh.byIPv6MaskLen = uint8_t(e.nic.ipv6Prefix);
            copyText(fresh.szIPv6Gateway, e.gateway6);
        }
    }
    fresh.byTrust = trustOf(e);
    fresh.byProtocol = ZELT_PROTOCOL_ONVIF;
    fresh.byClockKnown = e.clockKnown ? 1 : 0;
    fresh.iClockOffset = e.clockOffset;
    // A device that also speaks ZELT is listed once, by its certified side.
    const bool hidden = zelt.listed;
    const bool sameIdentity = std::strcmp(fresh.szSerialNO, e.info.szSerialNO) == 0
                              && std::strcmp(fresh.szMAC, e.info.szMAC) == 0;
    if (e.reported && (hidden || !sameIdentity)) {
        ZELT_DEVICE_INFO gone = e.info;
        gone.iResult = ZELT_EVENT_OFFLINE;
        report(key, gone);
        e.reported = false;
    }
    // A new device is held back for an answer window: when it speaks ZELT
    // too, its certified side is heard first and it is listed once.
    const auto settle = std::chrono::milliseconds(ctx_.timing.windowMs + 500);
    const bool settling = zeltEnabled_ && !e.reported && Clock::now() - e.firstSeen < settle;
    if (settling && !e.settleQueued) {
        e.settleQueued = true;
        settling_.emplace_back(e.firstSeen + settle, key);
    }
    if (hidden || settling) {
        e.info = fresh;
    } else if (!e.reported) {
        fresh.iResult = ZELT_EVENT_ONLINE;
        e.info = fresh;
        e.reported = true;
        report(key, fresh);
    } else {
        fresh.iResult = ZELT_EVENT_CHANGED;
        e.info.iResult = ZELT_EVENT_CHANGED;
        if (std::memcmp(&fresh, &e.info, sizeof fresh) != 0) {
            e.info = fresh;
            report(key, fresh);
        }
    }
    if (!peers)
        return;
    // Those sharing the identity may have become (or stopped being) rivals.
    std::set<std::string> others;
    for (auto &[gs, gm] : groups) {
        for (auto [a, b] = bySerial_.equal_range(gs); a != b; ++a)
            others.insert(a->second);
        for (auto [a, b] = byMac_.equal_range(gm); a != b; ++a)
            others.insert(a->second);
    }
    others.erase(key);
    for (const std::string &k : others)
        if (auto it = entries_.find(k); it != entries_.end() && it->second.ambiguous != rival(k, it->second))
            refresh(k, it->second, false);
}

void OnvifDevices::drop(Entries::iterator it)
{
    mu_.assertHeld();
    Entry &e = it->second;
    if (e.reported) {
        ZELT_DEVICE_INFO gone = e.info;
        gone.iResult = ZELT_EVENT_OFFLINE;
        report(it->first, gone);
    }
    sodium_memzero(e.password.data(), e.password.size());
    unindex(it->first, e);
    if (auto s = perSender_.find(e.sender); s != perSender_.end() && --s->second == 0)
        perSender_.erase(s);
    const std::string serial = e.idSerial;
    const wire::Mac mac = e.idMac;
    dirty_.erase(it->first);
    entries_.erase(it);
    // A rival gone may end the others' ambiguity.
    std::set<std::string> others;
    for (auto [a, b] = bySerial_.equal_range(serial); a != b; ++a)
        others.insert(a->second);
    for (auto [a, b] = byMac_.equal_range(mac); a != b; ++a)
        others.insert(a->second);
    for (const std::string &k : others)
        if (auto o = entries_.find(k); o != entries_.end())
            refresh(k, o->second, false);
}

void OnvifDevices::zeltIdentityChanged(const std::string &serial, const wire::Mac &mac)
{
    std::lock_guard lock(mu_);
    for (auto [a, b] = byMac_.equal_range(mac); a != b; ++a)
        dirty_.insert(a->second);
    for (auto [a, b] = bySerial_.equal_range(serial); a != b; ++a)
        dirty_.insert(a->second);
}

bool OnvifDevices::allowUncertified(const wire::Mac &mac)
{
    std::lock_guard lock(mu_);
    if (consent_.size() > 4096)
        consent_.clear();
    consent_[mac] = Clock::now() + kConsentLife;
    return true;
}

bool OnvifDevices::acceptNewCertificate(const wire::Mac &mac)
{
    std::vector<std::string> keys;
    {
        std::lock_guard lock(mu_);
        for (auto &[key, e] : entries_)
            if (e.idMac == mac || e.pinKey.find(wire::macText(mac)) != std::string::npos) {
                e.certChanged = false;
                e.pinMatched = false;
                keys.push_back(e.pinKey);
            }
    }
    size_t n = pins_.forget(wire::macText(mac));
    for (auto &k : keys)
        n += pins_.forget(k);
    log::write(2, "certificate pin of %s forgotten (%zu)", wire::macText(mac).c_str(), n);
    return n > 0 || !keys.empty();
}

void OnvifDevices::queueEnrich(const std::string &key, Entry &e)
{
    mu_.assertHeld();
    if (e.enrichQueued || !working_)
        return;
    e.enrichQueued = true;
    work_.push_back(key);
    workCv_.notify_one();
}

void OnvifDevices::openWork()
{
    std::lock_guard lock(mu_);
    working_ = true;
}

void OnvifDevices::stopWork()
{
    {
        std::lock_guard lock(mu_);
        working_ = false;
        work_.clear();
    }
    workCv_.notify_all();
}

void OnvifDevices::runWorker()
{
    for (;;) {
        std::string key;
        {
            std::unique_lock lock(mu_);
            workCv_.wait(lock, [&] { return !working_ || !work_.empty(); });
            if (!working_)
                return;
            key = std::move(work_.front());
            work_.pop_front();
        }
        enrich(key);
    }
}

std::string OnvifDevices::reachableXAddr(const onvif::Endpoint &e) const
{
    // HTTPS first: its certificate can be pinned. A local subnet, or a scan
    // range: beyond those an address is not taken from an announcement.
    for (bool wantHttps : {true, false})
        for (const std::string &x : e.xaddrs) {
            bool https = false;
            auto a = xaddrHost(x, &https);
            if (!a || https != wantHttps)
                continue;
            for (auto &i : transport_.interfaces())
                if (net::inSubnet(*a, i))
                    return x;
            if (inScanRange_ && inScanRange_(*a))
                return x;
        }
    return {};
}

// Over HTTPS: checks the certificate against the pin of an earlier run (a
// credential-free call). Then, when a password is bound to the device (the
// one of $ZELT_ONVIF_PASSWORD for pinned devices, or the one a command proved
// at this very address), reads what the device service tells about the
// device: serial number, model, firmware, MAC, address, gateway, HTTP port.
void OnvifDevices::enrich(const std::string &key)
{
    onvif::Credentials cred{onvif::configuredUser(), {}};
    std::string url, pinKey;
    onvif::CertificatePin pin;
    uint32_t version = 0;
    {
        std::lock_guard lock(mu_);
        auto it = entries_.find(key);
        if (it == entries_.end())
            return;
        Entry &e = it->second;
        e.enrichQueued = false;
        if (!e.originOk || e.ambiguous || e.url.empty() || e.certChanged)
            return;
        url = e.url;
        pinKey = e.pinKey;
        version = e.endpoint.metadataVersion;
        if (!e.password.empty() && e.passwordUrl == url)
            cred.password = e.password;
    }
    const bool https = url.compare(0, 8, "https://") == 0;
    if (!https && cred.password.empty())
        return;
    onvif::Client c(url, ctx_.timing.commandTimeoutMs, &ctx_.stopping, https ? &pin : nullptr);
    uint32_t rc = ZELT_ERR_NONE;
    bool pinned = false;
    if (https) {
        pin.expected = pins_.get(pinKey);
        if (pin.expected.empty() && cred.password.empty())
            return; // first contact waits for the user's first command
        rc = c.syncClock();
        if (rc == ZELT_ERR_CERT_CHANGED || rc == ZELT_ERR_NONE) {
            std::lock_guard lock(mu_);
            auto it = entries_.find(key);
            if (it == entries_.end())
                return;
            it->second.certChanged = rc == ZELT_ERR_CERT_CHANGED;
            it->second.pinMatched = rc == ZELT_ERR_NONE && !pin.expected.empty();
            pinned = it->second.pinMatched && pins_.fromEarlierRun(pinKey);
            refresh(key, it->second);
        }
        if (rc != ZELT_ERR_NONE)
            return;
        noteClock(key, url, c.clockOffset());
        if (cred.password.empty() && pinned)
            cred.password = password_;
        if (cred.password.empty())
            return;
    } else {
        rc = c.syncClock();
        if (rc == ZELT_ERR_NONE)
            noteClock(key, url, c.clockOffset());
    }
    c.allowToken(https);
    onvif::Node env;
    onvif::DeviceInformation info;
    std::vector<onvif::NetworkInterface> nics;
    std::string gateway, gateway6;
    int httpPort = 0;
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
    if (rc == ZELT_ERR_NONE && c.call(onvif::request("GetNetworkDefaultGateway"), &cred, env) == ZELT_ERR_NONE) {
        gateway = onvif::readDefaultGateway(env).value_or("");
        gateway6 = onvif::readDefaultGateway6(env).value_or("");
    }
    if (rc == ZELT_ERR_NONE && c.call(onvif::request("GetNetworkProtocols"), &cred, env) == ZELT_ERR_NONE)
        httpPort = onvif::readHttpPort(env).value_or(0);
    sodium_memzero(cred.password.data(), cred.password.size());
    std::lock_guard lock(mu_);
    auto it = entries_.find(key);
    if (it == entries_.end() || it->second.url != url)
        return; // moved meanwhile: what was read belongs to the old address
    Entry &e = it->second;
    if (rc != ZELT_ERR_NONE) {
        log::write(2, "ONVIF device %s: details not read (error %u)", key.c_str(), unsigned(rc));
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
    e.gateway6 = gateway6;
    e.httpPort = httpPort;
    e.enrichedVersion = version;
    refresh(key, e);
}

uint32_t OnvifDevices::find(const Target &t, std::string &key)
{
    std::lock_guard lock(mu_);
    std::vector<std::string> found;
    if (t.mac) {
        for (auto [a, b] = byMac_.equal_range(*t.mac); a != b; ++a)
            found.push_back(a->second);
    } else {
        for (auto [a, b] = bySerial_.equal_range(t.serial); a != b; ++a)
            found.push_back(a->second);
    }
    if (found.empty())
        return ZELT_ERR_NO_DEVICE;
    const Entry &e = entries_.at(found.front());
    // Asked now, not as of the last rebuild: a ZELT device that just went
    // leaves no moment in which its MAC would be taken over ONVIF.
    const ZeltClaim zelt = zelt_.claim(e.idSerial, e.idMac);
    if (zelt.listed)
        return ZELT_ERR_NO_DEVICE; // the ZELT side answers for it
    for (auto &k : found)
        if (entries_.at(k).url != e.url)
            return ZELT_ERR_AMBIGUOUS_DEVICE;
    if (e.ambiguous || rival(found.front(), e, zelt))
        return ZELT_ERR_AMBIGUOUS_DEVICE;
    if (!e.originOk && !e.url.empty())
        return ZELT_ERR_UNTRUSTED_DEVICE; // announced by another host than the service's
    if (e.certChanged)
        return ZELT_ERR_CERT_CHANGED;
    key = found.front();
    return ZELT_ERR_NONE;
}

void OnvifDevices::tick(Clock::time_point now)
{
    const auto period = std::chrono::milliseconds(ctx_.timing.inquiryPeriodMs);
    const auto grace = std::chrono::milliseconds(std::min(ctx_.timing.windowMs, ctx_.timing.inquiryPeriodMs / 2));
    std::lock_guard lock(mu_);
    for (auto it = heardAt_.begin(); it != heardAt_.end();)
        it = now - it->second > 3 * period + grace ? heardAt_.erase(it) : std::next(it);
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (now - it->second.lastSeen > 3 * period + grace) {
            auto gone = it++;
            drop(gone);
            continue;
        }
        ++it;
    }
    for (auto c = consent_.begin(); c != consent_.end();)
        c = c->second < now ? consent_.erase(c) : std::next(c);
    // Only what changed: entries whose settling time is over, and those whose ZELT side came or went.
    std::set<std::string> dirty;
    dirty.swap(dirty_);
    while (!settling_.empty() && settling_.front().first <= now) {
        if (auto it = entries_.find(settling_.front().second); it != entries_.end()) {
            it->second.settleQueued = false;
            dirty.insert(it->first);
        }
        settling_.pop_front();
    }
    for (const std::string &k : dirty)
        if (auto it = entries_.find(k); it != entries_.end())
            refresh(k, it->second);
}

uint32_t OnvifDevices::command(const std::string &key, const wire::CommandBody &body)
{
    Entry entry;
    {
        std::lock_guard lock(mu_);
        auto it = entries_.find(key);
        if (it == entries_.end())
            return ZELT_ERR_NO_DEVICE; // gone since it was found
        entry = it->second;
    }
    const uint32_t rc = commandEntry(key, entry, body);
    sodium_memzero(entry.password.data(), entry.password.size());
    return rc;
}

uint32_t OnvifDevices::commandEntry(const std::string &key, const Entry &e, const wire::CommandBody &b)
{
    if (b.command != wire::Command::SetNet && b.command != wire::Command::SetTime) {
        log::write(1, "command %u to ONVIF device %s refused: ONVIF has no such command", unsigned(b.command),
                   e.info.szSerialNO);
        return ZELT_ERR_NOT_IN_PROTOCOL;
    }
    const char *what = b.command == wire::Command::SetTime ? "set time" : "set network";
    const std::string url = e.url;
    if (url.empty()) {
        log::write(1, "ONVIF device %s: no address in a local subnet; not reachable over ONVIF", e.info.szSerialNO);
        return ZELT_ERR_NOT_REACHABLE;
    }
    const bool https = url.compare(0, 8, "https://") == 0;
    {
        // A device that cannot prove who it is gets a credential only with
        // the user's consent, given for this device just before.
        std::lock_guard lock(mu_);
        auto it = entries_.find(key);
        const bool pinned = https && it != entries_.end() && trustOf(it->second) == ZELT_TRUST_PINNED;
        auto c = consent_.find(e.idMac);
        const bool consented = c != consent_.end() && c->second >= Clock::now();
        if (c != consent_.end())
            consent_.erase(c);
        if (!pinned && !consented) {
            log::write(1, "ONVIF device %s cannot prove who it is and the user did not agree; nothing sent",
                       e.info.szSerialNO);
            return ZELT_ERR_NOT_CONSENTED;
        }
    }
    onvif::Credentials cred{onvif::configuredUser(), b.password};
    log::write(2, "ONVIF command %s to %s (%s)", what, e.info.szSerialNO, url.c_str());
    onvif::CertificatePin pin;
    if (https)
        pin.expected = pins_.get(e.pinKey);
    onvif::Client c(url, ctx_.timing.commandTimeoutMs, &ctx_.stopping, https ? &pin : nullptr);
    c.allowToken(true); // consented to or inside a pinned channel
    auto finish = [&](uint32_t rc) {
        sodium_memzero(cred.password.data(), cred.password.size());
        log::write(2, "ONVIF %s on %s: status %u", what, e.info.szSerialNO, unsigned(rc));
        if (rc == ZELT_ERR_CERT_CHANGED) {
            std::lock_guard lock(mu_);
            if (auto it = entries_.find(key); it != entries_.end()) {
                it->second.certChanged = true;
                it->second.pinMatched = false;
                refresh(key, it->second);
            }
        }
        return rc;
    };
    uint32_t rc = c.syncClock();
    if (rc == ZELT_ERR_TIMEOUT || rc == ZELT_ERR_NETWORK || rc == ZELT_ERR_CERT_CHANGED || rc == ZELT_ERR_NOT_STARTED)
        return finish(rc);
    if (https && pin.expected.empty()) {
        // First contact: this certificate is the device's from now on, and
        // every later call of this command must see it again.
        if (pin.seen.empty())
            return finish(ZELT_ERR_PROTOCOL);
        pins_.put(e.pinKey, pin.seen);
        pin.expected = pin.seen;
        log::write(2, "ONVIF device %s: certificate %s pinned", e.info.szSerialNO, pin.seen.c_str());
    }
    if (rc == ZELT_ERR_NONE)
        noteClock(key, url, c.clockOffset());
    rc = b.command == wire::Command::SetTime ? setTime(c, cred, key, url) : setNetwork(c, cred, e, b);
    if (rc != ZELT_ERR_NONE)
        return finish(rc);
    {
        // The password worked at this address: the device's details can be
        // read from there from now on (and from nowhere else).
        std::lock_guard lock(mu_);
        if (auto it = entries_.find(key); it != entries_.end() && it->second.url == url) {
            it->second.password = b.password;
            it->second.passwordUrl = url;
            if (https)
                it->second.pinMatched = true;
            queueEnrich(key, it->second);
        }
    }
    return finish(ZELT_ERR_NONE);
}

uint32_t OnvifDevices::setTime(onvif::Client &c, const onvif::Credentials &cred, const std::string &key,
                               const std::string &url)
{
    onvif::Node env;
    // UTC from this computer; the token (if one is sent) is still stamped in
    // the device's old time, which it checks against.
    const uint32_t rc = c.call(onvif::setSystemDateAndTimeBody(time(nullptr), c.daylightSavings()), &cred, env);
    if (rc != ZELT_ERR_NONE)
        return rc;
    // What the device's clock says now goes into its record.
    if (c.syncClock() == ZELT_ERR_NONE)
        noteClock(key, url, c.clockOffset());
    return ZELT_ERR_NONE;
}

uint32_t OnvifDevices::setNetwork(onvif::Client &c, const onvif::Credentials &cred, const Entry &e,
                                  const wire::CommandBody &b)
{
    auto text = [](const wire::Ip4 &a) {
        char buf[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, a.data(), buf, sizeof buf);
        return std::string(buf);
    };
    onvif::Node env;
    uint32_t rc = c.call(onvif::request("GetNetworkInterfaces"), &cred, env);
    if (rc != ZELT_ERR_NONE)
        return rc;
    auto nics = onvif::readNetworkInterfaces(env);
    if (!nics || nics->empty())
        return ZELT_ERR_PROTOCOL;
    onvif::NetworkInterface cur = nics->front();
    for (auto &n : *nics)
        if (n.enabled && n.ipv4Enabled && !n.address.empty()) {
            cur = n;
            break;
        }
    auto text6 = [](const wire::Ip6 &a) {
        char buf[INET6_ADDRSTRLEN] = {};
        inet_ntop(AF_INET6, a.data(), buf, sizeof buf);
        return std::string(buf);
    };
    {
        // Refused as a device would refuse it, before anything is changed:
        // IPv6 only where the interface has an IPv6 part, and only
        // addresses a host can have (a router's link-local address is a gateway).
        wire::DeviceRecord now;
        now.support = ZELT_SUPPORT_DHCP | (cur.hasIpv6 ? ZELT_SUPPORT_IPV6 | ZELT_SUPPORT_MODIFY_IPV6 : 0);
        inet_pton(AF_INET, onvif::maskFromPrefix(cur.prefix).c_str(), now.mask.data());
        if (uint32_t bad = checkNetParameters(b, now))
            return bad;
        in6_addr a6, g6; // copied: the record's bytes need not be aligned as an in6_addr
        std::memcpy(&a6, b.ipv6.data(), sizeof a6);
        std::memcpy(&g6, b.ipv6Gateway.data(), sizeof g6);
        if ((b.netFlags & wire::kSetIpv6)
            && (IN6_IS_ADDR_MULTICAST(&a6) || IN6_IS_ADDR_UNSPECIFIED(&a6) || IN6_IS_ADDR_LINKLOCAL(&a6)
                || IN6_IS_ADDR_V4MAPPED(&a6) || IN6_IS_ADDR_LOOPBACK(&a6)))
            return ZELT_ERR_BAD_PARAMETERS;
        if ((b.netFlags & wire::kSetIpv6Gateway) && (IN6_IS_ADDR_MULTICAST(&g6) || IN6_IS_ADDR_UNSPECIFIED(&g6)))
            return ZELT_ERR_BAD_PARAMETERS;
    }
    const bool dhcp = b.dhcp == 1;
    const std::string address = (b.netFlags & wire::kSetIpv4) ? text(b.ipv4) : cur.address;
    const int prefix = (b.netFlags & wire::kSetMask) ? onvif::prefixFromMask(text(b.mask)) : cur.prefix;
    // The IPv4 part goes only when it changes: an IPv6-only device (no IPv4
    // address) takes IPv6 settings alone.
    const bool setIpv4 = dhcp != cur.dhcp || (!dhcp && (address != cur.address || prefix != cur.prefix));
    if (setIpv4 && !dhcp && (address.empty() || prefix <= 0))
        return ZELT_ERR_BAD_PARAMETERS;
    bool reboot = false;
    auto set = [&](const std::string &bodyXml) {
        uint32_t r = c.call(bodyXml, &cred, env);
        if (r == ZELT_ERR_NONE)
            reboot = reboot || onvif::readRebootNeeded(env).value_or(false);
        return r;
    };
    if (b.netFlags & wire::kSetIpv6Gateway) {
        // Both gateways go together: the IPv4 one given, or the one it has.
        std::string v4 = (b.netFlags & wire::kSetGateway) ? text(b.gateway) : std::string();
        if (v4.empty() && c.call(onvif::request("GetNetworkDefaultGateway"), &cred, env) == ZELT_ERR_NONE)
            v4 = onvif::readDefaultGateway(env).value_or("");
        if ((rc = set(onvif::setDefaultGatewaysBody(v4, text6(b.ipv6Gateway)))) != ZELT_ERR_NONE)
            return rc;
    } else if (b.netFlags & wire::kSetGateway) {
        if ((rc = set(onvif::setDefaultGatewayBody(text(b.gateway)))) != ZELT_ERR_NONE)
            return rc;
    }
    // The service port and the HTTP port are one port over ONVIF.
    int httpPort = 0;
    if (b.netFlags & wire::kSetHttp)
        httpPort = b.httpPort;
    else if ((b.netFlags & wire::kSetPort) && b.port != e.info.dwPort)
        httpPort = b.port;
    if (httpPort > 0 && httpPort != e.info.wHttpPort) {
        if ((rc = set(onvif::setHttpPortBody(httpPort))) != ZELT_ERR_NONE)
            return rc;
    }
    // IPv6: a manual address given (DHCP Off), or, with DHCP switched on, what
    // the routers give (DHCPv6 or SLAAC) where the device had it off. Before
    // the IPv4 change: the device may move at once.
    if (b.netFlags & wire::kSetIpv6) {
        onvif::Ipv6Settings v6;
        v6.address = text6(b.ipv6);
        v6.prefix = b.ipv6Prefix ? b.ipv6Prefix : cur.ipv6Prefix ? cur.ipv6Prefix : 64;
        if ((rc = set(onvif::setNetworkInterfacesIpv6Body(cur.token, v6))) != ZELT_ERR_NONE)
            return rc;
    } else if (dhcp && !cur.dhcp && cur.hasIpv6 && cur.ipv6Dhcp == "Off") {
        onvif::Ipv6Settings v6;
        v6.automatic = true;
        if ((rc = set(onvif::setNetworkInterfacesIpv6Body(cur.token, v6))) != ZELT_ERR_NONE)
            return rc;
    }
    if (setIpv4) {
        if ((rc = set(onvif::setNetworkInterfacesBody(cur.token, dhcp, address, prefix))) != ZELT_ERR_NONE)
            return rc;
    }
    if (reboot && (rc = c.call(onvif::request("SystemReboot"), &cred, env)) != ZELT_ERR_NONE)
        return rc;
    return ZELT_ERR_NONE;
}

void OnvifDevices::noteClock(const std::string &key, const std::string &url, long offset)
{
    std::lock_guard lock(mu_);
    auto it = entries_.find(key);
    if (it == entries_.end() || it->second.url != url)
        return; // moved meanwhile: that was another device's clock, perhaps
    Entry &e = it->second;
    const int32_t seconds = int32_t(std::clamp<long>(offset, INT32_MIN, INT32_MAX));
    if (e.clockKnown && e.clockOffset == seconds)
        return;
    e.clockKnown = true;
    e.clockOffset = seconds;
    refresh(key, e);
}

} // namespace zelt
