#include "crypto.h"

#include "xmlstrict.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace zelt::crypto {

bool init()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = sodium_init() >= 0; });
    return ok;
}

BoxKeyPair newBoxKeyPair()
{
    init();
    BoxKeyPair kp;
    crypto_box_keypair(kp.pk.data(), kp.sk.data());
    return kp;
}

void randomBytes(uint8_t *p, size_t n)
{
    init();
    randombytes_buf(p, n);
}
uint32_t randomU32()
{
    init();
    return randombytes_random();
}
uint64_t randomU64()
{
    return (uint64_t(randomU32()) << 32) | randomU32();
}
uint32_t uniform(uint32_t upper)
{
    init();
    return upper ? randombytes_uniform(upper) : 0;
}

bool passwordAcceptable(const std::string &pw)
{
    if (pw.size() < 8 || pw.size() > 16)
        return false;
    bool digit = false, lower = false, upper = false, other = false;
    for (unsigned char ch : pw) {
        if (ch >= '0' && ch <= '9')
            digit = true;
        else if (ch >= 'a' && ch <= 'z')
            lower = true;
        else if (ch >= 'A' && ch <= 'Z')
            upper = true;
        else
            other = true;
    }
    return int(digit) + int(lower) + int(upper) + int(other) >= 2;
}

namespace {
constexpr unsigned long long kOps = 2;
constexpr size_t kMem = 1u << 20;
} // namespace

std::string hashPassword(const std::string &password)
{
    init();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), kOps, kMem, crypto_pwhash_ALG_ARGON2ID13) != 0)
        return {};
    return out;
}

bool verifyPassword(const std::string &hash, const std::string &password)
{
    if (hash.empty() || hash.size() >= crypto_pwhash_STRBYTES)
        return false;
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

SignKeyPair newSignKeyPair()
{
    init();
    SignKeyPair kp;
    crypto_sign_keypair(kp.pk.data(), kp.sk.data());
    return kp;
}

std::string toHex(const uint8_t *p, size_t n)
{
    std::string s(n * 2 + 1, '\0');
    sodium_bin2hex(s.data(), s.size(), p, n);
    s.pop_back();
    return s;
}

bool fromHex(const std::string &hex, uint8_t *out, size_t n)
{
    size_t got = 0;
    if (hex.size() != n * 2)
        return false;
    return sodium_hex2bin(out, n, hex.data(), hex.size(), nullptr, &got, nullptr) == 0 && got == n;
}

std::string toBase64(const uint8_t *p, size_t n)
{
    const int variant = sodium_base64_VARIANT_ORIGINAL;
    std::string s(sodium_base64_ENCODED_LEN(n, variant), '\0');
    sodium_bin2base64(s.data(), s.size(), p, n, variant);
    s.resize(std::strlen(s.c_str()));
    return s;
}

std::optional<wire::Bytes> fromBase64(const std::string &text, size_t maxOut)
{
    wire::Bytes out(maxOut);
    size_t got = 0;
    if (sodium_base642bin(out.data(), out.size(), text.data(), text.size(), " \r\n\t", &got, nullptr,
                          sodium_base64_VARIANT_ORIGINAL)
        != 0)
        return std::nullopt;
    out.resize(got);
    return out;
}

namespace {

const char kSignContext[] = "ZELT-DEVICE-KEY-V1";

wire::Bytes signedMessage(const std::string &keyData)
{
    wire::Bytes msg;
    msg.reserve(sizeof kSignContext + keyData.size());
    for (char c : kSignContext)
        msg.push_back(uint8_t(c)); // the context, its NUL included
    msg.insert(msg.end(), keyData.begin(), keyData.end());
    return msg;
}

} // namespace

std::string makeKeyData(const std::string &serial, const std::string &mac, const std::string &nonceHex)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DeviceKey version=\"1\" serial=\"" + serial + "\" mac=\"" + mac
           + "\" nonce=\"" + nonceHex + "\"/>\n";
}

std::optional<KeyData> parseKeyData(const std::string &text)
{
    if (text.size() > wire::kMaxKeyData)
        return std::nullopt;
    auto doc = xml::parseDocument(text, 1);
    if (!doc || doc->name != "DeviceKey" || !doc->hasExactly({"version", "serial", "mac", "nonce"}))
        return std::nullopt;
    if (*doc->attribute("version") != "1" || !doc->text.empty())
        return std::nullopt;
    KeyData k{*doc->attribute("serial"), *doc->attribute("mac"), *doc->attribute("nonce")};
    uint8_t nonce[16];
    if (k.serial.empty() || k.serial.size() > 47 || !wire::parseMac(k.mac) || !fromHex(k.nonce, nonce, sizeof nonce))
        return std::nullopt;
    return k;
}

