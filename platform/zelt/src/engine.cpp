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
    , zelt_(PartContext{timing_, stopping_, events_, watch_}, transport_, std::move(trustPaths), zeltEnabled_)
    , onvif_(PartContext{timing_, stopping_, events_, watch_}, transport_, zelt_, zeltEnabled_)
{
    zelt_.setListener(&onvif_);
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
    std::string names;
    for (auto &i : transport_.interfaces())
        names += (names.empty() ? "" : ",") + i.name;
    log::write(2, "started: group %s port %u, interfaces %s, inquiry every %d ms, %zu trusted maker key(s)",
               settings_.group.c_str(), unsigned(settings_.devicePort), names.c_str(), timing_.inquiryPeriodMs,
               zelt_.trustedMakerKeys());
    if (zelt_.trustedMakerKeys() == 0)
        log::write(1, "no trusted maker key: no device will be listed");
    callback_ = cb;
    user_ = user;
    auto now = Clock::now();
    nextInquiry_ = now;
    nextTick_ = now;
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
    if (!target && wsdTx_ >= 0) // ONVIF devices are asked on the same schedule
        net::sendOnEachInterface(wsdTx_, transport_.interfaces(), onvif::kDiscoveryGroup, wsdPort_, onvif_.newProbe());
    return window;
}

void Engine::tick(Clock::time_point now)
{
    // ZELT first: the identities it adds or drops are noted by the ONVIF
    // part, which rebuilds those entries in its own tick right after.
    const std::vector<wire::Mac> probes = zelt_.tick(now);
    onvif_.tick(now);
    if (probes.size() >= 64)
        sendInquiry(nullptr);
    else
        for (auto &mac : probes)
            sendInquiry(&mac);
}

void Engine::receiveLoop()
{
    while (!stopping_) {
        auto now = Clock::now();
        if (inquiryWanted_.exchange(false))
            sendInquiry(nullptr);
        if (now >= nextInquiry_) {
            // After the start, inquire again as soon as the answers of the last
            // inquiry are in, as long as it brought new devices: answers lost on
            // the wire are picked up in seconds, not periods.
            const int added = watch_.takeAdded();
            if (quickInquiries_ > 0 && quickInquiries_ <= 8 && added == 0)
                quickInquiries_ = 0;
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
        auto wait = std::min(nextInquiry_, nextTick_) - Clock::now();
        int ms = int(
            std::clamp<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(wait).count() + 1, 0, 1000));
        pollfd fds[4] = {
            {transport_.receiveFd(), POLLIN, 0}, {wakeFd_, POLLIN, 0}, {wsdRx_, POLLIN, 0}, {wsdTx_, POLLIN, 0}};
        int r = poll(fds, wsdRx_ >= 0 ? 4 : 2, ms);
        if (r <= 0)
            continue;
        if (fds[1].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] auto n = ::read(wakeFd_, &v, sizeof v);
        }
        if (fds[0].revents & POLLIN)
            receiveZelt();
        if (wsdRx_ >= 0) {
            if (fds[2].revents & POLLIN)
                receiveOnvif(wsdRx_);
            if (fds[3].revents & POLLIN)
                receiveOnvif(wsdTx_);
        }
    }
}

void Engine::receiveZelt()
{
    uint8_t buf[wire::kMaxDatagram + 1];
    for (int i = 0; i < 4096 && !stopping_; ++i) {
        long n = transport_.receive(buf, sizeof buf);
        if (n < 0)
            break;
        zelt_.handleDatagram(buf, size_t(n));
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
    return true;
}

void Engine::closeOnvif()
{
    if (wsdRx_ >= 0)
        ::close(wsdRx_);
    if (wsdTx_ >= 0)
        ::close(wsdTx_);
    wsdRx_ = wsdTx_ = -1;
}

void Engine::receiveOnvif(int fd)
{
    std::vector<char> buf(onvif::kMaxDatagram + 1);
    for (int k = 0; k < 1024 && !stopping_; ++k) {
        // Parsing is slow beside a ZELT answer: a flood here must not keep
        // a command waiting for the one in the other socket.
        if (k % 8 == 7)
            receiveZelt();
        char control[256];
        sockaddr_in src{};
        iovec iov{buf.data(), buf.size()};
        msghdr mh{};
        mh.msg_name = &src;
        mh.msg_namelen = sizeof src;
        mh.msg_iov = &iov;
        mh.msg_iovlen = 1;
        mh.msg_control = control;
        mh.msg_controllen = sizeof control;
        ssize_t n = recvmsg(fd, &mh, MSG_DONTWAIT);
        if (n < 0)
            break;
        if ((mh.msg_flags & MSG_TRUNC) || size_t(n) > onvif::kMaxDatagram)
            continue; // too long to be a discovery message
        // Only what arrives on a chosen interface.
        int ifindex = -1;
        for (cmsghdr *c = CMSG_FIRSTHDR(&mh); c; c = CMSG_NXTHDR(&mh, c))
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
                ifindex = reinterpret_cast<in_pktinfo *>(CMSG_DATA(c))->ipi_ifindex;
        const auto &ifs = transport_.interfaces();
        if (ifindex < 0
            || std::none_of(ifs.begin(), ifs.end(), [&](const net::Interface &i) { return int(i.index) == ifindex; }))
            continue;
        OnvifDevices::Origin from;
        from.address = src.sin_family == AF_INET ? src.sin_addr.s_addr : 0;
        from.ifindex = ifindex;
        onvif_.handleDiscovery(reinterpret_cast<const uint8_t *>(buf.data()), size_t(n), &from);
    }
}

void Engine::handleDiscoveryFrom(const uint8_t *data, size_t size, uint32_t fromAddress, int ifindex)
{
    OnvifDevices::Origin from;
    from.address = fromAddress;
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
    return zelt_.command(dev, std::move(body), deadline, out);
}

} // namespace zelt
