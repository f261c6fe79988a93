// The SDK engine: discovery table, inquiry schedule, command round trips.
// Threads: the receiver (socket + timers), the verifiers (signatures of
// hellos and byes, each device always on the same one so its events stay
// in order) and the dispatcher (device callback). Command callers block on
// their own thread; the receiver only hands them their answer, so a
// callback that blocks never stalls a command.
#pragma once

#include "crypto.h"
#include "net.h"
#include "onvif.h"
#include "pins.h"
#include "trust.h"
#include "wire.h"
#include "zelt_sdk.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace zelt {

struct EngineTiming {
    int inquiryPeriodMs = 10000; // periodic inquiry; silence for 3 periods = gone
    int windowMs = 500;          // first answer window; grows with the table
    int commandTimeoutMs = 3000; // per command, retransmissions included
    int retransmitMs = 200;      // first retransmission; then 1.5 times longer, at most 500 ms
};
EngineTiming timingFromEnvironment();

// Turns a device record into the SDK's 500-byte record.
void fillDeviceInfo(const wire::DeviceRecord &rec, int kind, ZELT_DEVICE_INFO &out);

class Engine : public std::enable_shared_from_this<Engine>
{
public:
    Engine(net::Settings settings, EngineTiming timing,
           std::vector<std::string> trustPaths = TrustStore::defaultPaths());
    ~Engine();

    uint32_t start(ZELT_DEVICE_FIND_CALLBACK cb, void *user); // ZELT_ERR_* code
    void stop();
    void inquire();

    struct Target {
        std::string serial;
        std::optional<wire::Mac> mac;
    };
    uint32_t command(const Target &target, wire::CommandBody body, wire::CommandResult &out);

    size_t deviceCount();
    size_t onvifDeviceCount();
    // One WS-Discovery datagram of unknown origin (the fuzz target feeds
    // these in): listed at most, never commanded.
    void handleDiscovery(const uint8_t *data, size_t size) { handleDiscovery(data, size, nullptr); }
    // What the receiver does with one datagram. Before start() announcements
    // are verified on the calling thread (the fuzz target uses this).
    void handleDatagram(const uint8_t *data, size_t size);
    // Bounds of the event queue: at most two events a device are waiting.
    static constexpr size_t kMaxQueuedEvents = 2 * 200000 + 4096;

    // Announcements are handed to the verifiers, a bounded queue each.
    static constexpr size_t kMaxVerifyQueue = 65536;

private:
    using Clock = std::chrono::steady_clock;
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
        std::string key;
        ZELT_DEVICE_INFO info;
        bool cancelled = false;
    };
    struct Shard {
        std::mutex mu;
        std::condition_variable cv;
        std::deque<wire::Message> queue;
        std::thread thread;
    };

    // ONVIF devices: found by WS-Discovery, configured over their device service.
    struct OnvifEntry {
        onvif::Endpoint endpoint;
        onvif::ScopeInfo scopes;
        Clock::time_point firstSeen, lastSeen;
        ZELT_DEVICE_INFO info{}; // as last reported (or built)
        bool reported = false;   // an online event went out for `info`
        uint32_t sender = 0;     // IPv4 address the last announcement came from (network order)
        bool originOk = false;   // the XAddr host is that sender, on the link it came in on
        bool ambiguous = false;  // another entry claims its MAC or serial number
        std::string url;         // the XAddr commands go to (empty: none reachable)
        std::string idSerial;    // identity in the indexes below
        wire::Mac idMac{};
        std::string pinKey;       // the certificate pin's key: endpoint reference and MAC
        bool pinMatched = false;  // HTTPS: the last handshake showed the pinned certificate
        bool certChanged = false; // HTTPS: it showed another one; commands refused
        std::string password;     // once a command with it succeeded (memory only) ...
        std::string passwordUrl;  // ... at this XAddr; never sent anywhere else
        bool enriched = false;    // the fields below came from the device service
        onvif::DeviceInformation device;
        onvif::NetworkInterface nic;
        std::string gateway;
        int httpPort = 0;
        uint32_t enrichedVersion = 0;
        bool enrichQueued = false;
        bool settleQueued = false; // in onvifSettling_
    };
    struct Origin {
        uint32_t address = 0; // network order
        int ifindex = -1;
    };
    using Events = std::vector<std::pair<std::string, ZELT_DEVICE_INFO>>;
    bool openOnvif(std::string *error);
    void sendProbe();
    void receiveOnvif(int fd);
    void handleDiscovery(const uint8_t *data, size_t size, const Origin *from);
    void onDiscovery(const onvif::DiscoveryMessage &m, const Origin *from, Clock::time_point now, Events &events);
    // mu_ held: rebuilds the entry's record and reports what changed (kind 1,
    // 2, or 3 + 1 when its serial number or MAC became known); `peers` also
    // rebuilds the entries sharing its old or new identity.
    void refreshOnvif(const std::string &key, OnvifEntry &e, Events &events, bool peers = true);
    void dropOnvif(std::map<std::string, OnvifEntry>::iterator it, Events &events);
    bool onvifRival(const std::string &key, const OnvifEntry &e) const;         // mu_ held
    void onvifIdentityChanged(const std::string &serial, const wire::Mac &mac); // mu_ held: ZELT side came or went
    void queueEnrich(const std::string &key, OnvifEntry &e);                    // mu_ held
    void onvifWorkerLoop();
    void enrich(const std::string &key);
    // mu_ held: the key of the ONVIF entry a command may go to, or why none.
    uint32_t findOnvif(const Target &t, std::string &key);
    void tickOnvif(Clock::time_point now, Events &events); // mu_ held
    std::string reachableXAddr(const onvif::Endpoint &e) const;
    uint32_t onvifCommand(const std::string &key, const OnvifEntry &e, const wire::CommandBody &body);
    uint8_t onvifTrust(const OnvifEntry &e);

