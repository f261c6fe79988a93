#include "zelt_devices.h"

#include "fixed_text.h"
#include "log.h"

#include <arpa/inet.h>
#include <sodium.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace zelt {

namespace {

std::string ip4Text(const wire::Ip4 &a)
{
    char buf[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, a.data(), buf, sizeof buf);
    return buf;
}

std::string ip6Text(const wire::Ip6 &a)
{
    static const wire::Ip6 zero{};
    if (a == zero)
        return {};
    char buf[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, a.data(), buf, sizeof buf);
    return buf;
}

std::string tableKey(const std::string &serial, const wire::Mac &mac)
{
    return serial + "/" + wire::macText(mac);
}

} // namespace

void fillDeviceInfo(const wire::DeviceRecord &r, int kind, ZELT_DEVICE_INFO &out)
{
    std::memset(&out, 0, sizeof out);
    copyText(out.szSerialNO, r.serial);
    copyText(out.szMAC, wire::macText(r.mac));
    copyText(out.szIPv4Address, ip4Text(r.ipv4));
    copyText(out.szIPv4SubnetMask, ip4Text(r.mask));
    out.dwDeviceType = r.type;
    out.dwPort = r.port;
    out.dwNumberOfEncoders = r.channels;
    out.dwNumberOfHardDisk = r.disks;
    copyText(out.szDeviceSoftwareVersion, r.softVersion);
    copyText(out.szDSPVersion, r.dspVersion);
    copyText(out.szBootTime, r.bootTime);
    out.iResult = kind;
    copyText(out.szDevDesc, r.description);
    if (r.extended) {
        copyText(out.szIPv4Gateway, ip4Text(r.gateway));
        copyText(out.szIPv6Address, ip6Text(r.ipv6));
        copyText(out.szIPv6Gateway, ip6Text(r.ipv6Gateway));
        out.byIPv6MaskLen = r.ipv6Prefix;
        out.bySupport = r.support;
    }
    out.byDhcpEnabled = r.dhcp ? 1 : 0;
    out.byExtendInfo = r.extended ? 1 : 0;
    out.wHttpPort = r.httpPort;
    out.byActivated = r.inactive ? 1 : 0;
    out.byTrust = ZELT_TRUST_VERIFIED;
}

ZeltDevices::ZeltDevices(PartContext ctx, net::Transport &transport, std::vector<std::string> trustPaths, bool enabled)
    : ctx_(ctx)
    , transport_(transport)
    , enabled_(enabled)
    , clientKey_(crypto::newBoxKeyPair())
    , clientId_(crypto::randomU64() | 1)
    , nextRequest_(crypto::randomU32() | 1)
{
    crypto::init();
    trust_.configure(std::move(trustPaths));
    if (enabled_)
        trust_.openCache(CertCache::defaultPath());
    certsSaved_ = Clock::now();
    if (const char *r = std::getenv("ZELT_REPORT_UNTRUSTED"); r && std::strcmp(r, "1") == 0)
        reportUntrusted_ = true;
}

ZeltDevices::~ZeltDevices()
{
    sodium_memzero(clientKey_.sk.data(), clientKey_.sk.size());
}

size_t ZeltDevices::deviceCount()
{
    std::lock_guard lock(mu_);
    return table_.size();
}

void ZeltDevices::report(const std::string &key, const ZELT_DEVICE_INFO &info)
{
    mu_.assertHeld();
    ctx_.events.push(key, info);
    ctx_.watch.changed();
}

bool ZeltDevices::seenBefore(uint64_t msgId)
{
    if (!seenIds_.insert(msgId).second)
        return true;
    seenOrder_.push_back(msgId);
    if (seenOrder_.size() > 65536) {
        seenIds_.erase(seenOrder_.front());
        seenOrder_.pop_front();
    }
    return false;
}

int ZeltDevices::sendInquiry(const wire::Mac *target)
{
    wire::Message m;
    m.type = wire::Type::Inquiry;
    m.msgId = crypto::randomU64();
    m.inquiry.clientId = clientId_;
    m.inquiry.seq = ++inquirySeq_;
    // Spread answers wider as the fleet grows: about 5,000 answers a second.
    m.inquiry.windowMs = uint16_t(std::clamp<size_t>(deviceCount() / 5, size_t(ctx_.timing.windowMs), 10000));
    if (target)
        m.inquiry.target = *target;
    auto bytes = wire::encode(m);
    if (enabled_)
        transport_.send(bytes.data(), bytes.size());
    if (!target)
        log::write(3, "inquiry %u window %u ms", m.inquiry.seq, unsigned(m.inquiry.windowMs));
    return m.inquiry.windowMs;
}

