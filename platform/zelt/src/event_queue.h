// The engine's two ways out of its protocol parts: the device events on
// their way to the callback, and the watch command callers wait on while
// the device they want is not known yet. Both locks are leaves: the parts
// report while holding their own lock, so a device's events queue in the
// order its table saw them, and nothing is locked from inside these.
#pragma once

#include "checked_mutex.h"
#include "zelt_sdk.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>

namespace zelt {

using Clock = std::chrono::steady_clock;

class EventQueue
{
public:
    // At most two events a device wait (gone, then back), for the largest table.
    static constexpr size_t kMaxQueued = 2 * 200000 + 4096;

    // Queues an event of the device `key`. While one of its events waits, a
    // newer one folds into it, so a device that changes faster than the
    // callback keeps up takes one place.
    void push(const std::string &key, const ZELT_DEVICE_INFO &info);
    // Blocks for the next event; false once stopped.
    bool pop(ZELT_DEVICE_INFO &out);
    // Drops what waits; from now on pop() returns false and push() drops.
    void stop();

private:
    struct Queued {
        std::string key;
        ZELT_DEVICE_INFO info;
        bool cancelled = false;
    };
    CheckedMutex mu_{"event queue lock"};
    std::condition_variable_any cv_;
    std::deque<Queued> queue_;
    std::unordered_map<std::string, Queued *> last_; // newest undelivered event of a device
    bool stopped_ = false;
};

class TableWatch
{
public:
    // Something was reported: command callers waiting for a device look again.
    void changed();
    // A device is new: the quick inquiries after the start go on while this happens.
    void deviceAdded() { added_.fetch_add(1, std::memory_order_relaxed); }
    int takeAdded() { return added_.exchange(0, std::memory_order_relaxed); }

    // Read before looking, then wait(seen): a change in between is not missed.
    uint64_t generation();
    // Returns after a change since `seen`, after stop(), or at `until`.
    void wait(uint64_t seen, Clock::time_point until);
    void stop();

private:
    CheckedMutex mu_{"table watch lock"};
    std::condition_variable_any cv_;
    uint64_t generation_ = 0;
    bool stopped_ = false;
    std::atomic<int> added_{0};
};

} // namespace zelt
