// zelt-devsim: one process playing a fleet of ZELT devices on the LAN (or
// on loopback for tests and the demo), and the maker's key-file signing.
#include "crypto.h"
#include "device.h"
#include "fleet.h"
#include "json.h"
#include "log.h"
#include "net.h"
#include "onvif_sim.h"
#include "wire.h"
#include "zelt_sdk.h"

#include <arpa/inet.h>
#include <poll.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <queue>
#include <set>
#include <random>
#include <sstream>
#include <unordered_set>

namespace {

using Clock = std::chrono::steady_clock;
volatile std::sig_atomic_t g_stop = 0;
void onSignal(int)
{
    g_stop = 1;
}

const char kUsage[] =
    "usage: zelt-devsim [options]\n"
    "       zelt-devsim sign-key [--maker-key FILE | --state FILE] IN OUT\n"
    "       zelt-devsim maker-key --public [--maker-key FILE | --state FILE]\n"
    "Plays a fleet of ZELT devices, each with an identity key certified by the maker's key.\n"
    "sign-key signs an exported device key file as the maker; maker-key --public prints the\n"
    "maker's public key as a trust store line (for zelt-trusted-makers.txt or $ZELT_TRUSTED_MAKERS).\n"
    "Options:\n"
    "  --interfaces LIST    interfaces to listen on (default lo, the loopback interface)\n"
    "  --port N             device port (default $ZELT_PORT or 47810; clients use N+1)\n"
    "  --group ADDR         multicast group (default $ZELT_GROUP or 239.255.47.81)\n"
    "  --count N            devices to generate (default 24)\n"
    "  --seed N             seed of the generated fleet (default 1)\n"
    "  --password PW        password of the generated devices that start active (default Admin12345)\n"
    "  --config FILE        JSON: any of the options above and a \"devices\" array\n"
    "  --state FILE         keeps device state across restarts (JSON, mode 0600, rewritten on change;\n"
    "                       an existing file that cannot be read stops the simulator)\n"
    "  --maker-key FILE     maker's signing key (created if missing; default next to the state file)\n"
    "  --loss P             drop each datagram in and out with probability P (0..1)\n"
    "  --dup P              send each datagram twice with probability P\n"
    "  --churn S            every S seconds on average a device changes or leaves and returns\n"
    "  --lockout-seconds N  lockout after 5 failed attempts (default 60)\n"
    "  --clock-skew S[,N]   the devices' clocks run S seconds ahead of this host's (negative: behind);\n"
    "                       with N, the first N devices only (overrides what the state file keeps)\n"
    "  --ready-file FILE    written once the devices listen\n"
    "  --quiet              do not print the device list\n"
    "  --exit-with-parent   end when the process that started the simulator ends\n"
    "  --verbose            log every request to stderr\n"
    "  --onvif [all|N|F]    devices that also speak ONVIF: all active ones (default), the first N\n"
    "                       active ones, or that fraction of them; they answer WS-Discovery and\n"
    "                       serve the ONVIF device service over HTTP\n"
    "  --onvif-only         the ONVIF devices do not speak ZELT\n"
    "  --onvif-auth MODE    wsse (UsernameToken digest), digest (HTTP Digest) or both (default)\n"
    "  --onvif-password PW  password the ONVIF devices check (default: the --password value)\n"
    "  --wsd-port N         WS-Discovery port (default $ZELT_WSD_PORT or 3702)\n"
    "  --onvif-token-reuse  accept a UsernameToken (nonce and time) more than once within its window,\n"
    "                       for clients that send one token with several requests (a replay risk)\n"
    "  --onvif-tls          serve the ONVIF device service over HTTPS only (TLS 1.2 or later), each device\n"
    "                       with a self-signed certificate (common name: its serial number) made on its\n"
    "                       first start and kept in the state file\n"
    "  --onvif-tls-renew N  device N (its number in the list) gets a new TLS key and certificate (repeatable)\n";

std::string readFile(const std::string &path, bool *ok)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (ok)
            *ok = false;
        return {};
    }
    std::stringstream ss;
    ss << in.rdbuf();
    if (ok)
        *ok = true;
    return ss.str();
}

// Written to a new file of its own (created exclusively, never through a
// link planted in its place), then renamed over the old one.
bool writeFileAtomically(const std::string &path, const std::string &data, mode_t mode = 0644)
{
    std::string tmp = path + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0 && errno == EEXIST) { // left behind by a crash
        ::unlink(tmp.c_str());
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    }
    if (fd < 0)
        return false;
    FILE *f = fdopen(fd, "wb");
    if (!f) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return false;
    }
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fflush(f) == 0) && ok;
    ok = (fsync(fileno(f)) == 0) && ok;
    std::fclose(f);
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    return std::rename(tmp.c_str(), path.c_str()) == 0;
}

std::string makerKeyPath(const std::string &explicitPath, const std::string &statePath)
{
    if (!explicitPath.empty())
        return explicitPath;
    if (const char *e = std::getenv("ZELT_MAKER_KEY"); e && *e)
        return e;
    if (!statePath.empty())
        return statePath + ".maker-key";
    std::string dir = zelt::log::defaultDirectory();
    std::string cur;
    for (char c : dir + "/") {
        if (c == '/' && !cur.empty())
            mkdir(cur.c_str(), 0700);
        cur += c;
    }
    return dir + "/maker-ed25519.key";
}

