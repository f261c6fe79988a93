// The ZELT part of the engine: the table of verified devices, the verifier
// queues, ambiguity between certified identities, inquiries and the sealed
// command round trips. The engine owns the threads and the sockets and
// calls in: the receiver with datagrams and ticks, the verifier threads
// with runVerifier(), command callers with find() and command().
//
// Lock: mu_ guards the table, its indexes, the boot counters, the untrusted
// list and the pending round trips. Under it only the event queue, the
// table watch and the log are locked (leaves). A verifier's queue lock is
// never held together with mu_.
#pragma once

#include "checked_mutex.h"
#include "cross_protocol.h"
#include "crypto.h"
#include "engine_context.h"
#include "net.h"
#include "trust.h"
#include "wire.h"
#include "zelt_sdk.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace zelt {

// Turns a device record into the SDK's 500-byte record.
void fillDeviceInfo(const wire::DeviceRecord &rec, int kind, ZELT_DEVICE_INFO &out);

class ZeltDevices final : public ZeltLookup
{
public:
    // Bounds the memory a flood of invented devices can take.
    static constexpr size_t kMaxDevices = 200000;
    // Announcements wait for their verifier in a bounded queue each.
    static constexpr size_t kMaxVerifyQueue = 65536;

    ZeltDevices(PartContext ctx, net::Transport &transport, std::vector<std::string> trustPaths, bool enabled);
    ~ZeltDevices();
    ZeltDevices(const ZeltDevices &) = delete;
    ZeltDevices &operator=(const ZeltDevices &) = delete;

    // Set once, before any thread runs.
    void setListener(ZeltIndexListener *listener) { listener_ = listener; }
    size_t trustedMakerKeys() { return trust_.size(); }
    uint64_t certificateChecks() const { return trust_.certificateChecks(); }
    // Certificates verified in this run are kept for the next (also every 30 s from tick()).
    void saveCertificates() { trust_.saveCache(); }

    // Receiver thread. A datagram of the ZELT socket: hellos and byes go to
    // their verifier (verified on the calling thread while none runs),
    // answers complete their round trip.
    void handleDatagram(const uint8_t *data, size_t size);
    // A datagram of a unicast socket from `from`: a hello is taken only when
    // `solicited` (it answers our inquiry to that very address of a scan
    // range); command answers always (they open with the command's key or not at all).
    void handleUnicast(const uint8_t *data, size_t size, const net::Address &from, bool solicited);
    // Sends an inquiry (to one MAC, or to every device); its answer window in ms.
    int sendInquiry(const wire::Mac *target);
    // The same by unicast to one address (a scan, or a device found by one).
    void sendInquiryTo(const net::Address &to, const wire::Mac *target);
    // A verified device answered from `a`, or announced it as its address, since `since`.
    bool heardFrom(const net::Address &a, Clock::time_point since);
    // Ages the table; the devices to ask directly before they time out, by
    // unicast to the address they answered from when found by a scan.
    struct Probe {
        wire::Mac mac{};
        std::optional<net::Address> unicast;
    };
    std::vector<Probe> tick(Clock::time_point now);

    // Verifier threads: openVerifiers(n) before the threads start, each runs
    // runVerifier(i) until stopVerifiers().
    void openVerifiers(unsigned count);
    void runVerifier(unsigned index);
    void stopVerifiers();

    // Command callers.
    struct Peer {
        wire::DeviceRecord record;
        uint64_t uptimeMs = 0; // the device's clock at uptimeAt
        Clock::time_point uptimeAt;
        std::optional<net::Address> unicast; // commands go here, not to the group: found by a scan only
    };
    // ZELT_ERR_NONE with the device, or why not (no device, untrusted, ambiguous).
    uint32_t find(const Target &t, Peer &out);
    // The sealed round trip, retransmitted until an answer opens or `deadline`.
    uint32_t command(const Peer &dev, wire::CommandBody body, Clock::time_point deadline, wire::CommandResult &out);
    // Stop: round trips waiting for an answer end now.
    void wakeCommands();

