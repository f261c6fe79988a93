// One device's behaviour behind the protocol: identity and signed
// announcements, password, activation, lockout, key export, replay memory
// and the answer cache. Pure logic without sockets, used by the simulator
// and the tests.
#pragma once

#include "crypto.h"
#include "wire.h"

#include <bitset>
#include <deque>
#include <map>
#include <optional>
#include <string>

namespace zelt {

// What a device keeps across restarts.
struct DeviceState {
    wire::DeviceRecord record; // bootId is the boot counter; configVersion and boxKey are per boot
    std::string passwordHash;  // empty while inactive
    std::string securityCode;
    std::string keyNonce;         // 32 hex digits; renewed on every change of credentials
    crypto::SignKeyPair identity; // long-term identity key
    wire::Certificate cert;       // the maker's certificate for it
    int64_t clockOffsetMs = 0;    // its wall clock minus this host's (a real device keeps its own clock)
};

struct DeviceOptions {
    std::array<uint8_t, 32> makerKey{}; // maker's Ed25519 public key (key files)
    int lockoutSeconds = 60;            // first lockout; every further one twice as long, at most 64 times
    int maxFailures = 5;
    size_t cachedAnswers = 64;    // answers kept for retransmitted requests
    size_t clientWindows = 256;   // clients whose recent request ids are remembered
    double stampSkewSeconds = 30; // how far a request's stamp may lie from the device's clock
};

class Device
{
public:
    Device(DeviceState state, DeviceOptions options, double now = 0);

    // A new boot: boot counter + 1, new boot key, caches emptied.
    void boot(double now);
    const wire::DeviceRecord &record() const { return state_.record; }
    const DeviceState &state() const { return state_; }
    DeviceState &mutableState() { return state_; }
    bool addressedBy(const wire::Request &r) const
    {
        return r.mac == state_.record.mac && r.serial == state_.record.serial;
    }
    uint64_t uptimeMs(double now) const { return now > bootedAt_ ? uint64_t((now - bootedAt_) * 1000) : 0; }
    // The device's wall clock (UTC, ms since 1970): this host's, off by clockOffsetMs.
    int64_t clockMs() const;
    void setClockMs(int64_t utcMs);

    // Signed announcements (the signature is made once per change).
    wire::Message hello(wire::HelloReason reason, uint64_t clientId, uint32_t seq, double now);
    wire::Message bye() const;

    struct Outcome {
        std::optional<wire::Bytes> datagram; // response to send, if any
        bool changed = false;                // state changed: announce and persist
        bool fromCache = false;
        bool opened = false;   // the request opened with this boot's key
        bool clockSet = false; // the clock was set: persist, nothing to announce
    };
    // now: seconds on a monotonic clock.
    Outcome handle(const wire::Request &request, double now);

    // Marks a change of the announced record (configVersion++).
    void touch() { ++state_.record.configVersion; }

private:
    struct Lock {
        int failures = 0, level = 0;
        double until = 0;
    };
    struct Window { // the last 1024 request ids of one client key
        uint32_t highest = 0;
        std::bitset<1024> seen; // bit k: request id highest - k
        double lastUsed = 0;
    };
    wire::CommandResult execute(const wire::CommandBody &c, double now, Outcome &out);
    // The password path: false (and `res` says why) when locked or wrong.
    bool passwordOk(const wire::CommandBody &c, double now, wire::CommandResult &res);
    static bool lockedOut(Lock &lock, double now, uint16_t &retryAfter);
    void failure(Lock &lock, double now);
    void renewKeyNonce();
    // Replay memory: false if the request id was used or is too old.
    bool fresh(const wire::Request &r, double now, uint64_t stampMs);

    DeviceState state_;
    DeviceOptions opt_;
    crypto::BoxKeyPair box_;
    double bootedAt_ = 0;
    Lock passwordLock_, secretLock_; // separate, so that guessing the password never blocks the owner's security code
    std::map<std::string, wire::Bytes> answers_; // request tag -> response datagram
    std::deque<std::string> answerOrder_;
    std::map<crypto::PublicKey, Window> windows_;
    uint64_t evictedAtMs_ = 0; // requests of unknown clients stamped before this are refused
    wire::Bytes signedPart_;   // what helloSig_ covers
    wire::Signature helloSig_{};
};

// Device-side checks of network parameters against the device as it is
// (capabilities, the mask it keeps); ZELT_ERR_* code, 0 = valid.
uint32_t checkNetParameters(const wire::CommandBody &c, const wire::DeviceRecord &rec);

} // namespace zelt
