// SOAP calls to one ONVIF device service over HTTP (libcurl). Credentials go
// as a WS-Security UsernameToken with PasswordDigest; a device that answers
// 401 is asked again with HTTP Digest. The password is never sent in clear:
// plain HTTP Basic is not offered, redirects are not followed, and only
// http:// is spoken.
#pragma once

#include "onvif.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace zelt::onvif {

struct Credentials {
    std::string user, password;
};

// The user name of ONVIF calls: $ZELT_ONVIF_USER, else "admin".
std::string configuredUser();

// What a failed call means as a ZELT_ERR_* code.
uint32_t faultCode(const Fault &f);

class Client
{
public:
    Client(std::string url, int timeoutMs);
    // The device's clock runs this many seconds ahead of ours (UsernameToken
    // creation times are stamped in the device's time).
    void setClockOffset(long seconds) { offset_ = seconds; }
    // ZELT_ERR_NONE with the answer's envelope in `out`, or why not.
    uint32_t call(const std::string &bodyXml, const Credentials *cred, Node &out);
    // Reads the device's clock (no credentials needed) and keeps the offset.
    uint32_t syncClock();
    long lastHttpStatus() const { return status_; }

private:
    uint32_t post(const std::string &soap, const Credentials *digest, std::string &reply);
    std::string url_;
    int timeoutMs_;
    long offset_ = 0;
    long status_ = 0;
};

// Scheme, host and port of an XAddr through libcurl's URL parser; false for
// anything but http:// with an IPv4 literal.
bool splitHttpUrl(const std::string &url, std::string &host, uint16_t &port);

} // namespace zelt::onvif
