#include "onvif_client.h"

#include "log.h"
#include "zelt_sdk.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace zelt::onvif {

namespace {

std::once_flag g_curlInit;

struct Sink {
    std::string data;
    bool tooLarge = false;
};

size_t onData(char *p, size_t size, size_t n, void *user)
{
    auto *s = static_cast<Sink *>(user);
    const size_t len = size * n;
    if (s->data.size() + len > kMaxSoap) {
        s->tooLarge = true;
        return 0; // aborts the transfer
    }
    s->data.append(p, len);
    return len;
}

} // namespace

std::string configuredUser()
{
    const char *u = std::getenv("ZELT_ONVIF_USER");
    return u && *u && std::strlen(u) <= 64 ? std::string(u) : std::string("admin");
}

uint32_t faultCode(const Fault &f)
{
    const std::string ter = std::string("{") + ns::ter + "}";
    auto is = [&](const char *local) { return f.subcode == ter + local; };
    if (is("NotAuthorized") || is("FailedAuthentication"))
        return ZELT_ERR_WRONG_PASSWORD;
    if (is("ActionNotSupported") || is("NoSuchService"))
        return ZELT_ERR_NOT_SUPPORTED;
    if (is("InvalidArgVal") || is("InvalidArgs") || is("InvalidIPv4Address") || is("InvalidNetworkInterface")
        || is("InvalidGatewayAddress") || is("ServiceNotSupported") || is("PortAlreadyInUse") || is("InvalidDHCP"))
        return ZELT_ERR_BAD_PARAMETERS;
    return ZELT_ERR_PROTOCOL;
}

bool splitHttpUrl(const std::string &url, std::string &host, uint16_t &port, bool *https)
{
    std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (url.size() > 512)
        return false;
    CURLU *u = curl_url();
    if (!u)
        return false;
    bool ok = false;
    char *scheme = nullptr, *h = nullptr, *p = nullptr;
    if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK
        && curl_url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK
        && curl_url_get(u, CURLUPART_HOST, &h, 0) == CURLUE_OK
        && curl_url_get(u, CURLUPART_PORT, &p, CURLU_DEFAULT_PORT) == CURLUE_OK
        && (std::strcmp(scheme, "http") == 0 || std::strcmp(scheme, "https") == 0)) {
        // An address literal, IPv4 or IPv6 (in brackets, without a zone): no
        // name is ever looked up for a device.
        std::string literal = h;
        if (literal.size() > 2 && literal.front() == '[' && literal.back() == ']')
            literal = literal.substr(1, literal.size() - 2);
        in_addr a;
        in6_addr a6;
        long v = std::strtol(p, nullptr, 10);
        if ((inet_pton(AF_INET, literal.c_str(), &a) == 1 || inet_pton(AF_INET6, literal.c_str(), &a6) == 1) && v > 0
            && v < 65536) {
            host = literal;
            port = uint16_t(v);
            if (https)
                *https = std::strcmp(scheme, "https") == 0;
            ok = true;
        }
    }
    curl_free(scheme);
    curl_free(h);
    curl_free(p);
    curl_url_cleanup(u);
    return ok;
}

namespace {

int pinIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// Runs during the handshake: the leaf certificate must be the pinned one
// (or, at first contact, is recorded). Refusing here ends the connection
// before a byte of the request is sent. The chain is not judged: devices
// present self-signed certificates, the pin is what identifies them.
int checkPin(int, X509_STORE_CTX *store)
{
    if (X509_STORE_CTX_get_error_depth(store) != 0)
        return 1;
    auto *ssl = static_cast<SSL *>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto *pin = ssl ? static_cast<CertificatePin *>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), pinIndex())) : nullptr;
    X509 *cert = X509_STORE_CTX_get_current_cert(store);
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (!pin || !cert || X509_digest(cert, EVP_sha256(), md, &len) != 1)
        return 0;
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned i = 0; i < len; ++i)
        hex += {digits[md[i] >> 4], digits[md[i] & 15]};
    pin->seen = hex;
    if (!pin->expected.empty() && pin->expected != hex) {
        pin->mismatch = true;
        return 0;
    }
    return 1;
}

CURLcode onSslContext(CURL *, void *ctx, void *user)
{
    auto *sslCtx = static_cast<SSL_CTX *>(ctx);
    SSL_CTX_set_ex_data(sslCtx, pinIndex(), user);
    SSL_CTX_set_min_proto_version(sslCtx, TLS1_2_VERSION);
    SSL_CTX_set_verify(sslCtx, SSL_VERIFY_PEER, checkPin);
    return CURLE_OK;
}

size_t onHeader(char *p, size_t size, size_t n, void *user)
{
    const size_t len = size * n;
    static constexpr char kChallenge[] = "www-authenticate:";
    if (len > sizeof kChallenge - 1 && strncasecmp(p, kChallenge, sizeof kChallenge - 1) == 0) {
        std::string v(p + sizeof kChallenge - 1, len - (sizeof kChallenge - 1));
        v.erase(0, v.find_first_not_of(' '));
        if (strncasecmp(v.c_str(), "digest", 6) == 0)
            *static_cast<bool *>(user) = true;
    }
    return len;
}

} // namespace

