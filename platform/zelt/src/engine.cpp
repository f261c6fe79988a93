#include "engine.h"

#include "log.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace zelt {

namespace {

int envInt(const char *name, int fallback, int lo, int hi)
{
    const char *v = std::getenv(name);
    if (!v || !*v)
        return fallback;
    long x = std::strtol(v, nullptr, 10);
    return x < lo || x > hi ? fallback : int(x);
}

// $ZELT_PROTOCOLS: "zelt", "onvif" or "all" (also when unset).
bool protocolWanted(const char *name)
{
    const char *p = std::getenv("ZELT_PROTOCOLS");
    if (!p || !*p)
        return true;
    const char *other = std::strcmp(name, "zelt") == 0 ? "onvif" : "zelt";
    return std::strcmp(p, other) != 0;
}

} // namespace

EngineTiming timingFromEnvironment()
{
    EngineTiming t;
    t.inquiryPeriodMs = envInt("ZELT_INQUIRY_PERIOD_MS", t.inquiryPeriodMs, 100, 3600000);
    t.windowMs = envInt("ZELT_WINDOW_MS", t.windowMs, 100, 10000); // devices refuse shorter windows
    t.commandTimeoutMs = envInt("ZELT_TIMEOUT_MS", t.commandTimeoutMs, 100, 120000);
    t.retransmitMs = envInt("ZELT_RETRANSMIT_MS", t.retransmitMs, 20, 10000);
    return t;
}

Engine::Engine(net::Settings settings, EngineTiming timing, std::vector<std::string> trustPaths)
    : settings_(std::move(settings))
    , timing_(timing)
    , zeltEnabled_(protocolWanted("zelt"))
    , onvifEnabled_(protocolWanted("onvif"))
    , scanner_(envInt("ZELT_SCAN_RATE", scan::kDefaultRate, 1, 100000))
    , zelt_(PartContext{timing_, stopping_, events_, watch_}, transport_, std::move(trustPaths), zeltEnabled_)
    , onvif_(PartContext{timing_, stopping_, events_, watch_}, transport_, zelt_, zeltEnabled_)
{
    zelt_.setListener(&onvif_);
    onvif_.setScanRanges([this](const net::Address &a) { return scanner_.contains(a); });
}

Engine::~Engine()
{
    stop();
    transport_.close();
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
    closeOnvif();
}

uint32_t Engine::start(ZELT_DEVICE_FIND_CALLBACK cb, void *user)
{
    if (!crypto::init())
        return ZELT_ERR_INTERNAL;
    std::string error;
    if (!transport_.open(settings_, settings_.clientPort(), settings_.devicePort, &error)) {
        log::write(1, "start failed: %s", error.c_str());
        return ZELT_ERR_NETWORK;
    }
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        transport_.close();
        return ZELT_ERR_INTERNAL;
    }
    if (!openOnvif(&error)) {
        // ZELT works without it: another WS-Discovery listener may hold the port.
        log::write(1, "ONVIF discovery not available: %s", error.c_str());
        closeOnvif();
    }
    if (const char *r = std::getenv("ZELT_SCAN"); r && *r && !rangesSet_) {
        std::string why;
        if (scanner_.setRanges(r, &why) != ZELT_ERR_NONE)
            log::write(1, "ZELT_SCAN not used: %s", why.c_str());
    }
    std::string names;
    for (auto &i : transport_.interfaces())
        names += (names.empty() ? "" : ",") + i.name;
    log::write(2,
               "started: groups %s and %s%s port %u, interfaces %s, inquiry every %d ms, %zu trusted maker key(s), "
               "%zu address(es) scanned at %d a second",
               settings_.group.c_str(), settings_.group6.c_str(), transport_.receiveFd6() < 0 ? " (no IPv6 link)" : "",
               unsigned(settings_.devicePort), names.c_str(), timing_.inquiryPeriodMs, zelt_.trustedMakerKeys(),
               scanner_.addressCount(), scanner_.rate());
    if (zelt_.trustedMakerKeys() == 0)
        log::write(1, "no trusted maker key: no device will be listed");
    callback_ = cb;
    user_ = user;
    auto now = Clock::now();
    nextInquiry_ = now;
    nextTick_ = now;
    lastPass_ = now - std::chrono::milliseconds(timing_.inquiryPeriodMs);
    quickInquiries_ = 10;
    // Every queue a thread takes work from is open before any thread runs.
    const unsigned verifiers = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    zelt_.openVerifiers(verifiers);
    for (unsigned i = 0; i < verifiers; ++i)
        verifiers_.emplace_back([this, i] { zelt_.runVerifier(i); });
    if (wsdRx_ >= 0) {
        onvif_.openWork();
        onvifWorker_ = std::thread([this] { onvif_.runWorker(); });
    }
    dispatcher_ = std::thread([this, self = shared_from_this()] { dispatchLoop(self); });
    dispatcherId_ = dispatcher_.get_id();
    rx_ = std::thread([this] { receiveLoop(); });
    return ZELT_ERR_NONE;
}