// The maker's key: a file with the secret key in hex, created on first use.
bool loadMakerKey(const std::string &path, zelt::crypto::SignKeyPair &kp, std::string *error)
{
    bool ok = false;
    std::string text = readFile(path, &ok);
    if (ok) {
        std::string hex = text.substr(0, text.find_first_of("\r\n"));
        const std::string prefix = "ZELT-MAKER-ED25519 ";
        if (hex.rfind(prefix, 0) != 0
            || !zelt::crypto::fromHex(hex.substr(prefix.size()), kp.sk.data(), kp.sk.size())) {
            *error = path + " is not a maker key file";
            return false;
        }
        std::memcpy(kp.pk.data(), kp.sk.data() + 32, 32); // Ed25519 secret key ends with the public key
        return true;
    }
    kp = zelt::crypto::newSignKeyPair();
    if (!writeFileAtomically(path, "ZELT-MAKER-ED25519 " + zelt::crypto::toHex(kp.sk.data(), kp.sk.size()) + "\n",
                             0600)) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

int signKey(int argc, char **argv)
{
    std::string makerPath, statePath;
    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--maker-key" && i + 1 < argc)
            makerPath = argv[++i];
        else if (a == "--state" && i + 1 < argc)
            statePath = argv[++i];
        else
            files.push_back(a);
    }
    if (files.size() != 2) {
        std::cerr << kUsage;
        return 2;
    }
    zelt::crypto::SignKeyPair kp;
    std::string error;
    if (!zelt::crypto::init() || !loadMakerKey(makerKeyPath(makerPath, statePath), kp, &error)) {
        std::cerr << "zelt-devsim: " << error << "\n";
        return 1;
    }
    bool ok = false;
    std::string data = readFile(files[0], &ok);
    if (!ok) {
        std::cerr << "zelt-devsim: cannot read " << files[0] << "\n";
        return 1;
    }
    auto signedFile = zelt::crypto::signKeyFile(data, kp);
    if (!signedFile) {
        std::cerr << "zelt-devsim: " << files[0] << " is not an exported device key\n";
        return 1;
    }
    if (!writeFileAtomically(files[1], *signedFile)) {
        std::cerr << "zelt-devsim: cannot write " << files[1] << "\n";
        return 1;
    }
    std::cout << "signed " << files[1] << "\n";
    return 0;
}

int makerKey(int argc, char **argv)
{
    std::string makerPath, statePath;
    bool publicKey = false;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--maker-key" && i + 1 < argc)
            makerPath = argv[++i];
        else if (a == "--state" && i + 1 < argc)
            statePath = argv[++i];
        else if (a == "--public")
            publicKey = true;
        else {
            std::cerr << kUsage;
            return 2;
        }
    }
    if (!publicKey) {
        std::cerr << kUsage;
        return 2;
    }
    zelt::crypto::SignKeyPair kp;
    std::string error;
    if (!zelt::crypto::init() || !loadMakerKey(makerKeyPath(makerPath, statePath), kp, &error)) {
        std::cerr << "zelt-devsim: " << error << "\n";
        return 1;
    }
    std::cout << zelt::crypto::makerPublicKeyLine(kp.pk) << "\n";
    return 0;
}

struct Timer {
    enum Kind { Answer, Announce, Boot, Return, Churn };
    Timer(Clock::time_point at, Kind kind, size_t device, uint64_t clientId = 0, uint32_t seq = 0, double asked = 0)
        : at(at)
        , kind(kind)
        , device(device)
        , clientId(clientId)
        , seq(seq)
        , asked(asked)
    {}
    Clock::time_point at;
    Kind kind;
    size_t device;
    uint64_t clientId;
    uint32_t seq;
    double asked; // when the inquiry arrived
    // An answer to a unicast inquiry goes back to the inquirer, from the
    // address it asked (replyPort 0: a multicast answer).
    zelt::net::Address replyTo, replyFrom;
    uint16_t replyPort = 0;
    bool operator>(const Timer &o) const { return at > o.at; }
};

// How a datagram reached the simulator.
struct Arrival {
    int family = AF_INET;        // multicast: the group it came to
    bool unicast = false;        // sent to an address of this host
    zelt::net::Address from, to; // unicast: the sender, and the address it sent to
    uint16_t fromPort = 0;
};

class Simulator
{
public:
    std::vector<zelt::Device> devices;
    std::vector<bool> online;
    std::vector<double> lastHello; // seconds since start
    zelt::net::Transport transport;
    double loss = 0, dup = 0, churn = 0;
    bool verbose = false;
    std::string statePath;
    std::mt19937_64 rng{std::random_device{}()};
    std::priority_queue<Timer, std::vector<Timer>, std::greater<Timer>> timers;
    std::map<zelt::wire::Mac, size_t> byMac;
    std::unordered_set<uint64_t> seen;
    std::deque<uint64_t> seenOrder;
    Clock::time_point start = Clock::now();
    // One answer per window for each client (and target), whatever it sends.
    std::map<std::pair<uint64_t, zelt::wire::Mac>, double> answering;
    // Each device answers inquiries at most kAnswerRate a second (bursts of kAnswerBurst).
    static constexpr double kAnswerRate = 5, kAnswerBurst = 10;
    std::vector<double> tokens, tokensAt;
    uint64_t refusedInquiries = 0, limitedAnswers = 0, answers = 0;
    // Answers a device has due. One answer is a hello to every client, so an
    // inquiry whose window holds an answer already due answers with it, and
    // adds none; a device has at most kMaxDueAnswers due (further inquiries
    // are not answered). The timer queue thus holds at most kMaxDueAnswers
    // answers a device, however many inquiries with long windows arrive.
    static constexpr size_t kMaxDueAnswers = 4;
    std::vector<std::vector<Clock::time_point>> dueAnswers;
    std::vector<double> latestAsked; // when the last inquiry a due answer covers arrived
    uint64_t mergedAnswers = 0, droppedAnswers = 0;
    size_t largestQueue = 0;
    uint64_t openedRequests = 0, droppedRequests = 0, cachedRequests = 0;
    // The families the due multicast answers of a device go out on: those
    // its inquiries came in by (a device answers on whichever it hears).
    std::vector<int> answerFamilies;
    // Unicast answers: one a window for each client and device, at most
    // kMaxDueAnswers due a device.
    std::map<std::pair<uint64_t, size_t>, double> unicastAnswering;
    std::vector<uint8_t> unicastDue;
    uint64_t unicastInquiries = 0, unicastRequests = 0;
    std::set<zelt::net::Address> hostAddresses; // this host's, read again at most once a second
    double hostAddressesAt = -10;
    std::vector<bool> zelt;               // speaks ZELT (false: an ONVIF-only device)
    std::vector<devsim::TlsIdentity> tls; // of the ONVIF devices, in the fleet's order (empty: none)
    devsim::OnvifSim *onvif = nullptr;

