#include "device.h"

#include "zelt_sdk.h"

#include <sodium.h>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace zelt {

Device::Device(DeviceState state, DeviceOptions options, double now) : state_(std::move(state)), opt_(options)
{
    uint8_t probe[16];
    if (state_.keyNonce.size() != 32 || !crypto::fromHex(state_.keyNonce, probe, sizeof probe))
        renewKeyNonce();
    boot(now);
}

void Device::renewKeyNonce()
{
    uint8_t n[16];
    crypto::randomBytes(n, sizeof n);
    state_.keyNonce = crypto::toHex(n, sizeof n);
}

void Device::boot(double now)
{
    sodium_memzero(box_.sk.data(), box_.sk.size());
    box_ = crypto::newBoxKeyPair();
    ++state_.record.bootId;
    bootedAt_ = now;
    state_.record.boxKey = box_.pk;
    state_.record.inactive = state_.passwordHash.empty() ? 1 : 0;
    answers_.clear();
    answerOrder_.clear();
    windows_.clear();
    evictedAtMs_ = 0;
}

namespace {
// Times a device takes: from 2000 to 2100, UTC.
constexpr int64_t kEarliestClockMs = 946684800000, kLatestClockMs = 4102444800000;

int64_t hostClockMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}
} // namespace

int64_t Device::clockMs() const
{
    return hostClockMs() + state_.clockOffsetMs;
}

void Device::setClockMs(int64_t utcMs)
{
    state_.clockOffsetMs = utcMs - hostClockMs();
}

wire::Message Device::hello(wire::HelloReason reason, uint64_t clientId, uint32_t seq, double now)
{
    wire::Bytes part = wire::helloSignedPart(state_.record, state_.cert);
    if (part != signedPart_) {
        helloSig_ = crypto::signHello(state_.record, state_.cert, state_.identity);
        signedPart_ = std::move(part);
    }
    wire::Message m;
    m.type = wire::Type::Hello;
    m.msgId = crypto::randomU64();
    m.hello.reason = reason;
    m.hello.clientId = clientId;
    m.hello.seq = seq;
    m.hello.uptimeMs = uptimeMs(now);
    m.hello.device = state_.record;
    m.hello.cert = state_.cert;
    m.hello.signature = helloSig_;
    return m;
}

wire::Message Device::bye() const
{
    wire::Message m;
    m.type = wire::Type::Bye;
    m.msgId = crypto::randomU64();
    m.bye.serial = state_.record.serial;
    m.bye.mac = state_.record.mac;
    m.bye.bootId = state_.record.bootId;
    m.bye.identity = state_.cert.identity;
    m.bye.signature = crypto::signBye(m.bye, state_.identity);
    return m;
}

bool Device::lockedOut(Lock &lock, double now, uint16_t &retryAfter)
{
    if (now < lock.until) {
        retryAfter = uint16_t(std::min(65535.0, std::ceil(lock.until - now)));
        return true;
    }
    return false;
}

void Device::failure(Lock &lock, double now)
{
    if (++lock.failures < opt_.maxFailures)
        return;
    // Each lockout in a row lasts twice as long as the one before.
    lock.until = now + double(opt_.lockoutSeconds) * double(1 << std::min(lock.level, 6));
    ++lock.level;
    lock.failures = 0;
}