void ZeltDevices::sendInquiryTo(const net::Address &to, const wire::Mac *target)
{
    if (!enabled_)
        return;
    wire::Message m;
    m.type = wire::Type::Inquiry;
    m.msgId = crypto::randomU64();
    m.inquiry.clientId = clientId_;
    m.inquiry.seq = ++inquirySeq_;
    m.inquiry.windowMs = uint16_t(ctx_.timing.windowMs); // one device answers
    if (target)
        m.inquiry.target = *target;
    auto bytes = wire::encode(m);
    transport_.sendTo(to, transport_.sendPort(), bytes.data(), bytes.size());
}

void ZeltDevices::handleUnicast(const uint8_t *data, size_t size, const net::Address &from, bool solicited)
{
    if (!enabled_)
        return;
    auto msg = wire::decode(data, size);
    if (!msg || seenBefore(msg->msgId))
        return;
    if (msg->type == wire::Type::Response) {
        onResponse(msg->response);
    } else if (msg->type == wire::Type::Hello && solicited) {
        handle(std::move(*msg), Clock::now(), &from);
    } else if (msg->type == wire::Type::Hello) {
        // Nobody asked that address: a device announces itself by multicast only.
        log::write(3, "unicast hello from %s that answers no inquiry of ours, dropped", from.text().c_str());
    }
}

bool ZeltDevices::heardFrom(const net::Address &a, Clock::time_point since)
{
    std::lock_guard lock(mu_);
    auto it = heardAt_.find(a);
    return it != heardAt_.end() && it->second >= since;
}

void ZeltDevices::noteRoute(Entry &e, const net::Address *from, Clock::time_point now)
{
    mu_.assertHeld();
    auto heard = [&](const net::Address &a) {
        if (heardAt_.size() >= 2 * kMaxDevices && !heardAt_.count(a))
            heardAt_.clear(); // bounded like the table
        heardAt_[a] = now;
    };
    if (!from) {
        e.lastMulticast = now;
        e.multicastHeard = true;
        if (e.record.ipv4 != wire::Ip4{}) {
            uint32_t v;
            std::memcpy(&v, e.record.ipv4.data(), 4);
            heard(net::Address::v4(v));
        }
        if (e.record.ipv6 != wire::Ip6{}) {
            in6_addr v;
            std::memcpy(&v, e.record.ipv6.data(), 16);
            heard(net::Address::v6(v));
        }
        return;
    }
    heard(*from);
    const bool own = from->isV6() ? std::memcmp(from->bytes.data(), e.record.ipv6.data(), 16) == 0
                                  : std::memcmp(from->bytes.data(), e.record.ipv4.data(), 4) == 0;
    const auto life = 3 * std::chrono::milliseconds(ctx_.timing.inquiryPeriodMs);
    if (own || !e.unicast || !e.unicastBound || now - e.lastUnicast > life || *e.unicast == *from) {
        e.unicast = *from;
        e.unicastBound = own;
        e.lastUnicast = now;
    }
}

std::optional<net::Address> ZeltDevices::routeOf(const Entry &e, Clock::time_point now) const
{
    mu_.assertHeld();
    // The group while it answers there (every period): it reaches devices
    // of this segment whatever their address; else where a scan found it.
    const auto fresh = std::chrono::milliseconds(ctx_.timing.inquiryPeriodMs + ctx_.timing.windowMs);
    if (!e.unicast || (e.multicastHeard && now - e.lastMulticast <= fresh))
        return std::nullopt;
    return e.unicast;
}

void ZeltDevices::handleDatagram(const uint8_t *data, size_t size)
{
    if (!enabled_)
        return;
    auto msg = wire::decode(data, size);
    if (!msg) {
        log::write(3, "dropped malformed datagram of %zu bytes", size);
        return;
    }
    if (seenBefore(msg->msgId))
        return;
    handle(std::move(*msg), Clock::now());
}

