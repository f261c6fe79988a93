// TLS identities of the simulator's ONVIF devices: a P-256 key and a
// self-signed certificate whose common name is the serial number, kept as
// PEM in the state file so that a device presents the same certificate
// after a restart (clients pin it on first use).
#pragma once

#include <openssl/ssl.h>

#include <memory>
#include <string>

namespace devsim {

struct TlsIdentity {
    std::string keyPem, certPem;
    bool empty() const { return keyPem.empty() && certPem.empty(); }
};

// A new key and a certificate for it; empty when OpenSSL fails.
TlsIdentity newTlsIdentity(const std::string &commonName);

struct TlsMaterial {
    std::shared_ptr<X509> cert;
    std::shared_ptr<EVP_PKEY> key;
};
// Read from PEM; fails (with the reason) unless both parse and belong together.
bool loadTlsIdentity(const TlsIdentity &id, TlsMaterial &out, std::string *error);

// SHA-256 of the certificate's DER, hex pairs joined by ':'; empty if it does not parse.
std::string tlsFingerprint(const std::string &certPem);

} // namespace devsim
