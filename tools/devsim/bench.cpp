// zelt-bench: discovery time of a large simulated fleet and command round
// trips, through the SDK against zelt-devsim on loopback; with --onvif of
// ONVIF devices (WS-Discovery, set-ip over the device service). Prints figures.
#include "zelt_sdk.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
std::mutex g_mu;
std::set<std::string> g_seen;
std::vector<ZELT_DEVICE_INFO> g_devices;
std::atomic<size_t> g_online{0};
Clock::time_point g_last;

bool g_onvif = false;

void onDevice(const ZELT_DEVICE_INFO *info, void *)
{
    if (info->iResult != ZELT_EVENT_ONLINE)
        return;
    if (g_onvif && info->byProtocol != ZELT_PROTOCOL_ONVIF)
        return;
    std::lock_guard l(g_mu);
    if (g_seen.insert(info->szSerialNO).second) {
        g_devices.push_back(*info);
        g_last = Clock::now();
        ++g_online;
    }
}

std::string binDir()
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    std::string p(buf, size_t(n));
    return p.substr(0, p.rfind('/'));
}

double percentile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t i = std::min(v.size() - 1, size_t(q * double(v.size() - 1) + 0.5));
    return v[i];
}

} // namespace

int main(int argc, char **argv)
{
    unsigned count = 1000, commands = 200, port = 45000 + unsigned(getpid() % 1000) * 2;
    double limit = 30;
    std::string loss = "0";
    for (int i = 1; i < argc; i += 2) {
        std::string a = argv[i];
        if (a == "--onvif") {
            g_onvif = true;
            --i;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "zelt-bench: %s needs a value\n", a.c_str());
            return 2;
        }
        if (a == "--count")
            count = unsigned(std::atoi(argv[i + 1]));
        else if (a == "--commands")
            commands = unsigned(std::atoi(argv[i + 1]));
        else if (a == "--port")
            port = unsigned(std::atoi(argv[i + 1]));
        else if (a == "--limit")
            limit = std::atof(argv[i + 1]);
        else if (a == "--loss")
            loss = argv[i + 1];
        else {
            std::fprintf(stderr,
                         "usage: zelt-bench [--onvif] [--count N] [--commands K] [--port P] [--limit S] [--loss P]\n");
            return 2;
        }
    }
    // With --onvif, N devices that speak ONVIF only (one in five of the
    // default fleet is inactive and speaks no ONVIF, so the fleet is larger).
    unsigned fleet = count;
    if (g_onvif)
        while (fleet - (fleet / 5 + (fleet % 5 > 2 ? 1 : 0)) < count)
            ++fleet;
    const std::string wsdPort = std::to_string(port + 1001);
    const std::string ready = "/tmp/zelt-bench-" + std::to_string(getpid()) + ".ready";
    const std::string sim = binDir() + "/zelt-devsim";
    const std::string portText = std::to_string(port), countText = std::to_string(fleet),
                      onvifText = std::to_string(count);
    unlink(ready.c_str());
    // The SDK lists only certified devices: trust the simulator's maker.
    const std::string makerFile = ready + ".maker", trustFile = ready + ".trust";
    {
        FILE *in = popen(("'" + sim + "' maker-key --public --maker-key '" + makerFile + "'").c_str(), "r");
        char line[256] = {};
        const bool got = in && std::fgets(line, sizeof line, in);
        if (in)
            pclose(in);
        FILE *out = got ? std::fopen(trustFile.c_str(), "w") : nullptr;
        if (!out) {
            std::fprintf(stderr, "zelt-bench: cannot get the simulator's maker key\n");
            return 1;
        }
        std::fputs(line, out);
        std::fclose(out);
        setenv("ZELT_TRUSTED_MAKERS", trustFile.c_str(), 1);
    }
    pid_t child = fork();
    if (child == 0) {
        if (g_onvif)
            execl(sim.c_str(), sim.c_str(), "--interfaces", "lo", "--port", portText.c_str(), "--count",
                  countText.c_str(), "--quiet", "--ready-file", ready.c_str(), "--maker-key", makerFile.c_str(),
                  "--loss", loss.c_str(), "--onvif", onvifText.c_str(), "--onvif-only", "--wsd-port", wsdPort.c_str(),
                  "--exit-with-parent", static_cast<char *>(nullptr));
        else
            execl(sim.c_str(), sim.c_str(), "--interfaces", "lo", "--port", portText.c_str(), "--count",
                  countText.c_str(), "--quiet", "--ready-file", ready.c_str(), "--maker-key", makerFile.c_str(),
                  "--loss", loss.c_str(), "--exit-with-parent", static_cast<char *>(nullptr));
        _exit(127);
    }
    auto stopSim = [&] {
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
        unlink(ready.c_str());
        unlink(makerFile.c_str());
        unlink(trustFile.c_str());
    };
    for (int i = 0; i < 300 && access(ready.c_str(), F_OK) != 0; ++i)
        usleep(20000);
    if (access(ready.c_str(), F_OK) != 0) {
        std::fprintf(stderr, "zelt-bench: simulator did not start\n");
        stopSim();
        return 1;
    }
    sleep(3); // let the boot announcements pass: we measure discovery by inquiry

    setenv("ZELT_INTERFACES", "lo", 1);
    setenv("ZELT_PORT", portText.c_str(), 1);
    if (g_onvif) {
        setenv("ZELT_WSD_PORT", wsdPort.c_str(), 1);
        setenv("ZELT_PROTOCOLS", "onvif", 0); // discovery by WS-Discovery alone, unless asked otherwise
    }
    const auto t0 = Clock::now();
    if (!ZELT_Start_V30(onDevice, 0, nullptr)) {
        std::fprintf(stderr, "zelt-bench: start failed (%u)\n", ZELT_GetLastError());
        stopSim();
        return 1;
    }
    while (g_online < count && Clock::now() - t0 < std::chrono::duration<double>(limit))
        usleep(5000);
    double discovery;
    {
        std::lock_guard l(g_mu);
        discovery = std::chrono::duration<double>((g_online >= count ? g_last : Clock::now()) - t0).count();
    }
    std::printf("%sloss %s: ", g_onvif ? "ONVIF, " : "", loss.c_str());
    std::printf("discovery: %u devices, %zu found, %zu missed, all kind-1 events after %.3f s\n", count,
                g_online.load(), size_t(count) - std::min<size_t>(count, g_online.load()), discovery);

    std::vector<ZELT_DEVICE_INFO> devices;
    {
        std::lock_guard l(g_mu);
        devices = g_devices;
    }
    std::vector<double> setIp, activate;
    unsigned k = 0;
    for (auto &d : devices) {
        if (setIp.size() >= commands)
            break;
        if (d.byActivated)
            continue;
        ZELT_NET_PARAM p;
        std::memset(&p, 0, sizeof p);
        std::snprintf(p.szIPv4Address, sizeof p.szIPv4Address, "192.168.%u.%u", (100 + k / 250) % 256, 2 + k % 250);
        ++k;
        auto t = Clock::now();
        int ok = ZELT_ModifyDeviceNetParam(d.szMAC, "Admin12345", &p);
        if (ok == 1)
            setIp.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
        else
            std::fprintf(stderr, "set-ip %s failed: %u\n", d.szSerialNO, ZELT_GetLastError());
    }
    for (auto &d : devices) {
        if (activate.size() >= commands)
            break;
        if (!d.byActivated)
            continue;
        auto t = Clock::now();
        int ok = ZELT_ActivateDevice(d.szSerialNO, "Passw0rd99");
        if (ok)
            activate.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t).count());
        else
            std::fprintf(stderr, "activate %s failed: %u\n", d.szSerialNO, ZELT_GetLastError());
    }
    std::printf("set-ip round trip: %zu commands, median %.2f ms, p99 %.2f ms\n", setIp.size(), percentile(setIp, 0.5),
                percentile(setIp, 0.99));
    std::printf("activate round trip: %zu commands, median %.2f ms, p99 %.2f ms\n", activate.size(),
                percentile(activate, 0.5), percentile(activate, 0.99));
    ZELT_Stop();
    stopSim();
    return g_online >= count ? 0 : 1;
}