void Engine::stop()
{
    if (stopping_.exchange(true))
        return;
    if (wakeFd_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
    }
    // The receiver first: nothing new comes in. Then those it fed; a
    // transfer of the worker ends within 50 ms of stopping_.
    if (rx_.joinable())
        rx_.join();
    onvif_.stopWork();
    if (onvifWorker_.joinable())
        onvifWorker_.join();
    zelt_.stopVerifiers();
    for (auto &t : verifiers_)
        t.join();
    verifiers_.clear();
    zelt_.saveCertificates();
    log::write(2, "%llu certificate signature(s) checked in this run",
               static_cast<unsigned long long>(zelt_.certificateChecks()));
    events_.stop();
    zelt_.wakeCommands();
    watch_.stop();
    if (dispatcher_.joinable()) {
        // Called from inside the callback: that callback is the last one; the
        // dispatcher ends when it returns and keeps the engine alive till then.
        if (std::this_thread::get_id() == dispatcherId_)
            dispatcher_.detach();
        else
            dispatcher_.join();
    }
    log::write(2, "stopped");
}

void Engine::inquire()
{
    inquiryWanted_ = true;
    wake();
}

uint32_t Engine::setScanRanges(const std::string &text)
{
    std::string why;
    const uint32_t rc = scanner_.setRanges(text, &why);
    if (rc != ZELT_ERR_NONE) {
        log::write(1, "scan ranges refused: %s", why.c_str());
        return rc;
    }
    rangesSet_ = true;
    log::write(2, "scan ranges: %zu address(es)", scanner_.addressCount());
    wake(); // the receiver takes up the new pass now
    return ZELT_ERR_NONE;
}

void Engine::wake()
{
    if (wakeFd_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
    }
}

void Engine::dispatchLoop(std::shared_ptr<Engine> self)
{
    ZELT_DEVICE_INFO info;
    while (events_.pop(info))
        if (callback_)
            callback_(&info, user_);
    self.reset();
}

int Engine::sendInquiry(const wire::Mac *target)
{
    const int window = zelt_.sendInquiry(target);
    if (!target && (wsdTx_ >= 0 || wsdTx6_ >= 0)) { // ONVIF devices are asked on the same schedule
        const std::string probe = onvif_.newProbe();
        if (wsdTx_ >= 0)
            net::sendOnEachInterface(wsdTx_, transport_.interfaces(), onvif::kDiscoveryGroup, wsdPort_, probe);
        if (wsdTx6_ >= 0)
            net::sendOnEachInterface6(wsdTx6_, transport_.interfaces(), onvif::kDiscoveryGroup6, wsdPort_, probe);
    }
    return window;
}

