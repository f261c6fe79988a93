#include "scan.h"

#include "crypto.h"
#include "zelt_sdk.h"

#include <sodium.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace zelt::scan {

namespace {

using U128 = unsigned __int128;

U128 toNumber(const net::Address &a)
{
    U128 v = 0;
    const size_t n = a.isV6() ? 16 : 4;
    for (size_t i = 0; i < n; ++i)
        v = (v << 8) | a.bytes[i];
    return v;
}

net::Address fromNumber(int family, U128 v)
{
    net::Address a;
    a.family = family;
    const size_t n = family == AF_INET6 ? 16 : 4;
    for (size_t i = n; i-- > 0;) {
        a.bytes[i] = uint8_t(v & 0xff);
        v >>= 8;
    }
    return a;
}

uint32_t refuse(std::string *why, const std::string &token, const char *what, uint32_t code = ZELT_ERR_INVALID_PARAM)
{
    if (why)
        *why = token + ": " + what;
    return code;
}

// One range, appended to out.
uint32_t parseOne(const std::string &token, std::vector<Range> &out, std::string *why)
{
    auto literal = [](const std::string &t) -> std::optional<net::Address> {
        if (t.find('%') != std::string::npos)
            return std::nullopt; // a zone names a link: that link is searched by multicast
        return net::Address::parse(t);
    };
    U128 first = 0, last = 0;
    int family = 0;
    bool skipEnds = false;
    if (const size_t slash = token.find('/'); slash != std::string::npos) {
        auto a = literal(token.substr(0, slash));
        const std::string p = token.substr(slash + 1);
        char *end = nullptr;
        const long prefix = std::strtol(p.c_str(), &end, 10);
        const int bits = a && a->isV6() ? 128 : 32;
        if (!a || p.empty() || !end || *end || prefix < 0 || prefix > bits)
            return refuse(why, token, "not an address block");
        if (bits - prefix > 16)
            return refuse(why, token, "larger than 65,536 addresses", ZELT_ERR_RANGE_TOO_LARGE);
        family = a->family;
        const U128 size = U128(1) << (bits - prefix);
        first = toNumber(*a) & ~(size - 1);
        last = first + size - 1;
        // The network and broadcast addresses of an IPv4 subnet are no hosts.
        skipEnds = family == AF_INET && prefix <= 30;
    } else if (const size_t dash = token.find('-'); dash != std::string::npos) {
        auto a = literal(token.substr(0, dash)), b = literal(token.substr(dash + 1));
        if (!a || !b || a->family != b->family)
            return refuse(why, token, "not a from-to range of one address family");
        family = a->family;
        first = toNumber(*a);
        last = toNumber(*b);
        if (last < first)
            return refuse(why, token, "ends before it starts");
        if (last - first >= kMaxRange)
            return refuse(why, token, "larger than 65,536 addresses", ZELT_ERR_RANGE_TOO_LARGE);
    } else {
        auto a = literal(token);
        if (!a)
            return refuse(why, token, "not an address or range");
        family = a->family;
        first = last = toNumber(*a);
    }
    if (skipEnds) {
        ++first;
        --last;
    }
    const net::Address lo = fromNumber(family, first), hi = fromNumber(family, last);
    if (lo.multicast() || hi.multicast() || (family == AF_INET && (last == 0xffffffffu || first == 0))
        || (family == AF_INET6 && (first == 0 || lo.linkLocal() || hi.linkLocal())))
        return refuse(why, token, "multicast, broadcast, unspecified or link-local addresses");
    out.push_back({lo, uint32_t(last - first + 1)});
    return ZELT_ERR_NONE;
}

} // namespace

uint32_t parseRanges(const std::string &text, std::vector<Range> &out, std::string *why)
{
    std::vector<Range> ranges;
    std::string token;
    uint64_t total = 0;
    auto flush = [&]() -> uint32_t {
        if (token.empty())
            return ZELT_ERR_NONE;
        if (uint32_t rc = parseOne(token, ranges, why))
            return rc;
        total += ranges.back().count;
        token.clear();
        if (total > kMaxTotal)
            return refuse(why, "ranges", "more than 262,144 addresses together", ZELT_ERR_RANGE_TOO_LARGE);
        return ZELT_ERR_NONE;
    };
    for (char c : text) {
        if (c == ',' || std::isspace(static_cast<unsigned char>(c))) {
            if (uint32_t rc = flush())
                return rc;
        } else {
            token += c;
        }
    }
    if (uint32_t rc = flush())
        return rc;
    out = std::move(ranges);
    return ZELT_ERR_NONE;
}

net::Address addressAt(const Range &r, uint32_t offset)
{
    return fromNumber(r.first.family, toNumber(r.first) + offset);
}

long offsetIn(const Range &r, const net::Address &a)
{
    if (a.family != r.first.family)
        return -1;
    const U128 v = toNumber(a), f = toNumber(r.first);
    return v >= f && v - f < r.count ? long(v - f) : -1;
}

Scanner::Scanner(int ratePerSecond) : rate_(std::clamp(ratePerSecond, 1, 100000))
{
    crypto::randomBytes(key_.data(), key_.size());
}

uint32_t Scanner::setRanges(const std::string &text, std::string *why)
{
    std::vector<Range> ranges;
    if (uint32_t rc = parseRanges(text, ranges, why))
        return rc;
    std::lock_guard lock(mu_);
    states_.clear();
    total_ = 0;
    for (auto &r : ranges) {
        states_.push_back({r, std::vector<uint32_t>(r.count, 0)});
        total_ += r.count;
    }
    soon_.clear();
    running_ = !states_.empty();
    again_ = false;
    rangeAt_ = 0;
    offsetAt_ = 0;
    tokens_ = 1;
    tokensAt_ = Clock::now();
    return ZELT_ERR_NONE;
}

