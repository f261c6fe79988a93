#include "trust.h"

#include "crypto.h"
#include "log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zelt {

std::vector<std::string> TrustStore::defaultPaths()
{
    std::vector<std::string> paths;
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        std::string dir(exe, size_t(n));
        dir = dir.substr(0, dir.rfind('/'));
        paths.push_back(dir + "/" + kFileName);
    }
    if (const char *env = std::getenv("ZELT_TRUSTED_MAKERS"); env && *env) {
        std::string list = env;
        size_t at = 0;
        while (at <= list.size()) {
            size_t end = list.find(':', at);
            if (end == std::string::npos)
                end = list.size();
            if (end > at)
                paths.push_back(list.substr(at, end - at));
            at = end + 1;
        }
    }
    return paths;
}

void TrustStore::configure(std::vector<std::string> paths)
{
    std::lock_guard lock(mu_);
    sources_.clear();
    keys_.clear();
    for (auto &p : paths)
        sources_.push_back({std::move(p)});
    lastCheck_ = {};
    reloadIfChanged();
    log::write(2, "trust: %zu maker key(s) from %zu file(s)", keys_.size(), sources_.size());
}

void TrustStore::openCache(const std::string &path)
{
    cache_.load(path);
    std::vector<wire::SignPublicKey> keys;
    {
        std::lock_guard lock(mu_);
        keys = keys_;
    }
    // What a maker key no longer trusted certified is taken back.
    cache_.keepMakers(keys);
}

bool TrustStore::reloadIfChanged()
{
    mu_.assertHeld();
    lastCheck_ = std::chrono::steady_clock::now();
    bool changed = false;
    for (auto &s : sources_) {
        struct stat st {};
        const bool there = ::stat(s.path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        const off_t size = there ? st.st_size : -1;
        if (size == s.size && (!there || (st.st_mtim.tv_sec == s.mtime && st.st_mtim.tv_nsec == s.mtimeNs)))
            continue;
        s.size = size;
        s.mtime = there ? st.st_mtim.tv_sec : 0;
        s.mtimeNs = there ? st.st_mtim.tv_nsec : 0;
        changed = true;
    }
    if (!changed)
        return false;
    std::vector<wire::SignPublicKey> keys;
    for (auto &s : sources_) {
        if (s.size < 0 || s.size > 1 << 20)
            continue;
        std::ifstream in(s.path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        for (auto &k : crypto::parseTrustedMakers(ss.str()))
            if (std::find(keys.begin(), keys.end(), k) == keys.end())
                keys.push_back(k);
    }
    if (keys == keys_)
        return false;
    keys_ = std::move(keys);
    log::write(2, "trust: now %zu maker key(s)", keys_.size());
    return true;
}

bool TrustStore::verify(const wire::Certificate &cert, const std::string &serial, const wire::Mac &mac)
{
    if (serial.empty() || serial.size() > 47)
        return false;
    std::vector<wire::SignPublicKey> keys;
    {
        std::lock_guard lock(mu_);
        keys = keys_;
    }
    // These very bytes were verified before under a key that is still trusted.
    const crypto::CertificateHash hash = crypto::certificateHash(cert, serial, mac);
    if (auto maker = cache_.lookup(hash); maker && std::find(keys.begin(), keys.end(), *maker) != keys.end())
        return true;
    auto check = [&] {
        for (auto &k : keys) {
            ++checks_;
            if (crypto::verifyCertificate(cert, serial, mac, k)) {
                cache_.remember(hash, k);
                return true;
            }
        }
        return false;
    };
    if (check())
        return true;
    {
        std::lock_guard lock(mu_);
        if (std::chrono::steady_clock::now() - lastCheck_ < std::chrono::seconds(1) || !reloadIfChanged())
            return false;
        keys = keys_;
    }
    cache_.keepMakers(keys);
    return check();
}

size_t TrustStore::size()
{
    std::lock_guard lock(mu_);
    return keys_.size();
}

} // namespace zelt
