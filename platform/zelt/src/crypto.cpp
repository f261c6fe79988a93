#include "crypto.h"

#include <sodium.h>

#include <cstring>
#include <mutex>

namespace zelt::crypto {

bool init() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = sodium_init() >= 0; });
    return ok;
}

BoxKeyPair newBoxKeyPair() {
    init();
    BoxKeyPair kp;
    crypto_box_keypair(kp.pk.data(), kp.sk.data());
    return kp;
}

bool sharedKey(const PublicKey &peer, const SecretKey &own, SharedKey &out) {
    return crypto_box_beforenm(out.data(), peer.data(), own.data()) == 0;
}

void seal(const SharedKey &key, const wire::Bytes &plain, std::array<uint8_t, wire::kBoxNonce> &nonce, wire::Bytes &cipher) {
    randombytes_buf(nonce.data(), nonce.size());
    cipher.resize(plain.size() + crypto_box_MACBYTES);
    crypto_box_easy_afternm(cipher.data(), plain.data(), plain.size(), nonce.data(), key.data());
}

std::optional<wire::Bytes> open(const SharedKey &key, const std::array<uint8_t, wire::kBoxNonce> &nonce, const wire::Bytes &cipher) {
    if (cipher.size() < crypto_box_MACBYTES) return std::nullopt;
    wire::Bytes plain(cipher.size() - crypto_box_MACBYTES);
    if (crypto_box_open_easy_afternm(plain.data(), cipher.data(), cipher.size(), nonce.data(), key.data()) != 0)
        return std::nullopt;
    return plain;
}

void randomBytes(uint8_t *p, size_t n) { init(); randombytes_buf(p, n); }
uint32_t randomU32() { init(); return randombytes_random(); }
uint64_t randomU64() { return (uint64_t(randomU32()) << 32) | randomU32(); }
uint32_t uniform(uint32_t upper) { init(); return upper ? randombytes_uniform(upper) : 0; }

bool passwordAcceptable(const std::string &pw) {
    if (pw.size() < 8 || pw.size() > 16) return false;
    bool digit = false, lower = false, upper = false, other = false;
    for (unsigned char ch : pw) {
        if (ch >= '0' && ch <= '9') digit = true;
        else if (ch >= 'a' && ch <= 'z') lower = true;
        else if (ch >= 'A' && ch <= 'Z') upper = true;
        else other = true;
    }
    return int(digit) + int(lower) + int(upper) + int(other) >= 2;
}

namespace {
constexpr unsigned long long kOps = 2;
constexpr size_t kMem = 1u << 20;
}

std::string hashPassword(const std::string &password) {
    init();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), kOps, kMem, crypto_pwhash_ALG_ARGON2ID13) != 0)
        return {};
    return out;
}

