#include "engine.h"

#include "fixed_text.h"
#include "log.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sodium.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zelt {

namespace {
// Bounds the memory a flood of invented devices can take.
constexpr size_t kMaxDevices = 200000;

int envInt(const char *name, int fallback, int lo, int hi)
{
    const char *v = std::getenv(name);
    if (!v || !*v)
        return fallback;
    long x = std::strtol(v, nullptr, 10);
    return x < lo || x > hi ? fallback : int(x);
}

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
} // namespace

EngineTiming timingFromEnvironment()
{
    EngineTiming t;
    t.inquiryPeriodMs = envInt("ZELT_INQUIRY_PERIOD_MS", t.inquiryPeriodMs, 100, 3600000);
    t.windowMs = envInt("ZELT_WINDOW_MS", t.windowMs, 100, 10000); // devices refuse shorter windows
    t.commandTimeoutMs = envInt("ZELT_TIMEOUT_MS", t.commandTimeoutMs, 100, 120000);
    t.retransmitMs = envInt("ZELT_RETRANSMIT_MS", t.retransmitMs, 20, 10000);
    return t;
}

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

namespace {
std::string tableKey(const std::string &serial, const wire::Mac &mac)
{
    return serial + "/" + wire::macText(mac);
}
} // namespace

Engine::Engine(net::Settings settings, EngineTiming timing, std::vector<std::string> trustPaths)
    : settings_(std::move(settings))
    , timing_(timing)
    , trustPaths_(std::move(trustPaths))
    , clientKey_(crypto::newBoxKeyPair())
    , clientId_(crypto::randomU64() | 1)
    , nextRequest_(crypto::randomU32() | 1)
{
    crypto::init();
    trust_.configure(trustPaths_);
    if (const char *r = std::getenv("ZELT_REPORT_UNTRUSTED"); r && std::strcmp(r, "1") == 0)
        reportUntrusted_ = true;
    if (const char *p = std::getenv("ZELT_PROTOCOLS"); p && *p) {
        onvifEnabled_ = std::strcmp(p, "zelt") != 0;
        zeltEnabled_ = std::strcmp(p, "onvif") != 0;
    }
}

Engine::~Engine()
{
    stop();
    transport_.close();
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    if (wsdRx_ >= 0)
        ::close(wsdRx_);
    if (wsdTx_ >= 0)
        ::close(wsdTx_);
    sodium_memzero(clientKey_.sk.data(), clientKey_.sk.size());
}

uint32_t Engine::start(ZELT_DEVICE_FIND_CALLBACK cb, void *user)
{
    if (!crypto::init())
        return ZELT_ERR_INTERNAL;
    std::string error;
    if (!transport_.open(settings_, settings_.clientPort(), settings_.devicePort, &error)) {
        log::write(1, "start failed: %s", error.c_str());
        return ZELT_ERR_NETWORK;
    }
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        transport_.close();
        return ZELT_ERR_INTERNAL;
    }
    if (!openOnvif(&error)) {
        // ZELT works without it: another WS-Discovery listener may hold the port.
        log::write(1, "ONVIF discovery not available: %s", error.c_str());
        if (wsdRx_ >= 0)
            ::close(wsdRx_);
        if (wsdTx_ >= 0)
            ::close(wsdTx_);
        wsdRx_ = wsdTx_ = -1;
    }
    std::string names;
    for (auto &i : transport_.interfaces())
        names += (names.empty() ? "" : ",") + i.name;
    log::write(2, "started: group %s port %u, interfaces %s, inquiry every %d ms, %zu trusted maker key(s)",
               settings_.group.c_str(), unsigned(settings_.devicePort), names.c_str(), timing_.inquiryPeriodMs,
               trust_.size());
    if (trust_.size() == 0)
        log::write(1, "no trusted maker key: no device will be listed");
    callback_ = cb;
    user_ = user;
    auto now = Clock::now();
    nextInquiry_ = now;
    nextTick_ = now;
    quickInquiries_ = 10;
    const unsigned verifiers = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    for (unsigned i = 0; i < verifiers; ++i) {
        shards_.push_back(std::make_unique<Shard>());
        Shard &s = *shards_.back();
        s.thread = std::thread([this, &s] { verifyLoop(s); });
    }
    dispatcher_ = std::thread([this, self = shared_from_this()] { dispatchLoop(self); });
    dispatcherId_ = dispatcher_.get_id();
    rx_ = std::thread([this] { receiveLoop(); });
    return ZELT_ERR_NONE;
}

