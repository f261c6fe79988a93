// zeltctl: the ZELT SDK from the command line, for installers and scripts.
#include "zelt_sdk.h"

#include <arpa/inet.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: zeltctl [global options] COMMAND [arguments]\n"
    "Global options:\n"
    "  --interfaces LIST  network interfaces (default $ZELT_INTERFACES, else every usable one)\n"
    "  --port N           device port (default $ZELT_PORT or 47810)\n"
    "  --group ADDR       multicast group (default $ZELT_GROUP or 239.255.47.81)\n"
    "  --timeout S        seconds to discover devices (list) or to wait for one (default 3)\n"
    "  --log-level N      SDK log level 0..3 (default 0); --log-dir DIR\n"
    "  --protocol P       zelt, onvif or all (default): which devices to list and configure\n"
    "  --scan RANGES      also search these addresses by unicast (other subnets, VLANs): CIDR blocks\n"
    "                     (10.2.0.0/22, fd00:1::/120), from-to ranges (10.3.0.10-10.3.0.99) or single\n"
    "                     addresses, comma-separated; repeatable; at most 65,536 addresses a range\n"
    "                     (default $ZELT_SCAN)\n"
    "Commands:\n"
    "  list [--json] [--count N] [--untrusted]\n"
    "                                         devices found within the timeout (or once N are found;\n"
    "                                         exit code 4 if fewer were found); --untrusted also shows,\n"
    "                                         flagged, announcements without a trusted maker certificate\n"
    "  activate DEVICE [PASSWORD]             first password of an inactive device\n"
    "  set-ip DEVICE --password PW [--ip A] [--mask M] [--gateway G] [--port N] [--http-port N]\n"
    "         [--ipv6 A] [--ipv6-gateway G] [--ipv6-prefix N] [--dhcp on|off] [--allow-uncertified]\n"
    "  set-ip --run START-IP --password PW [--mask M] [--gateway G] DEVICE...\n"
    "                                         consecutive addresses from START-IP, in the order given\n"
    "  dhcp on|off --password PW DEVICE...    switch DHCP of devices\n"
    "  restore DEVICE [SECURITY-CODE]         restore the default state (the device becomes inactive)\n"
    "  reset DEVICE (--key-file F | --security-code C) [--new-password PW]\n"
    "  export-key DEVICE FILE                 write the device key (to be signed by the maker)\n"
    "  accept-certificate DEVICE              take the HTTPS certificate an ONVIF device presents now\n"
    "                                         in place of the one pinned at first contact\n"
    "  sync-time --password PW [--allow-uncertified] DEVICE...\n"
    "                                         set the devices' clocks to this computer's (UTC)\n"
    "DEVICE is a serial number or a MAC address (aa-bb-cc-dd-ee-ff).\n"
    "Secrets (passwords, security codes) need not be on the command line, where other users of\n"
    "the machine can see them: for --password, --security-code and --new-password (and the\n"
    "PASSWORD and SECURITY-CODE arguments) give - to read a line from standard input, or use\n"
    "--password-file F, --security-code-file F, --new-password-file F (first line of F), or\n"
    "the environment variables ZELT_PASSWORD, ZELT_SECURITY_CODE, ZELT_NEW_PASSWORD.\n"
    "Devices are listed and sent commands only with a certificate of a trusted maker: the\n"
    "maker keys in zelt-trusted-makers.txt beside the program and in the files named in\n"
    "$ZELT_TRUSTED_MAKERS (separated by ':').\n"
    "ONVIF devices (found by WS-Discovery) are listed with protocol onvif and trust uncertified\n"
    "(pinned: HTTPS with the certificate of an earlier contact; ambiguous: another device claims\n"
    "its MAC or serial number, commands refused). set-ip, dhcp and sync-time reach them over their device\n"
    "service as user $ZELT_ONVIF_USER (default admin); an uncertified device gets the password\n"
    "only with --allow-uncertified (it cannot prove who it is). With $ZELT_ONVIF_PASSWORD set,\n"
    "list reads the serial number, MAC and firmware of pinned devices.\n"
    "Exit codes: 0 done, 1 refused by the device, 2 usage, 3 device not found, 4 no answer,\n"
    "            5 network or SDK failure, 6 locked out, 7 wrong password or security code, 8 partly done.\n";

