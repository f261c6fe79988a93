// The simulator's ONVIF side: devices that answer WS-Discovery (UDP, the
// multicast groups joined on the chosen interfaces, IPv4 and IPv6) and serve
// the ONVIF device service over HTTP (or HTTPS only), one listener per device
// on each of its own addresses (IPv4, IPv6) this host has, else on each
// interface's addresses with a port of its own. Changes go to the same
// device state the ZELT side announces.
#pragma once

#include "device.h"
#include "net.h"
#include "onvif.h"
#include "tls.h"

#include <poll.h>
#include <netinet/in.h>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace devsim {

struct OnvifOptions {
    std::string auth = "both"; // wsse (UsernameToken), digest (HTTP Digest) or both
    std::string password;      // what the ONVIF devices check (the devices know it in clear, as ONVIF needs)
    std::string user = "admin";
    uint16_t discoveryPort = zelt::onvif::kDiscoveryPort;
    int lockoutSeconds = 60;
    double tokenWindowSeconds = 300; // how far a UsernameToken's creation time may lie from the clock
    bool verbose = false;
    // Takes a token again within its window (some clients send one token with
    // several requests); off by default, as a repeated token may be a replay.
    bool allowTokenReuse = false;
    // The device service over HTTPS only, each device with its TLS identity
    // (created when it has none; renewTls: fleet indices that get a new one).
    bool tls = false;
    std::set<size_t> renewTls;
};

class OnvifSim
{
public:
    using Clock = std::chrono::steady_clock;
    // changed(i): the device's network settings changed; rebooted(i): it restarted.
    // tls: the devices' TLS identities, in the fleet's order; addDevice
    // fills in those it creates (the caller keeps them in the state file).
    OnvifSim(std::vector<zelt::Device> &devices, std::vector<TlsIdentity> &tls, OnvifOptions opt,
             std::function<void(size_t)> changed, std::function<void(size_t)> rebooted);
    ~OnvifSim();
    OnvifSim(const OnvifSim &) = delete;
    OnvifSim &operator=(const OnvifSim &) = delete;

    // clockSet(i): the device's clock was set (nothing to announce, only to keep).
    void onClockSet(std::function<void(size_t)> clockSet) { clockSet_ = std::move(clockSet); }
    bool open(const std::vector<zelt::net::Interface> &ifs, std::string *error);
    bool addDevice(size_t index, std::string *error);
    bool tlsCreated() const { return tlsCreated_; } // a TLS identity was made: save the state
    size_t deviceCount() const { return devs_.size(); }
    bool speaks(size_t index) const { return byIndex_.count(index) != 0; }

    // The main loop polls these, calls handle() with the results, and
    // runs due timers (answers are spread over the probe's answer delay).
    void pollFds(std::vector<pollfd> &out);
    void handle(const std::vector<pollfd> &fds, size_t from);
    int msUntilNextTimer() const; // -1 when none is due
    void runTimers();

    void announce(size_t index); // Hello (boot, or after a change)
    void sayGoodbye();           // Bye of every device
    // The listener follows the device's address; then Hello.
    void networkChanged(size_t index);

    struct Stats {
        uint64_t probes = 0, matches = 0, calls = 0, authFailures = 0, dropped = 0;
        uint64_t refusedProbes = 0, limitedMatches = 0; // MessageID too long; over a source's budget
        uint64_t shed = 0;                              // connections closed: too slow, or making room for others
    } stats;

private:
    using Address = zelt::net::Address;
    struct Listener {
        int fd = -1;
        Address addr;
        uint16_t port = 0;
        bool own = false; // on the device's own address, not an interface's
    };
    struct Own { // the device's own address of one family, listened on
        bool on = false;
        Address addr;
        uint16_t port = 0;
        int ifindex = 0; // the interface that holds it, 0 if unknown
    };
    struct DigestNonce {
        double issued = 0;
        uint32_t lastNc = 0; // highest nonce count taken
        bool used = false;   // taken without qop (no nonce count): once only
    };
    struct Dev {
        size_t index = 0;
        std::string uuid;
        uint32_t metadataVersion = 1, messageNumber = 0;
        std::vector<Listener> listeners;
        Own own4, own6;
        bool ownAddress() const { return own4.on || own6.on; }
        const Own &own(int family) const { return family == AF_INET6 ? own6 : own4; }
        size_t matchBytes = 0; // a ProbeMatches of this device without RelatesTo; 0 = not known yet
        // HTTP Digest nonces this device issued, oldest first: a nonce is
        // good only here, and each answer to it (nc) only once.
        std::map<std::string, DigestNonce> digestNonces;
        std::deque<std::string> digestOrder;
        int failures = 0, lockLevel = 0;
        double lockedUntil = 0;
        TlsMaterial tls;
    };
    struct Conn {
        int fd = -1;
        size_t dev = 0; // index into devs_
        Address peer;   // the client's address
        SSL *ssl = nullptr;
        bool handshaken = false;
        bool wantWrite = false; // TLS must write before it goes on
        bool headDone = false;
        std::string in, out;
        size_t sent = 0;
        Clock::time_point accepted, last;
        bool reading() const { return out.empty(); }
    };
    struct Budget { // of a source address: bytes of ProbeMatches it may still draw
        double bytes = 0;
        Clock::time_point at;
    };
    struct Pending {
        Clock::time_point at;
        size_t dev;
        Address to;
        uint16_t port;
        std::string relatesTo;
        int ifindex;
    };