void Engine::stop()
{
    if (stopping_.exchange(true))
        return;
    if (wakeFd_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
    }
    if (rx_.joinable())
        rx_.join();
    {
        std::lock_guard lock(onvifMu_);
        onvifQueue_.clear();
    }
    onvifCv_.notify_all();
    if (onvifWorker_.joinable())
        onvifWorker_.join();
    shardsStop_ = true;
    for (auto &s : shards_) {
        {
            std::lock_guard lock(s->mu);
            s->queue.clear();
        }
        s->cv.notify_all();
    }
    for (auto &s : shards_)
        if (s->thread.joinable())
            s->thread.join();
    {
        std::lock_guard lock(evMu_);
        evStop_ = true;
        events_.clear();
        lastQueued_.clear();
    }
    evCv_.notify_all();
    pendingCv_.notify_all();
    tableCv_.notify_all();
    if (dispatcher_.joinable()) {
        // Called from inside the callback: that callback is the last one; the
        // dispatcher ends when it returns and keeps the engine alive till then.
        if (std::this_thread::get_id() == dispatcherId_)
            dispatcher_.detach();
        else
            dispatcher_.join();
    }
    // The sockets stay open until the engine is destroyed: a command still
    // running on another thread may be sending; it ends at its next wait.
    log::write(2, "stopped");
}

void Engine::inquire()
{
    inquiryWanted_ = true;
    if (wakeFd_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
    }
}

size_t Engine::deviceCount()
{
    std::lock_guard lock(mu_);
    return table_.size();
}

void Engine::dispatchLoop(std::shared_ptr<Engine> self)
{
    for (;;) {
        ZELT_DEVICE_INFO info;
        {
            std::unique_lock lock(evMu_);
            evCv_.wait(lock, [&] { return evStop_ || !events_.empty(); });
            if (evStop_)
                break;
            Queued &front = events_.front();
            const bool cancelled = front.cancelled;
            info = front.info;
            if (auto it = lastQueued_.find(front.key); it != lastQueued_.end() && it->second == &front)
                lastQueued_.erase(it);
            events_.pop_front();
            if (cancelled)
                continue;
        }
        if (callback_)
            callback_(&info, user_);
    }
    self.reset();
}

// Events wait per device: a newer one folds into the one still waiting, so
// a device that changes faster than the callback keeps up takes one place.
void Engine::queueEvent(const std::string &key, const ZELT_DEVICE_INFO &info)
{
    if (log::enabled(3))
        log::write(3, "event %d %s %s %s", info.iResult, info.szSerialNO, info.szMAC, info.szIPv4Address);
    {
        std::lock_guard lock(evMu_);
        if (evStop_)
            return;
        auto it = lastQueued_.find(key);
        if (it != lastQueued_.end()) {
            Queued &last = *it->second;
            const int was = last.info.iResult, now = info.iResult;
            if (now == ZELT_EVENT_CHANGED && (was == ZELT_EVENT_ONLINE || was == ZELT_EVENT_CHANGED)) {
                last.info = info;
                last.info.iResult = was;
                return;
            }
            if (now == ZELT_EVENT_OFFLINE && was == ZELT_EVENT_ONLINE) {
                last.cancelled = true; // never reported: nothing to take back
                lastQueued_.erase(it);
                return;
            }
            if (now == ZELT_EVENT_OFFLINE && was == ZELT_EVENT_CHANGED) {
                last.info = info;
                return;
            }
        }
        if (events_.size() >= kMaxQueuedEvents) {
            log::write(1, "event queue full, event %d of %s dropped", info.iResult, info.szSerialNO);
            return;
        }
        events_.push_back({key, info, false});
        lastQueued_[key] = &events_.back();
    }
    evCv_.notify_one();
}

bool Engine::seenBefore(uint64_t msgId)
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

int Engine::sendInquiry(const wire::Mac *target)
{
    wire::Message m;
    m.type = wire::Type::Inquiry;
    m.msgId = crypto::randomU64();
    m.inquiry.clientId = clientId_;
    m.inquiry.seq = ++inquirySeq_;
    size_t known;
    {
        std::lock_guard lock(mu_);
        known = table_.size();
    }
    // Spread answers wider as the fleet grows: about 5,000 answers a second.
    m.inquiry.windowMs = uint16_t(std::clamp<size_t>(known / 5, size_t(timing_.windowMs), 10000));
    if (target)
        m.inquiry.target = *target;
    auto bytes = wire::encode(m);
    if (zeltEnabled_)
        transport_.send(bytes.data(), bytes.size());
    if (!target) {
        log::write(3, "inquiry %u window %u ms", m.inquiry.seq, unsigned(m.inquiry.windowMs));
        sendProbe(); // ONVIF devices are asked on the same schedule
    }
    return m.inquiry.windowMs;
}

