// zelt-bench: discovery time of a large simulated fleet and command round
// trips, through the SDK against zelt-devsim on loopback; with --onvif of
// ONVIF devices (WS-Discovery, set-ip over the device service); with
// --flood N while N invented ONVIF endpoints are announced from 50 loopback
// addresses, with the process's memory; with --runs N discovery N times
// against the same fleet, the first with no certificate remembered, the
// later ones with those the first verified. Prints figures.
#include "zelt_sdk.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
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
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
std::mutex g_mu;
std::set<std::string> g_seen;
std::vector<ZELT_DEVICE_INFO> g_devices;
std::atomic<size_t> g_online{0};
Clock::time_point g_last;

bool g_onvif = false;
std::atomic<size_t> g_onvifOnline{0};

void onDevice(const ZELT_DEVICE_INFO *info, void *)
{
    if (info->iResult != ZELT_EVENT_ONLINE)
        return;
    if (info->byProtocol == ZELT_PROTOCOL_ONVIF)
        ++g_onvifOnline;
    if (g_onvif != (info->byProtocol == ZELT_PROTOCOL_ONVIF))
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

// Resident and peak memory of this process (SDK included), in MiB.
std::pair<double, double> memoryMiB()
{
    double rss = 0, peak = 0;
    if (FILE *f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            long kb = 0;
            if (std::sscanf(line, "VmRSS: %ld", &kb) == 1)
                rss = double(kb) / 1024;
            if (std::sscanf(line, "VmHWM: %ld", &kb) == 1)
                peak = double(kb) / 1024;
        }
        std::fclose(f);
    }
    return {rss, peak};
}

// WS-Discovery Hellos of invented cameras, each from its own endpoint
// reference, from 127.0.0.2 … 127.0.0.51 with a service at that address:
// the most an impostor on the segment can make look plausible.
void flood(unsigned n, unsigned short wsdPort, const std::atomic<bool> &stop)
{
    std::vector<int> fds;
    for (unsigned s = 0; s < 50; ++s) {
        int fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in self{};
        self.sin_family = AF_INET;
        self.sin_addr.s_addr = htonl(0x7f000002u + s);
        bind(fd, reinterpret_cast<sockaddr *>(&self), sizeof self);
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &self.sin_addr, sizeof self.sin_addr);
        int ttl = 0;
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
        fds.push_back(fd);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(wsdPort);
    inet_pton(AF_INET, "239.255.255.250", &to.sin_addr);
    char msg[2048];
    for (unsigned i = 0; i < n && !stop; ++i) {
        const unsigned s = i % 50;
        const int len = std::snprintf(
            msg, sizeof msg,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><soap:Envelope "
            "xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\" "
            "xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
            "xmlns:wsd=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\" "
            "xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\" xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\">"
            "<soap:Header><wsa:MessageID>urn:uuid:%08x-0000-4000-8000-%012x</wsa:MessageID>"
            "<wsa:To>urn:schemas-xmlsoap-org:ws:2005:04:discovery</wsa:To>"
            "<wsa:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/Hello</wsa:Action></soap:Header>"
            "<soap:Body><wsd:Hello><wsa:EndpointReference><wsa:Address>urn:uuid:%08x-1111-4000-8000-%012x"
            "</wsa:Address></wsa:EndpointReference><wsd:Types>dn:NetworkVideoTransmitter tds:Device</wsd:Types>"
            "<wsd:Scopes>onvif://www.onvif.org/hardware/Flood</wsd:Scopes>"
            "<wsd:XAddrs>http://127.0.0.%u:80/onvif/device_service</wsd:XAddrs>"
            "<wsd:MetadataVersion>1</wsd:MetadataVersion></wsd:Hello></soap:Body></soap:Envelope>",
            i, i, i, i, 2 + s);
        sendto(fds[s], msg, size_t(len), 0, reinterpret_cast<sockaddr *>(&to), sizeof to);
        if (i % 64 == 63)
            usleep(200); // about 300,000 a second: more than the receiver reads
    }
    for (int fd : fds)
        close(fd);
}

} // namespace

