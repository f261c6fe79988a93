// The maker keys the SDK trusts: a file in the program directory and the
// files named in ZELT_TRUSTED_MAKERS (separated by ':'). A device is listed
// only with a certificate signed by one of them.
#pragma once

#include "cert_cache.h"
#include "checked_mutex.h"
#include "wire.h"

#include <atomic>
#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zelt {

class TrustStore
{
public:
    static constexpr const char *kFileName = "zelt-trusted-makers.txt";
    // The program directory's file, then the environment's.
    static std::vector<std::string> defaultPaths();

    void configure(std::vector<std::string> paths);
    // Certificates verified in earlier runs (CertCache; an empty path: none).
    void openCache(const std::string &path);
    void saveCache() { cache_.save(); }
    // Verifies a certificate for this serial number and MAC: remembered from
    // an earlier check under a maker key trusted now, or checked against the
    // keys (and then remembered). When no key fits, files that changed since
    // they were read are read again (at most once a second), so a key
    // installed while running is taken up.
    bool verify(const wire::Certificate &cert, const std::string &serial, const wire::Mac &mac);
    size_t size();
    // Signature checks of certificates so far (those the cache spared not counted).
    uint64_t certificateChecks() const { return checks_; }

private:
    struct Source {
        std::string path;
        time_t mtime = 0;
        off_t size = -1;
        long mtimeNs = 0;
    };
    bool reloadIfChanged(); // true if keys changed; needs mu_

    CheckedMutex mu_{"trust store lock"};
    std::vector<Source> sources_;
    std::vector<wire::SignPublicKey> keys_;
    std::chrono::steady_clock::time_point lastCheck_{};
    CertCache cache_; // its own lock, taken without mu_
    std::atomic<uint64_t> checks_{0};
};

} // namespace zelt