    size_t deviceCount();
    ZeltClaim claim(const std::string &serial, const wire::Mac &mac) const override;

private:
    struct Entry {
        wire::DeviceRecord record;
        wire::Certificate cert; // verified
        wire::Bytes signedPart; // of the last verified hello
        wire::Signature signature{};
        ZELT_DEVICE_INFO info; // as last reported
        Clock::time_point lastSeen, lastProbe;
        uint64_t uptimeMs = 0; // the device's clock at uptimeAt
        Clock::time_point uptimeAt;
        bool rival = false; // another certified identity claims this serial number and MAC
        Clock::time_point rivalSeen;
        // Found by a scan: where it answered from. "Bound" when that is the
        // address its signed record carries: then a copy of its hello sent
        // from elsewhere does not move it while it is heard there.
        std::optional<net::Address> unicast;
        bool unicastBound = false;
        Clock::time_point lastUnicast, lastMulticast;
        bool multicastHeard = false;
    };
    struct Untrusted {
        std::string serial;
        wire::Mac mac{};
        wire::SignPublicKey identity{};
        bool reported = false;
    };
    struct Pending {
        uint32_t requestId = 0;
        wire::Mac mac{};
        crypto::SessionKeys keys;
        std::optional<wire::CommandResult> result; // the opened answer
    };
    struct Queued {
        wire::Message m;
        std::optional<net::Address> unicastFrom; // a hello answering a scan came from there
    };
    struct Shard {
        CheckedMutex mu{"verifier queue lock"};
        std::condition_variable_any cv;
        std::deque<Queued> queue;
    };
    // Serial numbers and MACs that came or went, for the listener once mu_ is released.
    using Identities = std::vector<std::pair<std::string, wire::Mac>>;

    void handle(wire::Message &&m, Clock::time_point now, const net::Address *unicastFrom = nullptr);
    void onResponse(const wire::Response &r);
    void onHello(const wire::Hello &h, Clock::time_point now, const net::Address *unicastFrom = nullptr);
    void onBye(const wire::Bye &b);
    void noteUntrusted(const wire::Hello &h);
    bool seenBefore(uint64_t msgId); // receiver thread only
    void tellListener(const Identities &changed);
    // A SetTime answer: the device's clock against ours goes into its record.
    void noteClock(const wire::DeviceRecord &rec, const wire::Bytes &data);

    // The rest need mu_.
    void report(const std::string &key, const ZELT_DEVICE_INFO &info);
    uint32_t findLocked(const Target &t, const Entry *&out) const;
    // How a hello reached us: the route commands take, and the addresses heard.
    void noteRoute(Entry &e, const net::Address *unicastFrom, Clock::time_point now);
    // Where commands to the entry go: nullopt for the group.
    std::optional<net::Address> routeOf(const Entry &e, Clock::time_point now) const;
    // Recomputes the trust flag of every entry sharing this serial number
    // or MAC and reports those whose flag changed.
    void updateAmbiguity(const std::string &serial, const wire::Mac &mac, Clock::time_point now);
    void index(const std::string &key, const wire::DeviceRecord &r, Identities &changed);
    void unindex(const std::string &key, const wire::DeviceRecord &r, Identities &changed);

    PartContext ctx_;
    net::Transport &transport_; // sends only: the engine opens and reads it
    const bool enabled_;        // $ZELT_PROTOCOLS names ZELT
    TrustStore trust_;
    crypto::BoxKeyPair clientKey_; // key exchange key of this run
    const uint64_t clientId_;
    bool reportUntrusted_ = false; // $ZELT_REPORT_UNTRUSTED
    Clock::time_point certsSaved_; // receiver thread only
    std::atomic<uint32_t> nextRequest_;
    std::atomic<uint32_t> inquirySeq_{0};
    ZeltIndexListener *listener_ = nullptr;

    mutable CheckedMutex mu_{"ZELT table lock"};
    std::map<std::string, Entry> table_; // key: serial + MAC
    std::multimap<std::string, std::string> bySerial_;
    std::multimap<wire::Mac, std::string> byMac_;
    std::set<wire::Mac> heardMacs_; // every MAC and serial number a verified device had in this run
    std::set<std::string> heardSerials_;
    std::map<wire::SignPublicKey, uint32_t> boots_;     // highest boot counter of each identity
    std::map<std::string, Untrusted> untrusted_;        // key: serial + MAC
    std::map<net::Address, Clock::time_point> heardAt_; // addresses verified devices answered from or announced
    std::map<uint32_t, std::shared_ptr<Pending>> pending_;
    std::condition_variable_any pendingCv_;

    std::unordered_set<uint64_t> seenIds_; // receiver thread only
    std::deque<uint64_t> seenOrder_;

    std::vector<std::unique_ptr<Shard>> shards_; // sized before the verifiers start, then fixed
    std::atomic<bool> shardsStop_{false};
};

} // namespace zelt
