// Device certificates verified in earlier runs, so that a later run checks
// one signature per device (the hello's) instead of two. One line per
// certificate in a private file of the user's state ($ZELT_CERT_CACHE, else
// zelt/verified-certs under $XDG_STATE_HOME or ~/.local/state):
//
//   <BLAKE2b-256 of the certificate> <maker key that certified it> <tag>
//
// The tag is a keyed BLAKE2b over both, with a secret key of this user kept
// beside the file (".key", 0600): a line written or changed by anyone
// without that key does not count (it is dropped when first looked up), nor
// does a file copied from another user or machine. A hit needs the certificate's bytes to hash to the line
// and its maker key to be trusted now: removing a maker key from the trust
// stores takes back what it certified. The file holds at most kMaxEntries
// lines (the least recently used go first), is read and written without
// following a link, and is replaced whole (a new file renamed into place).
#pragma once

#include "checked_mutex.h"
#include "crypto.h"
#include "wire.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zelt {

class CertCache
{
public:
    static constexpr size_t kMaxEntries = 100000;
    static std::string defaultPath(); // empty when $ZELT_CERT_CACHE is "off"

    ~CertCache();
    // Reads the file and its key (the key is made when there is none). A
    // file or key that is not a regular file of this user, private to it,
    // is not used: the cache then stays empty and is never written.
    void load(const std::string &path);
    // The maker key that certified this certificate in an earlier check, if any.
    std::optional<wire::SignPublicKey> lookup(const crypto::CertificateHash &cert);
    void remember(const crypto::CertificateHash &cert, const wire::SignPublicKey &maker);
    // Drops every entry whose maker key is not among these.
    void keepMakers(const std::vector<wire::SignPublicKey> &trusted);
    // Writes the file when something changed since it was read or written.
    bool save();
    size_t size();

private:
    using Tag = std::array<uint8_t, 16>;
    struct Entry {
        wire::SignPublicKey maker{};
        Tag tag{};
        bool tagChecked = false; // lines read from the file are checked when first used
        uint64_t used = 0;       // the higher, the more recently used
    };
    Tag tagOf(const crypto::CertificateHash &cert, const wire::SignPublicKey &maker) const; // needs mu_
    bool loadKey();                                                                         // needs mu_

    CheckedMutex mu_{"certificate cache lock"};
    std::string path_;
    bool usable_ = false; // the key is ours and private: entries may be read and written
    std::array<uint8_t, 32> key_{};
    std::map<crypto::CertificateHash, Entry> entries_;
    uint64_t clock_ = 0;
    bool dirty_ = false;
};

} // namespace zelt
