// Certificates of HTTPS device services, pinned on first use: one line a
// device, "<key> <sha-256 of the certificate, hex>", in a private file of
// the user's state ($ZELT_PIN_FILE, else zelt/onvif-pins under
// $XDG_STATE_HOME or ~/.local/state). Written whole to a temporary file and
// renamed, never through a link.
#pragma once

#include "checked_mutex.h"

#include <map>
#include <string>
#include <vector>

namespace zelt {

class PinStore
{
public:
    static std::string defaultPath();
    void load(const std::string &path);
    // The pin of a device, empty when it has none.
    std::string get(const std::string &key);
    // Whether the pin was there before this run started.
    bool fromEarlierRun(const std::string &key);
    bool put(const std::string &key, const std::string &sha256hex);
    // Forgets every pin whose key contains `part`; how many went.
    size_t forget(const std::string &part);

private:
    bool save(); // needs mu_
    CheckedMutex mu_{"pin store lock"};
    std::string path_;
    std::map<std::string, std::string> pins_;
    std::map<std::string, std::string> loaded_;
};

} // namespace zelt
