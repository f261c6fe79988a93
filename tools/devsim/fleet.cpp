#include "fleet.h"

#include "zelt_sdk.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>

namespace devsim {

namespace {

struct Model {
    const char *name;
    uint32_t type;
    uint32_t channels;
    uint32_t disks;
};
const Model kModels[] = {
    {"ZT-IPC2141", 0x2041, 1, 0},  {"ZT-IPC2347", 0x2047, 1, 0}, {"ZT-NVR7608", 0x3108, 8, 1},
    {"ZT-NVR7716", 0x3116, 16, 2}, {"ZT-DVR7204", 0x4204, 4, 1}, {"ZT-ENC6901", 0x9D01, 1, 0},
    {"ZT-IPC2T46", 0x2146, 1, 0},  {"ZT-PTZ4225", 0x2225, 1, 0}, {"ZT-NVR9632", 0x3232, 32, 4},
    {"ZT-IPC2D22", 0x2022, 1, 0},  {"ZT-DEC6308", 0x5308, 8, 0}, {"ZT-ENC6904", 0x9FFF, 4, 0},
};

std::string format(const char *fmt, unsigned a, unsigned b = 0, unsigned c = 0)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, a, b, c);
    return buf;
}

} // namespace

void certify(zelt::DeviceState &s, const zelt::crypto::SignKeyPair &maker)
{
    s.identity = zelt::crypto::newSignKeyPair();
    s.cert = zelt::crypto::issueCertificate(s.record.serial, s.record.mac, s.identity.pk, uint64_t(time(nullptr)),
                                            maker);
}

std::string newSecurityCode()
{
    static const char alphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnpqrstuvwxyz23456789";
    std::string code;
    for (int k = 0; k < 12; ++k)
        code += alphabet[zelt::crypto::uniform(sizeof alphabet - 1)];
    return code;
}

std::vector<zelt::DeviceState> generateFleet(const FleetOptions &opt, const zelt::crypto::SignKeyPair &maker)
{
    std::mt19937 rng(opt.seed);
    std::vector<zelt::DeviceState> fleet;
    fleet.reserve(opt.count);
    // One hash serves every device that starts active: hashing thousands of
    // times would slow the start of large fleets to a crawl.
    const std::string hash = zelt::crypto::hashPassword(opt.password);
    time_t now = time(nullptr);
    for (unsigned i = 0; i < opt.count; ++i) {
        zelt::DeviceState s;
        auto &r = s.record;
        const Model &m = kModels[i % 12];
        r.serial = std::string(m.name) + "-" + format("%04u%08u", opt.seed % 10000, i + 1);
        r.mac = {0x02, 0x5a, uint8_t(opt.seed), uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i)};
        // Most in one private range, every seventh in a foreign subnet.
        if (i % 7 == 6)
            r.ipv4 = {172, 16, uint8_t(i / 250), uint8_t(i % 250 + 2)};
        else
            r.ipv4 = {10, uint8_t(opt.seed % 250), uint8_t(i / 250), uint8_t(i % 250 + 2)};
        r.mask = {255, 255, 255, 0};
        r.gateway = r.ipv4;
        r.gateway[3] = 1;
        r.type = m.type;
        r.port = 8000;
        r.httpPort = i == 7 ? 0 : 80;
        r.channels = m.channels;
        r.disks = m.disks;
        r.softVersion = format("V5.%u.%u build 2611%02u", 5 + i % 3, i % 10, 1 + i % 28);
        r.dspVersion = format("V7.%u build 2609%02u", 1 + i % 4, 1 + i % 28);
        time_t boot = now - time_t(rng() % 864000);
        tm t;
        gmtime_r(&boot, &t);
        char when[32];
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &t);
        r.bootTime = when;
        r.description = m.name;
        r.extended = i == 4 ? 0 : 1; // one old device without extended information
        r.support = 0;
        if (i % 3 == 0)
            r.support |= ZELT_SUPPORT_IPV6;
        if (i % 6 == 0)
            r.support |= ZELT_SUPPORT_MODIFY_IPV6;
        if (i % 2 == 0)
            r.support |= ZELT_SUPPORT_DHCP;
        if (i % 4 == 1)
            r.support |= ZELT_SUPPORT_NEW_PASSWORD;
        if (i % 4 == 3)
            r.support |= ZELT_SUPPORT_RESET_PASSWORD | ZELT_SUPPORT_NEW_PASSWORD;
        r.dhcp = (r.support & ZELT_SUPPORT_DHCP) && i % 8 == 0;
        if (r.support & ZELT_SUPPORT_IPV6) {
            inet_pton(AF_INET6, format("fd00:5a54:%x::%x", opt.seed % 0xffff, i + 2).c_str(), r.ipv6.data());
            inet_pton(AF_INET6, format("fd00:5a54:%x::1", opt.seed % 0xffff).c_str(), r.ipv6Gateway.data());
            r.ipv6Prefix = 64;
        }
        bool inactive = i % 5 == 2;
        r.inactive = inactive;
        if (!inactive)
            s.passwordHash = hash;
        s.securityCode = newSecurityCode();
        certify(s, maker);
        fleet.push_back(std::move(s));
    }
    return fleet;
}

