#include "pins.h"

#include "log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace zelt {

namespace {

bool isPin(const std::string &s)
{
    return s.size() == 64 && s.find_first_not_of("0123456789abcdef") == std::string::npos;
}

} // namespace

std::string PinStore::defaultPath()
{
    if (const char *p = std::getenv("ZELT_PIN_FILE"); p && *p)
        return p;
    return log::defaultDirectory() + "/onvif-pins";
}

void PinStore::load(const std::string &path)
{
    std::lock_guard lock(mu_);
    path_ = path;
    pins_.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    std::string data;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0 && data.size() < (8u << 20);)
        data.append(buf, size_t(n));
    ::close(fd);
    std::istringstream in(data);
    for (std::string line; std::getline(in, line);) {
        const auto space = line.rfind(' ');
        if (line.empty() || line[0] == '#' || space == std::string::npos)
            continue;
        const std::string key = line.substr(0, space), pin = line.substr(space + 1);
        if (!key.empty() && isPin(pin))
            pins_[key] = pin;
    }
    loaded_ = pins_;
}

std::string PinStore::get(const std::string &key)
{
    std::lock_guard lock(mu_);
    auto it = pins_.find(key);
    return it == pins_.end() ? std::string() : it->second;
}

bool PinStore::fromEarlierRun(const std::string &key)
{
    std::lock_guard lock(mu_);
    auto a = pins_.find(key), b = loaded_.find(key);
    return a != pins_.end() && b != loaded_.end() && a->second == b->second;
}

bool PinStore::put(const std::string &key, const std::string &sha256hex)
{
    if (key.empty() || key.find('\n') != std::string::npos || !isPin(sha256hex))
        return false;
    std::lock_guard lock(mu_);
    pins_[key] = sha256hex;
    return save();
}

size_t PinStore::forget(const std::string &part)
{
    std::lock_guard lock(mu_);
    size_t n = 0;
    for (auto it = pins_.begin(); it != pins_.end();) {
        if (it->first.find(part) != std::string::npos) {
            it = pins_.erase(it);
            ++n;
        } else
            ++it;
    }
    if (n)
        save();
    return n;
}

bool PinStore::save()
{
    mu_.assertHeld();
    if (path_.empty())
        return false;
    const auto slash = path_.rfind('/');
    if (slash != std::string::npos && slash > 0 && !log::makePrivateDirs(path_.substr(0, slash)))
        return false;
    const std::string tmp = path_ + ".tmp";
    ::unlink(tmp.c_str());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        log::write(1, "cannot write %s: %s", tmp.c_str(), std::strerror(errno));
        return false;
    }
    std::string out = "# certificates of HTTPS device services, pinned on first use\n";
    for (auto &[k, v] : pins_)
        out += k + " " + v + "\n";
    bool ok = ::write(fd, out.data(), out.size()) == ssize_t(out.size());
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmp.c_str(), path_.c_str()) != 0) {
        log::write(1, "cannot write %s: %s", path_.c_str(), std::strerror(errno));
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace zelt