void Engine::receiveLoop()
{
    while (!stopping_) {
        auto now = Clock::now();
        if (inquiryWanted_.exchange(false))
            sendInquiry(nullptr);
        if (now >= nextInquiry_) {
            // After the start, inquire again as soon as the answers of the last
            // inquiry are in, as long as it brought new devices: answers lost on
            // the wire are picked up in seconds, not periods.
            if (quickInquiries_ > 0 && quickInquiries_ <= 8 && newSinceInquiry_ == 0)
                quickInquiries_ = 0;
            newSinceInquiry_ = 0;
            const int window = sendInquiry(nullptr);
            int gap = timing_.inquiryPeriodMs;
            if (quickInquiries_ > 0) {
                --quickInquiries_;
                gap = std::min(gap, window + 700);
            }
            nextInquiry_ = now + std::chrono::milliseconds(gap);
        }
        if (now >= nextTick_) {
            tick(now);
            // At least once a second: new ONVIF devices are listed once their settling time is over.
            nextTick_ = now + std::chrono::milliseconds(std::clamp(timing_.inquiryPeriodMs / 4, 25, 1000));
        }
        auto wait = std::min(nextInquiry_, nextTick_) - Clock::now();
        int ms = int(
            std::clamp<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(wait).count() + 1, 0, 1000));
        pollfd fds[4] = {
            {transport_.receiveFd(), POLLIN, 0}, {wakeFd_, POLLIN, 0}, {wsdRx_, POLLIN, 0}, {wsdTx_, POLLIN, 0}};
        int r = poll(fds, wsdRx_ >= 0 ? 4 : 2, ms);
        if (r <= 0)
            continue;
        if (fds[1].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] auto n = ::read(wakeFd_, &v, sizeof v);
        }
        if (fds[0].revents & POLLIN)
            receiveZelt();
        if (wsdRx_ >= 0) {
            if (fds[2].revents & POLLIN)
                receiveOnvif(wsdRx_);
            if (fds[3].revents & POLLIN)
                receiveOnvif(wsdTx_);
        }
    }
}

void Engine::receiveZelt()
{
    uint8_t buf[wire::kMaxDatagram + 1];
    for (int i = 0; i < 4096 && !stopping_; ++i) {
        long n = transport_.receive(buf, sizeof buf);
        if (n < 0)
            break;
        handleDatagram(buf, size_t(n));
    }
}

void Engine::handleDatagram(const uint8_t *data, size_t size)
{
    if (!zeltEnabled_)
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

void Engine::handle(wire::Message &&m, Clock::time_point now)
{
    switch (m.type) {
    case wire::Type::Hello:
    case wire::Type::Bye: {
        if (shards_.empty()) { // not started: verified here
            if (m.type == wire::Type::Hello)
                onHello(m.hello, now);
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
            s.queue.push_back(std::move(m));
        }
        s.cv.notify_one();
        break;
    }
    case wire::Type::Response: {
        if (m.response.clientId != clientId_)
            return;
        std::shared_ptr<Pending> p;
        {
            std::lock_guard lock(mu_);
            auto it = pending_.find(m.response.requestId);
            if (it == pending_.end() || it->second->result || it->second->mac != m.response.mac)
                return;
            p = it->second;
        }
        // Only an answer sealed with this command's answer key counts: a forged
        // one, or our own request reflected back, is ignored, not taken as a failure.
        auto result = crypto::openResponse(m.response, p->keys);
        if (!result || result->requestId != p->requestId) {
            log::write(3, "request %u: answer that does not open, ignored", m.response.requestId);
            return;
        }
        std::lock_guard lock(mu_);
        if (!p->result)
            p->result = std::move(result);
        pendingCv_.notify_all();
        break;
    }
    default: break; // inquiries and requests of other clients
    }
}

void Engine::verifyLoop(Shard &s)
{
    for (;;) {
        wire::Message m;
        {
            std::unique_lock lock(s.mu);
            s.cv.wait(lock, [&] { return shardsStop_ || !s.queue.empty(); });
            if (shardsStop_)
                return;
            m = std::move(s.queue.front());
            s.queue.pop_front();
        }
        if (m.type == wire::Type::Hello)
            onHello(m.hello, Clock::now());
        else
            onBye(m.bye);
    }
}

void Engine::index(const std::string &key, const wire::DeviceRecord &r)
{
    bySerial_.emplace(r.serial, key);
    byMac_.emplace(r.mac, key);
    onvifIdentityChanged(r.serial, r.mac);
}

void Engine::unindex(const std::string &key, const wire::DeviceRecord &r)
{
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
    onvifIdentityChanged(r.serial, r.mac);
}

void Engine::updateAmbiguity(const std::string &serial, const wire::Mac &mac, Clock::time_point now,
                             std::vector<std::pair<std::string, ZELT_DEVICE_INFO>> &changed)
{
    std::vector<std::string> keys;
    for (auto [a, b] = bySerial_.equal_range(serial); a != b; ++a)
        keys.push_back(a->second);
    for (auto [a, b] = byMac_.equal_range(mac); a != b; ++a)
        keys.push_back(a->second);
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    const auto rivalLife = 3 * std::chrono::milliseconds(timing_.inquiryPeriodMs)
                           + std::chrono::milliseconds(std::min(timing_.windowMs, timing_.inquiryPeriodMs / 2));
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
            changed.emplace_back(key, e.info);
        }
    }
}

