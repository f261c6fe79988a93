// The ONVIF side of discovery and configuration: WS-Discovery messages and
// the device service's SOAP calls, read through libxml2 into a small tree
// and written from templates with escaped text. Shared by the SDK (client),
// the device simulator (server), the tests and the fuzz target. Every input
// is hostile: sizes, depth and node counts are bounded, documents with a
// DTD are refused, and what does not parse is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelt::onvif {

constexpr size_t kMaxDatagram = 32768;  // a WS-Discovery message in one UDP datagram
constexpr size_t kMaxSoap = 256 * 1024; // a SOAP request or answer
constexpr size_t kMaxDepth = 32;
constexpr size_t kMaxNodes = 4096;
constexpr uint16_t kDiscoveryPort = 3702;
constexpr const char *kDiscoveryGroup = "239.255.255.250";
constexpr const char *kDiscoveryGroup6 = "ff02::c"; // link-local scope

namespace ns {
constexpr const char *soap = "http://www.w3.org/2003/05/soap-envelope";
constexpr const char *wsa = "http://schemas.xmlsoap.org/ws/2004/08/addressing";
constexpr const char *wsd = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
constexpr const char *dn = "http://www.onvif.org/ver10/network/wsdl";
constexpr const char *tds = "http://www.onvif.org/ver10/device/wsdl";
constexpr const char *tt = "http://www.onvif.org/ver10/schema";
constexpr const char *ter = "http://www.onvif.org/ver10/error";
constexpr const char *wsse = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd";
constexpr const char *wsu = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd";
} // namespace ns
constexpr const char *kPasswordDigestType =
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-username-token-profile-1.0#PasswordDigest";
constexpr const char
    *kBase64Encoding = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-soap-message-security-1.0#Base64Binary";

// One element: namespace URI, local name, attributes by local name, the
// concatenated character data of the element itself, children in order.
// Text holding QNames (wsd:Types) is stored resolved, "{uri}local" each.
struct Node {
    std::string ns, name, text;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<Node> children;

    const Node *child(std::string_view ns, std::string_view name) const;
    // The first descendant (depth first) with this name; ns empty = any.
    const Node *find(std::string_view ns, std::string_view name) const;
    std::vector<const Node *> all(std::string_view ns, std::string_view name) const;
    const std::string *attribute(std::string_view name) const;
    // Text of a child, empty if there is none.
    std::string childText(std::string_view ns, std::string_view name) const;
};

// The whole document, or nullopt when it is not well-formed XML within the bounds.
std::optional<Node> parse(const char *data, size_t size);

std::string escape(std::string_view text);
std::string newUuid();                                       // random, "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx"
std::string isoTime(time_t t);                               // "2024-01-31T12:00:00Z"
std::optional<time_t> parseIsoTime(const std::string &text); // UTC; fractions and offsets accepted

// --- WS-Discovery ---

struct Endpoint {
    std::string address;            // endpoint reference ("urn:uuid:…")
    std::vector<std::string> types; // "{uri}local"
    std::vector<std::string> scopes;
    std::vector<std::string> xaddrs;
    uint32_t metadataVersion = 0;
    bool isVideoDevice() const; // tds:Device or dn:NetworkVideoTransmitter among the types
};

struct DiscoveryMessage {
    enum Kind { Probe, ProbeMatches, Hello, Bye, Other } kind = Other;
    std::string messageId, relatesTo;
    std::vector<Endpoint> endpoints;     // one for Hello and Bye, any number for ProbeMatches
    std::vector<std::string> probeTypes; // Probe: wanted types, resolved
    std::vector<std::string> probeScopes;
};
std::optional<DiscoveryMessage> parseDiscovery(const char *data, size_t size);

std::string probeMessage(const std::string &messageId);
std::string probeMatchesMessage(const std::string &relatesTo, const Endpoint &e, uint32_t instanceId,
                                uint32_t messageNumber);
std::string helloMessage(const Endpoint &e, uint32_t instanceId, uint32_t messageNumber);
std::string byeMessage(const Endpoint &e, uint32_t instanceId, uint32_t messageNumber);

