// Multicast transport shared by the SDK and the device simulator: one
// receiving socket bound to the group and port, joined on every chosen
// interface, and one sending socket pinned to each interface.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zelt::net {

struct Settings {
    std::string group = "239.255.47.81";
    uint16_t devicePort = 47810; // devices listen here; clients on devicePort + 1
    std::string interfaces;      // comma-separated names; empty = every usable one
    uint16_t clientPort() const { return uint16_t(devicePort + 1); }
};

// Reads ZELT_GROUP, ZELT_PORT and ZELT_INTERFACES over the defaults.
Settings settingsFromEnvironment();

struct Interface {
    std::string name;
    unsigned index = 0;
    in_addr address{};
    in_addr mask{};
    bool loopback = false;
};

// The chosen interfaces. With a list, every named interface must be up and
// have an IPv4 address (lo is accepted although it lacks the multicast
// flag); without one, every up, multicast-capable, non-loopback interface,
// or lo when there is none.
std::vector<Interface> chooseInterfaces(const std::string &names, std::string *error);

// Sends one datagram to group:port through fd once on each interface, the
// socket pinned to it for that send (TTL 0 keeps loopback traffic on this
// host; one hop otherwise). A send that fails is not retried: discovery
// messages are repeated by their senders anyway.
void sendOnEachInterface(int fd, const std::vector<Interface> &ifs, const char *group, uint16_t port,
                         const std::string &datagram);

class Transport
{
public:
    Transport() = default;
    ~Transport();
    Transport(const Transport &) = delete;
    Transport &operator=(const Transport &) = delete;

    // Listens on group:listenPort; sends to group:sendPort.
    bool open(const Settings &s, uint16_t listenPort, uint16_t sendPort, std::string *error);
    void close();
    int receiveFd() const { return rx_; }
    // Reads one datagram without blocking; -1 when none is waiting.
    long receive(uint8_t *buf, size_t cap);
    // Sends on every interface; true if at least one send succeeded.
    bool send(const uint8_t *data, size_t size);
    const std::vector<Interface> &interfaces() const { return ifs_; }

private:
    int rx_ = -1;
    std::vector<int> tx_;
    std::vector<Interface> ifs_;
    sockaddr_in dest_{};
};

} // namespace zelt::net
