// zelt-scan-bench: a scan of an address range behind a router, through the
// SDK, against zelt-devsim playing devices in another subnet. Builds network
// namespaces (client, router, devices; root and ip(8) needed), gives each
// device an address of its own there, spread over the range, starts the SDK
// in the client's namespace with the range to scan, and prints the time until
// every device is listed and the datagrams the client sent meanwhile (the
// UDP counters of its namespace). Prints figures; not a test.
#include "zelt_sdk.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
std::mutex g_mu;
std::set<std::string> g_seen;
std::atomic<size_t> g_online{0};

void onDevice(const ZELT_DEVICE_INFO *info, void *)
{
    if (info->iResult != ZELT_EVENT_ONLINE)
        return;
    std::lock_guard l(g_mu);
    if (g_seen.insert(info->szSerialNO).second)
        ++g_online;
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

int run(const std::string &cmd)
{
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

// UDP datagrams this network namespace has sent, IPv4 and IPv6.
unsigned long long udpSent()
{
    unsigned long long total = 0;
    std::ifstream snmp("/proc/net/snmp");
    std::string header, values;
    while (std::getline(snmp, header) && std::getline(snmp, values)) {
        if (header.rfind("Udp:", 0) != 0)
            continue;
        std::istringstream h(header), v(values);
        std::string name, value;
        while (h >> name && v >> value)
            if (name == "OutDatagrams")
                total += std::stoull(value);
    }
    std::ifstream snmp6("/proc/net/snmp6");
    std::string name;
    unsigned long long value;
    while (snmp6 >> name >> value)
        if (name == "Udp6OutDatagrams")
            total += value;
    return total;
}

struct Topology {
    std::string tag = std::to_string(getpid() % 100000);
    std::string ns(const char *n) const { return std::string("zb") + n + tag; }
    ~Topology()
    {
        for (const char *n : {"c", "r", "d"})
            run("ip netns del " + ns(n) + " 2>/dev/null");
    }
};

} // namespace

int main(int argc, char **argv)
{
    int devices = 200, prefix = 22, spread = 5;
    std::string protocols = "all";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--devices")
            devices = std::atoi(argv[i + 1]);
        else if (a == "--prefix")
            prefix = std::atoi(argv[i + 1]);
        else if (a == "--spread")
            spread = std::atoi(argv[i + 1]);
        else if (a == "--protocols")
            protocols = argv[i + 1];
        else {
            std::fprintf(stderr, "usage: zelt-scan-bench [--devices N] [--prefix P] [--spread S] [--protocols "
                                 "zelt|onvif|all]\n  (as root; ZELT_SCAN_RATE is the SDK's pace)\n");
            return 2;
        }
    }
    const unsigned addresses = 1u << (32 - prefix);
    if (geteuid() != 0 || prefix < 16 || prefix > 24 || devices < 1 || spread < 1
        || unsigned(devices * spread) > addresses - 2) {
        std::fprintf(stderr, "zelt-scan-bench: needs root, a /16 to /24, and devices x spread within the range\n");
        return 2;
    }
    Topology t;
    const std::string dir = "/tmp/zelt-scan-bench-" + t.tag;
    run("rm -rf " + dir + " && mkdir -p " + dir);
    // Client 10.81.2.1 -- router -- devices in 10.82.0.0/P.
    std::ostringstream setup;
    for (const char *n : {"c", "r", "d"})
        setup << "netns add " << t.ns(n) << "\n";
    setup << "link add zbc" << t.tag << " type veth peer name zbr" << t.tag << "\n"
          << "link set zbc" << t.tag << " netns " << t.ns("c") << "\n"
          << "link set zbr" << t.tag << " netns " << t.ns("r") << "\n"
          << "link add zbs" << t.tag << " type veth peer name zbd" << t.tag << "\n"
          << "link set zbs" << t.tag << " netns " << t.ns("r") << "\n"
          << "link set zbd" << t.tag << " netns " << t.ns("d") << "\n";
    std::ostringstream c, r, d;
    c << "addr add 10.81.2.1/24 dev zbc" << t.tag << "\nlink set zbc" << t.tag << " up\nlink set lo up\n"
      << "route add 10.82.0.0/16 via 10.81.2.2\n";
    r << "addr add 10.81.2.2/24 dev zbr" << t.tag << "\nlink set zbr" << t.tag << " up\n"
      << "addr add 10.82.0.1/" << prefix << " dev zbs" << t.tag << "\nlink set zbs" << t.tag << " up\n";
    d << "link set zbd" << t.tag << " up\nlink set lo up\n";
    std::ostringstream fleet;
    fleet << "{\"devices\": [\n";
    for (int k = 0; k < devices; ++k) {
        const unsigned host = 2 + unsigned(k * spread); // after the router's .1
        const std::string ip = "10.82." + std::to_string(host / 256) + "." + std::to_string(host % 256);
        d << "addr add " << ip << "/" << prefix << " dev zbd" << t.tag << "\n";
        char mac[32];
        std::snprintf(mac, sizeof mac, "02-5a-bb-00-%02x-%02x", (k >> 8) & 0xff, k & 0xff);
        fleet << (k ? ",\n" : "") << " {\"serial\": \"ZT-SCANBENCH-" << k << "\", \"mac\": \"" << mac
              << "\", \"ipv4\": \"" << ip << "\", \"gateway\": \"10.82.0.1\", \"password\": \"Admin12345\"}";
    }
    fleet << "\n]}\n";
    d << "route add default via 10.82.0.1 dev zbd" << t.tag << "\n"; // once the subnet is there
    std::ofstream(dir + "/setup") << setup.str();
    std::ofstream(dir + "/c") << c.str();
    std::ofstream(dir + "/r") << r.str();
    std::ofstream(dir + "/d") << d.str();
    std::ofstream(dir + "/fleet.json") << fleet.str();
    if (run("ip -batch " + dir + "/setup") || run("ip -n " + t.ns("c") + " -batch " + dir + "/c")
        || run("ip -n " + t.ns("r") + " -batch " + dir + "/r") || run("ip -n " + t.ns("d") + " -batch " + dir + "/d")
        || run("ip netns exec " + t.ns("r") + " sh -c 'echo 1 > /proc/sys/net/ipv4/ip_forward'")) {
        std::fprintf(stderr, "zelt-scan-bench: cannot build the namespaces\n");
        return 1;
    }
    const std::string bin = binDir();
    if (run(bin + "/zelt-devsim maker-key --public --maker-key " + dir + "/maker.key > " + dir + "/trusted.txt"))
        return 1;
    setenv("ZELT_TRUSTED_MAKERS", (dir + "/trusted.txt").c_str(), 1);
    const pid_t sim = fork();
    if (sim == 0) {
        const std::string ifName = "zbd" + t.tag;
        execlp("ip", "ip", "netns", "exec", t.ns("d").c_str(), (bin + "/zelt-devsim").c_str(), "--interfaces",
               ifName.c_str(), "--config", (dir + "/fleet.json").c_str(), "--maker-key", (dir + "/maker.key").c_str(),
               "--quiet", "--exit-with-parent", "--ready-file", (dir + "/ready").c_str(), nullptr);
        _exit(127);
    }
    for (int k = 0; k < 300 && access((dir + "/ready").c_str(), F_OK) != 0; ++k)
        usleep(50000);
    if (access((dir + "/ready").c_str(), F_OK) != 0) {
        std::fprintf(stderr, "zelt-scan-bench: the simulator did not start\n");
        kill(sim, SIGTERM);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(3)); // boot announcements over (they stay behind the router)

    // The SDK runs in the client's namespace: every thread it starts is there too.
    const int nsfd = open(("/run/netns/" + t.ns("c")).c_str(), O_RDONLY | O_CLOEXEC);
    if (nsfd < 0 || setns(nsfd, CLONE_NEWNET) != 0) {
        std::fprintf(stderr, "zelt-scan-bench: cannot enter the client's namespace\n");
        kill(sim, SIGTERM);
        return 1;
    }
    close(nsfd);
    unsetenv("ZELT_INTERFACES");
    setenv("ZELT_PROTOCOLS", protocols.c_str(), 1);
    const std::string range = "10.82.0.0/" + std::to_string(prefix);
    const unsigned long long sentBefore = udpSent();
    const auto start = Clock::now();
    ZELT_SetScanRanges(range.c_str());
    if (!ZELT_Start_V30(onDevice, 0, nullptr)) {
        std::fprintf(stderr, "zelt-scan-bench: SDK start failed: %u\n", ZELT_GetLastError());
        kill(sim, SIGTERM);
        return 1;
    }
    while (g_online < size_t(devices) && Clock::now() - start < std::chrono::seconds(600))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double found = std::chrono::duration<double>(Clock::now() - start).count();
    const unsigned long long sentFound = udpSent() - sentBefore;
    // The rest of the pass, for the datagrams of one whole pass.
    const char *rateText = std::getenv("ZELT_SCAN_RATE");
    const double rate = rateText ? std::atof(rateText) : 500;
    const double pass = double(addresses - 2) / rate;
    if (found < pass + 0.5)
        std::this_thread::sleep_for(std::chrono::duration<double>(pass + 0.5 - found));
    const unsigned long long sentPass = udpSent() - sentBefore;
    ZELT_Stop();
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    std::printf("range %s (%u addresses), %d devices (every %d addresses), protocols %s, %.0f addresses a second\n",
                range.c_str(), addresses - 2, devices, spread, protocols.c_str(), rate);
    std::printf("all %zu listed after %.3f s; datagrams sent by the client by then: %llu; in the first pass "
                "(%.2f s): %llu\n",
                size_t(g_online), found, sentFound, pass + 0.5, sentPass);
    run("rm -rf " + dir);
    return g_online == size_t(devices) ? 0 : 1;
}
