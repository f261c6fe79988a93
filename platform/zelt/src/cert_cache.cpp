#include "cert_cache.h"

#include "log.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace zelt {

namespace {

constexpr char kTagContext[] = "ZELT-CERT-CACHE-V1";
constexpr size_t kLineBytes = 64 + 1 + 64 + 1 + 32 + 1;

enum class Read { Ok, Missing, Refused };

template <size_t N>
bool hexField(const char *p, std::array<uint8_t, N> &out)
{
    auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
    for (size_t i = 0; i < N; ++i) {
        const int hi = digit(p[2 * i]), lo = digit(p[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out[i] = uint8_t(hi * 16 + lo);
    }
    return true;
}

// A regular file of this user that nobody else may read or write, read
// without following a link planted in its place.
Read readPrivate(const std::string &path, size_t maxBytes, std::string &out)
{
    out.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT ? Read::Missing : Read::Refused;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
        ::close(fd);
        return Read::Refused;
    }
    char buf[65536];
    for (ssize_t n; out.size() <= maxBytes && (n = ::read(fd, buf, sizeof buf)) > 0;)
        out.append(buf, size_t(n));
    ::close(fd);
    if (out.size() > maxBytes)
        out.resize(maxBytes);
    return Read::Ok;
}

// Written to a new file of its own (never through a link), then renamed
// into place. Not synced: a file torn by a crash only costs checks, as
// every line is authenticated on its own.
bool writePrivate(const std::string &path, const std::string &data)
{
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !log::makePrivateDirs(path.substr(0, slash)))
        return false;
    uint8_t r[8];
    randombytes_buf(r, sizeof r);
    const std::string tmp = path + ".tmp." + std::to_string(getpid()) + "." + crypto::toHex(r, sizeof r);
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    bool ok = true;
    for (size_t at = 0; ok && at < data.size();) {
        const ssize_t n = ::write(fd, data.data() + at, data.size() - at);
        ok = n > 0;
        at += ok ? size_t(n) : 0;
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace

std::string CertCache::defaultPath()
{
    if (const char *p = std::getenv("ZELT_CERT_CACHE"); p && *p)
        return std::strcmp(p, "off") == 0 ? std::string() : std::string(p);
    return log::defaultDirectory() + "/verified-certs";
}

CertCache::~CertCache()
{
    sodium_memzero(key_.data(), key_.size());
}

bool CertCache::loadKey()
{
    mu_.assertHeld();
    const std::string keyPath = path_ + ".key";
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string text;
        switch (readPrivate(keyPath, 256, text)) {
        case Read::Ok:
            if (text.size() < 64 || !crypto::fromHex(text.substr(0, 64), key_.data(), key_.size())) {
                log::write(1, "certificate cache key %s is malformed: cache not used", keyPath.c_str());
                return false;
            }
            return true;
        case Read::Refused:
            log::write(1, "certificate cache key %s is not a private file of this user: cache not used",
                       keyPath.c_str());
            return false;
        case Read::Missing: break;
        }
        // First use: a new key, created exclusively (another process may be making one now).
        const auto slash = keyPath.rfind('/');
        if (slash != std::string::npos && slash > 0 && !log::makePrivateDirs(keyPath.substr(0, slash)))
            return false;
        int fd = ::open(keyPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        randombytes_buf(key_.data(), key_.size());
        const std::string line = crypto::toHex(key_.data(), key_.size()) + "\n";
        const bool ok = ::write(fd, line.data(), line.size()) == ssize_t(line.size());
        ::close(fd);
        if (!ok)
            ::unlink(keyPath.c_str());
        return ok;
    }
    return false;
}

void CertCache::load(const std::string &path)
{
    std::lock_guard lock(mu_);
    path_ = path;
    entries_.clear();
    dirty_ = false;
    usable_ = !path_.empty() && loadKey();
    if (!usable_)
        return;
    std::string text;
    if (readPrivate(path_, (kMaxEntries + kMaxEntries / 4) * kLineBytes, text) == Read::Refused) {
        log::write(1, "certificate cache %s is not a private file of this user: not read", path_.c_str());
        dirty_ = true; // replaced by our own at the next save
        return;
    }
    // Tags are checked when a line is first used, not here: a start reads
    // thousands of lines before the first inquiry goes out.
    size_t malformed = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        const char *line = text.data() + at;
        const size_t length = end - at;
        at = end + 1;
        crypto::CertificateHash cert{};
        Entry e;
        if (length != kLineBytes - 1 || line[64] != ' ' || line[129] != ' ' || !hexField(line, cert)
            || !hexField(line + 65, e.maker) || !hexField(line + 130, e.tag)) {
            ++malformed;
            continue;
        }
        e.used = ++clock_; // the file lists the oldest first
        entries_[cert] = e;
    }
    if (malformed) {
        log::write(1, "certificate cache %s: %zu malformed line(s) ignored", path_.c_str(), malformed);
        dirty_ = true;
    }
    log::write(2, "certificate cache: %zu certificate(s) verified in earlier runs", entries_.size());
}

CertCache::Tag CertCache::tagOf(const crypto::CertificateHash &cert, const wire::SignPublicKey &maker) const
{
    mu_.assertHeld();
    Tag tag{};
    crypto_generichash_state st;
    crypto_generichash_init(&st, key_.data(), key_.size(), tag.size());
    crypto_generichash_update(&st, reinterpret_cast<const uint8_t *>(kTagContext), sizeof kTagContext);
    crypto_generichash_update(&st, cert.data(), cert.size());
    crypto_generichash_update(&st, maker.data(), maker.size());
    crypto_generichash_final(&st, tag.data(), tag.size());
    return tag;
}

std::optional<wire::SignPublicKey> CertCache::lookup(const crypto::CertificateHash &cert)
{
    std::lock_guard lock(mu_);
    auto it = entries_.find(cert);
    if (it == entries_.end())
        return std::nullopt;
    Entry &e = it->second;
    if (!e.tagChecked) {
        const Tag expected = tagOf(cert, e.maker);
        if (sodium_memcmp(expected.data(), e.tag.data(), e.tag.size()) != 0) {
            // Not written with this user's key: someone else's line, or a changed one.
            log::write(1, "certificate cache %s: a line not made with this user's key, dropped", path_.c_str());
            entries_.erase(it);
            dirty_ = true;
            return std::nullopt;
        }
        e.tagChecked = true;
    }
    e.used = ++clock_;
    return e.maker;
}

void CertCache::remember(const crypto::CertificateHash &cert, const wire::SignPublicKey &maker)
{
    std::lock_guard lock(mu_);
    if (!usable_)
        return;
    Entry &e = entries_[cert];
    e.maker = maker;
    e.tag = tagOf(cert, maker);
    e.tagChecked = true;
    e.used = ++clock_;
    dirty_ = true;
    if (entries_.size() <= kMaxEntries + kMaxEntries / 8)
        return;
    // Bounded: the least recently used go, a batch at a time.
    std::vector<uint64_t> used;
    used.reserve(entries_.size());
    for (auto &[k, e] : entries_)
        used.push_back(e.used);
    std::nth_element(used.begin(), used.end() - kMaxEntries, used.end());
    const uint64_t oldestKept = *(used.end() - kMaxEntries);
    for (auto it = entries_.begin(); it != entries_.end();)
        it = it->second.used < oldestKept ? entries_.erase(it) : std::next(it);
}

void CertCache::keepMakers(const std::vector<wire::SignPublicKey> &trusted)
{
    std::lock_guard lock(mu_);
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (std::find(trusted.begin(), trusted.end(), it->second.maker) == trusted.end()) {
            it = entries_.erase(it);
            dirty_ = true;
        } else
            ++it;
    }
}

size_t CertCache::size()
{
    std::lock_guard lock(mu_);
    return entries_.size();
}

bool CertCache::save()
{
    std::string out, path;
    {
        std::lock_guard lock(mu_);
        if (!usable_ || !dirty_)
            return true;
        std::vector<std::pair<uint64_t, std::map<crypto::CertificateHash, Entry>::const_iterator>> order;
        order.reserve(entries_.size());
        for (auto it = entries_.cbegin(); it != entries_.cend(); ++it)
            order.emplace_back(it->second.used, it);
        std::sort(order.begin(), order.end(), [](auto &a, auto &b) { return a.first < b.first; });
        if (order.size() > kMaxEntries)
            order.erase(order.begin(), order.end() - long(kMaxEntries));
        out.reserve(order.size() * kLineBytes);
        // Each line keeps the tag it came with: a line not checked yet is
        // never given a good tag it did not have.
        for (auto &[used, it] : order)
            out += crypto::toHex(it->first.data(), it->first.size()) + ' '
                   + crypto::toHex(it->second.maker.data(), it->second.maker.size()) + ' '
                   + crypto::toHex(it->second.tag.data(), it->second.tag.size()) + '\n';
        dirty_ = false;
        path = path_;
    }
    if (writePrivate(path, out))
        return true;
    log::write(1, "cannot write the certificate cache %s: %s", path.c_str(), std::strerror(errno));
    std::lock_guard lock(mu_);
    dirty_ = true;
    return false;
}

} // namespace zelt