uint32_t checkNetParameters(const wire::CommandBody &c, const wire::DeviceRecord &rec)
{
    auto u32 = [](const wire::Ip4 &a) {
        return (uint32_t(a[0]) << 24) | (uint32_t(a[1]) << 16) | (uint32_t(a[2]) << 8) | a[3];
    };
    const uint8_t support = rec.support;
    if (c.dhcp > 1)
        return ZELT_ERR_BAD_PARAMETERS;
    if (c.dhcp == 1 && !(support & ZELT_SUPPORT_DHCP))
        return ZELT_ERR_NOT_SUPPORTED;
    // The mask the device will have: the request's, or the one it keeps.
    const uint32_t m = u32((c.netFlags & wire::kSetMask) ? c.mask : rec.mask);
    if (c.netFlags & wire::kSetMask) {
        if (m == 0xffffffffu || (m != 0 && ((~m + 1) & ~m) != 0))
            return ZELT_ERR_BAD_PARAMETERS; // contiguous ones only
    }
    if (c.netFlags & wire::kSetIpv4) {
        uint32_t a = u32(c.ipv4);
        if (a == 0 || (a >> 24) == 0 || (a >> 24) == 127 || (a >> 28) >= 14)
            return ZELT_ERR_BAD_PARAMETERS;
        // Neither the subnet's own address nor its broadcast; x.x.x.0 and
        // x.x.x.255 are hosts like any other under a wider mask. A /31 has
        // no such addresses.
        const uint32_t host = a & ~m;
        if (~m > 1 && (host == 0 || host == ~m))
            return ZELT_ERR_BAD_PARAMETERS;
    }
    if (c.netFlags & wire::kSetGateway) {
        uint32_t g = u32(c.gateway);
        if (g != 0 && ((g >> 28) >= 14 || (g & 0xff) == 0))
            return ZELT_ERR_BAD_PARAMETERS;
    }
    if ((c.netFlags & (wire::kSetIpv6 | wire::kSetIpv6Gateway)) && !(support & ZELT_SUPPORT_MODIFY_IPV6))
        return ZELT_ERR_NOT_SUPPORTED;
    if ((c.netFlags & wire::kSetIpv6) && c.ipv6Prefix > 128)
        return ZELT_ERR_BAD_PARAMETERS;
    if ((c.netFlags & wire::kSetPort) && c.port == 0)
        return ZELT_ERR_BAD_PARAMETERS;
    if ((c.netFlags & wire::kSetHttp) && c.httpPort == 0)
        return ZELT_ERR_BAD_PARAMETERS;
    return ZELT_ERR_NONE;
}

bool Device::passwordOk(const wire::CommandBody &c, double now, wire::CommandResult &res)
{
    if (lockedOut(passwordLock_, now, res.retryAfter)) {
        res.status = ZELT_ERR_LOCKED;
        return false;
    }
    if (!crypto::verifyPassword(state_.passwordHash, c.password)) {
        failure(passwordLock_, now);
        res.status = ZELT_ERR_WRONG_PASSWORD;
        return false;
    }
    passwordLock_ = Lock{};
    return true;
}

