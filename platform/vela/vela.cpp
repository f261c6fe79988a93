#include "vela.h"

#include <dlfcn.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

struct Vela_Mutex {
    pthread_mutex_t m;
};

Vela_Mutex *Vela_CreateMutex(int recursive)
{
    auto *mx = new Vela_Mutex;
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, recursive ? PTHREAD_MUTEX_RECURSIVE : PTHREAD_MUTEX_NORMAL);
    pthread_mutex_init(&mx->m, &attr);
    pthread_mutexattr_destroy(&attr);
    return mx;
}

int Vela_LockMutex(Vela_Mutex *m)
{
    return m ? pthread_mutex_lock(&m->m) : -1;
}
int Vela_UnlockMutex(Vela_Mutex *m)
{
    return m ? pthread_mutex_unlock(&m->m) : -1;
}

void Vela_DestroyMutex(Vela_Mutex *m)
{
    if (!m)
        return;
    pthread_mutex_destroy(&m->m);
    delete m;
}

namespace {

thread_local std::string t_lastError;
thread_local bool t_hasError = false;

void setError(std::string e)
{
    t_lastError = std::move(e);
    t_hasError = true;
}

bool isFile(const std::string &p)
{
    struct stat st;
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool endsWithNoCase(const std::string &s, const char *suffix)
{
    const size_t n = std::strlen(suffix);
    if (s.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i]))
            != std::tolower(static_cast<unsigned char>(suffix[i])))
            return false;
    return true;
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// Catalogue names whose platform counterpart is not simply lib<name>.so.
struct Alias {
    const char *catalogue;
    const char *platform;
};
constexpr Alias kAliases[] = {
    {"packet", "libpcap.so.0.8"}, // the distribution's packet-capture runtime
};

std::string mapFileName(const std::string &file)
{
    if (!endsWithNoCase(file, ".dll"))
        return file;
    const std::string base = file.substr(0, file.size() - 4);
    for (const Alias &a : kAliases)
        if (lower(base) == a.catalogue)
            return a.platform;
    return "lib" + base + ".so";
}

// Where catalogue libraries are looked for: the program directory and the
// directories of VELA_DSO_PATH, never the system's search path.
std::vector<std::string> searchDirs()
{
    std::vector<std::string> dirs;
    dirs.emplace_back(Vela_ProgramDir());
    auto addList = [&dirs](const char *list) {
        if (!list)
            return;
        std::string s(list);
        size_t start = 0;
        while (start <= s.size()) {
            size_t end = s.find(':', start);
            if (end == std::string::npos)
                end = s.size();
            if (end > start)
                dirs.push_back(s.substr(start, end - start));
            start = end + 1;
        }
    };
    addList(std::getenv("VELA_DSO_PATH"));
    return dirs;
}

// Full path of an existing file, or the mapped name when none was found.
std::string resolve(const char *name, bool *found)
{
    *found = false;
    if (!name || !*name)
        return std::string();
    std::string s(name);
    for (char &c : s)
        if (c == '\\')
            c = '/';
    const size_t slash = s.rfind('/');
    if (slash != std::string::npos) {
        std::string mapped = s.substr(0, slash + 1) + mapFileName(s.substr(slash + 1));
        *found = isFile(mapped);
        return mapped;
    }
    const std::string mapped = mapFileName(s);
    for (const std::string &dir : searchDirs()) {
        std::string full = dir + "/" + mapped;
        if (isFile(full)) {
            *found = true;
            return full;
        }
    }
    return mapped;
}

} // namespace

const char *Vela_ProgramDir(void)
{
    static std::string dir = [] {
        char buf[4096];
        ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n <= 0)
            return std::string(".");
        buf[n] = '\0';
        std::string p(buf);
        const size_t slash = p.rfind('/');
        return slash == 0 ? std::string("/") : p.substr(0, slash);
    }();
    return dir.c_str();
}

int Vela_ResolveDsoName(const char *name, char *out, size_t outLen)
{
    bool found = false;
    const std::string r = resolve(name, &found);
    if (!out || r.size() + 1 > outLen)
        return -1;
    std::memcpy(out, r.c_str(), r.size() + 1);
    return static_cast<int>(r.size());
}

int Vela_DsoExists(const char *name)
{
    bool found = false;
    resolve(name, &found);
    return found ? 1 : 0;
}

void *Vela_LoadDSo(const char *name)
{
    t_hasError = false;
    if (!name || !*name) {
        setError("empty library name");
        return nullptr;
    }
    bool found = false;
    const std::string path = resolve(name, &found);
    void *h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        const char *e = ::dlerror();
        setError(e ? e : "cannot load " + path);
    }
    return h;
}

void *Vela_GetDsoSym(void *handle, const char *symbol)
{
    t_hasError = false;
    if (!handle || !symbol) {
        setError("null handle or symbol");
        return nullptr;
    }
    ::dlerror();
    void *p = ::dlsym(handle, symbol);
    if (!p) {
        const char *e = ::dlerror();
        setError(e ? e : std::string("symbol not found: ") + symbol);
    }
    return p;
}

const char *Vela_GetLastDsoError(void)
{
    return t_hasError ? t_lastError.c_str() : nullptr;
}
