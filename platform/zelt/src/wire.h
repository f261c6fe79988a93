// Wire format of the ZELT discovery and command protocol (version 2).
// Every datagram is hostile until decode() accepted it: lengths are bounded,
// the version is checked, and trailing or missing bytes reject the message.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zelt::wire {

constexpr uint8_t kMagic0 = 'Z';
constexpr uint8_t kMagic1 = 'T';
constexpr uint8_t kVersion = 2;
constexpr size_t kHeaderSize = 16;
constexpr size_t kMaxDatagram = 1472; // one Ethernet frame of UDP payload
constexpr size_t kMaxCipher = 1200;
constexpr size_t kSecretBlock = 128; // a command's secrets are padded to a multiple of this
constexpr size_t kBoxPublicKey = 32;
constexpr size_t kBoxNonce = 24;
constexpr size_t kBoxMac = 16;
constexpr size_t kSignPublicKey = 32;
constexpr size_t kSignature = 64;

enum class Type : uint8_t { Inquiry = 1, Hello = 2, Bye = 3, Request = 4, Response = 5 };

using Mac = std::array<uint8_t, 6>;
using Ip4 = std::array<uint8_t, 4>;
using Ip6 = std::array<uint8_t, 16>;
using Bytes = std::vector<uint8_t>;
using SignPublicKey = std::array<uint8_t, kSignPublicKey>;
using Signature = std::array<uint8_t, kSignature>;

// The maker's word that a device (serial number and MAC, carried in the
// record it comes with) owns an identity key.
struct Certificate {
    SignPublicKey identity{}; // the device's long-term Ed25519 key
    uint64_t issued = 0;      // seconds since 1970
    Signature signature{};    // by the maker's key
    bool operator==(const Certificate &) const = default;
};

struct Inquiry {
    uint64_t clientId = 0;
    uint32_t seq = 0;
    uint16_t windowMs = 0; // devices answer after a random delay within this window
    Mac target{};          // all zero: every device; else only the device with this MAC
};

// What a device says about itself; the SDK turns it into ZELT_DEVICE_INFO.
struct DeviceRecord {
    std::string serial; // <= 47
    Mac mac{};
    Ip4 ipv4{}, mask{}, gateway{};
    Ip6 ipv6{}, ipv6Gateway{};
    uint8_t ipv6Prefix = 0;
    uint32_t type = 0, port = 0, channels = 0, disks = 0;
    uint16_t httpPort = 0;
    uint8_t support = 0, dhcp = 0, extended = 0, inactive = 0;
    std::string softVersion, dspVersion, bootTime; // <= 47 each
    std::string description;                       // <= 23
    uint32_t bootId = 0;                           // boot counter: grows with every (simulated) start
    uint32_t configVersion = 0;                    // changes with every change of the fields above
    std::array<uint8_t, kBoxPublicKey> boxKey{};   // per-boot X25519 key for commands, signed with the hello
    bool operator==(const DeviceRecord &) const = default;
};

enum class HelloReason : uint8_t { Answer = 0, Boot = 1, Change = 2 };

// A hello is signed by the device's identity key over the record and the
// certificate (the "signed part"); reason, inquiry ids and uptime change
// with every copy and are outside the signature.
struct Hello {
    HelloReason reason = HelloReason::Answer;
    uint64_t clientId = 0; // inquiry answered, 0 for announcements
    uint32_t seq = 0;
    uint64_t uptimeMs = 0; // the device's clock, for the freshness stamp of commands
    DeviceRecord device;
    Certificate cert;
    Signature signature{};
    Bytes signedPart; // filled by decode(): the bytes the signature covers
};

// Signed by the identity key over serial, MAC and boot counter.
struct Bye {
    std::string serial;
    Mac mac{};
    uint32_t bootId = 0;
    SignPublicKey identity{};
    Signature signature{};
};