const char *errorText(uint32_t e)
{
    switch (e) {
    case ZELT_ERR_NONE: return "no error";
    case ZELT_ERR_NOT_STARTED: return "SDK not started";
    case ZELT_ERR_ALREADY_STARTED: return "SDK already started";
    case ZELT_ERR_INVALID_PARAM: return "invalid parameter";
    case ZELT_ERR_NETWORK: return "network error (no usable interface?)";
    case ZELT_ERR_NO_DEVICE: return "no such device";
    case ZELT_ERR_TIMEOUT: return "the device did not answer";
    case ZELT_ERR_WRONG_PASSWORD: return "wrong password";
    case ZELT_ERR_LOCKED: return "locked after too many failed attempts; try later";
    case ZELT_ERR_NOT_ACTIVATED: return "the device is inactive: activate it first";
    case ZELT_ERR_ALREADY_ACTIVATED: return "the device is already active";
    case ZELT_ERR_WEAK_PASSWORD: return "password refused: 8 to 16 characters of at least two kinds";
    case ZELT_ERR_BAD_SECURITY_CODE: return "wrong security code";
    case ZELT_ERR_BAD_KEY_FILE: return "key file unreadable, malformed, unsigned or not for this device";
    case ZELT_ERR_NOT_SUPPORTED: return "not supported by the device";
    case ZELT_ERR_BAD_PARAMETERS: return "the device refused the network parameters";
    case ZELT_ERR_BUFFER_TOO_SMALL: return "buffer too small";
    case ZELT_ERR_PROTOCOL: return "malformed or unverifiable answer";
    case ZELT_ERR_AMBIGUOUS_DEVICE: return "two certified identities claim this device; nothing was sent";
    case ZELT_ERR_UNTRUSTED_DEVICE: return "the device has no certificate of a trusted maker; nothing was sent";
    case ZELT_ERR_NOT_IN_PROTOCOL:
        return "ONVIF has no such command (activation, security codes and key files are ZELT's); nothing was sent";
    case ZELT_ERR_NOT_REACHABLE: return "not reachable over ONVIF; use the device's own protocol or a local address";
    case ZELT_ERR_NOT_CONSENTED:
        return "the device cannot prove who it is; nothing was sent (give --allow-uncertified to send the "
               "password anyway)";
    case ZELT_ERR_CERT_CHANGED:
        return "the device's HTTPS certificate is not the one pinned at first contact; nothing was sent "
               "(accept-certificate DEVICE takes the new one)";
    case ZELT_ERR_RANGE_TOO_LARGE: return "an address range is larger than 65,536 addresses (a /16)";
    default: return "internal error";
    }
}

int exitCodeFor(uint32_t e)
{
    switch (e) {
    case ZELT_ERR_NONE: return 0;
    case ZELT_ERR_INVALID_PARAM: return 2;
    case ZELT_ERR_NO_DEVICE:
    case ZELT_ERR_UNTRUSTED_DEVICE: return 3;
    case ZELT_ERR_TIMEOUT: return 4;
    case ZELT_ERR_NOT_STARTED:
    case ZELT_ERR_NETWORK:
    case ZELT_ERR_INTERNAL: return 5;
    case ZELT_ERR_LOCKED: return 6;
    case ZELT_ERR_WRONG_PASSWORD:
    case ZELT_ERR_BAD_SECURITY_CODE: return 7;
    default: return 1;
    }
}

struct Table {
    std::mutex mu;
    std::condition_variable cv;
    std::map<std::string, ZELT_DEVICE_INFO> devices; // key: MAC
    std::vector<std::string> order;
};
Table g_table;
int g_protocols = 3; // bit 0 ZELT, bit 1 ONVIF

void onDevice(const ZELT_DEVICE_INFO *info, void *)
{
    if (!(g_protocols & (info->byProtocol == ZELT_PROTOCOL_ONVIF ? 2 : 1)))
        return;
    std::lock_guard lock(g_table.mu);
    std::string mac(info->szMAC, strnlen(info->szMAC, sizeof info->szMAC));
    if (info->byTrust == ZELT_TRUST_UNTRUSTED)
        mac += " untrusted"; // beside the trusted device of the same MAC
    if (info->iResult == ZELT_EVENT_OFFLINE) {
        g_table.devices.erase(mac);
        std::erase(g_table.order, mac);
    } else if (info->iResult >= ZELT_EVENT_ONLINE && info->iResult <= ZELT_EVENT_ONLINE2) {
        if (!g_table.devices.count(mac))
            g_table.order.push_back(mac);
        g_table.devices[mac] = *info;
    }
    g_table.cv.notify_all();
}

