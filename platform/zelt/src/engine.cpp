#include "engine.h"

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

int envInt(const char *name, int fallback, int lo, int hi) {
    const char *v = std::getenv(name);
    if (!v || !*v) return fallback;
    long x = std::strtol(v, nullptr, 10);
    return x < lo || x > hi ? fallback : int(x);
}

template <size_t N> void copyText(char (&dst)[N], const std::string &src) {
    size_t n = std::min(src.size(), N - 1);
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
}

std::string ip4Text(const wire::Ip4 &a) {
    char buf[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, a.data(), buf, sizeof buf);
    return buf;
}

std::string ip6Text(const wire::Ip6 &a) {
    static const wire::Ip6 zero{};
    if (a == zero) return {};
    char buf[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, a.data(), buf, sizeof buf);
    return buf;
}
}  // namespace

EngineTiming timingFromEnvironment() {
    EngineTiming t;
    t.inquiryPeriodMs = envInt("ZELT_INQUIRY_PERIOD_MS", t.inquiryPeriodMs, 100, 3600000);
    t.windowMs = envInt("ZELT_WINDOW_MS", t.windowMs, 10, 10000);
    t.commandTimeoutMs = envInt("ZELT_TIMEOUT_MS", t.commandTimeoutMs, 100, 120000);
    t.retransmitMs = envInt("ZELT_RETRANSMIT_MS", t.retransmitMs, 20, 10000);
    return t;
}

void fillDeviceInfo(const wire::DeviceRecord &r, int kind, ZELT_DEVICE_INFO &out) {
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
}

Engine::Engine(net::Settings settings, EngineTiming timing)
    : settings_(std::move(settings)), timing_(timing), clientId_(crypto::randomU64() | 1), nextRequest_(crypto::randomU32() | 1) {}

Engine::~Engine() {
    stop();
    transport_.close();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

uint32_t Engine::start(ZELT_DEVICE_FIND_CALLBACK cb, void *user) {
    if (!crypto::init()) return ZELT_ERR_INTERNAL;
    std::string error;
    if (!transport_.open(settings_, settings_.clientPort(), settings_.devicePort, &error)) {
        log::write(1, "start failed: %s", error.c_str());
        return ZELT_ERR_NETWORK;
    }
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) { transport_.close(); return ZELT_ERR_INTERNAL; }
    std::string names;
    for (auto &i : transport_.interfaces()) names += (names.empty() ? "" : ",") + i.name;
    log::write(2, "started: group %s port %u, interfaces %s, inquiry every %d ms", settings_.group.c_str(),
               unsigned(settings_.devicePort), names.c_str(), timing_.inquiryPeriodMs);
    callback_ = cb;
    user_ = user;
    auto now = Clock::now();
    nextInquiry_ = now;
    nextTick_ = now;
    quickInquiries_ = 10;
    dispatcher_ = std::thread([this, self = shared_from_this()] { dispatchLoop(self); });
    dispatcherId_ = dispatcher_.get_id();
    rx_ = std::thread([this] { receiveLoop(); });
    return ZELT_ERR_NONE;
}

void Engine::stop() {
    if (stopping_.exchange(true)) return;
    if (wakeFd_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
    }
    if (rx_.joinable()) rx_.join();
    {
        std::lock_guard lock(evMu_);
        evStop_ = true;
        events_.clear();
    }
    evCv_.notify_all();
    pendingCv_.notify_all();
    tableCv_.notify_all();
    if (dispatcher_.joinable()) {
        // Called from inside the callback: that callback is the last one; the
        // dispatcher ends when it returns and keeps the engine alive till then.
        if (std::this_thread::get_id() == dispatcherId_) dispatcher_.detach();
        else dispatcher_.join();
    }
    // The sockets stay open until the engine is destroyed: a command still
    // running on another thread may be sending; it ends at its next wait.
    log::write(2, "stopped");
}

void Engine::inquire() {
    inquiryWanted_ = true;
    if (wakeFd_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
    }
}

size_t Engine::deviceCount() {
    std::lock_guard lock(mu_);
    return table_.size();
}

void Engine::dispatchLoop(std::shared_ptr<Engine> self) {
    for (;;) {
        ZELT_DEVICE_INFO info;
        {
            std::unique_lock lock(evMu_);
            evCv_.wait(lock, [&] { return evStop_ || !events_.empty(); });
            if (evStop_) break;
            info = events_.front();
            events_.pop_front();
        }
        if (callback_) callback_(&info, user_);
    }
    self.reset();
}

void Engine::queueEvent(const ZELT_DEVICE_INFO &info) {
    if (log::enabled(3))
        log::write(3, "event %d %s %s %s", info.iResult, info.szSerialNO, info.szMAC, info.szIPv4Address);
    {
        std::lock_guard lock(evMu_);
        if (evStop_) return;
        events_.push_back(info);
    }
    evCv_.notify_one();
}

bool Engine::seenBefore(uint64_t msgId) {
    if (!seenIds_.insert(msgId).second) return true;
    seenOrder_.push_back(msgId);
    if (seenOrder_.size() > 65536) {
        seenIds_.erase(seenOrder_.front());
        seenOrder_.pop_front();
    }
    return false;
}