    bool takeToken(size_t i)
    {
        const double t = now();
        tokens[i] = std::min(kAnswerBurst, tokens[i] + (t - tokensAt[i]) * kAnswerRate);
        tokensAt[i] = t;
        if (tokens[i] < 1) {
            ++limitedAnswers;
            return false;
        }
        tokens[i] -= 1;
        ++answers;
        return true;
    }

    bool chance(double p) { return p > 0 && std::uniform_real_distribution<double>(0, 1)(rng) < p; }
    double now() const { return std::chrono::duration<double>(Clock::now() - start).count(); }

    void send(const zelt::wire::Message &m, int families = zelt::net::Transport::kBoth)
    {
        sendRaw(zelt::wire::encode(m), families);
    }
    void sendRaw(const zelt::wire::Bytes &bytes, int families = zelt::net::Transport::kBoth)
    {
        if (chance(loss))
            return;
        transport.send(bytes.data(), bytes.size(), families);
        if (chance(dup))
            transport.send(bytes.data(), bytes.size(), families);
    }
    // To the one who asked, from the address it asked.
    void sendBack(const zelt::wire::Bytes &bytes, const zelt::net::Address &to, uint16_t port,
                  const zelt::net::Address &from)
    {
        if (chance(loss))
            return;
        transport.sendTo(to, port, bytes.data(), bytes.size(), &from);
        if (chance(dup))
            transport.sendTo(to, port, bytes.data(), bytes.size(), &from);
    }
    void hello(size_t i, zelt::wire::HelloReason reason, uint64_t clientId = 0, uint32_t seq = 0,
               int families = zelt::net::Transport::kBoth)
    {
        if (!zelt[i])
            return;
        lastHello[i] = now();
        send(devices[i].hello(reason, clientId, seq, lastHello[i]), families);
    }
    static bool hasAddress(const zelt::wire::DeviceRecord &r, const zelt::net::Address &a)
    {
        return a.isV6() ? std::memcmp(r.ipv6.data(), a.bytes.data(), 16) == 0
                        : std::memcmp(r.ipv4.data(), a.bytes.data(), 4) == 0;
    }
    // The devices a unicast datagram to `to` reaches: those that have that
    // address, or, when none has it and it is an address of a chosen
    // interface (loopback: any 127.x), those whose own address is not on
    // this host (as the ONVIF listeners do).
    std::vector<size_t> devicesAt(const zelt::net::Address &to)
    {
        std::vector<size_t> out;
        for (size_t i = 0; i < devices.size(); ++i)
            if (hasAddress(devices[i].record(), to))
                out.push_back(i);
        if (!out.empty())
            return out;
        bool ours = false;
        for (auto &i : transport.interfaces()) {
            ours = ours
                   || (to.isV6() ? std::any_of(i.ipv6.begin(), i.ipv6.end(),
                                               [&](auto &p) { return std::memcmp(&p.first, to.bytes.data(), 16) == 0; })
                                 : i.has4 && (i.loopback ? to.bytes[0] == 127 : to.v4() == i.address.s_addr));
        }
        if (!ours)
            return out;
        if (now() - hostAddressesAt > 1) {
            hostAddresses.clear();
            ifaddrs *all = nullptr;
            if (getifaddrs(&all) == 0) {
                for (ifaddrs *a = all; a; a = a->ifa_next)
                    if (a->ifa_addr)
                        if (auto addr = zelt::net::Address::fromSockaddr(a->ifa_addr, sizeof(sockaddr_in6)))
                            hostAddresses.insert(*addr);
                freeifaddrs(all);
            }
            hostAddressesAt = now();
        }
        for (size_t i = 0; i < devices.size(); ++i) {
            const auto &r = devices[i].record();
            zelt::net::Address own;
            if (to.isV6()) {
                in6_addr v;
                std::memcpy(&v, r.ipv6.data(), 16);
                own = zelt::net::Address::v6(v);
            } else {
                uint32_t v;
                std::memcpy(&v, r.ipv4.data(), 4);
                own = zelt::net::Address::v4(v);
            }
            if (!hostAddresses.count(own))
                out.push_back(i);
        }
        return out;
    }
    void bye(size_t i)
    {
        if (zelt[i])
            send(devices[i].bye());
    }
    Clock::time_point after(double seconds, Timer::Kind kind, size_t device, uint64_t clientId = 0, uint32_t seq = 0)
    {
        auto at = Clock::now() + std::chrono::microseconds(int64_t(seconds * 1e6));
        timers.push({at, kind, device, clientId, seq, now()});
        largestQueue = std::max(largestQueue, timers.size());
        return at;
    }
    // Device i answers an inquiry after delay seconds, within window seconds.
    void answer(size_t i, double delay, double window, uint64_t clientId, uint32_t seq, int family)
    {
        answerFamilies[i] |= family == AF_INET6 ? zelt::net::Transport::kV6 : zelt::net::Transport::kV4;
        auto &due = dueAnswers[i];
        const auto deadline = Clock::now() + std::chrono::microseconds(int64_t(window * 1e6));
        latestAsked[i] = now();
        if (std::any_of(due.begin(), due.end(), [&](auto at) { return at <= deadline; })) {
            ++mergedAnswers;
            return;
        }
        if (due.size() >= kMaxDueAnswers) {
            ++droppedAnswers;
            return;
        }
        due.push_back(after(delay, Timer::Answer, i, clientId, seq));
    }
    void announce(size_t i)
    {
        // Announced twice, a moment apart, so that one loss does not hide it.
        hello(i, zelt::wire::HelloReason::Change);
        after(0.25, Timer::Announce, i);
    }
    void saveState()
    {
        if (statePath.empty())
            return;
        std::vector<zelt::DeviceState> states;
        for (auto &d : devices)
            states.push_back(d.state());
        if (!writeFileAtomically(statePath, devsim::fleetToJson(states, &tls), 0600))
            std::cerr << "zelt-devsim: cannot write " << statePath << "\n";
    }