size_t Scanner::addressCount()
{
    std::lock_guard lock(mu_);
    return total_;
}

bool Scanner::contains(const net::Address &a)
{
    std::lock_guard lock(mu_);
    return std::any_of(states_.begin(), states_.end(), [&](const State &s) { return offsetIn(s.range, a) >= 0; });
}

void Scanner::startPass(Clock::time_point now)
{
    std::lock_guard lock(mu_);
    if (states_.empty())
        return;
    if (running_) {
        again_ = again_ || rangeAt_ > 0 || offsetAt_ > 0; // one that has not begun yet covers this one
        return;
    }
    running_ = true;
    rangeAt_ = 0;
    offsetAt_ = 0;
    tokens_ = 1;
    tokensAt_ = now;
}

std::optional<Scanner::Turn> Scanner::next(Clock::time_point now)
{
    std::lock_guard lock(mu_);
    if (!soon_.empty() && soon_.front().first <= now) {
        const net::Address a = soon_.front().second;
        soon_.pop_front();
        handedSoon_ = true;
        return Turn{a, true};
    }
    handedSoon_ = false;
    if (!running_)
        return std::nullopt;
    const double burst = std::max(1.0, rate_ / 10.0);
    tokens_ = std::min(burst, tokens_ + std::chrono::duration<double>(now - tokensAt_).count() * rate_);
    tokensAt_ = now;
    if (tokens_ < 1)
        return std::nullopt;
    for (;;) {
        while (rangeAt_ < states_.size()) {
            const State &s = states_[rangeAt_];
            if (offsetAt_ < s.range.count) {
                tokens_ -= 1;
                return Turn{addressAt(s.range, offsetAt_++), false};
            }
            ++rangeAt_;
            offsetAt_ = 0;
        }
        // The pass is over; another was asked for while it ran.
        rangeAt_ = 0;
        offsetAt_ = 0;
        if (!again_) {
            running_ = false;
            return std::nullopt;
        }
        again_ = false;
    }
}

void Scanner::passedOver()
{
    std::lock_guard lock(mu_);
    if (!handedSoon_)
        tokens_ += 1;
}

void Scanner::asked(const net::Address &a, Clock::time_point now)
{
    const auto units = std::chrono::duration_cast<std::chrono::milliseconds>(now - epoch_).count() / 100 + 1;
    std::lock_guard lock(mu_);
    for (State &s : states_)
        if (long k = offsetIn(s.range, a); k >= 0) {
            s.askedAt[size_t(k)] = uint32_t(units);
            ++asked_;
            return;
        }
}

void Scanner::askSoon(const net::Address &a, Clock::time_point at)
{
    std::lock_guard lock(mu_);
    if (soon_.size() >= 256)
        soon_.pop_front();
    soon_.emplace_back(at, a);
    std::stable_sort(soon_.begin(), soon_.end(), [](auto &x, auto &y) { return x.first < y.first; });
}

std::optional<Clock::time_point> Scanner::wakeAt()
{
    std::lock_guard lock(mu_);
    std::optional<Clock::time_point> at;
    if (!soon_.empty())
        at = soon_.front().first;
    if (running_) {
        const auto t = tokens_ >= 1 ? tokensAt_
                                    : tokensAt_ + std::chrono::microseconds(int64_t((1 - tokens_) * 1e6 / rate_));
        at = at ? std::min(*at, t) : t;
    }
    return at;
}

uint32_t Scanner::askedAtLocked(const net::Address &a) const
{
    mu_.assertHeld();
    for (const State &s : states_)
        if (long k = offsetIn(s.range, a); k >= 0)
            return s.askedAt[size_t(k)];
    return 0;
}

bool Scanner::wasAsked(const net::Address &a, Clock::time_point now, std::chrono::milliseconds within)
{
    std::lock_guard lock(mu_);
    const uint32_t at = askedAtLocked(a);
    if (!at)
        return false;
    const auto when = epoch_ + std::chrono::milliseconds(int64_t(at - 1) * 100);
    return now - when <= within + std::chrono::milliseconds(100);
}

std::string Scanner::probeIdFor(const net::Address &a, uint32_t at) const
{
    // Keyed by a secret of this run: nobody else can name the probe a
    // ProbeMatches must relate to, and nothing per address is stored for it.
    uint8_t in[21];
    in[0] = uint8_t(a.family);
    std::memcpy(in + 1, a.bytes.data(), 16);
    std::memcpy(in + 17, &at, 4);
    uint8_t h[16];
    crypto_generichash(h, sizeof h, in, sizeof in, key_.data(), key_.size());
    h[6] = uint8_t((h[6] & 0x0f) | 0x40);
    h[8] = uint8_t((h[8] & 0x3f) | 0x80);
    const std::string x = crypto::toHex(h, 16);
    return x.substr(0, 8) + "-" + x.substr(8, 4) + "-" + x.substr(12, 4) + "-" + x.substr(16, 4) + "-" + x.substr(20);
}

std::string Scanner::probeId(const net::Address &a)
{
    std::lock_guard lock(mu_);
    const uint32_t at = askedAtLocked(a);
    return at ? probeIdFor(a, at) : std::string();
}

bool Scanner::answersProbe(const net::Address &a, const std::string &relatesTo, Clock::time_point now,
                           std::chrono::milliseconds within)
{
    if (!wasAsked(a, now, within))
        return false;
    const std::string id = probeId(a);
    return !id.empty() && relatesTo.size() == id.size() + 9 && relatesTo.compare(0, 9, "urn:uuid:") == 0
           && relatesTo.compare(9, std::string::npos, id) == 0;
}

} // namespace zelt::scan
