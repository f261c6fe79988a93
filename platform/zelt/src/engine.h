// The SDK engine, behind the C interface: it owns the sockets, the threads
// and the event queue, and hands each protocol its work.
//
//   ZeltDevices  (zelt_devices.h)   ZELT table, verifiers, sealed commands
//   OnvifDevices (onvif_devices.h)  WS-Discovery entries, details, ONVIF commands
//   EventQueue, TableWatch (event_queue.h)
//   scan::Scanner (scan.h)          address ranges searched by unicast, paced
//
// Threads: the receiver (every socket, the inquiry schedule and the tick),
// the verifiers (signatures of hellos and byes, each device always on the
// same one so its events stay in order), the ONVIF worker (device details
// over HTTP), the dispatcher (device callback), and the callers' threads,
// which run their own commands: a callback that blocks never stalls a
// command, and a command never stalls the receiver.
//
// Lock order (a lock may be taken while holding those before it, never the
// other way round):
//   ONVIF table → ZELT table → event queue, table watch, pin store, trust store, certificate cache, scan → log
// A verifier's queue lock is never held with another; the engine itself has
// no lock (its receive-loop state is the receiver thread's alone).
// docs/architecture.md walks through threads, locks, events and commands.
#pragma once

#include "engine_context.h"
#include "event_queue.h"
#include "net.h"
#include "onvif.h"
#include "onvif_devices.h"
#include "scan.h"
#include "trust.h"
#include "wire.h"
#include "zelt_devices.h"
#include "zelt_sdk.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zelt {

class Engine : public std::enable_shared_from_this<Engine>
{
public:
    using Target = zelt::Target;

    Engine(net::Settings settings, EngineTiming timing,
           std::vector<std::string> trustPaths = TrustStore::defaultPaths());
    ~Engine();
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    uint32_t start(ZELT_DEVICE_FIND_CALLBACK cb, void *user); // ZELT_ERR_* code
    // Joins every thread but a dispatcher that calls it from its callback;
    // once it returns no callback runs (but that one) and waiting commands end.
    void stop();
    void inquire();
    // Replaces the address ranges searched by unicast (ZELT_ERR_* code; on
    // failure nothing changes) and starts a pass over them.
    uint32_t setScanRanges(const std::string &text);

    uint32_t command(const Target &target, wire::CommandBody body, wire::CommandResult &out);
    // The user agreed to send a credential to this unverified device (next command, 60 s).
    bool allowUncertified(const wire::Mac &mac) { return onvif_.allowUncertified(mac); }
    // Forgets the pinned certificate of the device with this MAC.
    bool acceptNewCertificate(const wire::Mac &mac) { return onvif_.acceptNewCertificate(mac); }

    size_t deviceCount() { return zelt_.deviceCount(); }
    // Signature checks of device certificates in this run (those spared by certificates remembered from earlier runs
    // not counted).
    uint64_t certificateChecks() { return zelt_.certificateChecks(); }
    size_t onvifDeviceCount() { return onvif_.deviceCount(); }

    // What the receiver does with one datagram. Before start() announcements
    // are verified on the calling thread (the fuzz targets use these).
    void handleDatagram(const uint8_t *data, size_t size) { zelt_.handleDatagram(data, size); }
    // One WS-Discovery datagram of unknown origin: listed at most, never commanded.
    void handleDiscovery(const uint8_t *data, size_t size) { onvif_.handleDiscovery(data, size, nullptr); }
    // One WS-Discovery datagram as if it came from `from` on interface `ifindex`.
    void handleDiscoveryFrom(const uint8_t *data, size_t size, uint32_t fromAddress, int ifindex);

private:
    bool openOnvif(std::string *error);
    void openOnvif6();
    void wake(); // the receiver looks at its schedule again
    void closeOnvif();
    void receiveLoop();
    void receiveZelt(); // what waits in the ZELT sockets, without blocking
    void receiveOnvif(int fd);
    // The addresses of the scan ranges whose turn has come.
    void scanStep(Clock::time_point now);
    // A WS-Discovery probe to one address of the scan ranges.
    void sendDirectedProbe(const net::Address &a);
    void dispatchLoop(std::shared_ptr<Engine> self);
    int sendInquiry(const wire::Mac *target); // returns the answer window in ms
    void tick(Clock::time_point now);

    const net::Settings settings_;
    const EngineTiming timing_;
    bool zeltEnabled_ = true; // $ZELT_PROTOCOLS: zelt, onvif or all (default)
    bool onvifEnabled_ = true;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> inquiryWanted_{false};
    std::atomic<bool> rangesSet_{false}; // by the caller: $ZELT_SCAN is not read then

    // Sockets: opened by start(), closed by the destructor (a command still
    // running on a caller's thread may be sending until its next wait).
    net::Transport transport_;
    int wakeFd_ = -1;
    int wsdRx_ = -1, wsdTx_ = -1;   // WS-Discovery: group listener (hellos, byes), probe socket (matches)
    int wsdRx6_ = -1, wsdTx6_ = -1; // the same over IPv6 (ff02::c), where an interface has it
    uint16_t wsdPort_ = onvif::kDiscoveryPort;
    scan::Scanner scanner_;

    EventQueue events_;
    TableWatch watch_;
    ZeltDevices zelt_;
    OnvifDevices onvif_;

    // Receiver thread only.
    Clock::time_point nextInquiry_, nextTick_, lastPass_;
    int quickInquiries_ = 0;

    ZELT_DEVICE_FIND_CALLBACK callback_ = nullptr;
    void *user_ = nullptr;
    std::thread rx_, dispatcher_, onvifWorker_;
    std::vector<std::thread> verifiers_;
    std::thread::id dispatcherId_;
};

} // namespace zelt