    // An inquiry sent to one address: answered by unicast, from that address.
    void unicastInquiry(const zelt::wire::Inquiry &q, const Arrival &from)
    {
        ++unicastInquiries;
        const double window = q.windowMs / 1000.0, t = now();
        if (q.windowMs < 100) {
            ++refusedInquiries;
            return;
        }
        static const zelt::wire::Mac none{};
        for (size_t i : devicesAt(from.to)) {
            if (!online[i] || !zelt[i] || (q.target != none && devices[i].record().mac != q.target) || chance(loss))
                continue;
            auto key = std::make_pair(q.clientId, i);
            if (auto it = unicastAnswering.find(key); it != unicastAnswering.end() && t < it->second) {
                ++refusedInquiries;
                continue;
            }
            if (unicastDue[i] >= kMaxDueAnswers) {
                ++droppedAnswers;
                continue;
            }
            if (unicastAnswering.size() >= 65536)
                unicastAnswering.clear();
            unicastAnswering[key] = t + window;
            ++unicastDue[i];
            const double delay = std::uniform_real_distribution<double>(0, window / 4)(rng);
            Timer timer{
                Clock::now() + std::chrono::microseconds(int64_t(delay * 1e6)), Timer::Answer, i, q.clientId, q.seq, t};
            timer.replyTo = from.from;
            timer.replyPort = from.fromPort;
            timer.replyFrom = from.to;
            timers.push(timer);
            largestQueue = std::max(largestQueue, timers.size());
        }
    }

    void onDatagram(const uint8_t *data, size_t n, const Arrival &from)
    {
        auto m = zelt::wire::decode(data, n);
        if (!m)
            return;
        if (m->type == zelt::wire::Type::Inquiry) {
            // A duplicated inquiry is answered once. Requests are not filtered
            // here: a retransmission is the same datagram, and the device
            // answers it from its cache.
            if (!seen.insert(m->msgId).second)
                return;
            seenOrder.push_back(m->msgId);
            if (seenOrder.size() > 65536) {
                seen.erase(seenOrder.front());
                seenOrder.pop_front();
            }
            if (from.unicast)
                return unicastInquiry(m->inquiry, from);
            static const zelt::wire::Mac none{};
            double window = m->inquiry.windowMs / 1000.0;
            // Windows under 100 ms would make a fleet answer in one burst.
            if (m->inquiry.windowMs < 100) {
                ++refusedInquiries;
                return;
            }
            const double t = now();
            auto key = std::make_pair(m->inquiry.clientId, m->inquiry.target);
            if (auto it = answering.find(key); it != answering.end() && t < it->second) {
                ++refusedInquiries;
                return;
            }
            if (answering.size() >= 4096)
                answering.clear();
            answering[key] = t + window;
            // Each device loses its copy of an inquiry on its own, as on a real LAN.
            if (m->inquiry.target != none) {
                auto it = byMac.find(m->inquiry.target);
                if (it != byMac.end() && online[it->second] && !chance(loss))
                    answer(it->second, std::uniform_real_distribution<double>(0, window / 4)(rng), window,
                           m->inquiry.clientId, m->inquiry.seq, from.family);
                return;
            }
            std::uniform_real_distribution<double> delay(0, window);
            for (size_t i = 0; i < devices.size(); ++i)
                if (online[i] && !chance(loss))
                    answer(i, delay(rng), window, m->inquiry.clientId, m->inquiry.seq, from.family);
        } else if (m->type == zelt::wire::Type::Request) {
            if (chance(loss))
                return;
            auto it = byMac.find(m->request.mac);
            if (it == byMac.end() || !online[it->second] || !zelt[it->second])
                return;
            if (from.unicast) { // a device takes what is sent to its own address only
                auto at = devicesAt(from.to);
                if (std::find(at.begin(), at.end(), it->second) == at.end())
                    return;
                ++unicastRequests;
            }
            auto &dev = devices[it->second];
            auto out = dev.handle(m->request, now());
            if (out.fromCache)
                ++cachedRequests;
            else if (out.opened)
                ++openedRequests;
            else
                ++droppedRequests;
            if (verbose)
                std::cerr << "request " << m->request.requestId << " to " << dev.record().serial
                          << (out.fromCache ? ": answered from cache"
                              : out.opened  ? (out.datagram ? ": opened" : ": opened, refused as a replay or stale")
                                            : ": does not open with this device's key, dropped")
                          << (out.changed ? ", changed" : "") << "\n";
            // The answer goes back the way the request came.
            if (out.datagram && from.unicast)
                sendBack(*out.datagram, from.from, from.fromPort, from.to);
            else if (out.datagram)
                sendRaw(*out.datagram, from.family == AF_INET6 ? zelt::net::Transport::kV6 : zelt::net::Transport::kV4);
            if (out.clockSet)
                saveState(); // a real device keeps its clock through a restart
            if (out.changed) {
                saveState();
                announce(it->second);
                if (onvif)
                    onvif->networkChanged(it->second);
            }
        }
    }