std::optional<std::string> signKeyFile(const std::string &keyData, const SignKeyPair &maker)
{
    init();
    if (!parseKeyData(keyData))
        return std::nullopt;
    wire::Bytes msg = signedMessage(keyData);
    std::array<uint8_t, crypto_sign_BYTES> sig{};
    crypto_sign_detached(sig.data(), nullptr, msg.data(), msg.size(), maker.sk.data());
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SignedDeviceKey version=\"1\">\n<Key>"
           + toBase64(reinterpret_cast<const uint8_t *>(keyData.data()), keyData.size()) + "</Key>\n<Signature>"
           + toBase64(sig.data(), sig.size()) + "</Signature>\n</SignedDeviceKey>\n";
}

std::optional<KeyData> verifySignedKeyFile(const std::string &file, const std::array<uint8_t, 32> &makerPk)
{
    init();
    if (file.size() > wire::kMaxKeyFile)
        return std::nullopt;
    auto doc = xml::parseDocument(file, 2);
    if (!doc || doc->name != "SignedDeviceKey" || !doc->hasExactly({"version"}) || *doc->attribute("version") != "1"
        || doc->children.size() != 2)
        return std::nullopt;
    const xml::Element &keyEl = doc->children[0], &sigEl = doc->children[1];
    if (keyEl.name != "Key" || sigEl.name != "Signature" || !keyEl.attributes.empty() || !sigEl.attributes.empty()
        || !keyEl.children.empty() || !sigEl.children.empty())
        return std::nullopt;
    auto key = fromBase64(keyEl.text, wire::kMaxKeyData);
    auto sig = fromBase64(sigEl.text, crypto_sign_BYTES);
    if (!key || !sig || sig->size() != crypto_sign_BYTES)
        return std::nullopt;
    std::string keyData(key->begin(), key->end());
    wire::Bytes msg = signedMessage(keyData);
    if (crypto_sign_verify_detached(sig->data(), msg.data(), msg.size(), makerPk.data()) != 0)
        return std::nullopt;
    return parseKeyData(keyData);
}

namespace {

// Every signature has its own context, so that no signed text can be
// passed off as another kind.
wire::Bytes withContext(const char *context, const wire::Bytes &data)
{
    wire::Bytes msg(context, context + std::strlen(context) + 1); // the NUL included
    msg.insert(msg.end(), data.begin(), data.end());
    return msg;
}

wire::Signature signWith(const char *context, const wire::Bytes &data, const std::array<uint8_t, 64> &sk)
{
    init();
    wire::Bytes msg = withContext(context, data);
    wire::Signature sig{};
    crypto_sign_detached(sig.data(), nullptr, msg.data(), msg.size(), sk.data());
    return sig;
}

bool verifyWith(const char *context, const wire::Bytes &data, const wire::Signature &sig, const wire::SignPublicKey &pk)
{
    init();
    wire::Bytes msg = withContext(context, data);
    return crypto_sign_verify_detached(sig.data(), msg.data(), msg.size(), pk.data()) == 0;
}

wire::Bytes certificateBody(const std::string &serial, const wire::Mac &mac, const wire::SignPublicKey &identity,
                            uint64_t issued)
{
    wire::Bytes b;
    b.push_back(uint8_t(serial.size()));
    b.insert(b.end(), serial.begin(), serial.end());
    b.insert(b.end(), mac.begin(), mac.end());
    b.insert(b.end(), identity.begin(), identity.end());
    for (int i = 0; i < 8; ++i)
        b.push_back(uint8_t(issued >> (8 * i)));
    return b;
}

const char kCertContext[] = "ZELT-DEVICE-CERT-V1";
const char kHelloContext[] = "ZELT-HELLO-V2";
const char kByeContext[] = "ZELT-BYE-V2";
const char kMakerLine[] = "ZELT-MAKER-ED25519-PUBLIC ";

} // namespace

wire::Certificate issueCertificate(const std::string &serial, const wire::Mac &mac, const wire::SignPublicKey &identity,
                                   uint64_t issued, const SignKeyPair &maker)
{
    wire::Certificate c;
    c.identity = identity;
    c.issued = issued;
    c.signature = signWith(kCertContext, certificateBody(serial, mac, identity, issued), maker.sk);
    return c;
}

bool verifyCertificate(const wire::Certificate &cert, const std::string &serial, const wire::Mac &mac,
                       const wire::SignPublicKey &makerPk)
{
    if (serial.empty() || serial.size() > 47)
        return false;
    return verifyWith(kCertContext, certificateBody(serial, mac, cert.identity, cert.issued), cert.signature, makerPk);
}

CertificateHash certificateHash(const wire::Certificate &cert, const std::string &serial, const wire::Mac &mac)
{
    init();
    const wire::Bytes body = withContext(kCertContext, certificateBody(serial, mac, cert.identity, cert.issued));
    CertificateHash h{};
    crypto_generichash_state st;
    crypto_generichash_init(&st, nullptr, 0, h.size());
    crypto_generichash_update(&st, body.data(), body.size());
    crypto_generichash_update(&st, cert.signature.data(), cert.signature.size());
    crypto_generichash_final(&st, h.data(), h.size());
    return h;
}

wire::Signature signHello(const wire::DeviceRecord &rec, const wire::Certificate &cert, const SignKeyPair &identity)
{
    return signWith(kHelloContext, wire::helloSignedPart(rec, cert), identity.sk);
}