void ZeltDevices::handle(wire::Message &&m, Clock::time_point now, const net::Address *unicastFrom)
{
    switch (m.type) {
    case wire::Type::Hello:
    case wire::Type::Bye: {
        if (shards_.empty()) { // no verifier runs: verified here
            if (m.type == wire::Type::Hello)
                onHello(m.hello, now, unicastFrom);
            else
                onBye(m.bye);
            return;
        }
        // The same device always goes to the same verifier: its events stay in order.
        const std::string &serial = m.type == wire::Type::Hello ? m.hello.device.serial : m.bye.serial;
        const wire::Mac &mac = m.type == wire::Type::Hello ? m.hello.device.mac : m.bye.mac;
        size_t h = std::hash<std::string>()(serial);
        for (uint8_t b : mac)
            h = h * 131 + b;
        Shard &s = *shards_[h % shards_.size()];
        {
            std::lock_guard lock(s.mu);
            if (s.queue.size() >= kMaxVerifyQueue) {
                log::write(3, "verifier busy, announcement of %s dropped", serial.c_str());
                return;
            }
            s.queue.push_back({std::move(m), unicastFrom ? std::optional(*unicastFrom) : std::nullopt});
        }
        s.cv.notify_one();
        break;
    }
    case wire::Type::Response: onResponse(m.response); break;
    default: break; // inquiries and requests of other clients
    }
}

void ZeltDevices::onResponse(const wire::Response &r)
{
    if (r.clientId != clientId_)
        return;
    std::shared_ptr<Pending> p;
    {
        std::lock_guard lock(mu_);
        auto it = pending_.find(r.requestId);
        if (it == pending_.end() || it->second->result || it->second->mac != r.mac)
            return;
        p = it->second;
    }
    // Only an answer sealed with this command's answer key counts: a forged
    // one, or our own request reflected back, is ignored, not taken as a failure.
    auto result = crypto::openResponse(r, p->keys);
    if (!result || result->requestId != p->requestId) {
        log::write(3, "request %u: answer that does not open, ignored", r.requestId);
        return;
    }
    std::lock_guard lock(mu_);
    if (!p->result)
        p->result = std::move(result);
    pendingCv_.notify_all();
}

void ZeltDevices::openVerifiers(unsigned count)
{
    for (unsigned i = 0; i < count; ++i)
        shards_.push_back(std::make_unique<Shard>());
}

void ZeltDevices::runVerifier(unsigned index)
{
    Shard &s = *shards_.at(index);
    for (;;) {
        Queued q;
        {
            std::unique_lock lock(s.mu);
            s.cv.wait(lock, [&] { return shardsStop_ || !s.queue.empty(); });
            if (shardsStop_)
                return;
            q = std::move(s.queue.front());
            s.queue.pop_front();
        }
        if (q.m.type == wire::Type::Hello)
            onHello(q.m.hello, Clock::now(), q.unicastFrom ? &*q.unicastFrom : nullptr);
        else
            onBye(q.m.bye);
    }
}

void ZeltDevices::stopVerifiers()
{
    shardsStop_ = true;
    for (auto &s : shards_) {
        {
            std::lock_guard lock(s->mu);
            s->queue.clear();
        }
        s->cv.notify_all();
    }
}

void ZeltDevices::index(const std::string &key, const wire::DeviceRecord &r, Identities &changed)
{
    mu_.assertHeld();
    bySerial_.emplace(r.serial, key);
    byMac_.emplace(r.mac, key);
    heardMacs_.insert(r.mac);
    heardSerials_.insert(r.serial);
    // Bounded like the table itself.
    if (heardMacs_.size() > kMaxDevices)
        heardMacs_.erase(heardMacs_.begin());
    if (heardSerials_.size() > kMaxDevices)
        heardSerials_.erase(heardSerials_.begin());
    changed.emplace_back(r.serial, r.mac);
}

void ZeltDevices::unindex(const std::string &key, const wire::DeviceRecord &r, Identities &changed)
{
    mu_.assertHeld();
    for (auto [a, b] = bySerial_.equal_range(r.serial); a != b; ++a)
        if (a->second == key) {
            bySerial_.erase(a);
            break;
        }
    for (auto [a, b] = byMac_.equal_range(r.mac); a != b; ++a)
        if (a->second == key) {
            byMac_.erase(a);
            break;
        }
    changed.emplace_back(r.serial, r.mac);
}

