#include "tls.h"

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <functional>

namespace devsim {

namespace {

template <typename T, void (*Free)(T *)>
struct Deleter {
    void operator()(T *p) const { Free(p); }
};
using Bio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using Cert = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;

std::string pem(const std::function<int(BIO *)> &write)
{
    Bio b(BIO_new(BIO_s_mem()));
    if (!b || write(b.get()) != 1)
        return {};
    char *data = nullptr;
    const long n = BIO_get_mem_data(b.get(), &data);
    return n > 0 ? std::string(data, size_t(n)) : std::string();
}

bool extension(X509 *cert, int nid, const char *value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION *e = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!e)
        return false;
    const bool ok = X509_add_ext(cert, e, -1) == 1;
    X509_EXTENSION_free(e);
    return ok;
}

} // namespace

TlsIdentity newTlsIdentity(const std::string &commonName)
{
    Key key(EVP_EC_gen("P-256"));
    Cert cert(X509_new());
    if (!key || !cert)
        return {};
    // A random positive serial number of 128 bits.
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1)
        return {};
    serial[0] &= 0x7f;
    BIGNUM *bn = BN_bin2bn(serial, sizeof serial, nullptr);
    const bool serialOk = bn && BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
    BN_free(bn);
    X509_NAME *name = X509_get_subject_name(cert.get());
    // Valid from a day back (clients whose clock is behind), for ten years.
    const bool ok = serialOk && X509_set_version(cert.get(), 2) == 1
                    && X509_gmtime_adj(X509_getm_notBefore(cert.get()), -86400) != nullptr
                    && X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3650L * 86400) != nullptr
                    && X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                                  reinterpret_cast<const unsigned char *>(commonName.c_str()), -1, -1,
                                                  0)
                           == 1
                    && X509_set_issuer_name(cert.get(), name) == 1 && X509_set_pubkey(cert.get(), key.get()) == 1
                    && extension(cert.get(), NID_basic_constraints, "critical,CA:FALSE")
                    && extension(cert.get(), NID_key_usage, "critical,digitalSignature")
                    && extension(cert.get(), NID_ext_key_usage, "serverAuth")
                    && extension(cert.get(), NID_subject_key_identifier, "hash")
                    && X509_sign(cert.get(), key.get(), EVP_sha256()) > 0;
    if (!ok)
        return {};
    TlsIdentity id;
    id.keyPem = pem(
        [&](BIO *b) { return PEM_write_bio_PrivateKey(b, key.get(), nullptr, nullptr, 0, nullptr, nullptr); });
    id.certPem = pem([&](BIO *b) { return PEM_write_bio_X509(b, cert.get()); });
    if (id.keyPem.empty() || id.certPem.empty())
        return {};
    return id;
}

bool loadTlsIdentity(const TlsIdentity &id, TlsMaterial &out, std::string *error)
{
    auto fail = [&](const char *what) {
        if (error)
            *error = what;
        return false;
    };
    Bio kb(BIO_new_mem_buf(id.keyPem.data(), int(id.keyPem.size())));
    Bio cb(BIO_new_mem_buf(id.certPem.data(), int(id.certPem.size())));
    if (!kb || !cb)
        return fail("out of memory");
    // No pass phrase: a key that asks for one is refused rather than prompting.
    Key key(PEM_read_bio_PrivateKey(
        kb.get(), nullptr, [](char *, int, int, void *) { return -1; }, nullptr));
    Cert cert(PEM_read_bio_X509(
        cb.get(), nullptr, [](char *, int, int, void *) { return -1; }, nullptr));
    if (!key)
        return fail("the TLS key does not parse");
    if (!cert)
        return fail("the TLS certificate does not parse");
    if (X509_check_private_key(cert.get(), key.get()) != 1)
        return fail("the TLS certificate is not the key's");
    out.cert.reset(cert.release(), X509_free);
    out.key.reset(key.release(), EVP_PKEY_free);
    return true;
}

std::string tlsFingerprint(const std::string &certPem)
{
    Bio b(BIO_new_mem_buf(certPem.data(), int(certPem.size())));
    Cert cert(b ? PEM_read_bio_X509(b.get(), nullptr, nullptr, nullptr) : nullptr);
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (!cert || X509_digest(cert.get(), EVP_sha256(), md, &len) != 1)
        return {};
    std::string out;
    char hex[4];
    for (unsigned int i = 0; i < len; ++i) {
        std::snprintf(hex, sizeof hex, i ? ":%02X" : "%02X", md[i]);
        out += hex;
    }
    return out;
}

} // namespace devsim