bool verifyHello(const wire::Hello &h)
{
    const wire::Bytes part = h.signedPart.empty() ? wire::helloSignedPart(h.device, h.cert) : h.signedPart;
    return verifyWith(kHelloContext, part, h.signature, h.cert.identity);
}

wire::Signature signBye(const wire::Bye &bye, const SignKeyPair &identity)
{
    return signWith(kByeContext, wire::byeSignedPart(bye), identity.sk);
}

bool verifyBye(const wire::Bye &bye, const wire::SignPublicKey &identity)
{
    return bye.identity == identity && verifyWith(kByeContext, wire::byeSignedPart(bye), bye.signature, identity);
}

std::string makerPublicKeyLine(const wire::SignPublicKey &pk)
{
    return kMakerLine + toHex(pk.data(), pk.size());
}

std::vector<wire::SignPublicKey> parseTrustedMakers(const std::string &text)
{
    std::vector<wire::SignPublicKey> keys;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        line = line.substr(0, line.find('#'));
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t'))
            line.pop_back();
        if (line.rfind(kMakerLine, 0) != 0)
            continue;
        wire::SignPublicKey pk{};
        if (fromHex(line.substr(sizeof kMakerLine - 1), pk.data(), pk.size())
            && std::find(keys.begin(), keys.end(), pk) == keys.end())
            keys.push_back(pk);
    }
    return keys;
}

SessionKeys::~SessionKeys()
{
    sodium_memzero(rx.data(), rx.size());
    sodium_memzero(tx.data(), tx.size());
}

bool clientSessionKeys(const BoxKeyPair &client, const PublicKey &deviceBootKey, SessionKeys &out)
{
    init();
    return crypto_kx_client_session_keys(out.rx.data(), out.tx.data(), client.pk.data(), client.sk.data(),
                                         deviceBootKey.data())
           == 0;
}

bool deviceSessionKeys(const BoxKeyPair &device, const PublicKey &clientKey, SessionKeys &out)
{
    init();
    return crypto_kx_server_session_keys(out.rx.data(), out.tx.data(), device.pk.data(), device.sk.data(),
                                         clientKey.data())
           == 0;
}

namespace {

void aeadSeal(const SharedKey &key, const wire::Bytes &plain, const wire::Bytes &ad,
              std::array<uint8_t, wire::kBoxNonce> &nonce, wire::Bytes &cipher)
{
    static_assert(crypto_aead_xchacha20poly1305_ietf_NPUBBYTES == wire::kBoxNonce);
    static_assert(crypto_aead_xchacha20poly1305_ietf_ABYTES == wire::kBoxMac);
    randombytes_buf(nonce.data(), nonce.size());
    cipher.resize(plain.size() + wire::kBoxMac);
    unsigned long long n = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt(cipher.data(), &n, plain.data(), plain.size(), ad.data(), ad.size(),
                                               nullptr, nonce.data(), key.data());
    cipher.resize(size_t(n));
}

std::optional<wire::Bytes> aeadOpen(const SharedKey &key, const std::array<uint8_t, wire::kBoxNonce> &nonce,
                                    const wire::Bytes &cipher, const wire::Bytes &ad)
{
    if (cipher.size() < wire::kBoxMac)
        return std::nullopt;
    wire::Bytes plain(cipher.size() - wire::kBoxMac);
    unsigned long long n = 0;
    if (crypto_aead_xchacha20poly1305_ietf_decrypt(plain.data(), &n, nullptr, cipher.data(), cipher.size(), ad.data(),
                                                   ad.size(), nonce.data(), key.data())
        != 0)
        return std::nullopt;
    plain.resize(size_t(n));
    return plain;
}

} // namespace

void sealRequest(wire::Request &req, const wire::CommandBody &body, const SessionKeys &client)
{
    wire::Bytes plain = wire::encodeCommand(body);
    aeadSeal(client.tx, plain, wire::requestHeader(req), req.nonce, req.cipher);
    sodium_memzero(plain.data(), plain.size());
}

std::optional<wire::CommandBody> openRequest(const wire::Request &req, const SessionKeys &device)
{
    auto plain = aeadOpen(device.rx, req.nonce, req.cipher, wire::requestHeader(req));
    if (!plain)
        return std::nullopt;
    auto body = wire::decodeCommand(plain->data(), plain->size());
    sodium_memzero(plain->data(), plain->size());
    return body;
}

void sealResponse(wire::Response &resp, const wire::CommandResult &result, const SessionKeys &device)
{
    aeadSeal(device.tx, wire::encodeResult(result), wire::responseHeader(resp), resp.nonce, resp.cipher);
}

std::optional<wire::CommandResult> openResponse(const wire::Response &resp, const SessionKeys &client)
{
    auto plain = aeadOpen(client.rx, resp.nonce, resp.cipher, wire::responseHeader(resp));
    if (!plain)
        return std::nullopt;
    return wire::decodeResult(plain->data(), plain->size());
}

} // namespace zelt::crypto