void ZeltDevices::tellListener(const Identities &changed)
{
    if (listener_)
        for (auto &[serial, mac] : changed)
            listener_->zeltIdentityChanged(serial, mac);
}

ZeltClaim ZeltDevices::claim(const std::string &serial, const wire::Mac &mac) const
{
    std::lock_guard lock(mu_);
    ZeltClaim c;
    c.listed = byMac_.count(mac) > 0;
    c.heard = heardMacs_.count(mac) > 0 || heardSerials_.count(serial) > 0;
    for (auto [a, b] = bySerial_.equal_range(serial); a != b && !c.serialElsewhere; ++a)
        if (auto it = table_.find(a->second); it != table_.end() && it->second.record.mac != mac)
            c.serialElsewhere = true;
    return c;
}

void ZeltDevices::updateAmbiguity(const std::string &serial, const wire::Mac &mac, Clock::time_point now)
{
    mu_.assertHeld();
    std::vector<std::string> keys;
    for (auto [a, b] = bySerial_.equal_range(serial); a != b; ++a)
        keys.push_back(a->second);
    for (auto [a, b] = byMac_.equal_range(mac); a != b; ++a)
        keys.push_back(a->second);
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    const auto rivalLife = 3 * std::chrono::milliseconds(ctx_.timing.inquiryPeriodMs)
                           + std::chrono::milliseconds(std::min(ctx_.timing.windowMs, ctx_.timing.inquiryPeriodMs / 2));
    for (auto &key : keys) {
        auto it = table_.find(key);
        if (it == table_.end())
            continue;
        Entry &e = it->second;
        if (e.rival && now - e.rivalSeen > rivalLife)
            e.rival = false;
        bool ambiguous = e.rival;
        for (auto &other : keys) {
            auto o = table_.find(other);
            if (o == table_.end() || o == it)
                continue;
            const auto &r = o->second.record;
            if ((r.serial == e.record.serial || r.mac == e.record.mac) && o->second.cert.identity != e.cert.identity)
                ambiguous = true;
        }
        const uint8_t flag = ambiguous ? ZELT_TRUST_AMBIGUOUS : ZELT_TRUST_VERIFIED;
        if (e.info.byTrust != flag) {
            e.info.byTrust = flag;
            e.info.iResult = ZELT_EVENT_CHANGED;
            if (ambiguous)
                log::write(1, "device %s (%s) is claimed by two certified identities: commands refused",
                           e.record.serial.c_str(), wire::macText(e.record.mac).c_str());
            report(key, e.info);
        }
    }
}

void ZeltDevices::noteUntrusted(const wire::Hello &h)
{
    const std::string key = tableKey(h.device.serial, h.device.mac);
    std::lock_guard lock(mu_);
    if (untrusted_.size() >= 1024 && !untrusted_.count(key))
        untrusted_.clear(); // a flood of inventions
    Untrusted &u = untrusted_[key];
    u.serial = h.device.serial;
    u.mac = h.device.mac;
    if (u.identity != h.cert.identity) {
        log::write(2, "announcement of %s (%s) without a trusted certificate, ignored", h.device.serial.c_str(),
                   wire::macText(h.device.mac).c_str());
        u.identity = h.cert.identity;
        u.reported = false;
    }
    if (!reportUntrusted_ || u.reported)
        return;
    u.reported = true;
    ZELT_DEVICE_INFO info;
    fillDeviceInfo(h.device, ZELT_EVENT_ONLINE, info);
    info.byTrust = ZELT_TRUST_UNTRUSTED;
    report("untrusted:" + key + crypto::toHex(h.cert.identity.data(), 8), info);
}