    void onTimer(const Timer &t)
    {
        switch (t.kind) {
        case Timer::Answer: {
            if (t.replyPort) {
                if (unicastDue[t.device])
                    --unicastDue[t.device];
                if (online[t.device] && zelt[t.device] && takeToken(t.device)) {
                    lastHello[t.device] = now();
                    sendBack(zelt::wire::encode(devices[t.device].hello(zelt::wire::HelloReason::Answer, t.clientId,
                                                                        t.seq, lastHello[t.device])),
                             t.replyTo, t.replyPort, t.replyFrom);
                }
                break;
            }
            auto &due = dueAnswers[t.device];
            if (auto it = std::find(due.begin(), due.end(), t.at); it != due.end())
                due.erase(it);
            // Every hello goes to all clients: one sent since the last inquiry
            // arrived (an answer to another client's inquiry, an announcement)
            // has answered it already.
            const int families = answerFamilies[t.device] ? answerFamilies[t.device] : zelt::net::Transport::kBoth;
            if (online[t.device] && lastHello[t.device] < latestAsked[t.device] && takeToken(t.device)) {
                answerFamilies[t.device] = 0;
                hello(t.device, zelt::wire::HelloReason::Answer, t.clientId, t.seq, families);
            }
            break;
        }
        case Timer::Announce:
            if (online[t.device])
                hello(t.device, zelt::wire::HelloReason::Change);
            break;
        case Timer::Boot:
            if (online[t.device])
                hello(t.device, zelt::wire::HelloReason::Boot);
            break;
        case Timer::Return:
            online[t.device] = true;
            devices[t.device].boot(now());
            saveState(); // the boot counter only grows, across restarts too
            hello(t.device, zelt::wire::HelloReason::Boot);
            break;
        case Timer::Churn: {
            size_t i = std::uniform_int_distribution<size_t>(0, devices.size() - 1)(rng);
            if (online[i]) {
                if (chance(0.6)) {
                    auto &st = devices[i].mutableState().record;
                    st.softVersion = "V5." + std::to_string(rng() % 10) + "." + std::to_string(rng() % 10)
                                     + " build 261201";
                    st.channels = 1 + uint32_t(rng() % 32);
                    devices[i].touch();
                    announce(i);
                } else {
                    bye(i);
                    online[i] = false;
                    after(2 + churn * 2, Timer::Return, i);
                }
            }
            after(std::exponential_distribution<double>(1.0 / churn)(rng), Timer::Churn, 0);
            break;
        }
        }
    }
};