Client::Client(std::string url, int timeoutMs, const std::atomic<bool> *abort, CertificatePin *pin)
    : url_(std::move(url))
    , timeoutMs_(timeoutMs)
    , abort_(abort)
    , pin_(pin)
{
    std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

uint32_t Client::post(const std::string &soap, const Credentials *digest, std::string &reply)
{
    const bool https = url_.compare(0, 8, "https://") == 0;
    if (https && !pin_)
        return ZELT_ERR_INTERNAL; // HTTPS without a pin would trust anyone
    CURL *c = curl_easy_init();
    CURLM *multi = curl_multi_init();
    if (!c || !multi) {
        curl_easy_cleanup(c);
        curl_multi_cleanup(multi);
        return ZELT_ERR_INTERNAL;
    }
    Sink sink;
    challenged_ = false;
    curl_slist *headers = curl_slist_append(nullptr, "Content-Type: application/soap+xml; charset=utf-8");
    headers = curl_slist_append(headers, "Expect:");
    curl_easy_setopt(c, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_NOPROXY, "*"); // a device on the segment, never through a proxy
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(timeoutMs_));
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(timeoutMs_));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, soap.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, long(soap.size()));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onData);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &challenged_);
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE, long(kMaxSoap));
    if (https) {
        // Judged by the pin in the handshake instead of a certificate authority.
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(c, CURLOPT_SSL_SESSIONID_CACHE, 0L); // a resumed session skips the check
        curl_easy_setopt(c, CURLOPT_SSL_CTX_FUNCTION, onSslContext);
        curl_easy_setopt(c, CURLOPT_SSL_CTX_DATA, pin_);
    }
    if (digest) {
        // Digest only: curl never falls back to Basic with this mask.
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_DIGEST));
        curl_easy_setopt(c, CURLOPT_USERNAME, digest->user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, digest->password.c_str());
    }
    // The multi interface so that a stop ends the transfer at once.
    curl_multi_add_handle(multi, c);
    CURLcode rc = CURLE_OK;
    bool aborted = false;
    for (int running = 1;;) {
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            rc = CURLE_FAILED_INIT;
            break;
        }
        if (!running) {
            int left = 0;
            while (CURLMsg *m = curl_multi_info_read(multi, &left))
                if (m->msg == CURLMSG_DONE)
                    rc = m->data.result;
            break;
        }
        if (abort_ && abort_->load()) {
            aborted = true;
            break;
        }
        curl_multi_poll(multi, nullptr, 0, 50, nullptr);
    }
    status_ = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status_);
    curl_multi_remove_handle(multi, c);
    curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
    curl_easy_cleanup(c);
    if (aborted)
        return ZELT_ERR_NOT_STARTED;
    if (pin_ && pin_->mismatch) {
        log::write(1, "ONVIF %s: certificate %s is not the pinned one, nothing sent", url_.c_str(), pin_->seen.c_str());
        return ZELT_ERR_CERT_CHANGED;
    }
    if (sink.tooLarge || rc == CURLE_FILESIZE_EXCEEDED) {
        log::write(2, "ONVIF %s: answer over %zu bytes, dropped", url_.c_str(), kMaxSoap);
        return ZELT_ERR_PROTOCOL;
    }
    if (rc == CURLE_OPERATION_TIMEDOUT || rc == CURLE_COULDNT_CONNECT)
        return ZELT_ERR_TIMEOUT;
    if (rc != CURLE_OK) {
        log::write(2, "ONVIF %s: %s", url_.c_str(), curl_easy_strerror(rc));
        return ZELT_ERR_NETWORK;
    }
    reply = std::move(sink.data);
    return ZELT_ERR_NONE;
}

uint32_t Client::answer(const std::string &reply, Node &out)
{
    if (status_ == 401)
        return ZELT_ERR_WRONG_PASSWORD;
    auto doc = parse(reply.data(), reply.size());
    if (!doc || !body(*doc)) {
        log::write(2, "ONVIF %s: HTTP %ld, malformed answer of %zu bytes dropped", url_.c_str(), status_, reply.size());
        return ZELT_ERR_PROTOCOL;
    }
    if (auto f = fault(*doc)) {
        log::write(2, "ONVIF %s: fault %s %s", url_.c_str(), f->subcode.c_str(), f->reason.c_str());
        return faultCode(*f);
    }
    if (status_ != 200)
        return ZELT_ERR_PROTOCOL;
    out = std::move(*doc);
    return ZELT_ERR_NONE;
}

uint32_t Client::call(const std::string &bodyXml, const Credentials *cred, Node &out)
{
    std::string reply;
    uint32_t rc;
    if (!cred)
        return (rc = post(envelope(bodyXml), nullptr, reply)) != ZELT_ERR_NONE ? rc : answer(reply, out);
    if (mode_ != Mode::Token) {
        // Digest first: the device's nonce makes the answer worthless to
        // anyone who relays it elsewhere or later.
        if ((rc = post(envelope(bodyXml), cred, reply)) != ZELT_ERR_NONE)
            return rc;
        if (challenged_ || mode_ == Mode::Digest) {
            mode_ = Mode::Digest;
            return answer(reply, out);
        }
        // The device never asked for Digest: it wants the token.
        if (!tokenAllowed_) {
            log::write(1, "ONVIF %s: the device wants a UsernameToken, which was not allowed here", url_.c_str());
            return ZELT_ERR_NOT_CONSENTED;
        }
        mode_ = Mode::Token;
    }
    reply.clear();
    rc = post(envelope(bodyXml, securityHeader(cred->user, cred->password, time(nullptr) + offset_)), nullptr, reply);
    return rc != ZELT_ERR_NONE ? rc : answer(reply, out);
}

uint32_t Client::syncClock()
{
    Node env;
    uint32_t rc = call(request("GetSystemDateAndTime"), nullptr, env);
    if (rc != ZELT_ERR_NONE)
        return rc;
    auto t = readSystemTime(env);
    if (!t)
        return ZELT_ERR_PROTOCOL;
    offset_ = long(*t - time(nullptr));
    daylightSavings_ = readDaylightSavings(env).value_or(false);
    return ZELT_ERR_NONE;
}

} // namespace zelt::onvif