// A command, sealed for one device's boot key with the client's session
// key for requests; the clear header is the additional data of the seal. A
// retransmission is the same datagram.
struct Request {
    Mac mac{};
    std::string serial;
    uint64_t clientId = 0;
    uint32_t requestId = 0;
    std::array<uint8_t, kBoxPublicKey> clientKey{}; // the client's key exchange key (one per SDK run)
    std::array<uint8_t, kBoxNonce> nonce{};
    Bytes cipher; // <= kMaxCipher
};

struct Response {
    Mac mac{};
    std::string serial;
    uint64_t clientId = 0;
    uint32_t requestId = 0;
    std::array<uint8_t, kBoxNonce> nonce{};
    Bytes cipher;
};

struct Message {
    Type type = Type::Inquiry;
    uint64_t msgId = 0; // sender-unique; receivers drop duplicates
    Inquiry inquiry;
    Hello hello;
    Bye bye;
    Request request;
    Response response;
};

Bytes encode(const Message &m);
std::optional<Message> decode(const uint8_t *data, size_t size);

// What the hello's and bye's signatures cover.
Bytes helloSignedPart(const DeviceRecord &d, const Certificate &c);
Bytes byeSignedPart(const Bye &b);
// Additional data of a request's and a response's seal: the clear header.
Bytes requestHeader(const Request &r);
Bytes responseHeader(const Response &r);

// Commands, inside the sealed box.
enum class Command : uint8_t {
    SetNet = 1,
    Activate = 2,
    RestoreDefault = 3,
    GetKey = 4,
    ResetPassword = 5,
    SetTime = 6,
};

enum NetFlags : uint8_t {
    kSetIpv4 = 1,
    kSetMask = 2,
    kSetGateway = 4,
    kSetIpv6 = 8,
    kSetIpv6Gateway = 16,
    kSetPort = 32,
    kSetHttp = 64,
};

struct CommandBody {
    Command command = Command::GetKey;
    uint64_t clientId = 0; // repeated inside the box: binds the outer header
    uint32_t requestId = 0;
    Mac mac{};
    std::string password;     // SetNet, Activate (new password) <= 64
    std::string securityCode; // RestoreDefault, ResetPassword <= 255
    Bytes keyFile;            // ResetPassword <= 1024
    std::string newPassword;  // ResetPassword <= 16 (may be empty)
    uint8_t netFlags = 0;
    Ip4 ipv4{}, mask{}, gateway{};
    Ip6 ipv6{}, ipv6Gateway{};
    uint8_t ipv6Prefix = 0, dhcp = 0;
    uint16_t port = 0, httpPort = 0;
    uint64_t stampMs = 0; // the client's estimate of the device's uptime: stale requests are refused
    uint64_t timeMs = 0;  // SetTime only: UTC in ms since 1970, the client's clock when it sealed the request
};

struct CommandResult {
    uint32_t requestId = 0;
    uint8_t status = 0;      // a ZELT_ERR_* code, 0 = done
    uint16_t retryAfter = 0; // seconds left of a lockout
    Bytes data;              // GetKey: the key bytes (<= 256); SetTime: a ClockReading
};

// The answer to SetTime: the device's clock (UTC, ms since 1970) before and
// after it was set.
struct ClockReading {
    uint64_t beforeMs = 0, afterMs = 0;
};
Bytes encodeClockReading(const ClockReading &c);
std::optional<ClockReading> decodeClockReading(const Bytes &data);

constexpr size_t kMaxKeyFile = 1024;
constexpr size_t kMaxKeyData = 256;

Bytes encodeCommand(const CommandBody &c);
std::optional<CommandBody> decodeCommand(const uint8_t *data, size_t size);
Bytes encodeResult(const CommandResult &r);
std::optional<CommandResult> decodeResult(const uint8_t *data, size_t size);

std::string macText(const Mac &mac);                  // "aa-bb-cc-dd-ee-ff"
std::optional<Mac> parseMac(const std::string &text); // '-' or ':' separated

} // namespace zelt::wire
