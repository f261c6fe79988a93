// SOAP calls to one ONVIF device service over HTTP or HTTPS (libcurl).
// Credentials go as HTTP Digest when the device asks for it (its nonce ties
// an answer to that device), else as a WS-Security UsernameToken with
// PasswordDigest. The password is never sent in clear: HTTP Basic is not
// offered, redirects are not followed. Over HTTPS the device's certificate
// is checked against a pin (or recorded for one) during the handshake,
// before anything is sent. A transfer ends within ~50 ms of `abort` turning
// true.
#pragma once

#include "onvif.h"

#include <atomic>
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

// The certificate of an HTTPS device service: `expected` (SHA-256 of the
// leaf certificate, hex) empty = first contact, record it in `seen`.
struct CertificatePin {
    std::string expected;
    std::string seen;
    bool mismatch = false;
};

class Client
{
public:
    Client(std::string url, int timeoutMs, const std::atomic<bool> *abort = nullptr, CertificatePin *pin = nullptr);
    // The device's clock runs this many seconds ahead of ours (UsernameToken
    // creation times are stamped in the device's time).
    void setClockOffset(long seconds) { offset_ = seconds; }
    long clockOffset() const { return offset_; }
    // Whether a UsernameToken may be sent when the device does not ask for
    // Digest (over plain HTTP it crosses the wire readable by anyone).
    void allowToken(bool allow) { tokenAllowed_ = allow; }
    // ZELT_ERR_NONE with the answer's envelope in `out`, or why not.
    uint32_t call(const std::string &bodyXml, const Credentials *cred, Node &out);
    // Reads the device's clock (no credentials needed) and keeps the offset.
    uint32_t syncClock();
    // What the last syncClock() read: whether the device applies daylight saving time.
    bool daylightSavings() const { return daylightSavings_; }
    long lastHttpStatus() const { return status_; }
    bool usedDigest() const { return mode_ == Mode::Digest; }

private:
    enum class Mode { Unknown, Digest, Token };
    uint32_t post(const std::string &soap, const Credentials *digest, std::string &reply);
    uint32_t answer(const std::string &reply, Node &out);
    std::string url_;
    int timeoutMs_;
    const std::atomic<bool> *abort_;
    CertificatePin *pin_;
    long offset_ = 0;
    bool daylightSavings_ = false;
    long status_ = 0;
    bool challenged_ = false; // the last exchange carried a Digest challenge
    bool tokenAllowed_ = false;
    Mode mode_ = Mode::Unknown;
};

// Scheme, host and port of an XAddr through libcurl's URL parser; false for
// anything but http:// or https:// with an IPv4 or IPv6 literal (the host
// comes without brackets).
bool splitHttpUrl(const std::string &url, std::string &host, uint16_t &port, bool *https = nullptr);

} // namespace zelt::onvif
