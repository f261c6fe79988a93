#include "log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/time.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

namespace zelt::log {
namespace {
std::mutex g_mutex;
FILE *g_file = nullptr;
std::atomic<int> g_level{0};
std::string g_path;
long g_written = 0;
// A log that grows past this is moved to "<name>.1" and started afresh.
constexpr long kMaxBytes = 8L << 20;

// Opened without following a link planted in its place, private to the
// user, and only if it is a regular file.
FILE *openLog(const std::string &path, bool truncate)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || (truncate && ftruncate(fd, 0) != 0)) {
        ::close(fd);
        errno = EPERM;
        return nullptr;
    }
    fchmod(fd, 0600);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE *f = fdopen(fd, "a");
    if (!f)
        ::close(fd);
    g_written = truncate ? 0 : long(st.st_size);
    return f;
}

} // namespace

bool makePrivateDirs(const std::string &dir)
{
    std::string cur;
    for (size_t i = 0; i <= dir.size(); ++i) {
        if (i == dir.size() || dir[i] == '/') {
            if (!cur.empty() && mkdir(cur.c_str(), 0700) != 0 && errno != EEXIST)
                return false;
        }
        if (i < dir.size())
            cur += dir[i];
    }
    return true;
}

std::string defaultDirectory()
{
    if (const char *x = std::getenv("XDG_STATE_HOME"); x && *x)
        return std::string(x) + "/zelt";
    const char *home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/state/zelt";
}

bool configure(int level, const char *dir, bool freshFile, std::string *error)
{
    std::lock_guard lock(g_mutex);
    if (g_file) {
        std::fclose(g_file);
        g_file = nullptr;
    }
    g_level = level < 0 ? 0 : (level > 3 ? 3 : level);
    if (g_level == 0)
        return true;
    std::string d = dir && *dir ? std::string(dir) : defaultDirectory();
    if (!makePrivateDirs(d)) {
        if (error)
            *error = "cannot create " + d + ": " + std::strerror(errno);
        g_level = 0;
        return false;
    }
    g_path = d + "/zelt-sdk.log";
    g_file = openLog(g_path, freshFile);
    if (!g_file) {
        if (error)
            *error = "cannot open " + g_path + ": " + std::strerror(errno);
        g_level = 0;
        return false;
    }
    return true;
}

bool enabled(int level)
{
    return level <= g_level.load(std::memory_order_relaxed);
}

std::string currentPath()
{
    std::lock_guard lock(g_mutex);
    return g_file ? g_path : std::string();
}

void write(int level, const char *fmt, ...)
{
    if (!enabled(level))
        return;
    static const char *names[] = {"", "ERROR", "INFO", "DEBUG"};
    char msg[1024];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(msg, sizeof msg, fmt, ap);
    va_end(ap);
    timeval tv;
    gettimeofday(&tv, nullptr);
    tm t;
    localtime_r(&tv.tv_sec, &t);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &t);
    std::lock_guard lock(g_mutex);
    if (!g_file)
        return;
    if (g_written > kMaxBytes) {
        std::fclose(g_file);
        std::rename(g_path.c_str(), (g_path + ".1").c_str());
        g_file = openLog(g_path, true);
        if (!g_file)
            return;
    }
    int n = std::fprintf(g_file, "%s.%03ld %s %s\n", stamp, long(tv.tv_usec / 1000), names[level], msg);
    if (n > 0)
        g_written += n;
    std::fflush(g_file);
}

} // namespace zelt::log
