// One device's behaviour behind the protocol: password, activation,
// lockout, key export and the request cache. Pure logic without sockets,
// used by the simulator and the tests.
#pragma once

#include "crypto.h"
#include "wire.h"

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace zelt {

// What a device keeps across restarts.
struct DeviceState {
    wire::DeviceRecord record;  // bootId, configVersion and boxKey are per boot
    std::string passwordHash;   // empty while inactive
    std::string securityCode;
    std::string keyNonce;       // 32 hex digits; renewed after each key-file reset
};

struct DeviceOptions {
    std::array<uint8_t, 32> makerKey{};  // maker's Ed25519 public key
    int lockoutSeconds = 60;
    int maxFailures = 5;
    size_t cachedAnswers = 64;    // answers kept for retransmitted requests
    size_t seenLimit = 4096;      // requests remembered per boot key
};

class Device {
public:
    Device(DeviceState state, DeviceOptions options);

    // A new boot: new command key and boot id, caches emptied.
    void boot(uint32_t bootId);
    const wire::DeviceRecord &record() const { return state_.record; }
    const DeviceState &state() const { return state_; }
    DeviceState &mutableState() { return state_; }
    bool addressedBy(const wire::Request &r) const { return r.mac == state_.record.mac && r.serial == state_.record.serial; }

    struct Outcome {
        std::optional<wire::Bytes> datagram;  // response to send, if any
        bool changed = false;                 // state changed: announce and persist
        bool fromCache = false;
    };
    // now: seconds on a monotonic clock.
    Outcome handle(const wire::Request &request, double now);

    // Marks a change of the announced record (configVersion++).
    void touch() { ++state_.record.configVersion; }

private:
    wire::CommandResult execute(const wire::CommandBody &c, double now, bool &changed);
    bool lockedOut(double now, uint16_t &retryAfter);
    void failure(double now);

    DeviceState state_;
    DeviceOptions opt_;
    crypto::BoxKeyPair box_;
    int failures_ = 0;
    double lockedUntil_ = 0;
    std::map<std::string, wire::Bytes> answers_;  // request tag -> response datagram
    std::deque<std::string> answerOrder_;
    std::set<std::string> seen_;
};

// Device-side checks of network parameters; ZELT_ERR_* code, 0 = valid.
uint32_t checkNetParameters(const wire::CommandBody &c, uint8_t support);

}  // namespace zelt