// What a device's scopes say: "onvif://www.onvif.org/name/…", "…/hardware/…",
// "…/location/…", "…/mac/…" (not standard, but some devices give it).
struct ScopeInfo {
    std::string name, hardware, location, mac;
};
ScopeInfo readScopes(const std::vector<std::string> &scopes);
// Percent-decoded scope value.
std::string scopeValue(const std::string &scope, const std::string &prefix);

// --- WS-Security UsernameToken ---

// Base64(SHA-1(nonce + created + password)).
std::string passwordDigest(const std::string &nonce, const std::string &created, const std::string &password);
// A wsse:Security header with a fresh 16-byte nonce and this creation time.
std::string securityHeader(const std::string &user, const std::string &password, time_t created);

struct UsernameToken {
    std::string user, password, passwordType, nonce /* decoded */, created;
};
// The token in a SOAP header, if any.
std::optional<UsernameToken> findUsernameToken(const Node &envelope);

// --- SOAP ---

std::string envelope(const std::string &body, const std::string &header = {});
// First element of the SOAP body, or null.
const Node *body(const Node &envelope);
struct Fault {
    std::string code, subcode, reason;
}; // subcode: "{uri}local" when it resolves
std::optional<Fault> fault(const Node &envelope);
std::string faultEnvelope(const std::string &code, const std::string &subcodeQName, const std::string &reason);

// Requests of the device service (tds), as the client writes them.
std::string request(const std::string &operation, const std::string &innerXml = {});

// --- Device service contents ---

struct DeviceInformation {
    std::string manufacturer, model, firmware, serial, hardwareId;
};
std::optional<DeviceInformation> readDeviceInformation(const Node &envelope);

struct NetworkInterface {
    std::string token, name, mac; // mac as the device writes it
    bool enabled = true, ipv4Enabled = true, dhcp = false;
    std::string address; // manual (or, under DHCP, the leased) IPv4 address
    int prefix = 0;
    // The IPv6 part, when the device gives one (it can be set then).
    bool hasIpv6 = false, ipv6Enabled = false;
    std::string ipv6Dhcp;    // Off, Auto, Stateful or Stateless
    std::string ipv6Address; // the first manual address, else one it was given (DHCPv6, router advertisement)
    int ipv6Prefix = 0;
};
std::optional<std::vector<NetworkInterface>> readNetworkInterfaces(const Node &envelope);
std::optional<std::string> readDefaultGateway(const Node &envelope);  // first IPv4 address
std::optional<std::string> readDefaultGateway6(const Node &envelope); // first IPv6 address
std::optional<int> readHttpPort(const Node &envelope);                // of GetNetworkProtocols
std::optional<bool> readRebootNeeded(const Node &envelope);
// GetSystemDateAndTime: the device's UTC clock.
std::optional<time_t> readSystemTime(const Node &envelope);
// GetSystemDateAndTime: whether the device applies daylight saving time.
std::optional<bool> readDaylightSavings(const Node &envelope);
// A tt:DateTime element (tt:Date and tt:Time) as UTC.
std::optional<time_t> readDateTime(const Node &dateTime);

std::string setNetworkInterfacesBody(const std::string &token, bool dhcp, const std::string &address, int prefix);
std::string setDefaultGatewayBody(const std::string &gateway);
// IPv6 of an interface, IPv4 left as it is: a manual address (DHCP Off), or
// with `automatic` none, DHCP Auto and router advertisements (the device
// takes DHCPv6 or SLAAC as its routers say).
struct Ipv6Settings {
    bool automatic = false;
    std::string address;
    int prefix = 64;
};
std::string setNetworkInterfacesIpv6Body(const std::string &token, const Ipv6Settings &v6);
// Both gateways, each left out when empty.
std::string setDefaultGatewaysBody(const std::string &ipv4, const std::string &ipv6);
std::string setHttpPortBody(int port);
// Manual time, set to `utc`; the time zone is not sent, so the device keeps its own.
std::string setSystemDateAndTimeBody(time_t utc, bool daylightSavings);

int prefixFromMask(const std::string &mask); // -1 when not a contiguous IPv4 mask
std::string maskFromPrefix(int prefix);

} // namespace zelt::onvif
