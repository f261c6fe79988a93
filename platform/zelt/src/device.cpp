#include "device.h"

#include "zelt_sdk.h"

#include <sodium.h>

#include <cmath>

namespace zelt {

Device::Device(DeviceState state, DeviceOptions options) : state_(std::move(state)), opt_(options) {
    if (state_.keyNonce.size() != 32) {
        uint8_t n[16];
        crypto::randomBytes(n, sizeof n);
        state_.keyNonce = crypto::toHex(n, sizeof n);
    }
    boot(crypto::randomU32());
}

void Device::boot(uint32_t bootId) {
    box_ = crypto::newBoxKeyPair();
    state_.record.bootId = bootId;
    state_.record.boxKey = box_.pk;
    state_.record.inactive = state_.passwordHash.empty() ? 1 : 0;
    answers_.clear();
    answerOrder_.clear();
    seen_.clear();
}

bool Device::lockedOut(double now, uint16_t &retryAfter) {
    if (now < lockedUntil_) {
        retryAfter = uint16_t(std::ceil(lockedUntil_ - now));
        return true;
    }
    if (lockedUntil_ != 0) {  // lockout over: a fresh count of attempts
        lockedUntil_ = 0;
        failures_ = 0;
    }
    return false;
}

void Device::failure(double now) {
    if (++failures_ >= opt_.maxFailures) lockedUntil_ = now + opt_.lockoutSeconds;
}

uint32_t checkNetParameters(const wire::CommandBody &c, uint8_t support) {
    auto u32 = [](const wire::Ip4 &a) { return (uint32_t(a[0]) << 24) | (uint32_t(a[1]) << 16) | (uint32_t(a[2]) << 8) | a[3]; };
    if (c.dhcp > 1) return ZELT_ERR_BAD_PARAMETERS;
    if (c.dhcp == 1 && !(support & ZELT_SUPPORT_DHCP)) return ZELT_ERR_NOT_SUPPORTED;
    if (c.netFlags & wire::kSetIpv4) {
        uint32_t a = u32(c.ipv4);
        if (a == 0 || (a >> 24) == 0 || (a >> 24) == 127 || (a >> 28) >= 14 || (a & 0xff) == 0 || (a & 0xff) == 0xff)
            return ZELT_ERR_BAD_PARAMETERS;
    }
    if (c.netFlags & wire::kSetMask) {
        uint32_t m = u32(c.mask);
        if (m == 0xffffffffu || (m != 0 && ((~m + 1) & ~m) != 0)) return ZELT_ERR_BAD_PARAMETERS;  // contiguous ones only
    }
    if (c.netFlags & wire::kSetGateway) {
        uint32_t g = u32(c.gateway);
        if (g != 0 && ((g >> 28) >= 14 || (g & 0xff) == 0)) return ZELT_ERR_BAD_PARAMETERS;
    }
    if ((c.netFlags & (wire::kSetIpv6 | wire::kSetIpv6Gateway)) && !(support & ZELT_SUPPORT_MODIFY_IPV6))
        return ZELT_ERR_NOT_SUPPORTED;
    if ((c.netFlags & wire::kSetIpv6) && c.ipv6Prefix > 128) return ZELT_ERR_BAD_PARAMETERS;
    if ((c.netFlags & wire::kSetPort) && c.port == 0) return ZELT_ERR_BAD_PARAMETERS;
    if ((c.netFlags & wire::kSetHttp) && c.httpPort == 0) return ZELT_ERR_BAD_PARAMETERS;
    return ZELT_ERR_NONE;
}

wire::CommandResult Device::execute(const wire::CommandBody &c, double now, bool &changed) {
    wire::CommandResult res;
    res.requestId = c.requestId;
    auto &rec = state_.record;
    const bool inactive = state_.passwordHash.empty();
    auto refuse = [&](uint32_t code) { res.status = uint8_t(code); return res; };

    switch (c.command) {
    case wire::Command::GetKey: {
        std::string key = crypto::makeKeyData(rec.serial, wire::macText(rec.mac), state_.keyNonce);
        res.data.assign(key.begin(), key.end());
        return res;
    }
    case wire::Command::Activate:
        if (!inactive) return refuse(ZELT_ERR_ALREADY_ACTIVATED);
        if (!crypto::passwordAcceptable(c.password)) return refuse(ZELT_ERR_WEAK_PASSWORD);
        state_.passwordHash = crypto::hashPassword(c.password);
        if (state_.passwordHash.empty()) return refuse(ZELT_ERR_INTERNAL);
        rec.inactive = 0;
        touch();
        changed = true;
        return res;
    default:
        break;
    }

    // Everything else needs an active device and is subject to the lockout.
    if (inactive) return refuse(ZELT_ERR_NOT_ACTIVATED);
    if (lockedOut(now, res.retryAfter)) return refuse(ZELT_ERR_LOCKED);

    switch (c.command) {
    case wire::Command::SetNet: {
        if (!crypto::verifyPassword(state_.passwordHash, c.password)) {
            failure(now);
            return refuse(ZELT_ERR_WRONG_PASSWORD);
        }
        failures_ = 0;
        if (uint32_t bad = checkNetParameters(c, rec.support)) return refuse(bad);
        if (c.netFlags & wire::kSetIpv4) rec.ipv4 = c.ipv4;
        if (c.netFlags & wire::kSetMask) rec.mask = c.mask;
        if (c.netFlags & wire::kSetGateway) rec.gateway = c.gateway;
        if (c.netFlags & wire::kSetIpv6) { rec.ipv6 = c.ipv6; rec.ipv6Prefix = c.ipv6Prefix; }
        if (c.netFlags & wire::kSetIpv6Gateway) rec.ipv6Gateway = c.ipv6Gateway;
        if (c.netFlags & wire::kSetPort) rec.port = c.port;
        if (c.netFlags & wire::kSetHttp) rec.httpPort = c.httpPort;
        if (rec.support & ZELT_SUPPORT_DHCP) rec.dhcp = c.dhcp;
        touch();
        changed = true;
        return res;
    }
    case wire::Command::RestoreDefault:
    case wire::Command::ResetPassword: {
        const bool withKeyFile = c.command == wire::Command::ResetPassword && !c.keyFile.empty();
        const std::string &newPassword = c.command == wire::Command::ResetPassword ? c.newPassword : std::string();
        if (!newPassword.empty() && !(rec.support & ZELT_SUPPORT_RESET_PASSWORD)) return refuse(ZELT_ERR_NOT_SUPPORTED);
        if (withKeyFile && !(rec.support & (ZELT_SUPPORT_RESET_PASSWORD | ZELT_SUPPORT_NEW_PASSWORD)))
            return refuse(ZELT_ERR_NOT_SUPPORTED);
        if (!newPassword.empty() && !crypto::passwordAcceptable(newPassword)) return refuse(ZELT_ERR_WEAK_PASSWORD);
        if (withKeyFile) {
            auto key = crypto::verifySignedKeyFile(std::string(c.keyFile.begin(), c.keyFile.end()), opt_.makerKey);
            // Only a maker-signed file for this device and its current nonce: an
            // exported file, another device's file or a used one resets nothing.
            if (!key || key->serial != rec.serial || key->nonce != state_.keyNonce) {
                failure(now);
                return refuse(ZELT_ERR_BAD_KEY_FILE);
            }
            uint8_t n[16];
            crypto::randomBytes(n, sizeof n);
            state_.keyNonce = crypto::toHex(n, sizeof n);
        } else {
            if (c.securityCode.empty()) return refuse(ZELT_ERR_INVALID_PARAM);
            if (c.securityCode.size() != state_.securityCode.size() ||
                sodium_memcmp(c.securityCode.data(), state_.securityCode.data(), c.securityCode.size()) != 0) {
                failure(now);
                return refuse(ZELT_ERR_BAD_SECURITY_CODE);
            }
        }
        failures_ = 0;
        if (newPassword.empty()) {
            // No universal default password: back to the inactive state.
            state_.passwordHash.clear();
            rec.inactive = 1;
        } else {
            state_.passwordHash = crypto::hashPassword(newPassword);
            if (state_.passwordHash.empty()) return refuse(ZELT_ERR_INTERNAL);
        }
        touch();
        changed = true;
        return res;
    }
    default:
        return refuse(ZELT_ERR_PROTOCOL);
    }
}

Device::Outcome Device::handle(const wire::Request &req, double now) {
    Outcome out;
    if (!addressedBy(req)) return out;
    // The box's authenticator identifies this exact request: a retransmission
    // (or a replay) carries the same one.
    std::string tag(req.cipher.begin(), req.cipher.begin() + wire::kBoxMac);
    tag.append(reinterpret_cast<const char *>(req.nonce.data()), req.nonce.size());
    if (auto it = answers_.find(tag); it != answers_.end()) {
        out.datagram = it->second;
        out.fromCache = true;
        return out;
    }
    if (seen_.count(tag)) return out;  // answered long ago: a replay, not applied again

    crypto::SharedKey key;
    if (!crypto::sharedKey(req.clientKey, box_.sk, key)) return out;
    auto plain = crypto::open(key, req.nonce, req.cipher);
    if (!plain) return out;
    auto body = wire::decodeCommand(plain->data(), plain->size());
    // The sealed copy of the addressing must match the clear one.
    if (!body || body->clientId != req.clientId || body->requestId != req.requestId || body->mac != req.mac) return out;

    wire::CommandResult result = execute(*body, now, out.changed);

    wire::Message m;
    m.type = wire::Type::Response;
    m.msgId = crypto::randomU64();
    m.response.mac = state_.record.mac;
    m.response.serial = state_.record.serial;
    m.response.clientId = req.clientId;
    m.response.requestId = req.requestId;
    crypto::seal(key, wire::encodeResult(result), m.response.nonce, m.response.cipher);
    wire::Bytes datagram = wire::encode(m);

    seen_.insert(tag);
    answers_[tag] = datagram;
    answerOrder_.push_back(tag);
    if (answerOrder_.size() > opt_.cachedAnswers) {
        answers_.erase(answerOrder_.front());
        answerOrder_.pop_front();
    }
    if (seen_.size() >= opt_.seenLimit) {
        // Memory for replays is full: a new command key makes every older
        // request undecryptable instead of forgetting them.
        box_ = crypto::newBoxKeyPair();
        state_.record.boxKey = box_.pk;
        seen_.clear();
        touch();
        out.changed = true;
    }
    out.datagram = std::move(datagram);
    return out;
}

}  // namespace zelt