    double now() const;
    void relisten(Dev &d);
    void closeListeners(Dev &d);
    void open6();
    bool onInterface(const Address &a, int ifindex) const;
    // family: of the listeners named (0: every one, for the largest answer).
    std::vector<std::string> xaddrs(const Dev &d, int ifindex, int family) const;
    zelt::onvif::Endpoint endpoint(const Dev &d, int ifindex, int family) const;
    void onDiscovery(int fd);
    // only: the devices a probe sent to one address reaches (null: all, for the group).
    void answerProbe(const Address &from, uint16_t port, const std::string &messageId, int ifindex,
                     const std::vector<size_t> *only = nullptr);
    size_t matchBytes(Dev &d);
    // The address the device's datagrams of this family come from on this
    // interface: the host of its XAddr there (none: it is not served so).
    Address sourceFor(const Dev &d, int ifindex, int family) const;
    void sendFrom(const std::string &msg, const Address &to, uint16_t port, const Address &from, int ifindex);
    // One message on each interface and family (only the device's own
    // interface when it has one), with the XAddrs there, from the device's
    // address there.
    void multicast(Dev &d, bool hello);
    void accept(const Listener &l, size_t dev);
    void drop(std::map<int, Conn>::iterator it);
    // Each moves the connection on as far as it goes without blocking; false
    // when it is over (answered, closed by the client, or refused).
    bool step(Conn &c);
    bool readRequest(Conn &c);
    bool writeAnswer(Conn &c);
    bool tlsWait(Conn &c, int result); // after an SSL call that did not complete
    // family: the client's, whose service address the answers name.
    std::string respond(Dev &d, int family, const std::string &head, const std::string &body);
    std::string soap(Dev &d, int family, const zelt::onvif::Node &env, bool httpAuthorized, int &status,
                     bool &challenge);
    bool checkToken(Dev &d, const zelt::onvif::UsernameToken &t);
    // Stale: the nonce is not (or no longer) one of this device's; Refused:
    // an answer not for this request, or one taken before (a replay). Both
    // say nothing about the password. Wrong: a wrong password, a failed attempt.
    enum class Digest { Ok, Stale, Refused, Wrong };
    Digest checkDigest(Dev &d, const std::string &authorization, const std::string &uri);
    std::string digestChallenge(Dev &d, bool stale = false);
    void failure(Dev &d);
    bool locked(const Dev &d) const { return now() < d.lockedUntil; }

    std::vector<zelt::Device> &devices_;
    std::vector<TlsIdentity> &tlsIds_;
    OnvifOptions opt_;
    SSL_CTX *tlsCtx_ = nullptr;
    bool tlsCreated_ = false;
    std::function<void(size_t)> changed_, rebooted_, clockSet_;
    std::vector<zelt::net::Interface> ifs_;
    int wsd_ = -1, wsd6_ = -1; // the IPv6 one: -1 where the host has no IPv6
    std::vector<Dev> devs_;
    std::map<size_t, size_t> byIndex_; // fleet index -> devs_ index
    std::map<int, Conn> conns_;
    std::vector<Pending> pending_; // a heap by time
    std::map<Address, Budget> budgets_;
    size_t probeCursor_ = 0; // the device that answers first, turning, so that a budget cut hits each in turn
    // UsernameTokens taken (nonce and creation time), fleet-wide: the devices
    // share this process, so a token one of them took is refused by the others.
    struct TakenToken {
        size_t dev;
        double at;
        time_t created;
    };
    std::map<std::string, TakenToken> tokens_;
    std::deque<std::string> tokenOrder_;
    time_t tokenFloor_ = 0; // tokens created at or before this were forgotten: refused
    uint32_t instanceId_;
    Clock::time_point start_ = Clock::now();
};

} // namespace devsim