void Engine::sendDirectedProbe(const net::Address &a)
{
    // Its id is the scanner's for this address and time: only its answer relates to it.
    const int fd = a.isV6() ? wsdTx6_ : wsdTx_;
    const std::string id = scanner_.probeId(a);
    if (fd < 0 || id.empty())
        return;
    const std::string msg = onvif::probeMessage(id);
    net::sendTo(fd, a, wsdPort_, reinterpret_cast<const uint8_t *>(msg.data()), msg.size());
}

void Engine::scanStep(Clock::time_point now)
{
    // An address a device answered from lately is passed over: it is heard
    // anyway, and stays listed by the direct inquiries of the tick.
    const auto since = now - std::chrono::milliseconds(timing_.inquiryPeriodMs * 3 / 4);
    const bool probes = onvifEnabled_ && (wsdTx_ >= 0 || wsdTx6_ >= 0);
    for (int k = 0; k < 1024 && !stopping_; ++k) {
        auto turn = scanner_.next(now);
        if (!turn)
            break;
        const net::Address &a = turn->address;
        const bool zeltHeard = !zeltEnabled_ || (!turn->outOfTurn && zelt_.heardFrom(a, since));
        const bool onvifHeard = !probes || (!turn->outOfTurn && onvif_.heardFrom(a, since));
        if (zeltHeard && onvifHeard) {
            scanner_.passedOver();
            continue;
        }
        scanner_.asked(a, now); // before the datagrams: an answer may be back at once
        if (!zeltHeard)
            zelt_.sendInquiryTo(a, nullptr);
        if (!onvifHeard)
            sendDirectedProbe(a);
    }
}

void Engine::tick(Clock::time_point now)
{
    // ZELT first: the identities it adds or drops are noted by the ONVIF
    // part, which rebuilds those entries in its own tick right after.
    const std::vector<ZeltDevices::Probe> probes = zelt_.tick(now);
    onvif_.tick(now);
    size_t multicast = 0;
    for (auto &p : probes)
        multicast += p.unicast ? 0 : 1;
    if (multicast >= 64)
        sendInquiry(nullptr);
    for (auto &p : probes) {
        if (p.unicast) { // found by a scan: asked where it answered from
            scanner_.asked(*p.unicast, now);
            zelt_.sendInquiryTo(*p.unicast, &p.mac);
        } else if (multicast < 64) {
            sendInquiry(&p.mac);
        }
    }
}

void Engine::receiveLoop()
{
    while (!stopping_) {
        auto now = Clock::now();
        if (inquiryWanted_.exchange(false)) {
            sendInquiry(nullptr);
            scanner_.startPass(now);
        }
        if (now >= nextInquiry_) {
            // After the start, inquire again as soon as the answers of the last
            // inquiry are in, as long as it brought new devices: answers lost on
            // the wire are picked up in seconds, not periods.
            const int added = watch_.takeAdded();
            if (quickInquiries_ > 0 && quickInquiries_ <= 8 && added == 0)
                quickInquiries_ = 0;
            // The scan ranges are gone through once a period, from the first
            // inquiry on; the quick ones after the start do not repeat them.
            if (now - lastPass_ >= std::chrono::milliseconds(timing_.inquiryPeriodMs * 9 / 10)) {
                scanner_.startPass(now);
                lastPass_ = now;
            }
            const int window = sendInquiry(nullptr);
            int gap = timing_.inquiryPeriodMs;
            if (quickInquiries_ > 0) {
                --quickInquiries_;
                gap = std::min(gap, window + 700);
            }
            nextInquiry_ = now + std::chrono::milliseconds(gap);
        }
        if (now >= nextTick_) {
            tick(now);
            // At least once a second: new ONVIF devices are listed once their settling time is over.
            nextTick_ = now + std::chrono::milliseconds(std::clamp(timing_.inquiryPeriodMs / 4, 25, 1000));
        }
        scanStep(Clock::now());
        auto wake = std::min(nextInquiry_, nextTick_);
        if (auto scanAt = scanner_.wakeAt())
            wake = std::min(wake, std::max(*scanAt, Clock::now() + std::chrono::milliseconds(5)));
        auto wait = wake - Clock::now();
        int ms = int(
            std::clamp<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(wait).count() + 1, 0, 1000));
        const int zeltFds[4] = {transport_.receiveFd(), transport_.receiveFd6(), transport_.unicastFd(),
                                transport_.unicastFd6()};
        const int onvifFds[4] = {wsdRx_, wsdTx_, wsdRx6_, wsdTx6_};
        pollfd fds[9];
        nfds_t n = 0;
        fds[n++] = {wakeFd_, POLLIN, 0};
        for (int fd : zeltFds)
            fds[n++] = {fd, POLLIN, 0}; // a negative descriptor is passed over by poll
        for (int fd : onvifFds)
            fds[n++] = {fd, POLLIN, 0};
        int r = poll(fds, n, ms);
        if (r <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] auto got = ::read(wakeFd_, &v, sizeof v);
        }
        bool zelt = false;
        for (int k = 1; k <= 4; ++k)
            zelt = zelt || (fds[k].revents & POLLIN);
        if (zelt)
            receiveZelt();
        for (int k = 5; k < 9; ++k)
            if (fds[k].revents & POLLIN)
                receiveOnvif(fds[k].fd);
    }
}