wire::CommandResult Device::execute(const wire::CommandBody &c, double now, Outcome &out)
{
    bool &changed = out.changed;
    wire::CommandResult res;
    res.requestId = c.requestId;
    auto &rec = state_.record;
    const bool inactive = state_.passwordHash.empty();
    auto refuse = [&](uint32_t code) {
        res.status = uint8_t(code);
        return res;
    };

    switch (c.command) {
    case wire::Command::GetKey: {
        std::string key = crypto::makeKeyData(rec.serial, wire::macText(rec.mac), state_.keyNonce);
        res.data.assign(key.begin(), key.end());
        return res;
    }
    case wire::Command::Activate:
        if (!inactive)
            return refuse(ZELT_ERR_ALREADY_ACTIVATED);
        if (!crypto::passwordAcceptable(c.password))
            return refuse(ZELT_ERR_WEAK_PASSWORD);
        state_.passwordHash = crypto::hashPassword(c.password);
        if (state_.passwordHash.empty())
            return refuse(ZELT_ERR_INTERNAL);
        rec.inactive = 0;
        renewKeyNonce(); // a key file exported before belongs to the old credentials
        touch();
        changed = true;
        return res;
    default: break;
    }

    // Everything else needs an active device.
    if (inactive)
        return refuse(ZELT_ERR_NOT_ACTIVATED);

    switch (c.command) {
    case wire::Command::SetNet: {
        if (!passwordOk(c, now, res))
            return res;
        if (uint32_t bad = checkNetParameters(c, rec))
            return refuse(bad);
        if (c.netFlags & wire::kSetIpv4)
            rec.ipv4 = c.ipv4;
        if (c.netFlags & wire::kSetMask)
            rec.mask = c.mask;
        if (c.netFlags & wire::kSetGateway)
            rec.gateway = c.gateway;
        if (c.netFlags & wire::kSetIpv6) {
            rec.ipv6 = c.ipv6;
            rec.ipv6Prefix = c.ipv6Prefix;
        }
        if (c.netFlags & wire::kSetIpv6Gateway)
            rec.ipv6Gateway = c.ipv6Gateway;
        if (c.netFlags & wire::kSetPort)
            rec.port = c.port;
        if (c.netFlags & wire::kSetHttp)
            rec.httpPort = c.httpPort;
        if (rec.support & ZELT_SUPPORT_DHCP)
            rec.dhcp = c.dhcp;
        touch();
        changed = true;
        return res;
    }
    case wire::Command::SetTime: {
        if (!passwordOk(c, now, res))
            return res;
        if (c.timeMs < uint64_t(kEarliestClockMs) || c.timeMs > uint64_t(kLatestClockMs))
            return refuse(ZELT_ERR_BAD_PARAMETERS);
        wire::ClockReading reading;
        reading.beforeMs = uint64_t(std::max<int64_t>(0, clockMs()));
        setClockMs(int64_t(c.timeMs));
        reading.afterMs = uint64_t(std::max<int64_t>(0, clockMs()));
        res.data = wire::encodeClockReading(reading);
        out.clockSet = true;
        return res;
    }
    case wire::Command::RestoreDefault:
    case wire::Command::ResetPassword: {
        const bool withKeyFile = c.command == wire::Command::ResetPassword && !c.keyFile.empty();
        const std::string &newPassword = c.command == wire::Command::ResetPassword ? c.newPassword : std::string();
        if (!newPassword.empty() && !(rec.support & ZELT_SUPPORT_RESET_PASSWORD))
            return refuse(ZELT_ERR_NOT_SUPPORTED);
        if (withKeyFile && !(rec.support & (ZELT_SUPPORT_RESET_PASSWORD | ZELT_SUPPORT_NEW_PASSWORD)))
            return refuse(ZELT_ERR_NOT_SUPPORTED);
        if (!newPassword.empty() && !crypto::passwordAcceptable(newPassword))
            return refuse(ZELT_ERR_WEAK_PASSWORD);
        if (lockedOut(secretLock_, now, res.retryAfter))
            return refuse(ZELT_ERR_LOCKED);
        if (withKeyFile) {
            auto key = crypto::verifySignedKeyFile(std::string(c.keyFile.begin(), c.keyFile.end()), opt_.makerKey);
            // Only a maker-signed file for this serial number, this MAC and the
            // current nonce: another device's file or an old one resets nothing.
            const auto mac = key ? wire::parseMac(key->mac) : std::nullopt;
            if (!key || key->serial != rec.serial || !mac || *mac != rec.mac || key->nonce != state_.keyNonce) {
                failure(secretLock_, now);
                return refuse(ZELT_ERR_BAD_KEY_FILE);
            }
        } else {
            if (c.securityCode.empty())
                return refuse(ZELT_ERR_INVALID_PARAM);
            if (c.securityCode.size() != state_.securityCode.size()
                || sodium_memcmp(c.securityCode.data(), state_.securityCode.data(), c.securityCode.size()) != 0) {
                failure(secretLock_, now);
                return refuse(ZELT_ERR_BAD_SECURITY_CODE);
            }
        }
        secretLock_ = Lock{};
        passwordLock_ = Lock{};
        renewKeyNonce();
        if (newPassword.empty()) {
            // No universal default password: back to the inactive state.
            state_.passwordHash.clear();
            rec.inactive = 1;
        } else {
            state_.passwordHash = crypto::hashPassword(newPassword);
            if (state_.passwordHash.empty())
                return refuse(ZELT_ERR_INTERNAL);
        }
        touch();
        changed = true;
        return res;
    }
    default: return refuse(ZELT_ERR_PROTOCOL);
    }
}

