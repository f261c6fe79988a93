// Transport shared by the SDK and the device simulator: multicast over IPv4
// and IPv6 (one receiving socket a family, bound to its group and port and
// joined on every chosen interface; IPv4 sends pinned to each interface,
// IPv6 sends naming the interface per datagram), and one unicast socket a
// family for the addresses of scan ranges and the devices found there.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelt::net {

// An IPv4 or IPv6 address. IPv4 takes the first four bytes.
struct Address {
    int family = 0; // AF_INET, AF_INET6, 0 = none
    std::array<uint8_t, 16> bytes{};
    uint32_t scope = 0; // interface of a link-local IPv6 address

    static Address v4(uint32_t networkOrder);
    static Address v6(const in6_addr &a, uint32_t scope = 0);
    static std::optional<Address> fromSockaddr(const sockaddr *sa, socklen_t len);
    // Literal IPv4 or IPv6 text ("fe80::1%eth0" takes the zone).
    static std::optional<Address> parse(const std::string &text);
    bool valid() const { return family != 0; }
    bool isV6() const { return family == AF_INET6; }
    uint32_t v4() const; // network order; 0 for IPv6
    bool linkLocal() const;
    bool multicast() const;
    std::string text() const;
    socklen_t toSockaddr(uint16_t port, sockaddr_storage &out) const;
    bool operator==(const Address &o) const { return family == o.family && bytes == o.bytes; }
    bool operator<(const Address &o) const { return family != o.family ? family < o.family : bytes < o.bytes; }
};

struct Settings {
    std::string group = "239.255.47.81";
    std::string group6 = "ff02::4781"; // link-local scope: stays on the link, like TTL 1
    uint16_t devicePort = 47810;       // devices listen here; clients on devicePort + 1
    std::string interfaces;            // comma-separated names; empty = every usable one
    uint16_t clientPort() const { return uint16_t(devicePort + 1); }
};

// Reads ZELT_GROUP, ZELT_GROUP6, ZELT_PORT and ZELT_INTERFACES over the defaults.
Settings settingsFromEnvironment();

struct Interface {
    std::string name;
    unsigned index = 0;
    bool has4 = false; // address and mask below are set
    in_addr address{};
    in_addr mask{};
    // IPv6 addresses other than link-local ones, with their prefix lengths.
    std::vector<std::pair<in6_addr, int>> ipv6;
    bool linkLocal6 = false; // an IPv6 link-local address: IPv6 multicast can run here
    bool loopback = false;
};

// The chosen interfaces. With a list, every named interface must be up and
// have an IPv4 or IPv6 address (lo is accepted although it lacks the
// multicast flag); without one, every up, multicast-capable, non-loopback
// interface with an address, or lo when there is none.
std::vector<Interface> chooseInterfaces(const std::string &names, std::string *error);

// Whether the host lies in the subnet of one of the interface's addresses
// (any 127.x.x.x on the loopback interface, ::1 there too).
bool inSubnet(const Address &host, const Interface &i);

// Sends one datagram to group:port through fd once on each interface that
// has IPv4, the socket pinned to it for that send (TTL 0 keeps loopback
// traffic on this host; one hop otherwise). A send that fails is not
// retried: discovery messages are repeated by their senders anyway.
void sendOnEachInterface(int fd, const std::vector<Interface> &ifs, const char *group, uint16_t port,
                         const std::string &datagram);
// The same over IPv6 (fd an IPv6 socket), on each interface with a
// link-local address, loopback excluded.
void sendOnEachInterface6(int fd, const std::vector<Interface> &ifs, const char *group, uint16_t port,
                          const std::string &datagram);

// A UDP socket of that family bound to the port (0: any), non-blocking,
// IPv6 only for IPv6, with the receiving interface and address reported
// (IP_PKTINFO, IPV6_RECVPKTINFO) and no multicast it did not join itself.
int unicastSocket(int family, uint16_t port, std::string *error);

// One datagram of fd: its length (-1 when none waits, 0 when too long) and
// where it came from, the address it was sent to and the interface it came in on.
struct Received {
    Address from, to;
    uint16_t fromPort = 0;
    int ifindex = -1;
};
long receiveFrom(int fd, uint8_t *buf, size_t cap, Received *info);

// Sends through fd to an address; `from` (optional) sets the source address
// (and for IPv6 multicast the interface `ifindex`).
bool sendTo(int fd, const Address &to, uint16_t port, const uint8_t *data, size_t size, const Address *from = nullptr,
            int ifindex = 0);

class Transport
{
public:
    enum Families { kV4 = 1, kV6 = 2, kBoth = 3 };

    Transport() = default;
    ~Transport();
    Transport(const Transport &) = delete;
    Transport &operator=(const Transport &) = delete;

    // Listens on the groups at listenPort; sends to them at sendPort. The
    // unicast sockets are bound to unicastPort (0: a port of their own).
    bool open(const Settings &s, uint16_t listenPort, uint16_t sendPort, std::string *error, uint16_t unicastPort = 0);
    void close();
    int receiveFd() const { return rx_; }   // IPv4 group
    int receiveFd6() const { return rx6_; } // IPv6 group, -1 without IPv6; drop what was not sent to a group
    int unicastFd() const { return u4_; }
    int unicastFd6() const { return u6_; }
    // Reads one datagram of the IPv4 group socket without blocking; -1 when none is waiting.
    long receive(uint8_t *buf, size_t cap);
    // Sends on every interface in the families asked for; true if at least one send succeeded.
    bool send(const uint8_t *data, size_t size, int families = kBoth);
    // Unicast to one address from the socket of its family.
    bool sendTo(const Address &to, uint16_t port, const uint8_t *data, size_t size, const Address *from = nullptr);
    const std::vector<Interface> &interfaces() const { return ifs_; }
    uint16_t sendPort() const { return sendPort_; }

private:
    int rx_ = -1, rx6_ = -1, tx6_ = -1, u4_ = -1, u6_ = -1;
    std::vector<int> tx_; // one a chosen interface, -1 where it has no IPv4
    std::vector<Interface> ifs_;
    sockaddr_in dest_{};
    sockaddr_in6 dest6_{};
    uint16_t sendPort_ = 0;
};

} // namespace zelt::net