void Engine::receiveZelt()
{
    uint8_t buf[wire::kMaxDatagram + 1];
    int budget = 4096;
    for (int fd : {transport_.receiveFd(), transport_.receiveFd6()})
        while (fd >= 0 && budget-- > 0 && !stopping_) {
            net::Received info;
            long n = net::receiveFrom(fd, buf, sizeof buf, &info);
            if (n < 0)
                break;
            // The IPv6 socket listens on the port: a datagram sent to this host's address is no multicast.
            if (info.to.valid() && !info.to.multicast())
                continue;
            zelt_.handleDatagram(buf, size_t(n));
        }
    // Unicast: answers of scanned addresses, and command answers of the devices found there.
    const auto within = std::chrono::milliseconds(2 * timing_.windowMs + 5000);
    for (int fd : {transport_.unicastFd(), transport_.unicastFd6()})
        while (fd >= 0 && budget-- > 0 && !stopping_) {
            net::Received from;
            long n = net::receiveFrom(fd, buf, sizeof buf, &from);
            if (n < 0)
                break;
            zelt_.handleUnicast(buf, size_t(n), from.from, scanner_.wasAsked(from.from, Clock::now(), within));
        }
}

bool Engine::openOnvif(std::string *error)
{
    if (!onvifEnabled_)
        return true;
    if (const char *p = std::getenv("ZELT_WSD_PORT"); p && *p) {
        long v = std::strtol(p, nullptr, 10);
        if (v > 0 && v < 65536)
            wsdPort_ = uint16_t(v);
    }
    onvif_.configure();
    in_addr group{};
    inet_pton(AF_INET, onvif::kDiscoveryGroup, &group);
    wsdRx_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    wsdTx_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (wsdRx_ < 0 || wsdTx_ < 0) {
        *error = "socket";
        return false;
    }
    int one = 1, big = 4 << 20;
    setsockopt(wsdRx_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    for (int fd : {wsdRx_, wsdTx_}) {
        if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big) != 0)
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
        setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(wsdPort_);
    a.sin_addr = group;
    if (bind(wsdRx_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        *error = "bind WS-Discovery port";
        return false;
    }
    for (auto &i : transport_.interfaces()) {
        if (!i.has4)
            continue;
        ip_mreqn m{};
        m.imr_multiaddr = group;
        m.imr_ifindex = int(i.index);
        if (setsockopt(wsdRx_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0) {
            *error = "join WS-Discovery group on " + i.name;
            return false;
        }
    }
    sockaddr_in any{};
    any.sin_family = AF_INET;
    if (bind(wsdTx_, reinterpret_cast<sockaddr *>(&any), sizeof any) != 0) {
        *error = "bind probe socket";
        return false;
    }
    int loop = 1;
    setsockopt(wsdTx_, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    openOnvif6();
    return true;
}

void Engine::openOnvif6()
{
    // IPv6 is an addition: where it cannot be had, IPv4 goes on alone.
    in6_addr group{};
    inet_pton(AF_INET6, onvif::kDiscoveryGroup6, &group);
    bool any = false;
    for (auto &i : transport_.interfaces())
        any = any || i.linkLocal6;
    if (!any)
        return;
    wsdTx6_ = net::unicastSocket(AF_INET6, 0, nullptr);
    wsdRx6_ = socket(AF_INET6, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int one = 1, zero = 0;
    // Bound to the port (a link-local group binds to one link only); it
    // takes the group it joined, and what was not sent to it is dropped.
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_port = htons(wsdPort_);
    bool joined = false;
    if (wsdRx6_ >= 0) {
        setsockopt(wsdRx6_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        setsockopt(wsdRx6_, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
        setsockopt(wsdRx6_, IPPROTO_IPV6, IPV6_RECVPKTINFO, &one, sizeof one);
        setsockopt(wsdRx6_, IPPROTO_IPV6, IPV6_MULTICAST_ALL, &zero, sizeof zero);
        if (bind(wsdRx6_, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0)
            for (auto &i : transport_.interfaces()) {
                if (!i.linkLocal6)
                    continue;
                ipv6_mreq m{};
                m.ipv6mr_multiaddr = group;
                m.ipv6mr_interface = i.index;
                joined = setsockopt(wsdRx6_, IPPROTO_IPV6, IPV6_JOIN_GROUP, &m, sizeof m) == 0 || joined;
            }
    }
    if (!joined && wsdRx6_ >= 0) {
        log::write(1, "ONVIF discovery over IPv6 not available (port %u)", unsigned(wsdPort_));
        ::close(wsdRx6_);
        wsdRx6_ = -1;
    }
}

void Engine::closeOnvif()
{
    for (int *fd : {&wsdRx_, &wsdTx_, &wsdRx6_, &wsdTx6_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void Engine::receiveOnvif(int fd)
{
    std::vector<uint8_t> buf(onvif::kMaxDatagram + 1);
    const auto within = std::chrono::milliseconds(2 * timing_.windowMs + 5000);
    for (int k = 0; k < 1024 && !stopping_; ++k) {
        // Parsing is slow beside a ZELT answer: a flood here must not keep
        // a command waiting for the one in the other socket.
        if (k % 8 == 7)
            receiveZelt();
        net::Received info;
        long n = net::receiveFrom(fd, buf.data(), buf.size(), &info);
        if (n < 0)
            break;
        if (n == 0 || size_t(n) > onvif::kMaxDatagram)
            continue; // too long to be a discovery message
        if (fd == wsdRx6_ && !info.to.multicast())
            continue; // the group listener takes the group's datagrams only
        const auto &ifs = transport_.interfaces();
        OnvifDevices::Origin from;
        from.address = info.from;
        from.ifindex = info.ifindex;
        // Only what arrives on a chosen interface, but for the answer to a
        // probe sent to that very address of a scan range, wherever the
        // route to it goes.
        from.chosenInterface = info.ifindex >= 0 && std::any_of(ifs.begin(), ifs.end(), [&](const net::Interface &i) {
                                   return int(i.index) == info.ifindex;
                               });
        if (!from.chosenInterface && !scanner_.contains(info.from))
            continue;
        const net::Address source = info.from;
        from.directedProbe = [this, source, within](const std::string &relatesTo) {
            return scanner_.answersProbe(source, relatesTo, Clock::now(), within);
        };
        onvif_.handleDiscovery(buf.data(), size_t(n), &from);
    }
}

void Engine::handleDiscoveryFrom(const uint8_t *data, size_t size, uint32_t fromAddress, int ifindex)
{
    OnvifDevices::Origin from;
    from.address = net::Address::v4(fromAddress);
    from.ifindex = ifindex;
    onvif_.handleDiscovery(data, size, &from);
}

uint32_t Engine::command(const Target &target, wire::CommandBody body, wire::CommandResult &out)
{
    if (stopping_)
        return ZELT_ERR_NOT_STARTED;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timing_.commandTimeoutMs);
    const std::string name = target.mac ? wire::macText(*target.mac) : target.serial;
    // ONVIF only for a device never heard over ZELT: a ZELT device that is
    // untrusted, ambiguous or silent is not commanded by another way.
    ZeltDevices::Peer dev;
    std::string onvifKey;
    uint32_t found = ZELT_ERR_NO_DEVICE, onvifFound = ZELT_ERR_NO_DEVICE;
    auto look = [&] {
        found = zelt_.find(target, dev);
        onvifFound = found == ZELT_ERR_NO_DEVICE ? onvif_.find(target, onvifKey) : ZELT_ERR_NO_DEVICE;
        return found != ZELT_ERR_NO_DEVICE || onvifFound != ZELT_ERR_NO_DEVICE;
    };
    uint64_t seen = watch_.generation();
    if (!look()) {
        // Not (yet) in a table: ask once and wait a little.
        inquire();
        const auto until = std::min(deadline, Clock::now() + std::chrono::milliseconds(timing_.windowMs + 500));
        bool known = false;
        while (!known && !stopping_ && Clock::now() < until) {
            watch_.wait(seen, until);
            seen = watch_.generation();
            known = look();
        }
        if (stopping_)
            return ZELT_ERR_NOT_STARTED;
    }
    if (found == ZELT_ERR_NO_DEVICE && onvifFound != ZELT_ERR_NO_DEVICE) {
        if (onvifFound != ZELT_ERR_NONE) {
            log::write(1, "command %u to ONVIF device %s refused (error %u)", unsigned(body.command), name.c_str(),
                       unsigned(onvifFound));
            return onvifFound;
        }
        // Known over ONVIF only: its device service does what it can.
        return onvif_.command(onvifKey, body);
    }
    if (found != ZELT_ERR_NONE) {
        log::write(1, "command %u to %s refused: %s", unsigned(body.command), name.c_str(),
                   found == ZELT_ERR_AMBIGUOUS_DEVICE   ? "claimed by two certified identities"
                   : found == ZELT_ERR_UNTRUSTED_DEVICE ? "no trusted certificate"
                                                        : "unknown device");
        return found;
    }
    // A device found by a scan that is given another address is asked there
    // soon: its announcement of the change does not cross the router.
    std::optional<net::Address> moved;
    if (dev.unicast && body.command == wire::Command::SetNet) {
        if (!dev.unicast->isV6() && (body.netFlags & wire::kSetIpv4)) {
            uint32_t v;
            std::memcpy(&v, body.ipv4.data(), 4);
            moved = net::Address::v4(v);
        } else if (dev.unicast->isV6() && (body.netFlags & wire::kSetIpv6)) {
            in6_addr v;
            std::memcpy(&v, body.ipv6.data(), 16);
            moved = net::Address::v6(v);
        }
    }
    const uint32_t rc = zelt_.command(dev, std::move(body), deadline, out);
    if (rc == ZELT_ERR_NONE && moved && scanner_.contains(*moved)) {
        const auto now = Clock::now();
        scanner_.askSoon(*moved, now + std::chrono::milliseconds(200));
        scanner_.askSoon(*moved, now + std::chrono::milliseconds(1500));
        wake();
    }
    return rc;
}

} // namespace zelt