std::string text(const char *field, size_t width)
{
    return std::string(field, strnlen(field, width));
}
#define TEXT(f) text(f, sizeof f)

bool isMac(const std::string &s)
{
    return s.size() == 17 && (s[2] == '-' || s[2] == ':');
}

std::string normaliseMac(std::string s)
{
    for (auto &c : s) {
        if (c == ':')
            c = '-';
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// Waits until the device is known; returns its record.
bool findDevice(const std::string &id, double timeout, ZELT_DEVICE_INFO &out)
{
    std::unique_lock lock(g_table.mu);
    auto match = [&] {
        for (auto &[mac, info] : g_table.devices) {
            if (info.byTrust == ZELT_TRUST_UNTRUSTED)
                continue;
            if ((isMac(id) && mac == normaliseMac(id)) || (!isMac(id) && TEXT(info.szSerialNO) == id)) {
                out = info;
                return true;
            }
        }
        return false;
    };
    return g_table.cv.wait_for(lock, std::chrono::duration<double>(timeout), match);
}

struct Options {
    double timeout = 3;
    std::map<std::string, std::string> named; // --name value
    std::vector<std::string> positional;
    bool json = false;
    std::set<std::string> flags; // options without a value
};

bool parseCommandArgs(int argc, char **argv, int from, Options &o)
{
    for (int i = from; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--json")
            o.json = true;
        else if (a == "--untrusted")
            o.flags.insert("untrusted");
        else if (a == "--allow-uncertified")
            o.flags.insert("allow-uncertified");
        else if (a.rfind("--", 0) == 0 && a.size() > 2) {
            if (i + 1 >= argc) {
                std::cerr << "zeltctl: " << a << " needs a value\n";
                return false;
            }
            o.named[a.substr(2)] = argv[++i];
        } else
            o.positional.push_back(a);
    }
    return true;
}

const char *trustText(uint8_t t)
{
    // The panel's words, in lower case.
    return t == ZELT_TRUST_UNTRUSTED     ? "untrusted"
           : t == ZELT_TRUST_AMBIGUOUS   ? "ambiguous"
           : t == ZELT_TRUST_UNCERTIFIED ? "uncertified"
           : t == ZELT_TRUST_PINNED      ? "pinned"
                                         : "verified";
}
const char *protocolText(uint8_t p)
{
    return p == ZELT_PROTOCOL_ONVIF ? "onvif" : "zelt";
}

// A secret from the option itself ("-": a line of standard input), from
// the file named by NAME-file, or from the environment.
bool secret(Options &o, const std::string &name, const char *envName, std::string &out, bool &present)
{
    auto firstLine = [](std::istream &in, std::string &line) {
        if (!std::getline(in, line))
            line.clear();
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return true;
    };
    present = true;
    if (auto it = o.named.find(name); it != o.named.end()) {
        if (it->second != "-") {
            out = it->second;
            return true;
        }
        return firstLine(std::cin, out);
    }
    if (auto it = o.named.find(name + "-file"); it != o.named.end()) {
        std::ifstream in(it->second);
        if (!in) {
            std::cerr << "zeltctl: cannot read " << it->second << "\n";
            return false;
        }
        return firstLine(in, out);
    }
    if (const char *e = std::getenv(envName); e && *e) {
        out = e;
        return true;
    }
    present = false;
    return true;
}

int report(const std::string &what, const std::string &device, int result)
{
    uint32_t e = result ? ZELT_ERR_NONE : ZELT_GetLastError();
    if (result)
        std::cout << what << " " << device << ": done\n";
    else
        std::cerr << what << " " << device << ": failed: " << errorText(e) << " (error " << e << ")\n";
    return result ? 0 : exitCodeFor(e);
}

int cmdList(const Options &o)
{
    long want = o.named.count("count") ? std::strtol(o.named.at("count").c_str(), nullptr, 10) : 0;
    {
        std::unique_lock lock(g_table.mu);
        g_table.cv.wait_for(lock, std::chrono::duration<double>(o.timeout),
                            [&] { return want > 0 && long(g_table.devices.size()) >= want; });
    }
    std::lock_guard lock(g_table.mu);
    if (o.json) {
        auto q = [](const std::string &s) {
            std::string r = "\"";
            for (char c : s) {
                if (c == '"' || c == '\\')
                    r += '\\';
                if (static_cast<unsigned char>(c) >= 0x20)
                    r += c;
            }
            return r + "\"";
        };
        std::cout << "[";
        bool first = true;
        for (auto &mac : g_table.order) {
            const auto &d = g_table.devices[mac];
            std::cout << (first ? "\n" : ",\n") << "  {\"serial\": " << q(TEXT(d.szSerialNO))
                      << ", \"mac\": " << q(TEXT(d.szMAC)) << ", \"ipv4\": " << q(TEXT(d.szIPv4Address))
                      << ", \"mask\": " << q(TEXT(d.szIPv4SubnetMask)) << ", \"gateway\": " << q(TEXT(d.szIPv4Gateway))
                      << ", \"ipv6\": " << q(TEXT(d.szIPv6Address))
                      << ", \"ipv6_gateway\": " << q(TEXT(d.szIPv6Gateway))
                      << ", \"ipv6_prefix\": " << int(d.byIPv6MaskLen) << ", \"port\": " << d.dwPort
                      << ", \"http_port\": " << d.wHttpPort << ", \"type\": " << d.dwDeviceType
                      << ", \"channels\": " << d.dwNumberOfEncoders << ", \"description\": " << q(TEXT(d.szDevDesc))
                      << ", \"software\": " << q(TEXT(d.szDeviceSoftwareVersion))
                      << ", \"dsp\": " << q(TEXT(d.szDSPVersion)) << ", \"boot_time\": " << q(TEXT(d.szBootTime))
                      << ", \"support\": " << int(d.bySupport)
                      << ", \"dhcp\": " << (d.byDhcpEnabled == 1 ? "true" : "false")
                      << ", \"extended\": " << (d.byExtendInfo == 1 ? "true" : "false")
                      << ", \"active\": " << (d.byActivated == 0 ? "true" : "false")
                      << ", \"trust\": " << q(trustText(d.byTrust))
                      << ", \"protocol\": " << q(protocolText(d.byProtocol)) << ", \"name\": " << q(TEXT(d.szOEMinfo))
                      << ", \"clock_offset\": "
                      << (d.byClockKnown == 1 ? std::to_string(d.iClockOffset) : std::string("null")) << "}";
            first = false;
        }
        std::cout << (first ? "]\n" : "\n]\n");
    } else {
        std::printf("%-4s %-26s %-18s %-16s %-16s %-6s %-5s %-8s %-5s %-11s %-6s %-11s %s\n", "No", "Serial", "MAC",
                    "IPv4", "Mask", "Port", "HTTP", "State", "DHCP", "Trust", "Proto", "Clock", "Type");
        int n = 0;
        for (auto &mac : g_table.order) {
            const auto &d = g_table.devices[mac];
            // The device's clock against this computer's, once the SDK has read it.
            const std::string clock = d.byClockKnown == 1
                                          ? (d.iClockOffset >= 0 ? "+" : "") + std::to_string(d.iClockOffset) + " s"
                                          : "-";
            std::printf("%03d  %-26s %-18s %-16s %-16s %-6u %-5u %-8s %-5s %-11s %-6s %-11s %s (0x%04X)\n", ++n,
                        TEXT(d.szSerialNO).c_str(), TEXT(d.szMAC).c_str(), TEXT(d.szIPv4Address).c_str(),
                        TEXT(d.szIPv4SubnetMask).c_str(), d.dwPort, unsigned(d.wHttpPort),
                        d.byActivated ? "inactive" : "active", d.byDhcpEnabled == 1 ? "on" : "off",
                        trustText(d.byTrust), protocolText(d.byProtocol), clock.c_str(), TEXT(d.szDevDesc).c_str(),
                        d.dwDeviceType);
        }
        std::printf("%d device(s)\n", n);
    }
    // Fewer devices than asked for within the timeout: as a command without answer.
    return want > 0 && long(g_table.devices.size()) < want ? 4 : 0;
}

void copyField(char *dst, size_t width, const std::string &src)
{
    std::memset(dst, 0, width);
    std::memcpy(dst, src.data(), std::min(src.size(), width - 1));
}

int modify(const ZELT_DEVICE_INFO &dev, const Options &o, const std::string &password, const std::string &ip, int dhcp)
{
    ZELT_NET_PARAM p;
    std::memset(&p, 0, sizeof p);
    auto get = [&](const char *k) { return o.named.count(k) ? o.named.at(k) : std::string(); };
    copyField(p.szIPv4Address, sizeof p.szIPv4Address, ip);
    copyField(p.szIPv4SubnetMask, sizeof p.szIPv4SubnetMask, get("mask"));
    copyField(p.szIPv4Gateway, sizeof p.szIPv4Gateway, get("gateway"));
    copyField(p.szIPv6Address, sizeof p.szIPv6Address, get("ipv6"));
    copyField(p.szIPv6Gateway, sizeof p.szIPv6Gateway, get("ipv6-gateway"));
    p.wPort = uint16_t(std::atoi(get("port").c_str()));
    p.wHttpPort = uint16_t(std::atoi(get("http-port").c_str()));
    p.byIPv6MaskLen = uint8_t(std::atoi(get("ipv6-prefix").c_str()));
    // Without --dhcp the device keeps its DHCP state.
    p.byDhcpEnable = dhcp >= 0 ? uint8_t(dhcp) : uint8_t(dev.byDhcpEnabled == 1);
    if (dev.byTrust == ZELT_TRUST_UNCERTIFIED && o.flags.count("allow-uncertified"))
        ZELT_AllowUncertified(dev.szMAC);
    return ZELT_ModifyDeviceNetParam(dev.szMAC, password.c_str(), &p);
}

// Next address of a run: the last part counts up, carrying into the third.
bool addressAt(const std::string &start, unsigned k, std::string &out)
{
    in_addr a;
    if (inet_pton(AF_INET, start.c_str(), &a) != 1)
        return false;
    uint32_t v = ntohl(a.s_addr);
    uint32_t host = (v & 0xff) + k;
    uint32_t third = ((v >> 8) & 0xff) + (host - 1) / 254;
    host = (host - 1) % 254 + 1; // skip .0 and .255
    if (third > 255)
        return false;
    v = (v & 0xffff0000u) | (third << 8) | host;
    a.s_addr = htonl(v);
    char buf[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &a, buf, sizeof buf);
    out = buf;
    return true;
}

int runOn(const std::vector<std::string> &ids, double timeout,
          const std::function<int(const ZELT_DEVICE_INFO &, size_t)> &fn)
{
    int failures = 0, worst = 0;
    for (size_t k = 0; k < ids.size(); ++k) {
        ZELT_DEVICE_INFO dev;
        if (!findDevice(ids[k], timeout, dev)) {
            std::cerr << ids[k] << ": failed: no such device\n";
            ++failures;
            worst = 3;
            continue;
        }
        int rc = fn(dev, k);
        if (rc) {
            ++failures;
            worst = rc;
        }
    }
    if (failures && size_t(failures) < ids.size())
        return 8;
    return worst;
}

} // namespace

int main(int argc, char **argv)
{
    int i = 1;
    std::string logDir;
    int logLevel = 0;
    double timeout = 3;
    std::string scan;
    bool scanGiven = false;
    for (; i < argc && std::string(argv[i]).rfind("--", 0) == 0; ++i) {
        std::string a = argv[i];
        if (a == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (i + 1 >= argc) {
            std::cerr << kUsage;
            return 2;
        }
        const char *v = argv[++i];
        if (a == "--interfaces")
            setenv("ZELT_INTERFACES", v, 1);
        else if (a == "--port")
            setenv("ZELT_PORT", v, 1);
        else if (a == "--group")
            setenv("ZELT_GROUP", v, 1);
        else if (a == "--timeout")
            timeout = std::atof(v);
        else if (a == "--log-level")
            logLevel = std::atoi(v);
        else if (a == "--log-dir")
            logDir = v;
        else if (a == "--scan") {
            scan += (scan.empty() ? "" : ",") + std::string(v);
            scanGiven = true;
        } else if (a == "--protocol") {
            const std::string p = v;
            if (p == "zelt")
                g_protocols = 1;
            else if (p == "onvif")
                g_protocols = 2;
            else if (p == "all")
                g_protocols = 3;
            else {
                std::cerr << "zeltctl: --protocol zelt|onvif|all\n";
                return 2;
            }
            setenv("ZELT_PROTOCOLS", v, 1); // the other protocol is not even asked
        } else {
            std::cerr << "zeltctl: unknown option " << a << "\n" << kUsage;
            return 2;
        }
    }
    if (i >= argc) {
        std::cerr << kUsage;
        return 2;
    }
    std::string cmd = argv[i];
    Options o;
    if (!parseCommandArgs(argc, argv, i + 1, o))
        return 2;
    o.timeout = o.named.count("timeout") ? std::atof(o.named["timeout"].c_str()) : timeout;
    if (o.timeout <= 0)
        o.timeout = 3;

    static const char *known[] = {"list",       "activate",           "set-ip",   "dhcp", "restore", "reset",
                                  "export-key", "accept-certificate", "sync-time"};
    if (std::find(std::begin(known), std::end(known), cmd) == std::end(known)) {
        std::cerr << "zeltctl: unknown command " << cmd << "\n" << kUsage;
        return 2;
    }
    // Secrets: resolved once, before the SDK starts, so that a prompt on
    // standard input is read first.
    std::string password, securityCode, newPassword;
    bool hasPassword = false, hasCode = false, hasNewPassword = false;
    auto &args = o.positional;
    if ((cmd == "activate" || cmd == "restore") && args.size() >= 2) {
        o.named[cmd == "activate" ? "password" : "security-code"] = args[1];
        args.resize(1);
    }
    if (!secret(o, "password", "ZELT_PASSWORD", password, hasPassword)
        || !secret(o, "security-code", "ZELT_SECURITY_CODE", securityCode, hasCode)
        || !secret(o, "new-password", "ZELT_NEW_PASSWORD", newPassword, hasNewPassword))
        return 2;
    if (cmd == "list" && o.flags.count("untrusted"))
        setenv("ZELT_REPORT_UNTRUSTED", "1", 1);
    if (logLevel > 0)
        ZELT_SetLogToFile(logLevel, logDir.empty() ? nullptr : logDir.c_str(), 0);
    if (scanGiven && !ZELT_SetScanRanges(scan.c_str())) {
        uint32_t e = ZELT_GetLastError();
        std::cerr << "zeltctl: --scan " << scan << ": "
                  << (e == ZELT_ERR_RANGE_TOO_LARGE ? errorText(e) : "not an address, block or from-to range") << "\n";
        return 2;
    }
    if (!ZELT_Start_V30(onDevice, 0, nullptr)) {
        uint32_t e = ZELT_GetLastError();
        std::cerr << "zeltctl: cannot start: " << errorText(e) << "\n";
        return 5;
    }
    auto &pos = o.positional;
    auto need = [&](size_t n) {
        if (pos.size() < n) {
            std::cerr << "zeltctl: " << cmd << ": missing arguments\n" << kUsage;
            return false;
        }
        return true;
    };
    int rc = 2;
    if (cmd == "list") {
        rc = cmdList(o);
    } else if (cmd == "activate") {
        if (!hasPassword)
            std::cerr << "zeltctl: activate needs a password\n";
        else if (need(1))
            rc = runOn({pos[0]}, o.timeout, [&](const ZELT_DEVICE_INFO &d, size_t) {
                return report("activate", pos[0], ZELT_ActivateDevice(d.szSerialNO, password.c_str()) != 0);
            });
    } else if (cmd == "set-ip") {
        if (!hasPassword)
            std::cerr << "zeltctl: set-ip needs --password\n";
        else if (o.named.count("run")) {
            if (need(1))
                rc = runOn(pos, o.timeout, [&](const ZELT_DEVICE_INFO &d, size_t k) {
                    std::string ip;
                    if (!addressAt(o.named.at("run"), unsigned(k), ip)) {
                        std::cerr << "zeltctl: address run too long\n";
                        return 2;
                    }
                    return report("set-ip " + ip, TEXT(d.szSerialNO), modify(d, o, password, ip, -1) == 1);
                });
        } else if (need(1)) {
            int dhcp = o.named.count("dhcp") ? (o.named.at("dhcp") == "on" ? 1 : 0) : -1;
            std::string ip = o.named.count("ip") ? o.named.at("ip") : std::string();
            rc = runOn({pos[0]}, o.timeout, [&](const ZELT_DEVICE_INFO &d, size_t) {
                return report("set-ip", pos[0], modify(d, o, password, ip, dhcp) == 1);
            });
        }
    } else if (cmd == "dhcp") {
        if (need(2) && (pos[0] == "on" || pos[0] == "off") && hasPassword) {
            std::vector<std::string> ids(pos.begin() + 1, pos.end());
            rc = runOn(ids, o.timeout, [&](const ZELT_DEVICE_INFO &d, size_t) {
                return report("dhcp " + pos[0], TEXT(d.szSerialNO), modify(d, o, password, "", pos[0] == "on") == 1);
            });
        } else
            std::cerr << "zeltctl: dhcp on|off --password PW DEVICE...\n";
    } else if (cmd == "restore") {
        if (!hasCode)
            std::cerr << "zeltctl: restore needs a security code\n";
        else if (need(1))
            rc = runOn({pos[0]}, o.timeout, [&](const ZELT_DEVICE_INFO &d, size_t) {
                return report("restore", pos[0], ZELT_ResetDefaultPasswd(d.szSerialNO, securityCode.c_str()) == 1);
            });
    } else if (cmd == "reset") {
        if (need(1) && (o.named.count("key-file") || hasCode)) {
            ZELT_RESET_PARAM p;
            std::memset(&p, 0, sizeof p);
            std::string code = o.named.count("key-file") ? "" : securityCode;
            std::string file = o.named.count("key-file") ? o.named["key-file"] : "";
            const std::string &pw = newPassword;
            if (code.size() > 255 || file.size() > 259 || pw.size() > 16) {
                std::cerr << "zeltctl: security code, key file path or new password too long\n";
            } else {
                std::memcpy(p.szSecurityCode, code.data(), code.size());
                std::memcpy(p.szKeyFilePath, file.data(), file.size());
                std::memcpy(p.szNewPassword, pw.data(), pw.size());
                rc = runOn({pos[0]}, o.timeout, [&](const ZELT_DEVICE_INFO &d, size_t) {
                    return report("reset", pos[0], ZELT_ResetPasswd(d.szSerialNO, &p) == 1);
                });
            }
        } else
            std::cerr << "zeltctl: reset DEVICE (--key-file F | --security-code C) [--new-password PW]\n";
    } else if (cmd == "export-key") {
        if (need(2))
            rc = runOn({pos[0]}, o.timeout, [&](const ZELT_DEVICE_INFO &d, size_t) {
                ZELT_DEVICE_KEY key;
                std::memset(&key, 0, sizeof key);
                if (!ZELT_GetDeviceConfig(d.szSerialNO, ZELT_CFG_DEVICE_KEY, nullptr, 0, &key, sizeof key))
                    return report("export-key", pos[0], 0);
                std::ofstream out(pos[1], std::ios::binary | std::ios::trunc);
                out.write(reinterpret_cast<const char *>(key.byKey),
                          std::min<uint32_t>(key.dwLength, sizeof key.byKey));
                if (!out) {
                    std::cerr << "export-key: cannot write " << pos[1] << "\n";
                    return 1;
                }
                return report("export-key", pos[0], 1);
            });
    } else if (cmd == "sync-time") {
        if (!hasPassword)
            std::cerr << "zeltctl: sync-time needs --password\n";
        else if (need(1))
            rc = runOn(pos, o.timeout, [&](const ZELT_DEVICE_INFO &d, size_t) {
                if (d.byTrust == ZELT_TRUST_UNCERTIFIED && o.flags.count("allow-uncertified"))
                    ZELT_AllowUncertified(d.szMAC);
                return report("sync-time", TEXT(d.szSerialNO), ZELT_SyncDeviceTime(d.szMAC, password.c_str()) == 1);
            });
    } else if (cmd == "accept-certificate") {
        if (need(1))
            rc = runOn({pos[0]}, o.timeout, [&](const ZELT_DEVICE_INFO &d, size_t) {
                return report("accept-certificate", pos[0], ZELT_AcceptNewCertificate(d.szMAC) == 1);
            });
    }
    ZELT_Stop();
    return rc;
}
