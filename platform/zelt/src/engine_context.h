// What the engine and its protocol parts share: timing settings, the target
// of a command, and the context the engine lends each part.
#pragma once

#include "event_queue.h"
#include "wire.h"

#include <atomic>
#include <optional>
#include <string>

namespace zelt {

struct EngineTiming {
    int inquiryPeriodMs = 10000; // periodic inquiry; silence for 3 periods = gone
    int windowMs = 500;          // first answer window; grows with the table
    int commandTimeoutMs = 3000; // per command, retransmissions included
    int retransmitMs = 200;      // first retransmission; then 1.5 times longer, at most 500 ms
};
EngineTiming timingFromEnvironment();

// The device a command is for: by serial number, or by MAC (network settings).
struct Target {
    std::string serial;
    std::optional<wire::Mac> mac;
};

// Lent by the engine to each protocol part, which outlives neither.
struct PartContext {
    EngineTiming timing;
    const std::atomic<bool> &stopping; // set once by Engine::stop(); transfers and waits end on it
    EventQueue &events;
    TableWatch &watch;
};

} // namespace zelt
