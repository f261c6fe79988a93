// The SDK engine: discovery table, inquiry schedule, command round trips.
// Threads: the receiver (socket + timers) and the dispatcher (device
// callback). Command callers block on their own thread; the receiver only
// hands them their answer, so a callback that blocks never stalls a command.
#pragma once

#include "crypto.h"
#include "net.h"
#include "wire.h"
#include "zelt_sdk.h"

#include <sodium.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace zelt {

struct EngineTiming {
    int inquiryPeriodMs = 10000;  // periodic inquiry; silence for 3 periods = gone
    int windowMs = 500;           // first answer window; grows with the table
    int commandTimeoutMs = 3000;  // per command, retransmissions included
    int retransmitMs = 200;       // first retransmission; then 1.5 times longer, at most 500 ms
};
EngineTiming timingFromEnvironment();

// Turns a device record into the SDK's 500-byte record.
void fillDeviceInfo(const wire::DeviceRecord &rec, int kind, ZELT_DEVICE_INFO &out);

class Engine : public std::enable_shared_from_this<Engine> {
public:
    Engine(net::Settings settings, EngineTiming timing);
    ~Engine();

    uint32_t start(ZELT_DEVICE_FIND_CALLBACK cb, void *user);  // ZELT_ERR_* code
    void stop();
    void inquire();

    struct Target { std::string serial; std::optional<wire::Mac> mac; };
    uint32_t command(const Target &target, wire::CommandBody body, wire::CommandResult &out);

    size_t deviceCount();

private:
    struct Entry {
        wire::DeviceRecord record;
        ZELT_DEVICE_INFO info;  // as last reported
        std::chrono::steady_clock::time_point lastSeen;
        std::chrono::steady_clock::time_point lastProbe;
    };
    struct Pending {
        uint32_t requestId = 0;
        wire::Mac mac{};
        crypto::SharedKey key{};
        std::optional<wire::Bytes> plain;  // the opened answer
        ~Pending() { sodium_memzero(key.data(), key.size()); }
    };
    using Clock = std::chrono::steady_clock;

    void receiveLoop();
    void dispatchLoop(std::shared_ptr<Engine> self);
    void handle(const wire::Message &m, Clock::time_point now);
    void onHello(const wire::Hello &h, Clock::time_point now);
    void onBye(const wire::Bye &b);
    int sendInquiry(const wire::Mac *target);  // returns the answer window in ms
    void tick(Clock::time_point now);
    void queueEvent(const ZELT_DEVICE_INFO &info);
    bool seenBefore(uint64_t msgId);
    bool findDevice(const Target &t, wire::DeviceRecord &out);

    net::Settings settings_;
    EngineTiming timing_;
    net::Transport transport_;
    uint64_t clientId_;
    std::atomic<uint32_t> nextRequest_;
    std::atomic<uint32_t> inquirySeq_{0};
    int wakeFd_ = -1;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> inquiryWanted_{false};

    std::mutex mu_;  // table_, pending_
    std::condition_variable tableCv_;
    std::map<std::string, Entry> table_;  // key: serial + MAC
    std::map<uint32_t, std::shared_ptr<Pending>> pending_;
    std::condition_variable pendingCv_;

    std::unordered_set<uint64_t> seenIds_;  // receiver thread only
    std::deque<uint64_t> seenOrder_;
    Clock::time_point nextInquiry_, nextTick_;
    int quickInquiries_ = 0;
    int newSinceInquiry_ = 0;

    std::mutex evMu_;
    std::condition_variable evCv_;
    std::deque<ZELT_DEVICE_INFO> events_;
    bool evStop_ = false;
    ZELT_DEVICE_FIND_CALLBACK callback_ = nullptr;
    void *user_ = nullptr;

    std::thread rx_, dispatcher_;
    std::thread::id dispatcherId_;
};

}  // namespace zelt
