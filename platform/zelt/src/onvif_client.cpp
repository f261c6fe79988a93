#include "onvif_client.h"

#include "log.h"
#include "zelt_sdk.h"

#include <arpa/inet.h>
#include <curl/curl.h>

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

bool splitHttpUrl(const std::string &url, std::string &host, uint16_t &port)
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
        && curl_url_get(u, CURLUPART_PORT, &p, CURLU_DEFAULT_PORT) == CURLUE_OK && std::strcmp(scheme, "http") == 0) {
        in_addr a;
        long v = std::strtol(p, nullptr, 10);
        if (inet_pton(AF_INET, h, &a) == 1 && v > 0 && v < 65536) {
            host = h;
            port = uint16_t(v);
            ok = true;
        }
    }
    curl_free(scheme);
    curl_free(h);
    curl_free(p);
    curl_url_cleanup(u);
    return ok;
}

Client::Client(std::string url, int timeoutMs) : url_(std::move(url)), timeoutMs_(timeoutMs)
{
    std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

uint32_t Client::post(const std::string &soap, const Credentials *digest, std::string &reply)
{
    CURL *c = curl_easy_init();
    if (!c)
        return ZELT_ERR_INTERNAL;
    Sink sink;
    curl_slist *headers = curl_slist_append(nullptr, "Content-Type: application/soap+xml; charset=utf-8");
    headers = curl_slist_append(headers, "Expect:");
    curl_easy_setopt(c, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http");
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
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE, long(kMaxSoap));
    if (digest) {
        // Digest only: curl never falls back to Basic with this mask.
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, long(CURLAUTH_DIGEST));
        curl_easy_setopt(c, CURLOPT_USERNAME, digest->user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, digest->password.c_str());
    }
    CURLcode rc = curl_easy_perform(c);
    status_ = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status_);
    curl_slist_free_all(headers);
    curl_easy_cleanup(c);
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

uint32_t Client::call(const std::string &bodyXml, const Credentials *cred, Node &out)
{
    std::string header;
    if (cred)
        header = securityHeader(cred->user, cred->password, time(nullptr) + offset_);
    std::string reply;
    uint32_t rc = post(envelope(bodyXml, header), nullptr, reply);
    if (rc != ZELT_ERR_NONE)
        return rc;
    if (status_ == 401 && cred) {
        // The device wants HTTP authentication instead of (or besides) the token.
        reply.clear();
        rc = post(envelope(bodyXml), cred, reply);
        if (rc != ZELT_ERR_NONE)
            return rc;
        if (status_ == 401)
            return ZELT_ERR_WRONG_PASSWORD;
    }
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
    return ZELT_ERR_NONE;
}

} // namespace zelt::onvif