bool verifyPassword(const std::string &hash, const std::string &password) {
    if (hash.empty() || hash.size() >= crypto_pwhash_STRBYTES) return false;
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

SignKeyPair newSignKeyPair() {
    init();
    SignKeyPair kp;
    crypto_sign_keypair(kp.pk.data(), kp.sk.data());
    return kp;
}

std::string toHex(const uint8_t *p, size_t n) {
    std::string s(n * 2 + 1, '\0');
    sodium_bin2hex(s.data(), s.size(), p, n);
    s.pop_back();
    return s;
}

bool fromHex(const std::string &hex, uint8_t *out, size_t n) {
    size_t got = 0;
    if (hex.size() != n * 2) return false;
    return sodium_hex2bin(out, n, hex.data(), hex.size(), nullptr, &got, nullptr) == 0 && got == n;
}

std::string toBase64(const uint8_t *p, size_t n) {
    const int variant = sodium_base64_VARIANT_ORIGINAL;
    std::string s(sodium_base64_ENCODED_LEN(n, variant), '\0');
    sodium_bin2base64(s.data(), s.size(), p, n, variant);
    s.resize(std::strlen(s.c_str()));
    return s;
}

std::optional<wire::Bytes> fromBase64(const std::string &text, size_t maxOut) {
    wire::Bytes out(maxOut);
    size_t got = 0;
    if (sodium_base642bin(out.data(), out.size(), text.data(), text.size(), " \r\n\t", &got, nullptr,
                          sodium_base64_VARIANT_ORIGINAL) != 0)
        return std::nullopt;
    out.resize(got);
    return out;
}

namespace {

// Attribute value of name="..." inside text; the values we write never
// contain quotes, so a plain search is enough for our own format.
std::optional<std::string> attribute(const std::string &text, const std::string &name) {
    const std::string key = " " + name + "=\"";
    size_t at = text.find(key);
    if (at == std::string::npos) return std::nullopt;
    at += key.size();
    size_t end = text.find('"', at);
    if (end == std::string::npos || end - at > 64) return std::nullopt;
    return text.substr(at, end - at);
}

std::optional<std::string> element(const std::string &text, const std::string &name) {
    const std::string open = "<" + name + ">", close = "</" + name + ">";
    size_t at = text.find(open);
    if (at == std::string::npos) return std::nullopt;
    at += open.size();
    size_t end = text.find(close, at);
    if (end == std::string::npos) return std::nullopt;
    return text.substr(at, end - at);
}

const char kSignContext[] = "ZELT-DEVICE-KEY-V1";

wire::Bytes signedMessage(const std::string &keyData) {
    wire::Bytes msg;
    msg.reserve(sizeof kSignContext + keyData.size());
    for (char c : kSignContext) msg.push_back(uint8_t(c));  // the context, its NUL included
    msg.insert(msg.end(), keyData.begin(), keyData.end());
    return msg;
}

}  // namespace

std::string makeKeyData(const std::string &serial, const std::string &mac, const std::string &nonceHex) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DeviceKey version=\"1\" serial=\"" + serial + "\" mac=\"" + mac +
           "\" nonce=\"" + nonceHex + "\"/>\n";
}

std::optional<KeyData> parseKeyData(const std::string &text) {
    if (text.size() > wire::kMaxKeyData || text.find("<DeviceKey ") == std::string::npos) return std::nullopt;
    auto serial = attribute(text, "serial"), mac = attribute(text, "mac"), nonce = attribute(text, "nonce");
    if (!serial || !mac || !nonce || serial->empty() || nonce->size() != 32) return std::nullopt;
    return KeyData{*serial, *mac, *nonce};
}

std::optional<std::string> signKeyFile(const std::string &keyData, const SignKeyPair &maker) {
    init();
    if (!parseKeyData(keyData)) return std::nullopt;
    wire::Bytes msg = signedMessage(keyData);
    std::array<uint8_t, crypto_sign_BYTES> sig{};
    crypto_sign_detached(sig.data(), nullptr, msg.data(), msg.size(), maker.sk.data());
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SignedDeviceKey version=\"1\">\n<Key>" +
           toBase64(reinterpret_cast<const uint8_t *>(keyData.data()), keyData.size()) + "</Key>\n<Signature>" +
           toBase64(sig.data(), sig.size()) + "</Signature>\n</SignedDeviceKey>\n";
}

std::optional<KeyData> verifySignedKeyFile(const std::string &file, const std::array<uint8_t, 32> &makerPk) {
    init();
    if (file.size() > wire::kMaxKeyFile || file.find("<SignedDeviceKey") == std::string::npos) return std::nullopt;
    auto keyB64 = element(file, "Key"), sigB64 = element(file, "Signature");
    if (!keyB64 || !sigB64) return std::nullopt;
    auto key = fromBase64(*keyB64, wire::kMaxKeyData);
    auto sig = fromBase64(*sigB64, crypto_sign_BYTES);
    if (!key || !sig || sig->size() != crypto_sign_BYTES) return std::nullopt;
    std::string keyData(key->begin(), key->end());
    wire::Bytes msg = signedMessage(keyData);
    if (crypto_sign_verify_detached(sig->data(), msg.data(), msg.size(), makerPk.data()) != 0) return std::nullopt;
    return parseKeyData(keyData);
}

}  // namespace zelt::crypto
