// Thin wrappers over libsodium for the protocol: device identities and
// maker certificates (Ed25519), signed announcements, sealed commands
// (X25519 session keys, one for each direction, and XChaCha20-Poly1305),
// stored password hashes (Argon2id), maker-signed key files and the
// password policy.
#pragma once

#include "wire.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace zelt::crypto {

bool init(); // idempotent; false if libsodium cannot start

using PublicKey = std::array<uint8_t, wire::kBoxPublicKey>;
using SecretKey = std::array<uint8_t, 32>;
using SharedKey = std::array<uint8_t, 32>;

struct BoxKeyPair {
    PublicKey pk{};
    SecretKey sk{};
};
BoxKeyPair newBoxKeyPair();

void randomBytes(uint8_t *p, size_t n);
uint32_t randomU32();
uint64_t randomU64();
uint32_t uniform(uint32_t upperExclusive);

// Password policy of the devices: 8 to 16 bytes, at least two of digits,
// lower-case, upper-case and other characters.
bool passwordAcceptable(const std::string &password);

// Argon2id hash string; cost kept low because one simulator process plays
// thousands of devices. Empty string on failure.
std::string hashPassword(const std::string &password);
bool verifyPassword(const std::string &hash, const std::string &password);

// Maker signing keys and key files.
struct SignKeyPair {
    std::array<uint8_t, 32> pk{};
    std::array<uint8_t, 64> sk{};
};
SignKeyPair newSignKeyPair();
// Key data a device exports: small XML text naming the device and a one-time nonce.
std::string makeKeyData(const std::string &serial, const std::string &mac, const std::string &nonceHex);
struct KeyData {
    std::string serial, mac, nonce;
};
// Strict: one DeviceKey element with exactly the attributes version="1",
// serial, mac (a valid MAC) and nonce (32 hex digits).
std::optional<KeyData> parseKeyData(const std::string &text);
// Signed key file (what the maker hands back); nullopt if the input is not key data.
std::optional<std::string> signKeyFile(const std::string &keyData, const SignKeyPair &maker);
// Verifies a signed key file against the maker's public key; returns the key data inside.
std::optional<KeyData> verifySignedKeyFile(const std::string &file, const std::array<uint8_t, 32> &makerPk);

// Device identities. The certificate binds serial number, MAC and identity
// key under the maker's signature.
wire::Certificate issueCertificate(const std::string &serial, const wire::Mac &mac, const wire::SignPublicKey &identity,
                                   uint64_t issued, const SignKeyPair &maker);
bool verifyCertificate(const wire::Certificate &cert, const std::string &serial, const wire::Mac &mac,
                       const wire::SignPublicKey &makerPk);
// BLAKE2b-256 of everything a certificate check covers (serial number, MAC,
// identity key, issue date, signature): equal hashes, equal certificates.
using CertificateHash = std::array<uint8_t, 32>;
CertificateHash certificateHash(const wire::Certificate &cert, const std::string &serial, const wire::Mac &mac);
wire::Signature signHello(const wire::DeviceRecord &rec, const wire::Certificate &cert, const SignKeyPair &identity);
bool verifyHello(const wire::Hello &hello); // against the identity key named in its certificate
wire::Signature signBye(const wire::Bye &bye, const SignKeyPair &identity);
bool verifyBye(const wire::Bye &bye, const wire::SignPublicKey &identity);

// The maker's public key as one line of text, as trust stores hold it.
std::string makerPublicKeyLine(const wire::SignPublicKey &pk);
// Every maker key in a trust store text: lines "ZELT-MAKER-ED25519-PUBLIC
// <64 hex digits>", '#' starts a comment; other lines are skipped.
std::vector<wire::SignPublicKey> parseTrustedMakers(const std::string &text);

// Session keys of one client key pair with one device boot key: what the
// client sends is sealed with its tx key, which is the device's rx key, and
// the other way round, so a request reflected back never opens as an answer.
struct SessionKeys {
    SharedKey rx{}, tx{};
    ~SessionKeys();
};
bool clientSessionKeys(const BoxKeyPair &client, const PublicKey &deviceBootKey, SessionKeys &out);
bool deviceSessionKeys(const BoxKeyPair &device, const PublicKey &clientKey, SessionKeys &out);
// Request and response seals: the clear header is the additional data.
void sealRequest(wire::Request &req, const wire::CommandBody &body, const SessionKeys &client);
std::optional<wire::CommandBody> openRequest(const wire::Request &req, const SessionKeys &device);
void sealResponse(wire::Response &resp, const wire::CommandResult &result, const SessionKeys &device);
std::optional<wire::CommandResult> openResponse(const wire::Response &resp, const SessionKeys &client);

std::string toHex(const uint8_t *p, size_t n);
bool fromHex(const std::string &hex, uint8_t *out, size_t n);
std::string toBase64(const uint8_t *p, size_t n);
std::optional<wire::Bytes> fromBase64(const std::string &text, size_t maxOut);

} // namespace zelt::crypto