namespace {
std::string ip4(const zelt::wire::Ip4 &a)
{
    char b[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, a.data(), b, sizeof b);
    return b;
}
std::string ip6(const zelt::wire::Ip6 &a)
{
    char b[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, a.data(), b, sizeof b);
    return b;
}
} // namespace

bool fleetFromJson(const zelt::json::Value &devices, const zelt::crypto::SignKeyPair &maker,
                   std::vector<zelt::DeviceState> &out, std::string *error, std::vector<TlsIdentity> *tls)
{
    using zelt::json::Value;
    if (devices.kind != Value::Array) {
        if (error)
            *error = "\"devices\" is not an array";
        return false;
    }
    for (size_t i = 0; i < devices.a.size(); ++i) {
        const Value &d = devices.a[i];
        auto bad = [&](const std::string &what) {
            if (error)
                *error = "device " + std::to_string(i) + ": " + what;
            return false;
        };
        zelt::DeviceState s;
        auto &r = s.record;
        r.serial = d.str("serial");
        if (r.serial.empty() || r.serial.size() > 47)
            return bad("serial missing or longer than 47");
        auto mac = zelt::wire::parseMac(d.str("mac"));
        if (!mac)
            return bad("bad mac");
        r.mac = *mac;
        auto v4 = [&](const char *key, zelt::wire::Ip4 &dst, const char *fallback) {
            return inet_pton(AF_INET, d.str(key, fallback).c_str(), dst.data()) == 1;
        };
        auto v6 = [&](const char *key, zelt::wire::Ip6 &dst) {
            return inet_pton(AF_INET6, d.str(key, "::").c_str(), dst.data()) == 1;
        };
        if (!v4("ipv4", r.ipv4, "") || !v4("mask", r.mask, "255.255.255.0") || !v4("gateway", r.gateway, "0.0.0.0"))
            return bad("bad IPv4 address, mask or gateway");
        if (!v6("ipv6", r.ipv6) || !v6("ipv6_gateway", r.ipv6Gateway))
            return bad("bad IPv6 address");
        r.ipv6Prefix = uint8_t(d.num("ipv6_prefix", 0));
        r.type = uint32_t(d.num("type", 0x2041));
        r.port = uint32_t(d.num("port", 8000));
        r.httpPort = uint16_t(d.num("http_port", 80));
        r.channels = uint32_t(d.num("channels", 1));
        r.disks = uint32_t(d.num("disks", 0));
        r.support = uint8_t(d.num("support", 0));
        r.dhcp = d.flag("dhcp") ? 1 : 0;
        r.extended = d.flag("extended", true) ? 1 : 0;
        r.softVersion = d.str("soft_version", "V5.5.0").substr(0, 47);
        r.dspVersion = d.str("dsp_version", "V7.1").substr(0, 47);
        r.bootTime = d.str("boot_time", "2026-12-01 08:00:00").substr(0, 47);
        r.description = d.str("description", "ZT-IPC").substr(0, 23);
        s.passwordHash = d.str("password_hash");
        if (auto pw = d.str("password"); !pw.empty())
            s.passwordHash = zelt::crypto::hashPassword(pw);
        if (d.flag("inactive"))
            s.passwordHash.clear();
        r.inactive = s.passwordHash.empty();
        s.securityCode = d.str("security_code");
        if (s.securityCode.empty())
            s.securityCode = newSecurityCode();
        s.keyNonce = d.str("key_nonce");
        r.bootId = uint32_t(d.num("boot_counter", 0));
        s.clockOffsetMs = int64_t(d.num("clock_offset_ms", 0));
        const std::string idHex = d.str("identity_key");
        if (idHex.empty()) {
            certify(s, maker);
        } else {
            if (!zelt::crypto::fromHex(idHex, s.identity.sk.data(), s.identity.sk.size()))
                return bad("bad identity_key");
            std::memcpy(s.identity.pk.data(), s.identity.sk.data() + 32,
                        32); // an Ed25519 secret key ends with its public key
            s.cert.identity = s.identity.pk;
            s.cert.issued = uint64_t(d.num("cert_issued", 0));
            if (!zelt::crypto::fromHex(d.str("cert_signature"), s.cert.signature.data(), s.cert.signature.size())
                || !zelt::crypto::verifyCertificate(s.cert, r.serial, r.mac, maker.pk))
                s.cert = zelt::crypto::issueCertificate(r.serial, r.mac, s.identity.pk, uint64_t(time(nullptr)), maker);
        }
        TlsIdentity id{d.str("onvif_tls_key"), d.str("onvif_tls_cert")};
        if (!id.empty()) {
            // Never replaced behind the user's back: clients may have pinned it.
            TlsMaterial m;
            std::string why;
            if (!loadTlsIdentity(id, m, &why))
                return bad(why);
        }
        if (tls)
            tls->push_back(std::move(id));
        out.push_back(std::move(s));
    }
    return true;
}