void Engine::noteUntrusted(const wire::Hello &h)
{
    const std::string key = tableKey(h.device.serial, h.device.mac);
    ZELT_DEVICE_INFO info;
    {
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
        fillDeviceInfo(h.device, ZELT_EVENT_ONLINE, info);
        info.byTrust = ZELT_TRUST_UNTRUSTED;
    }
    queueEvent("untrusted:" + key + crypto::toHex(h.cert.identity.data(), 8), info);
}

void Engine::onHello(const wire::Hello &h, Clock::time_point now)
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
    std::vector<std::pair<std::string, ZELT_DEVICE_INFO>> events;
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
            events.emplace_back(key, e.info);
            table_.emplace(key, std::move(e));
            index(key, h.device);
            ++newSinceInquiry_;
            updateAmbiguity(h.device.serial, h.device.mac, now, events);
        } else {
            Entry &e = it->second;
            if (e.cert.identity != h.cert.identity) {
                // Another certified identity claims this device: neither is
                // trusted with commands while both are heard.
                e.rival = true;
                e.rivalSeen = now;
                updateAmbiguity(h.device.serial, h.device.mac, now, events);
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
                ZELT_DEVICE_INFO fresh;
                fillDeviceInfo(h.device, ZELT_EVENT_CHANGED, fresh);
                fresh.byTrust = e.info.byTrust;
                e.info.iResult = ZELT_EVENT_CHANGED;
                if (std::memcmp(&fresh, &e.info, sizeof fresh) != 0) {
                    e.info = fresh;
                    events.emplace_back(key, fresh);
                }
            }
        }
    }
    if (!events.empty()) {
        tableCv_.notify_all();
        for (auto &[k, info] : events)
            queueEvent(k, info);
    }
}

void Engine::onBye(const wire::Bye &b)
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
    std::vector<std::pair<std::string, ZELT_DEVICE_INFO>> events;
    {
        std::lock_guard lock(mu_);
        auto it = table_.find(key);
        if (it == table_.end() || it->second.record.bootId != b.bootId || it->second.cert.identity != identity)
            return;
        ZELT_DEVICE_INFO info = it->second.info;
        info.iResult = ZELT_EVENT_OFFLINE;
        const wire::DeviceRecord rec = it->second.record;
        unindex(key, rec);
        table_.erase(it);
        events.emplace_back(key, info);
        updateAmbiguity(rec.serial, rec.mac, Clock::now(), events);
    }
    for (auto &[k, info] : events)
        queueEvent(k, info);
}