void ZeltDevices::onHello(const wire::Hello &h, Clock::time_point now, const net::Address *unicastFrom)
{
    const std::string key = tableKey(h.device.serial, h.device.mac);
    bool known = false, certKnown = false;
    {
        std::lock_guard lock(mu_);
        auto it = table_.find(key);
        if (it != table_.end()) {
            known = it->second.signature == h.signature && it->second.signedPart == h.signedPart;
            certKnown = it->second.cert == h.cert;
        }
    }
    if (!known) {
        // The certificate makes the identity; the hello's signature shows that
        // its sender holds that identity.
        if (!certKnown && !trust_.verify(h.cert, h.device.serial, h.device.mac)) {
            noteUntrusted(h);
            return;
        }
        if (!crypto::verifyHello(h)) {
            log::write(2, "hello of %s with a bad signature, ignored", h.device.serial.c_str());
            return;
        }
    }
    Identities changed;
    {
        std::lock_guard lock(mu_);
        // A hello of an earlier boot is a replay: its boot key may be anyone's by now.
        if (boots_.size() >= 2 * kMaxDevices && !boots_.count(h.cert.identity))
            boots_.clear();
        uint32_t &highest = boots_[h.cert.identity];
        if (h.device.bootId < highest) {
            log::write(2, "hello of %s from an earlier boot (%u < %u), ignored", h.device.serial.c_str(),
                       h.device.bootId, highest);
            return;
        }
        highest = h.device.bootId;
        auto it = table_.find(key);
        if (it == table_.end()) {
            if (table_.size() >= kMaxDevices) {
                log::write(1, "device table full (%zu), %s ignored", table_.size(), h.device.serial.c_str());
                return;
            }
            Entry e;
            e.record = h.device;
            e.cert = h.cert;
            e.signedPart = h.signedPart;
            e.signature = h.signature;
            fillDeviceInfo(h.device, ZELT_EVENT_ONLINE, e.info);
            e.lastSeen = now;
            e.lastProbe = now;
            e.uptimeMs = h.uptimeMs;
            e.uptimeAt = now;
            noteRoute(e, unicastFrom, now);
            report(key, e.info);
            table_.emplace(key, std::move(e));
            index(key, h.device, changed);
            ctx_.watch.deviceAdded();
            updateAmbiguity(h.device.serial, h.device.mac, now);
        } else {
            Entry &e = it->second;
            if (e.cert.identity != h.cert.identity) {
                // Another certified identity claims this device: neither is
                // trusted with commands while both are heard.
                e.rival = true;
                e.rivalSeen = now;
                updateAmbiguity(h.device.serial, h.device.mac, now);
            } else {
                e.lastSeen = now;
                e.uptimeMs = h.uptimeMs;
                e.uptimeAt = now;
                const bool sameBoot = e.record.bootId == h.device.bootId;
                if (sameBoot && h.device.boxKey != e.record.boxKey)
                    return; // one boot has one key
                if (sameBoot && h.device.configVersion < e.record.configVersion)
                    return; // stale copy
                e.record = h.device;
                e.cert = h.cert;
                e.signedPart = h.signedPart;
                e.signature = h.signature;
                noteRoute(e, unicastFrom, now);
                ZELT_DEVICE_INFO fresh;
                fillDeviceInfo(h.device, ZELT_EVENT_CHANGED, fresh);
                fresh.byTrust = e.info.byTrust;
                // The hello carries no wall clock: what an answer told stays.
                fresh.byClockKnown = e.info.byClockKnown;
                fresh.iClockOffset = e.info.iClockOffset;
                e.info.iResult = ZELT_EVENT_CHANGED;
                if (std::memcmp(&fresh, &e.info, sizeof fresh) != 0) {
                    e.info = fresh;
                    report(key, fresh);
                }
            }
        }
    }
    tellListener(changed);
}

void ZeltDevices::onBye(const wire::Bye &b)
{
    const std::string key = tableKey(b.serial, b.mac);
    wire::SignPublicKey identity;
    {
        std::lock_guard lock(mu_);
        auto it = table_.find(key);
        if (it == table_.end() || it->second.record.bootId != b.bootId || it->second.cert.identity != b.identity)
            return;
        identity = it->second.cert.identity;
    }
    if (!crypto::verifyBye(b, identity)) {
        log::write(2, "goodbye of %s with a bad signature, ignored", b.serial.c_str());
        return;
    }
    Identities changed;
    {
        std::lock_guard lock(mu_);
        auto it = table_.find(key);
        if (it == table_.end() || it->second.record.bootId != b.bootId || it->second.cert.identity != identity)
            return;
        ZELT_DEVICE_INFO info = it->second.info;
        info.iResult = ZELT_EVENT_OFFLINE;
        const wire::DeviceRecord rec = it->second.record;
        unindex(key, rec, changed);
        table_.erase(it);
        report(key, info);
        updateAmbiguity(rec.serial, rec.mac, Clock::now());
    }
    tellListener(changed);
}