bool parseNumber(const char *text, double lo, double hi, double &out)
{
    char *end = nullptr;
    double v = std::strtod(text, &end);
    if (!end || *end || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::string(argv[1]) == "sign-key")
        return signKey(argc, argv);
    if (argc >= 2 && std::string(argv[1]) == "maker-key")
        return makerKey(argc, argv);
    if (!zelt::crypto::init()) {
        std::cerr << "zelt-devsim: libsodium failed to start\n";
        return 1;
    }

    zelt::net::Settings settings = zelt::net::settingsFromEnvironment();
    settings.interfaces = "lo"; // a simulated fleet stays on this host unless asked otherwise
    devsim::FleetOptions fleetOpt;
    double loss = 0, dup = 0, churn = 0, lockout = 60;
    std::optional<double> clockSkew; // seconds
    size_t skewedDevices = SIZE_MAX;
    std::string configPath, statePath, makerPath, readyFile;
    bool quiet = false, verbose = false;
    std::string onvifSpec, onvifAuth = "both", onvifPassword;
    bool onvifOnly = false, onvifTokenReuse = false, onvifTls = false;
    std::set<size_t> onvifTlsRenew; // device numbers as listed (from 1)
    uint16_t wsdPort = zelt::onvif::kDiscoveryPort;
    if (const char *p = std::getenv("ZELT_WSD_PORT"); p && *p) {
        long v = std::strtol(p, nullptr, 10);
        if (v > 0 && v < 65536)
            wsdPort = uint16_t(v);
    }

    // The configuration file first, so that flags override it.
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--config")
            configPath = argv[i + 1];
    zelt::json::Value config;
    if (!configPath.empty()) {
        bool ok = false;
        std::string text = readFile(configPath, &ok);
        std::string error;
        auto v = ok ? zelt::json::parse(text, &error) : std::nullopt;
        if (!v || v->kind != zelt::json::Value::Object) {
            std::cerr << "zelt-devsim: cannot read " << configPath << (error.empty() ? "" : ": " + error) << "\n";
            return 2;
        }
        config = *v;
        fleetOpt.count = unsigned(config.num("count", fleetOpt.count));
        fleetOpt.seed = unsigned(config.num("seed", fleetOpt.seed));
        fleetOpt.password = config.str("password", fleetOpt.password);
        loss = config.num("loss", 0);
        dup = config.num("dup", 0);
        churn = config.num("churn", 0);
        lockout = config.num("lockout_seconds", lockout);
        settings.interfaces = config.str("interfaces", settings.interfaces);
        settings.devicePort = uint16_t(config.num("port", settings.devicePort));
        settings.group = config.str("group", settings.group);
    }
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> const char * {
            if (i + 1 >= argc) {
                std::cerr << "zelt-devsim: " << a << " needs a value\n" << kUsage;
                std::exit(2);
            }
            return argv[++i];
        };
        double v = 0;
        auto number = [&](double lo, double hi) {
            const char *text = next();
            if (!parseNumber(text, lo, hi, v)) {
                std::cerr << "zelt-devsim: bad value for " << a << ": " << text << "\n";
                std::exit(2);
            }
            return v;
        };
        if (a == "--interfaces")
            settings.interfaces = next();
        else if (a == "--port")
            settings.devicePort = uint16_t(number(1, 65534));
        else if (a == "--group")
            settings.group = next();
        else if (a == "--count")
            fleetOpt.count = unsigned(number(1, 1000000));
        else if (a == "--seed")
            fleetOpt.seed = unsigned(number(0, 4294967295.0));
        else if (a == "--password")
            fleetOpt.password = next();
        else if (a == "--config")
            next();
        else if (a == "--state")
            statePath = next();
        else if (a == "--maker-key")
            makerPath = next();
        else if (a == "--loss")
            loss = number(0, 0.95);
        else if (a == "--dup")
            dup = number(0, 1);
        else if (a == "--churn")
            churn = number(0, 1e6);
        else if (a == "--lockout-seconds")
            lockout = number(0, 86400);
        else if (a == "--ready-file")
            readyFile = next();
        else if (a == "--clock-skew") {
            // "S" or "S,N": a negative S starts with '-', so the value is read whole.
            const std::string text = next();
            const auto comma = text.find(',');
            double skew = 0, n = 0;
            if (!parseNumber(text.substr(0, comma).c_str(), -3e9, 3e9, skew)
                || (comma != std::string::npos && !parseNumber(text.substr(comma + 1).c_str(), 0, 1e6, n))) {
                std::cerr << "zelt-devsim: bad value for --clock-skew: " << text << "\n";
                return 2;
            }
            clockSkew = skew;
            skewedDevices = comma == std::string::npos ? SIZE_MAX : size_t(n);
        } else if (a == "--quiet")
            quiet = true;
        else if (a == "--exit-with-parent") {
            const pid_t parent = getppid();
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent)
                return 0; // the parent is already gone
        } else if (a == "--verbose")
            verbose = true;
        else if (a == "--onvif") {
            // The value is optional: "all" when the next word is another option.
            onvifSpec = i + 1 < argc && argv[i + 1][0] != '-' ? next() : "all";
            double f = 0;
            if (onvifSpec != "all" && !parseNumber(onvifSpec.c_str(), 0, 1000000, f)) {
                std::cerr << "zelt-devsim: bad value for --onvif: " << onvifSpec << "\n";
                return 2;
            }
        } else if (a == "--onvif-only")
            onvifOnly = true;
        else if (a == "--onvif-token-reuse")
            onvifTokenReuse = true;
        else if (a == "--onvif-tls")
            onvifTls = true;
        else if (a == "--onvif-tls-renew")
            onvifTlsRenew.insert(size_t(number(1, 1000000)));
        else if (a == "--onvif-auth") {
            onvifAuth = next();
            if (onvifAuth != "wsse" && onvifAuth != "digest" && onvifAuth != "both") {
                std::cerr << "zelt-devsim: bad --onvif-auth\n";
                return 2;
            }
        } else if (a == "--onvif-password")
            onvifPassword = next();
        else if (a == "--wsd-port")
            wsdPort = uint16_t(number(1, 65535));
        else if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else {
            std::cerr << "zelt-devsim: unknown option " << a << "\n" << kUsage;
            return 2;
        }
    }

    zelt::crypto::SignKeyPair maker;
    std::string error;
    const std::string makerFile = makerKeyPath(makerPath, statePath);
    if (!loadMakerKey(makerFile, maker, &error)) {
        std::cerr << "zelt-devsim: " << error << "\n";
        return 1;
    }

    std::vector<zelt::DeviceState> fleet;
    std::vector<devsim::TlsIdentity> tls;
    bool fromState = false;
    if (!statePath.empty()) {
        struct stat st {};
        if (::lstat(statePath.c_str(), &st) == 0) {
            bool ok = false;
            std::string text = S_ISREG(st.st_mode) ? readFile(statePath, &ok) : std::string();
            auto v = ok ? zelt::json::parse(text, &error) : std::nullopt;
            const zelt::json::Value *list = v ? v->get("devices") : nullptr;
            if (!ok)
                error = "not a readable file";
            if (!list || !devsim::fleetFromJson(*list, maker, fleet, &error, &tls)) {
                // It holds the devices' identities and credentials: never replaced behind the user's back.
                std::cerr << "zelt-devsim: state file " << statePath << " unusable (" << error
                          << "); move it away or name another one with --state\n";
                return 1;
            }
            fromState = true;
        } else if (errno != ENOENT) {
            std::cerr << "zelt-devsim: cannot read state file " << statePath << ": " << std::strerror(errno) << "\n";
            return 1;
        }
    }
    if (!fromState) {
        if (const auto *list = config.get("devices")) {
            if (!devsim::fleetFromJson(*list, maker, fleet, &error, &tls)) {
                std::cerr << "zelt-devsim: " << configPath << ": " << error << "\n";
                return 2;
            }
        } else {
            fleet = devsim::generateFleet(fleetOpt, maker);
        }
    }
    if (fleet.empty()) {
        std::cerr << "zelt-devsim: no devices\n";
        return 2;
    }
    if (clockSkew)
        for (size_t i = 0; i < fleet.size() && i < skewedDevices; ++i)
            fleet[i].clockOffsetMs = int64_t(std::llround(*clockSkew * 1000));

    Simulator sim;
    sim.loss = loss;
    sim.dup = dup;
    sim.churn = churn;
    sim.verbose = verbose;
    sim.statePath = statePath;
    zelt::DeviceOptions dopt;
    dopt.makerKey = maker.pk;
    dopt.lockoutSeconds = int(lockout);
    sim.devices.reserve(fleet.size());
    for (auto &s : fleet) {
        if (sim.byMac.count(s.record.mac)) {
            std::cerr << "zelt-devsim: duplicate MAC " << zelt::wire::macText(s.record.mac) << "\n";
            return 2;
        }
        sim.byMac[s.record.mac] = sim.devices.size();
        sim.devices.emplace_back(std::move(s), dopt, sim.now());
    }
    sim.tokens.assign(sim.devices.size(), Simulator::kAnswerBurst);
    sim.tokensAt.assign(sim.devices.size(), 0.0);
    sim.dueAnswers.resize(sim.devices.size());
    sim.answerFamilies.assign(sim.devices.size(), 0);
    sim.unicastDue.assign(sim.devices.size(), 0);
    sim.latestAsked.assign(sim.devices.size(), 0.0);
    sim.online.assign(sim.devices.size(), true);
    sim.lastHello.assign(sim.devices.size(), -1.0);
    sim.zelt.assign(sim.devices.size(), true);
    sim.tls = std::move(tls);
    sim.tls.resize(sim.devices.size());
    // ONVIF devices: active ones only (ONVIF knows no inactive state), and
    // they take DHCP settings.
    std::vector<size_t> onvifDevices;
    if (!onvifSpec.empty()) {
        std::vector<size_t> active;
        for (size_t i = 0; i < sim.devices.size(); ++i)
            if (!sim.devices[i].state().passwordHash.empty())
                active.push_back(i);
        size_t n = active.size();
        if (onvifSpec != "all") {
            const double v = std::strtod(onvifSpec.c_str(), nullptr);
            n = std::min(active.size(), v < 1 && v > 0 ? size_t(std::ceil(v * double(active.size()))) : size_t(v));
        }
        onvifDevices.assign(active.begin(), active.begin() + long(n));
        for (size_t i : onvifDevices) {
            sim.devices[i].mutableState().record.support |= ZELT_SUPPORT_DHCP;
            if (onvifOnly)
                sim.zelt[i] = false;
        }
    }
    if ((onvifTls || !onvifTlsRenew.empty()) && onvifDevices.empty()) {
        std::cerr << "zelt-devsim: --onvif-tls needs ONVIF devices (--onvif)\n";
        return 2;
    }
    std::set<size_t> renew;
    for (size_t n : onvifTlsRenew) {
        if (std::find(onvifDevices.begin(), onvifDevices.end(), n - 1) == onvifDevices.end()) {
            std::cerr << "zelt-devsim: --onvif-tls-renew " << n << ": no ONVIF device has that number\n";
            return 2;
        }
        renew.insert(n - 1);
    }
    if (!renew.empty())
        onvifTls = true;
    sim.saveState();

    // Unicast on the device port too: inquiries and requests sent to a device's address.
    if (!sim.transport.open(settings, settings.devicePort, settings.clientPort(), &error, settings.devicePort)) {
        std::cerr << "zelt-devsim: " << error << "\n";
        return 1;
    }
    std::unique_ptr<devsim::OnvifSim> onvif;
    if (!onvifDevices.empty()) {
        devsim::OnvifOptions oo;
        oo.auth = onvifAuth;
        oo.password = onvifPassword.empty() ? (fromState ? std::string("Admin12345") : fleetOpt.password)
                                            : onvifPassword;
        oo.discoveryPort = wsdPort;
        oo.lockoutSeconds = int(lockout);
        oo.verbose = verbose;
        oo.allowTokenReuse = onvifTokenReuse;
        oo.tls = onvifTls;
        oo.renewTls = renew;
        onvif = std::make_unique<devsim::OnvifSim>(
            sim.devices, sim.tls, oo,
            [&sim](size_t i) {
                sim.saveState();
                sim.announce(i);
                sim.onvif->networkChanged(i);
            },
            [&sim](size_t i) {
                sim.devices[i].boot(sim.now());
                sim.saveState();
                sim.hello(i, zelt::wire::HelloReason::Boot);
                sim.onvif->networkChanged(i);
            });
        onvif->onClockSet([&sim](size_t) { sim.saveState(); });
        if (!onvif->open(sim.transport.interfaces(), &error)) {
            std::cerr << "zelt-devsim: ONVIF: " << error << "\n";
            return 1;
        }
        for (size_t i : onvifDevices)
            if (!onvif->addDevice(i, &error)) {
                std::cerr << "zelt-devsim: ONVIF: " << error << "\n";
                return 1;
            }
        if (onvif->tlsCreated())
            sim.saveState();
        sim.onvif = onvif.get();
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    std::string names;
    for (auto &i : sim.transport.interfaces())
        names += (names.empty() ? "" : ",") + i.name;
    std::printf("zelt-devsim: %zu devices on %s port %u (interfaces %s)%s\n", sim.devices.size(),
                settings.group.c_str(), unsigned(settings.devicePort), names.c_str(),
                fromState ? ", state restored" : "");
    std::printf("zelt-devsim: password of the devices that start active: %s\n",
                fromState ? "(kept in the state file)" : fleetOpt.password.c_str());
    std::printf("zelt-devsim: maker key %s\n", makerFile.c_str());
    std::printf("zelt-devsim: clients trust these devices with the line: %s\n",
                zelt::crypto::makerPublicKeyLine(maker.pk).c_str());
    std::printf("zelt-devsim: sign an exported key file with: zelt-devsim sign-key --maker-key '%s' DeviceKey.xml "
                "SignedDeviceKey.xml\n",
                makerFile.c_str());
    if (!quiet) {
        std::printf("%-4s %-26s %-18s %-16s %-9s %s\n", "No", "Serial", "MAC", "IPv4", "State", "Security code");
        for (size_t i = 0; i < sim.devices.size(); ++i) {
            const auto &r = sim.devices[i].record();
            char ip[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, r.ipv4.data(), ip, sizeof ip);
            std::printf("%03zu  %-26s %-18s %-16s %-9s %s\n", i + 1, r.serial.c_str(),
                        zelt::wire::macText(r.mac).c_str(), ip, r.inactive ? "inactive" : "active",
                        sim.devices[i].state().securityCode.c_str());
        }
    }
    if (onvif) {
        std::printf("zelt-devsim: %zu devices speak ONVIF%s (WS-Discovery port %u, user admin, %s)\n",
                    onvif->deviceCount(), onvifOnly ? " only" : " too", unsigned(wsdPort),
                    onvifAuth == "both"   ? "UsernameToken or HTTP Digest"
                    : onvifAuth == "wsse" ? "UsernameToken"
                                          : "HTTP Digest");
        if (onvifTls && !quiet)
            for (size_t i : onvifDevices)
                std::printf("zelt-devsim: ONVIF over TLS: %03zu %s certificate SHA-256 %s\n", i + 1,
                            sim.devices[i].record().serial.c_str(), devsim::tlsFingerprint(sim.tls[i].certPem).c_str());
    }
    std::printf("zelt-devsim: listening\n");
    std::fflush(stdout);
    if (!readyFile.empty())
        writeFileAtomically(readyFile, "ready\n");

    // Boot announcements, spread so that a large fleet does not burst.
    double spread = std::min(2.0, sim.devices.size() / 5000.0);
    for (size_t i = 0; i < sim.devices.size(); ++i)
        sim.timers.push(
            {Clock::now() + std::chrono::microseconds(int64_t(spread * 1e6 * double(sim.rng() % 1000) / 1000.0)),
             Timer::Boot, i, 0, 0, 0});
    if (churn > 0)
        sim.after(churn, Timer::Churn, 0);
    if (onvif)
        for (size_t i : onvifDevices)
            onvif->announce(i);

    std::vector<uint8_t> buf(zelt::wire::kMaxDatagram + 1);
    while (!g_stop) {
        auto nowTp = Clock::now();
        int budget = 2000; // keep reading the socket even while answers are due
        while (!sim.timers.empty() && sim.timers.top().at <= nowTp && budget-- > 0) {
            Timer t = sim.timers.top();
            sim.timers.pop();
            sim.onTimer(t);
        }
        int timeout = 200;
        if (!sim.timers.empty()) {
            auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(sim.timers.top().at - Clock::now())
                            .count();
            timeout = int(std::clamp<long long>(wait, 0, 200));
        }
        const int zeltFds[4] = {sim.transport.receiveFd(), sim.transport.receiveFd6(), sim.transport.unicastFd(),
                                sim.transport.unicastFd6()};
        std::vector<pollfd> fds;
        for (int fd : zeltFds)
            fds.push_back({fd, POLLIN, 0});
        if (onvif) {
            onvif->runTimers();
            onvif->pollFds(fds);
            const int due = onvif->msUntilNextTimer();
            if (due >= 0)
                timeout = std::min(timeout, due);
        }
        if (poll(fds.data(), nfds_t(fds.size()), timeout) > 0) {
            for (int k = 0; k < 4; ++k) {
                if (!(fds[size_t(k)].revents & POLLIN))
                    continue;
                for (int j = 0; j < 256; ++j) {
                    zelt::net::Received info;
                    long n = zelt::net::receiveFrom(zeltFds[k], buf.data(), buf.size(), &info);
                    if (n < 0)
                        break;
                    Arrival arrival;
                    arrival.family = k == 1 || k == 3 ? AF_INET6 : AF_INET;
                    arrival.unicast = k >= 2;
                    arrival.from = info.from;
                    arrival.to = info.to;
                    arrival.fromPort = info.fromPort;
                    // Each socket takes its own: group datagrams from the group's
                    // (the IPv6 one is bound to the port), unicast from the unicast ones.
                    if (info.to.valid() && info.to.multicast() == arrival.unicast)
                        continue;
                    sim.onDatagram(buf.data(), size_t(n), arrival);
                }
            }
            if (onvif)
                onvif->handle(fds, 4);
        } else if (onvif) {
            onvif->handle(fds, fds.size()); // idle connections still end
        }
    }
    if (onvif)
        onvif->sayGoodbye();
    for (size_t i = 0; i < sim.devices.size(); ++i)
        if (sim.online[i])
            sim.bye(i);
    sim.saveState();
    std::printf("zelt-devsim: %llu requests opened, %llu could not be opened, %llu answered from cache; "
                "%llu answers to inquiries, %llu held back by the rate limit, %llu inquiries refused, "
                "%llu answered with an answer already due, %llu not answered (too many due); "
                "largest timer queue %zu\n",
                (unsigned long long)sim.openedRequests, (unsigned long long)sim.droppedRequests,
                (unsigned long long)sim.cachedRequests, (unsigned long long)sim.answers,
                (unsigned long long)sim.limitedAnswers, (unsigned long long)sim.refusedInquiries,
                (unsigned long long)sim.mergedAnswers, (unsigned long long)sim.droppedAnswers, sim.largestQueue);
    if (sim.unicastInquiries || sim.unicastRequests)
        std::printf("zelt-devsim: by unicast: %llu inquiries, %llu requests\n",
                    (unsigned long long)sim.unicastInquiries, (unsigned long long)sim.unicastRequests);
    if (onvif)
        std::printf("zelt-devsim: ONVIF: %llu probes, %llu matches, %llu calls, %llu failed logins, %llu malformed or "
                    "dropped, %llu probes refused (MessageID too long), %llu matches over a source's budget, "
                    "%llu connections shed (slow, or making room)\n",
                    (unsigned long long)onvif->stats.probes, (unsigned long long)onvif->stats.matches,
                    (unsigned long long)onvif->stats.calls, (unsigned long long)onvif->stats.authFailures,
                    (unsigned long long)onvif->stats.dropped, (unsigned long long)onvif->stats.refusedProbes,
                    (unsigned long long)onvif->stats.limitedMatches, (unsigned long long)onvif->stats.shed);
    std::fflush(stdout);
    return 0;
}