void Engine::tick(Clock::time_point now)
{
    const auto period = std::chrono::milliseconds(timing_.inquiryPeriodMs);
    const auto grace = std::chrono::milliseconds(std::min(timing_.windowMs, timing_.inquiryPeriodMs / 2));
    std::vector<std::pair<std::string, ZELT_DEVICE_INFO>> events;
    std::vector<wire::Mac> probes;
    {
        std::lock_guard lock(mu_);
        std::vector<wire::DeviceRecord> recheck;
        for (auto it = table_.begin(); it != table_.end();) {
            auto silent = now - it->second.lastSeen;
            if (silent > 3 * period + grace) {
                ZELT_DEVICE_INFO info = it->second.info;
                info.iResult = ZELT_EVENT_OFFLINE;
                events.emplace_back(it->first, info);
                recheck.push_back(it->second.record);
                unindex(it->first, it->second.record);
                it = table_.erase(it);
                continue;
            }
            if (it->second.rival && now - it->second.rivalSeen > 3 * period + grace)
                recheck.push_back(it->second.record);
            // Missed an answer: ask this one device directly before it times out.
            if (silent > period + grace && now - it->second.lastProbe >= period / 4) {
                it->second.lastProbe = now;
                if (probes.size() < 64)
                    probes.push_back(it->second.record.mac);
            }
            ++it;
        }
        for (auto &r : recheck)
            updateAmbiguity(r.serial, r.mac, now, events);
        tickOnvif(now, events);
    }
    if (probes.size() >= 64)
        sendInquiry(nullptr);
    else
        for (auto &mac : probes)
            sendInquiry(&mac);
    for (auto &[k, info] : events)
        queueEvent(k, info);
}

uint32_t Engine::findDevice(const Target &t, Entry &out)
{
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
    out = *found[0];
    return ZELT_ERR_NONE;
}

uint32_t Engine::command(const Target &target, wire::CommandBody body, wire::CommandResult &out)
{
    if (stopping_)
        return ZELT_ERR_NOT_STARTED;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timing_.commandTimeoutMs);
    Entry dev;
    {
        std::unique_lock lock(mu_);
        uint32_t found = findDevice(target, dev);
        // ONVIF only for a device never heard over ZELT: a ZELT device that
        // is untrusted, ambiguous or silent is not commanded by another way.
        std::string onvifKey;
        uint32_t onvifFound = ZELT_ERR_NO_DEVICE;
        if (found == ZELT_ERR_NO_DEVICE)
            onvifFound = findOnvif(target, onvifKey);
        if (found == ZELT_ERR_NO_DEVICE && onvifFound == ZELT_ERR_NO_DEVICE) {
            // Not (yet) in the table: ask once and wait a little.
            lock.unlock();
            inquire();
            lock.lock();
            auto until = std::min(deadline, Clock::now() + std::chrono::milliseconds(timing_.windowMs + 500));
            tableCv_.wait_until(lock, until, [&] {
                if (stopping_)
                    return true;
                found = findDevice(target, dev);
                if (found != ZELT_ERR_NO_DEVICE)
                    return true;
                onvifFound = findOnvif(target, onvifKey);
                return onvifFound != ZELT_ERR_NO_DEVICE;
            });
            if (stopping_)
                return ZELT_ERR_NOT_STARTED;
        }
        if (found == ZELT_ERR_NO_DEVICE && onvifFound != ZELT_ERR_NO_DEVICE) {
            if (onvifFound != ZELT_ERR_NONE) {
                log::write(1, "command %u to ONVIF device %s refused (error %u)", unsigned(body.command),
                           target.mac ? wire::macText(*target.mac).c_str() : target.serial.c_str(),
                           unsigned(onvifFound));
                return onvifFound;
            }
            // Known over ONVIF only: its device service does what it can.
            const OnvifEntry entry = onvif_.at(onvifKey);
            lock.unlock();
            return onvifCommand(onvifKey, entry, body);
        }
        if (found != ZELT_ERR_NONE) {
            log::write(1, "command %u to %s refused: %s", unsigned(body.command),
                       target.mac ? wire::macText(*target.mac).c_str() : target.serial.c_str(),
                       found == ZELT_ERR_AMBIGUOUS_DEVICE   ? "claimed by two certified identities"
                       : found == ZELT_ERR_UNTRUSTED_DEVICE ? "no trusted certificate"
                                                            : "unknown device");
            return found;
        }
    }
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
    auto interval = std::chrono::milliseconds(timing_.retransmitMs);
    for (int attempt = 0; !stopping_; ++attempt) {
        lock.unlock();
        transport_.send(datagram.data(), datagram.size()); // a retransmission is the same datagram
        lock.lock();
        auto until = std::min(deadline, Clock::now() + interval);
        if (pendingCv_.wait_until(lock, until, [&] { return stopping_ || pending->result.has_value(); }))
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
        if (stopping_)
            return ZELT_ERR_NOT_STARTED;
        log::write(1, "request %u to %s: no answer", body.requestId, rec.serial.c_str());
        return ZELT_ERR_TIMEOUT;
    }
    out = *result;
    log::write(2, "request %u to %s: status %u", body.requestId, rec.serial.c_str(), unsigned(result->status));
    return result->status;
}

} // namespace zelt