std::vector<ZeltDevices::Probe> ZeltDevices::tick(Clock::time_point now)
{
    if (now - certsSaved_ >= std::chrono::seconds(30)) { // a crash loses half a minute's checks at most
        certsSaved_ = now;
        trust_.saveCache();
    }
    const auto period = std::chrono::milliseconds(ctx_.timing.inquiryPeriodMs);
    const auto grace = std::chrono::milliseconds(std::min(ctx_.timing.windowMs, ctx_.timing.inquiryPeriodMs / 2));
    std::vector<Probe> probes;
    Identities changed;
    {
        std::lock_guard lock(mu_);
        std::vector<wire::DeviceRecord> recheck;
        for (auto it = table_.begin(); it != table_.end();) {
            auto silent = now - it->second.lastSeen;
            if (silent > 3 * period + grace) {
                ZELT_DEVICE_INFO info = it->second.info;
                info.iResult = ZELT_EVENT_OFFLINE;
                report(it->first, info);
                recheck.push_back(it->second.record);
                unindex(it->first, it->second.record, changed);
                it = table_.erase(it);
                continue;
            }
            if (it->second.rival && now - it->second.rivalSeen > 3 * period + grace)
                recheck.push_back(it->second.record);
            // Missed an answer: ask this one device directly before it times out.
            if (silent > period + grace && now - it->second.lastProbe >= period / 4) {
                it->second.lastProbe = now;
                if (probes.size() < 4096)
                    probes.push_back({it->second.record.mac, routeOf(it->second, now)});
            }
            ++it;
        }
        for (auto &r : recheck)
            updateAmbiguity(r.serial, r.mac, now);
        for (auto it = heardAt_.begin(); it != heardAt_.end();)
            it = now - it->second > 3 * period + grace ? heardAt_.erase(it) : std::next(it);
    }
    tellListener(changed);
    return probes;
}

uint32_t ZeltDevices::findLocked(const Target &t, const Entry *&out) const
{
    mu_.assertHeld();
    std::vector<const Entry *> found;
    if (t.mac) {
        for (auto [a, b] = byMac_.equal_range(*t.mac); a != b; ++a)
            if (auto it = table_.find(a->second); it != table_.end())
                found.push_back(&it->second);
    } else {
        for (auto [a, b] = bySerial_.equal_range(t.serial); a != b; ++a)
            if (auto it = table_.find(a->second); it != table_.end())
                found.push_back(&it->second);
    }
    if (found.empty()) {
        for (auto &entry : untrusted_)
            if (t.mac ? entry.second.mac == *t.mac : entry.second.serial == t.serial)
                return ZELT_ERR_UNTRUSTED_DEVICE;
        return ZELT_ERR_NO_DEVICE;
    }
    if (found.size() > 1 || found[0]->info.byTrust == ZELT_TRUST_AMBIGUOUS)
        return ZELT_ERR_AMBIGUOUS_DEVICE;
    out = found[0];
    return ZELT_ERR_NONE;
}

uint32_t ZeltDevices::find(const Target &t, Peer &out)
{
    std::lock_guard lock(mu_);
    const Entry *e = nullptr;
    const uint32_t rc = findLocked(t, e);
    if (rc == ZELT_ERR_NONE) {
        out.record = e->record;
        out.uptimeMs = e->uptimeMs;
        out.uptimeAt = e->uptimeAt;
        out.unicast = routeOf(*e, Clock::now());
    }
    return rc;
}

void ZeltDevices::wakeCommands()
{
    // Under the lock, so that a caller between its check and its wait is not missed.
    std::lock_guard lock(mu_);
    pendingCv_.notify_all();
}