int Engine::sendInquiry(const wire::Mac *target) {
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
    if (target) m.inquiry.target = *target;
    auto bytes = wire::encode(m);
    transport_.send(bytes.data(), bytes.size());
    if (!target) log::write(3, "inquiry %u window %u ms", m.inquiry.seq, unsigned(m.inquiry.windowMs));
    return m.inquiry.windowMs;
}

void Engine::receiveLoop() {
    std::vector<uint8_t> buf(wire::kMaxDatagram + 1);
    while (!stopping_) {
        auto now = Clock::now();
        if (inquiryWanted_.exchange(false)) sendInquiry(nullptr);
        if (now >= nextInquiry_) {
            // After the start, inquire again as soon as the answers of the last
            // inquiry are in, as long as it brought new devices: answers lost on
            // the wire are picked up in seconds, not periods.
            if (quickInquiries_ > 0 && quickInquiries_ <= 8 && newSinceInquiry_ == 0) quickInquiries_ = 0;
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
            nextTick_ = now + std::chrono::milliseconds(std::max(25, timing_.inquiryPeriodMs / 4));
        }
        auto wait = std::min(nextInquiry_, nextTick_) - Clock::now();
        int ms = int(std::clamp<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(wait).count() + 1, 0, 1000));
        pollfd fds[2] = {{transport_.receiveFd(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        int r = poll(fds, 2, ms);
        if (r <= 0) continue;
        if (fds[1].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] auto n = ::read(wakeFd_, &v, sizeof v);
        }
        if (fds[0].revents & POLLIN) {
            for (int i = 0; i < 4096 && !stopping_; ++i) {
                long n = transport_.receive(buf.data(), buf.size());
                if (n < 0) break;
                auto msg = wire::decode(buf.data(), size_t(n));
                if (!msg) {
                    log::write(3, "dropped malformed datagram of %ld bytes", n);
                    continue;
                }
                if (seenBefore(msg->msgId)) continue;
                handle(*msg, Clock::now());
            }
        }
    }
}

void Engine::handle(const wire::Message &m, Clock::time_point now) {
    switch (m.type) {
    case wire::Type::Hello: onHello(m.hello, now); break;
    case wire::Type::Bye: onBye(m.bye); break;
    case wire::Type::Response: {
        if (m.response.clientId != clientId_) return;
        std::shared_ptr<Pending> p;
        {
            std::lock_guard lock(mu_);
            auto it = pending_.find(m.response.requestId);
            if (it == pending_.end() || it->second->plain || it->second->mac != m.response.mac) return;
            p = it->second;
        }
        // Only an answer sealed with this command's key counts: a forged one
        // (the ids are visible on the wire) is ignored, not taken as a failure.
        auto plain = crypto::open(p->key, m.response.nonce, m.response.cipher);
        if (!plain) {
            log::write(3, "request %u: answer that does not open, ignored", m.response.requestId);
            return;
        }
        std::lock_guard lock(mu_);
        if (!p->plain) p->plain = std::move(plain);
        pendingCv_.notify_all();
        break;
    }
    default: break;  // inquiries and requests of other clients
    }
}

void Engine::onHello(const wire::Hello &h, Clock::time_point now) {
    const std::string key = h.device.serial + "/" + wire::macText(h.device.mac);
    ZELT_DEVICE_INFO info;
    int kind = 0;
    {
        std::lock_guard lock(mu_);
        auto it = table_.find(key);
        if (it == table_.end()) {
            if (table_.size() >= kMaxDevices) {
                log::write(1, "device table full (%zu), %s ignored", table_.size(), h.device.serial.c_str());
                return;
            }
            Entry e;
            e.record = h.device;
            fillDeviceInfo(h.device, ZELT_EVENT_ONLINE, e.info);
            e.lastSeen = now;
            e.lastProbe = now;
            info = e.info;
            table_.emplace(key, e);
            kind = ZELT_EVENT_ONLINE;
            ++newSinceInquiry_;
        } else {
            Entry &e = it->second;
            e.lastSeen = now;
            if (e.record.bootId == h.device.bootId && h.device.configVersion < e.record.configVersion) return;  // stale copy
            e.record = h.device;
            ZELT_DEVICE_INFO fresh;
            fillDeviceInfo(h.device, ZELT_EVENT_CHANGED, fresh);
            e.info.iResult = ZELT_EVENT_CHANGED;
            if (std::memcmp(&fresh, &e.info, sizeof fresh) != 0) {
                e.info = fresh;
                info = fresh;
                kind = ZELT_EVENT_CHANGED;
            }
        }
    }
    if (kind) {
        tableCv_.notify_all();
        queueEvent(info);
    }
}

void Engine::onBye(const wire::Bye &b) {
    const std::string key = b.serial + "/" + wire::macText(b.mac);
    ZELT_DEVICE_INFO info;
    {
        std::lock_guard lock(mu_);
        auto it = table_.find(key);
        if (it == table_.end() || it->second.record.bootId != b.bootId) return;
        info = it->second.info;
        table_.erase(it);
    }
    info.iResult = ZELT_EVENT_OFFLINE;
    queueEvent(info);
}

void Engine::tick(Clock::time_point now) {
    const auto period = std::chrono::milliseconds(timing_.inquiryPeriodMs);
    const auto grace = std::chrono::milliseconds(std::min(timing_.windowMs, timing_.inquiryPeriodMs / 2));
    std::vector<ZELT_DEVICE_INFO> gone;
    std::vector<wire::Mac> probes;
    {
        std::lock_guard lock(mu_);
        for (auto it = table_.begin(); it != table_.end();) {
            auto silent = now - it->second.lastSeen;
            if (silent > 3 * period + grace) {
                gone.push_back(it->second.info);
                it = table_.erase(it);
                continue;
            }
            // Missed an answer: ask this one device directly before it times out.
            if (silent > period + grace && now - it->second.lastProbe >= period / 4) {
                it->second.lastProbe = now;
                if (probes.size() < 64) probes.push_back(it->second.record.mac);
            }
            ++it;
        }
    }
    if (probes.size() >= 64) sendInquiry(nullptr);
    else
        for (auto &mac : probes) sendInquiry(&mac);
    for (auto &info : gone) {
        info.iResult = ZELT_EVENT_OFFLINE;
        queueEvent(info);
    }
}

bool Engine::findDevice(const Target &t, wire::DeviceRecord &out) {
    for (auto &[key, e] : table_) {
        if ((t.mac && e.record.mac == *t.mac) || (!t.mac && e.record.serial == t.serial)) {
            out = e.record;
            return true;
        }
    }
    return false;
}

uint32_t Engine::command(const Target &target, wire::CommandBody body, wire::CommandResult &out) {
    if (stopping_) return ZELT_ERR_NOT_STARTED;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timing_.commandTimeoutMs);
    wire::DeviceRecord rec;
    {
        std::unique_lock lock(mu_);
        if (!findDevice(target, rec)) {
            // Not (yet) in the table: ask once and wait a little.
            lock.unlock();
            inquire();
            lock.lock();
            auto until = std::min(deadline, Clock::now() + std::chrono::milliseconds(timing_.windowMs + 500));
            if (!tableCv_.wait_until(lock, until, [&] { return stopping_ || findDevice(target, rec); }))
                return ZELT_ERR_NO_DEVICE;
            if (stopping_) return ZELT_ERR_NOT_STARTED;
        }
    }
    auto eph = crypto::newBoxKeyPair();
    auto pending = std::make_shared<Pending>();
    crypto::SharedKey &key = pending->key;
    if (!crypto::sharedKey(rec.boxKey, eph.sk, key)) return ZELT_ERR_PROTOCOL;
    pending->requestId = nextRequest_.fetch_add(1);
    pending->mac = rec.mac;
    body.clientId = clientId_;
    body.requestId = pending->requestId;
    body.mac = rec.mac;

    wire::Message m;
    m.type = wire::Type::Request;
    m.msgId = crypto::randomU64();
    m.request.mac = rec.mac;
    m.request.serial = rec.serial;
    m.request.clientId = clientId_;
    m.request.requestId = pending->requestId;
    m.request.clientKey = eph.pk;
    crypto::seal(key, wire::encodeCommand(body), m.request.nonce, m.request.cipher);
    sodium_memzero(eph.sk.data(), eph.sk.size());
    wire::Bytes datagram = wire::encode(m);
    log::write(2, "command %u to %s (%s), request %u", unsigned(body.command), rec.serial.c_str(),
               wire::macText(rec.mac).c_str(), pending->requestId);

    std::unique_lock lock(mu_);
    pending_[pending->requestId] = pending;
    auto interval = std::chrono::milliseconds(timing_.retransmitMs);
    uint32_t status = ZELT_ERR_TIMEOUT;
    for (int attempt = 0; !stopping_; ++attempt) {
        lock.unlock();
        transport_.send(datagram.data(), datagram.size());  // a retransmission is the same datagram
        lock.lock();
        auto until = std::min(deadline, Clock::now() + interval);
        if (pendingCv_.wait_until(lock, until, [&] { return stopping_ || pending->plain.has_value(); })) break;
        if (Clock::now() >= deadline) break;
        interval = std::min(interval * 3 / 2, std::chrono::milliseconds(500));
        log::write(3, "request %u: retransmission %d", pending->requestId, attempt + 1);
    }
    pending_.erase(pending->requestId);
    const bool answered = pending->plain.has_value();
    wire::Bytes plain;
    if (answered) plain = std::move(*pending->plain);
    lock.unlock();
    if (!answered) {
        if (stopping_) return ZELT_ERR_NOT_STARTED;
        log::write(1, "request %u to %s: no answer", body.requestId, rec.serial.c_str());
        return status;
    }
    auto result = wire::decodeResult(plain.data(), plain.size());
    if (!result || result->requestId != body.requestId) return ZELT_ERR_PROTOCOL;
    out = *result;
    log::write(2, "request %u to %s: status %u", body.requestId, rec.serial.c_str(), unsigned(result->status));
    return result->status;
}

}  // namespace zelt
