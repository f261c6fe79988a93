// Address ranges searched by unicast, beyond the segments multicast
// reaches (other subnets, VLANs behind a router, hosts that block
// multicast): parsing, the paced passes over the ranges, and what the
// engine needs to take an answer from a scanned address: that we asked
// that very address, recently, and with which probe id.
//
// Lock: mu_ guards ranges, cursor and per-address times; nothing else is
// locked under it (the log excepted).
#pragma once

#include "checked_mutex.h"
#include "event_queue.h"
#include "net.h"

#include <array>
#include <atomic>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace zelt::scan {

constexpr uint32_t kMaxRange = 65536;     // addresses in one range: a /16 (IPv4), a /112 (IPv6)
constexpr uint32_t kMaxTotal = 4 * 65536; // addresses in all ranges together
constexpr int kDefaultRate = 500;         // addresses a second

struct Range {
    net::Address first;
    uint32_t count = 0;
};

// "10.2.0.0/22", "fd00:1::/120", "10.3.0.10-10.3.0.99", "10.4.0.7", separated
// by commas or white space. ZELT_ERR_NONE, ZELT_ERR_INVALID_PARAM (not a
// range, mixed families, multicast, link-local IPv6) or
// ZELT_ERR_RANGE_TOO_LARGE (a range over kMaxRange, or all over kMaxTotal);
// `why` says which. An IPv4 block of /30 or wider leaves out its network
// and broadcast addresses.
uint32_t parseRanges(const std::string &text, std::vector<Range> &out, std::string *why = nullptr);
net::Address addressAt(const Range &r, uint32_t offset);
// The offset of a in r, or -1.
long offsetIn(const Range &r, const net::Address &a);

class Scanner
{
public:
    explicit Scanner(int ratePerSecond = kDefaultRate);

    // Replaces the ranges (and forgets what was asked); a pass starts at once.
    // ZELT_ERR_* as parseRanges; on failure nothing changes.
    uint32_t setRanges(const std::string &text, std::string *why = nullptr);
    size_t addressCount();
    bool contains(const net::Address &a);

    // A new pass: now when none runs, else right after the one running.
    void startPass(Clock::time_point now);
    // The receiver: the next address to ask when its turn has come (paced:
    // `rate` a second, bursts of a tenth of that), else none. Each one
    // returned is then either asked() or passedOver().
    struct Turn {
        net::Address address;
        bool outOfTurn = false; // from askSoon(): to be asked whatever was heard from it
    };
    std::optional<Turn> next(Clock::time_point now);
    void passedOver(); // nothing sent: its turn goes to the next one
    // A datagram goes to `a` now: its answers are taken for `window`.
    void asked(const net::Address &a, Clock::time_point now);
    // Ask `a` again soon (at `at`), out of turn: a device that moved there.
    void askSoon(const net::Address &a, Clock::time_point at);
    // When next() may have something, or nullopt when no pass runs.
    std::optional<Clock::time_point> wakeAt();

    // Answers: `a` is in a range and was asked within `within`.
    bool wasAsked(const net::Address &a, Clock::time_point now, std::chrono::milliseconds within);
    // The MessageID (a UUID, without "urn:uuid:") of the directed probe sent
    // to `a` when it was last asked; empty when it never was.
    std::string probeId(const net::Address &a);
    // A ProbeMatches from `a` relating to `relatesTo` answers the probe sent
    // to that very address, within `within`.
    bool answersProbe(const net::Address &a, const std::string &relatesTo, Clock::time_point now,
                      std::chrono::milliseconds within);

    uint64_t addressesAsked() const { return asked_.load(); }
    int rate() const { return rate_; }

private:
    struct State {
        Range range;
        std::vector<uint32_t> askedAt; // ms since epoch_ + 1; 0 = never
    };
    // The last time `a` was asked, in ms since epoch_ + 1 (0 = never, or not in a range).
    uint32_t askedAtLocked(const net::Address &a) const;
    std::string probeIdFor(const net::Address &a, uint32_t at) const;

    const int rate_;
    const Clock::time_point epoch_ = Clock::now();
    std::array<uint8_t, 32> key_{}; // makes probe ids unguessable

    CheckedMutex mu_{"scan lock"};
    std::vector<State> states_;
    size_t total_ = 0;
    bool running_ = false, again_ = false;
    size_t rangeAt_ = 0;
    uint32_t offsetAt_ = 0;
    double tokens_ = 0;
    Clock::time_point tokensAt_;
    std::deque<std::pair<Clock::time_point, net::Address>> soon_;
    bool handedSoon_ = false; // the address next() handed out came from soon_
    std::atomic<uint64_t> asked_{0};
};

} // namespace zelt::scan