uint32_t ZeltDevices::command(const Peer &dev, wire::CommandBody body, Clock::time_point deadline,
                              wire::CommandResult &out)
{
    const wire::DeviceRecord &rec = dev.record;
    auto pending = std::make_shared<Pending>();
    if (!crypto::clientSessionKeys(clientKey_, rec.boxKey, pending->keys))
        return ZELT_ERR_PROTOCOL;
    pending->requestId = nextRequest_.fetch_add(1);
    pending->mac = rec.mac;
    body.clientId = clientId_;
    body.requestId = pending->requestId;
    body.mac = rec.mac;
    // The device's clock as its last hello told it, run on by ours.
    body.stampMs = dev.uptimeMs
                   + uint64_t(
                       std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - dev.uptimeAt).count());
    if (body.command == wire::Command::SetTime) // taken as late as possible: a retransmission repeats it
        body.timeMs = uint64_t(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
                .count());

    wire::Message m;
    m.type = wire::Type::Request;
    m.msgId = crypto::randomU64();
    m.request.mac = rec.mac;
    m.request.serial = rec.serial;
    m.request.clientId = clientId_;
    m.request.requestId = pending->requestId;
    m.request.clientKey = clientKey_.pk;
    crypto::sealRequest(m.request, body, pending->keys);
    sodium_memzero(body.password.data(), body.password.size());
    sodium_memzero(body.securityCode.data(), body.securityCode.size());
    sodium_memzero(body.newPassword.data(), body.newPassword.size());
    wire::Bytes datagram = wire::encode(m);
    log::write(2, "command %u to %s (%s), request %u", unsigned(body.command), rec.serial.c_str(),
               wire::macText(rec.mac).c_str(), pending->requestId);

    std::unique_lock lock(mu_);
    pending_[pending->requestId] = pending;
    auto interval = std::chrono::milliseconds(ctx_.timing.retransmitMs);
    for (int attempt = 0; !ctx_.stopping; ++attempt) {
        lock.unlock();
        // A retransmission is the same datagram.
        if (dev.unicast)
            transport_.sendTo(*dev.unicast, transport_.sendPort(), datagram.data(), datagram.size());
        else
            transport_.send(datagram.data(), datagram.size());
        lock.lock();
        auto until = std::min(deadline, Clock::now() + interval);
        if (pendingCv_.wait_until(lock, until, [&] { return ctx_.stopping || pending->result.has_value(); }))
            break;
        if (Clock::now() >= deadline)
            break;
        interval = std::min(interval * 3 / 2, std::chrono::milliseconds(500));
        log::write(3, "request %u: retransmission %d", pending->requestId, attempt + 1);
    }
    pending_.erase(pending->requestId);
    std::optional<wire::CommandResult> result = std::move(pending->result);
    lock.unlock();
    if (!result) {
        if (ctx_.stopping)
            return ZELT_ERR_NOT_STARTED;
        log::write(1, "request %u to %s: no answer", body.requestId, rec.serial.c_str());
        return ZELT_ERR_TIMEOUT;
    }
    out = *result;
    log::write(2, "request %u to %s: status %u", body.requestId, rec.serial.c_str(), unsigned(result->status));
    if (body.command == wire::Command::SetTime && result->status == ZELT_ERR_NONE)
        noteClock(rec, result->data);
    return result->status;
}

void ZeltDevices::noteClock(const wire::DeviceRecord &rec, const wire::Bytes &data)
{
    auto reading = wire::decodeClockReading(data);
    if (!reading)
        return;
    // The device read its clock just before it answered: against ours now,
    // off by the answer's way here at most.
    const int64_t ours = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    const int64_t before = int64_t(reading->beforeMs) - ours, after = int64_t(reading->afterMs) - ours;
    auto seconds = [](int64_t ms) {
        return int32_t(std::clamp<int64_t>((ms + (ms < 0 ? -500 : 500)) / 1000, INT32_MIN, INT32_MAX));
    };
    log::write(2, "clock of %s was %d s off, now %d s", rec.serial.c_str(), int(seconds(before)), int(seconds(after)));
    std::lock_guard lock(mu_);
    auto it = table_.find(tableKey(rec.serial, rec.mac));
    if (it == table_.end() || it->second.record.boxKey != rec.boxKey)
        return; // rebooted or gone meanwhile
    ZELT_DEVICE_INFO &info = it->second.info;
    if (info.byClockKnown == 1 && info.iClockOffset == seconds(after))
        return;
    info.byClockKnown = 1;
    info.iClockOffset = seconds(after);
    info.iResult = ZELT_EVENT_CHANGED;
    report(it->first, info);
}

} // namespace zelt