public:
    // The user agreed to send a credential to this unverified device (next command, 60 s).
    bool allowUncertified(const wire::Mac &mac);
    // Forgets the pinned certificate of the device with this MAC.
    bool acceptNewCertificate(const wire::Mac &mac);
    // One WS-Discovery datagram as if it came from `from` (tests, fuzz target).
    void handleDiscoveryFrom(const uint8_t *data, size_t size, uint32_t fromAddress, int ifindex);

private:
    void receiveLoop();
    void receiveZelt(); // what waits in the ZELT socket, without blocking
    void dispatchLoop(std::shared_ptr<Engine> self);
    void verifyLoop(Shard &shard);
    void handle(wire::Message &&m, Clock::time_point now);
    void onHello(const wire::Hello &h, Clock::time_point now);
    void onBye(const wire::Bye &b);
    void noteUntrusted(const wire::Hello &h);
    int sendInquiry(const wire::Mac *target); // returns the answer window in ms
    void tick(Clock::time_point now);
    void queueEvent(const std::string &key, const ZELT_DEVICE_INFO &info);
    bool seenBefore(uint64_t msgId);
    // mu_ held. ZELT_ERR_NONE with the entry, or why not.
    uint32_t findDevice(const Target &t, Entry &out);
    // mu_ held: recomputes the trust flag of every entry sharing this serial
    // number or MAC; entries whose flag changed are appended to `changed`.
    void updateAmbiguity(const std::string &serial, const wire::Mac &mac, Clock::time_point now,
                         std::vector<std::pair<std::string, ZELT_DEVICE_INFO>> &changed);
    void index(const std::string &key, const wire::DeviceRecord &r);
    void unindex(const std::string &key, const wire::DeviceRecord &r);

    net::Settings settings_;
    EngineTiming timing_;
    net::Transport transport_;
    TrustStore trust_;
    std::vector<std::string> trustPaths_;
    crypto::BoxKeyPair clientKey_; // key exchange key of this run
    uint64_t clientId_;
    bool reportUntrusted_ = false;
    std::atomic<uint32_t> nextRequest_;
    std::atomic<uint32_t> inquirySeq_{0};
    int wakeFd_ = -1;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> inquiryWanted_{false};

    std::mutex mu_; // table_, the indexes, boots_, untrusted_, pending_
    std::condition_variable tableCv_;
    std::map<std::string, Entry> table_; // key: serial + MAC
    std::multimap<std::string, std::string> bySerial_;
    std::multimap<wire::Mac, std::string> byMac_;
    std::map<wire::SignPublicKey, uint32_t> boots_; // highest boot counter of each identity
    std::map<std::string, Untrusted> untrusted_;    // key: serial + MAC
    std::map<uint32_t, std::shared_ptr<Pending>> pending_;
    std::condition_variable pendingCv_;

    std::unordered_set<uint64_t> seenIds_; // receiver thread only
    std::deque<uint64_t> seenOrder_;
    Clock::time_point nextInquiry_, nextTick_;
    int quickInquiries_ = 0;
    std::atomic<int> newSinceInquiry_{0};

    std::vector<std::unique_ptr<Shard>> shards_;
    std::atomic<bool> shardsStop_{false};

    std::mutex evMu_;
    std::condition_variable evCv_;
    std::deque<Queued> events_;
    std::unordered_map<std::string, Queued *> lastQueued_; // newest undelivered event of a device
    bool evStop_ = false;
    ZELT_DEVICE_FIND_CALLBACK callback_ = nullptr;
    void *user_ = nullptr;

    int wsdRx_ = -1, wsdTx_ = -1; // WS-Discovery: group listener (hellos, byes), probe socket (matches)
    uint16_t wsdPort_ = onvif::kDiscoveryPort;
    bool onvifEnabled_ = true; // $ZELT_PROTOCOLS: zelt, onvif or all (default)
    bool zeltEnabled_ = true;
    std::string onvifPassword_;                             // $ZELT_ONVIF_PASSWORD: read details of pinned devices
    std::map<std::string, OnvifEntry> onvif_;               // key: endpoint reference; under mu_
    std::multimap<wire::Mac, std::string> onvifByMac_;      // under mu_
    std::multimap<std::string, std::string> onvifBySerial_; // under mu_
    std::unordered_map<uint32_t, size_t> onvifPerSender_;   // entries each sender announced; under mu_
    size_t onvifPerSenderMax_ = 4096;                       // $ZELT_ONVIF_PER_SENDER
    std::set<std::string> onvifDirty_;                      // to rebuild at the next tick; under mu_
    std::deque<std::pair<Clock::time_point, std::string>> onvifSettling_; // new entries by the end of their settling
    std::set<wire::Mac> zeltHeardMacs_; // every MAC a verified ZELT device had; under mu_
    std::set<std::string> zeltHeardSerials_;
    std::map<wire::Mac, Clock::time_point> consent_;                 // under mu_
    std::deque<std::pair<std::string, Clock::time_point>> probeIds_; // our recent probes; under mu_
    PinStore pins_;
    std::mutex onvifMu_;
    std::condition_variable onvifCv_;
    std::deque<std::string> onvifQueue_;
    std::thread onvifWorker_;

    std::thread rx_, dispatcher_;
    std::thread::id dispatcherId_;
};

} // namespace zelt