int main(int argc, char **argv)
{
    unsigned count = 1000, commands = 200, port = 45000 + unsigned(getpid() % 1000) * 2, floodCount = 0, runs = 1;
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
        else if (a == "--flood")
            floodCount = unsigned(std::atoi(argv[i + 1]));
        else if (a == "--runs")
            runs = std::max(1u, unsigned(std::atoi(argv[i + 1])));
        else {
            std::fprintf(stderr, "usage: zelt-bench [--onvif] [--count N] [--commands K] [--port P] [--limit S] "
                                 "[--loss P] [--flood N] [--runs N]\n");
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
    if (g_onvif || floodCount > 0)
        setenv("ZELT_WSD_PORT", wsdPort.c_str(), 1);
    if (g_onvif) {
        setenv("ZELT_PROTOCOLS", "onvif", 0); // discovery by WS-Discovery alone, unless asked otherwise
    }
    // Certificates remembered by the SDK: a file of this run's own, empty at first.
    const std::string certCache = ready + ".certs";
    setenv("ZELT_CERT_CACHE", certCache.c_str(), 1);
    auto dropCertCache = [&] {
        unlink(certCache.c_str());
        unlink((certCache + ".key").c_str());
    };
    dropCertCache();
    size_t remembered = 0;
    for (unsigned run = 1; run <= runs; ++run) {
        if (run > 1) {
            ZELT_Stop(); // the certificates verified so far go into the file
            remembered = 0;
            if (FILE *f = std::fopen(certCache.c_str(), "r")) {
                for (int c; (c = std::fgetc(f)) != EOF;)
                    remembered += c == '\n';
                std::fclose(f);
            }
            {
                std::lock_guard l(g_mu);
                g_seen.clear();
                g_devices.clear();
                g_online = 0;
            }
            sleep(2); // the devices' inquiry budget fills up again
        }
        const auto t0 = Clock::now();
        if (!ZELT_Start_V30(onDevice, 0, nullptr)) {
            std::fprintf(stderr, "zelt-bench: start failed (%u)\n", ZELT_GetLastError());
            stopSim();
            dropCertCache();
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
        if (runs > 1)
            std::printf("run %u (%zu certificates remembered): ", run, remembered);
        std::printf("discovery: %u devices, %zu found, %zu missed, all kind-1 events after %.3f s\n", count,
                    g_online.load(), size_t(count) - std::min<size_t>(count, g_online.load()), discovery);
        std::fflush(stdout);
    }

    std::vector<ZELT_DEVICE_INFO> devices;
    {
        std::lock_guard l(g_mu);
        devices = g_devices;
    }
    std::vector<double> setIp, activate;
    unsigned k = 0;
    std::atomic<bool> floodStop{false};
    std::thread flooder;
    const auto memBefore = memoryMiB();
    const auto floodStart = Clock::now();
    if (floodCount > 0) {
        flooder = std::thread(
            [&] { flood(floodCount, static_cast<unsigned short>(std::atoi(wsdPort.c_str())), floodStop); });
        usleep(200000); // the flood is on before the first command
    }
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
        if (d.byTrust == ZELT_TRUST_UNCERTIFIED)
            ZELT_AllowUncertified(d.szMAC); // the bench is the user who agreed
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
    if (flooder.joinable()) {
        flooder.join();
        const double floodSeconds = std::chrono::duration<double>(Clock::now() - floodStart).count();
        usleep(2000000); // what the receiver still reads
        const auto after = memoryMiB();
        std::printf("flood: %u announcements in %.1f s; %zu ONVIF devices listed; memory %.1f MiB before, %.1f MiB "
                    "after, peak %.1f MiB\n",
                    floodCount, floodSeconds, g_onvifOnline.load(), memBefore.first, after.first, after.second);
    }
    std::printf("activate round trip: %zu commands, median %.2f ms, p99 %.2f ms\n", activate.size(),
                percentile(activate, 0.5), percentile(activate, 0.99));
    ZELT_Stop();
    stopSim();
    dropCertCache();
    return g_online >= count ? 0 : 1;
}