std::string fleetToJson(const std::vector<zelt::DeviceState> &fleet, const std::vector<TlsIdentity> *tls)
{
    using zelt::json::quote;
    std::string o = "{\n  \"version\": 1,\n  \"devices\": [\n";
    for (size_t i = 0; i < fleet.size(); ++i) {
        const auto &s = fleet[i];
        const auto &r = s.record;
        o += "    {\"serial\": " + quote(r.serial) + ", \"mac\": " + quote(zelt::wire::macText(r.mac))
             + ", \"ipv4\": " + quote(ip4(r.ipv4)) + ", \"mask\": " + quote(ip4(r.mask))
             + ", \"gateway\": " + quote(ip4(r.gateway)) + ", \"ipv6\": " + quote(ip6(r.ipv6))
             + ", \"ipv6_gateway\": " + quote(ip6(r.ipv6Gateway)) + ", \"ipv6_prefix\": " + std::to_string(r.ipv6Prefix)
             + ", \"type\": " + std::to_string(r.type) + ", \"port\": " + std::to_string(r.port)
             + ", \"http_port\": " + std::to_string(r.httpPort) + ", \"channels\": " + std::to_string(r.channels)
             + ", \"disks\": " + std::to_string(r.disks) + ", \"support\": " + std::to_string(r.support)
             + ", \"dhcp\": " + (r.dhcp ? "true" : "false") + ", \"extended\": " + (r.extended ? "true" : "false")
             + ", \"soft_version\": " + quote(r.softVersion) + ", \"dsp_version\": " + quote(r.dspVersion)
             + ", \"boot_time\": " + quote(r.bootTime) + ", \"description\": " + quote(r.description)
             + ", \"password_hash\": " + quote(s.passwordHash) + ", \"security_code\": " + quote(s.securityCode)
             + ", \"key_nonce\": " + quote(s.keyNonce) + ", \"boot_counter\": " + std::to_string(r.bootId)
             + ", \"clock_offset_ms\": " + std::to_string(s.clockOffsetMs)
             + ", \"identity_key\": " + quote(zelt::crypto::toHex(s.identity.sk.data(), s.identity.sk.size()))
             + ", \"cert_issued\": " + std::to_string(s.cert.issued)
             + ", \"cert_signature\": " + quote(zelt::crypto::toHex(s.cert.signature.data(), s.cert.signature.size()));
        if (tls && i < tls->size() && !(*tls)[i].empty())
            o += ", \"onvif_tls_key\": " + quote((*tls)[i].keyPem)
                 + ", \"onvif_tls_cert\": " + quote((*tls)[i].certPem);
        o += std::string("}") + (i + 1 < fleet.size() ? ",\n" : "\n");
    }
    return o + "  ]\n}\n";
}

} // namespace devsim
