// The ONVIF part of the engine: entries found by WS-Discovery (Probe
// answers, Hello, Bye) turned into the same device records and events as
// ZELT announcements, their details read over the device service on a
// worker thread once a password is bound to them, certificate pins,
// consent, and ZELT_ModifyDeviceNetParam mapped to device-service calls.
//
// ONVIF devices carry no maker certificate, so what is known of their
// identity is little: where an announcement came from, whether another
// entry (or a ZELT device) claims the same MAC or serial number, and over
// HTTPS the certificate seen before. Credentials go only to an entry that
// passes all three, and to an unpinned one only with the user's consent.
//
// Lock: mu_ guards the entries, their indexes, the consent and probe lists
// and the worker's queue. Under it the ZELT part's lock may be taken (through
// ZeltLookup::claim, never the other way round), and the pin store, the
// event queue, the table watch and the log (leaves). No HTTP call is made
// with it held.
#pragma once

#include "checked_mutex.h"
#include "cross_protocol.h"
#include "engine_context.h"
#include "net.h"
#include "onvif.h"
#include "pins.h"
#include "zelt_sdk.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace zelt {

namespace onvif {
class Client;
struct Credentials;
} // namespace onvif

class OnvifDevices final : public ZeltIndexListener
{
public:
    static constexpr size_t kMaxDevices = 20000;

    // `zeltEnabled`: new entries wait one answer window plus 0.5 s before
    // they are listed, so a device that speaks ZELT too is listed by its
    // certified side first.
    OnvifDevices(PartContext ctx, const net::Transport &transport, const ZeltLookup &zelt, bool zeltEnabled);
    OnvifDevices(const OnvifDevices &) = delete;
    OnvifDevices &operator=(const OnvifDevices &) = delete;

    // At start: $ZELT_ONVIF_PASSWORD, $ZELT_ONVIF_PER_SENDER and the pin file.
    void configure();
    // Set once, before any thread runs: whether an address lies in a scan
    // range (an XAddr there is reachable; it takes the scan lock, a leaf).
    void setScanRanges(std::function<bool(const net::Address &)> inRange) { inScanRange_ = std::move(inRange); }

    // Receiver thread.
    // Where a WS-Discovery datagram came from.
    struct Origin {
        net::Address address;
        int ifindex = -1;
        bool chosenInterface = true; // came in on a chosen interface
        // Whether a ProbeMatches relating to this id answers the probe sent to
        // this very address of a scan range (empty: there was none).
        std::function<bool(const std::string &relatesTo)> directedProbe;
    };
    // A Probe for the video device types; its id is kept, so that only
    // matches answering it are taken.
    std::string newProbe();
    // One datagram; `from` null: of unknown origin, listed at most, never commanded.
    void handleDiscovery(const uint8_t *data, size_t size, const Origin *from);
    // An entry was announced from `a` since `since` (a scan need not probe it).
    bool heardFrom(const net::Address &a, Clock::time_point since);
    // Drops silent entries and expired consent; rebuilds the records of
    // entries whose settling time is over and of those whose ZELT twin came or went.
    void tick(Clock::time_point now);

    // The worker thread: openWork() before it starts, it runs runWorker()
    // until stopWork().
    void openWork();
    void runWorker();
    void stopWork();

    // Command callers.
    // ZELT_ERR_NONE with the key of the entry a command may go to, or why none.
    uint32_t find(const Target &t, std::string &key);
    uint32_t command(const std::string &key, const wire::CommandBody &body);
    // The user agreed to send a credential to this unverified device (next command, 60 s).
    bool allowUncertified(const wire::Mac &mac);
    // Forgets the pinned certificate of the device with this MAC.
    bool acceptNewCertificate(const wire::Mac &mac);

    size_t deviceCount();
    void zeltIdentityChanged(const std::string &serial, const wire::Mac &mac) override;

private:
    struct Entry {
        onvif::Endpoint endpoint;
        onvif::ScopeInfo scopes;
        Clock::time_point firstSeen, lastSeen;
        ZELT_DEVICE_INFO info{}; // as last reported (or built)
        bool reported = false;   // an online event went out for `info`
        net::Address sender;     // the address the last announcement came from
        bool originOk = false;   // the XAddr host is that sender, on the link it came in on (or scanned there)
        bool ambiguous = false;  // another entry (or a ZELT device) claims its MAC or serial number
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
        std::string gateway, gateway6;
        int httpPort = 0;
        uint32_t enrichedVersion = 0;
        bool clockKnown = false; // the device's clock was read at `url`
        int32_t clockOffset = 0; // its clock minus ours, seconds
        bool enrichQueued = false;
        bool settleQueued = false; // in settling_
    };
    using Entries = std::map<std::string, Entry>; // key: "onvif:" + endpoint reference

    void onDiscovery(const onvif::DiscoveryMessage &m, const Origin *from, bool directed, Clock::time_point now);
    void enrich(const std::string &key);
    std::string reachableXAddr(const onvif::Endpoint &e) const;
    // Refusals, consent, the certificate, the clock: then one of the two below.
    uint32_t commandEntry(const std::string &key, const Entry &e, const wire::CommandBody &body);
    uint32_t setNetwork(onvif::Client &c, const onvif::Credentials &cred, const Entry &e,
                        const wire::CommandBody &body);
    uint32_t setTime(onvif::Client &c, const onvif::Credentials &cred, const std::string &key, const std::string &url);
    // The clock offset read at `url` goes into the entry's record (takes mu_).
    void noteClock(const std::string &key, const std::string &url, long offset);

    // The rest need mu_.
    void report(const std::string &key, const ZELT_DEVICE_INFO &info);
    // Rebuilds the entry's record and reports what changed (kind 1, 2, or
    // 3 + 1 when its serial number or MAC became known); `peers` also
    // rebuilds the entries sharing its old or new identity.
    void refresh(const std::string &key, Entry &e, bool peers = true);
    void drop(Entries::iterator it);
    bool rival(const std::string &key, const Entry &e, const ZeltClaim &zelt) const;
    bool rival(const std::string &key, const Entry &e) const;
    uint8_t trustOf(const Entry &e);
    void queueEnrich(const std::string &key, Entry &e);
    void unindex(const std::string &key, const Entry &e);

    PartContext ctx_;
    const net::Transport &transport_;
    const ZeltLookup &zelt_;
    const bool zeltEnabled_;
    std::string password_;       // $ZELT_ONVIF_PASSWORD: read details of pinned devices
    size_t perSenderMax_ = 4096; // $ZELT_ONVIF_PER_SENDER
    PinStore pins_;

    mutable CheckedMutex mu_{"ONVIF table lock"};
    Entries entries_;
    std::multimap<wire::Mac, std::string> byMac_;
    std::multimap<std::string, std::string> bySerial_;
    std::map<net::Address, size_t> perSender_;          // entries each sender announced
    std::map<net::Address, Clock::time_point> heardAt_; // when each sender last announced
    std::function<bool(const net::Address &)> inScanRange_;
    std::set<std::string> dirty_;                                    // to rebuild at the next tick
    std::deque<std::pair<Clock::time_point, std::string>> settling_; // new entries by the end of their settling
    std::map<wire::Mac, Clock::time_point> consent_;
    std::deque<std::pair<std::string, Clock::time_point>> probeIds_; // our recent probes
    std::condition_variable_any workCv_;
    std::deque<std::string> work_; // keys of entries to enrich
    bool working_ = false;         // the worker runs (not before start, nor after stop)
};

} // namespace zelt