bool Device::fresh(const wire::Request &r, double now, uint64_t stampMs)
{
    const double up = double(uptimeMs(now)), skew = opt_.stampSkewSeconds * 1000;
    if (double(stampMs) + skew < up || double(stampMs) > up + skew)
        return false; // stale, or from another boot's clock
    auto it = windows_.find(r.clientKey);
    if (it == windows_.end()) {
        if (stampMs < evictedAtMs_)
            return false;
        if (windows_.size() >= opt_.clientWindows) {
            auto lru = std::min_element(windows_.begin(), windows_.end(),
                                        [](auto &a, auto &b) { return a.second.lastUsed < b.second.lastUsed; });
            // Requests of the forgotten client could still pass the stamp check
            // until then: refuse new clients stamped before it.
            evictedAtMs_ = std::max(evictedAtMs_,
                                    uint64_t(std::max(0.0, (lru->second.lastUsed - bootedAt_) * 1000 + skew)) + 1);
            windows_.erase(lru);
            if (stampMs < evictedAtMs_)
                return false;
        }
        Window w;
        w.highest = r.requestId;
        w.seen.set(0);
        w.lastUsed = now;
        windows_.emplace(r.clientKey, w);
        return true;
    }
    Window &w = it->second;
    const int32_t ahead = int32_t(r.requestId - w.highest);
    if (ahead > 0) {
        w.seen = size_t(ahead) >= w.seen.size() ? std::bitset<1024>() : w.seen << size_t(ahead);
        w.seen.set(0);
        w.highest = r.requestId;
    } else {
        const size_t back = size_t(-int64_t(ahead));
        if (back >= w.seen.size() || w.seen.test(back))
            return false;
        w.seen.set(back);
    }
    w.lastUsed = now;
    return true;
}

Device::Outcome Device::handle(const wire::Request &req, double now)
{
    Outcome out;
    if (!addressedBy(req) || req.cipher.size() < wire::kBoxMac)
        return out;
    // Nonce and authenticator identify this exact request: a retransmission
    // (or a replay) carries the same ones.
    std::string tag(req.cipher.end() - wire::kBoxMac, req.cipher.end());
    tag.append(reinterpret_cast<const char *>(req.nonce.data()), req.nonce.size());
    if (auto it = answers_.find(tag); it != answers_.end()) {
        out.datagram = it->second;
        out.fromCache = true;
        return out;
    }

    crypto::SessionKeys keys;
    if (!crypto::deviceSessionKeys(box_, req.clientKey, keys))
        return out;
    auto body = crypto::openRequest(req, keys);
    // The sealed copy of the addressing must match the clear one.
    if (!body || body->clientId != req.clientId || body->requestId != req.requestId || body->mac != req.mac)
        return out;
    out.opened = true;
    if (!fresh(req, now, body->stampMs))
        return out; // a replay, or stale

    wire::CommandResult result = execute(*body, now, out);
    sodium_memzero(body->password.data(), body->password.size());
    sodium_memzero(body->securityCode.data(), body->securityCode.size());
    sodium_memzero(body->newPassword.data(), body->newPassword.size());

    wire::Message m;
    m.type = wire::Type::Response;
    m.msgId = crypto::randomU64();
    m.response.mac = state_.record.mac;
    m.response.serial = state_.record.serial;
    m.response.clientId = req.clientId;
    m.response.requestId = req.requestId;
    crypto::sealResponse(m.response, result, keys);
    wire::Bytes datagram = wire::encode(m);

    answers_[tag] = datagram;
    answerOrder_.push_back(tag);
    if (answerOrder_.size() > opt_.cachedAnswers) {
        answers_.erase(answerOrder_.front());
        answerOrder_.pop_front();
    }
    out.datagram = std::move(datagram);
    return out;
}

} // namespace zelt
