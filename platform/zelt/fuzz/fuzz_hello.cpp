// libFuzzer target: the SDK's handling of announcements. The input is a
// script of hellos and byes that the target signs as a trusted or an
// untrusted maker's devices would (so the table logic behind verification
// is reached: boot counters, stale copies, ambiguity, event coalescing),
// mixed with hostile datagrams and replays under new message ids.
#include "crypto.h"
#include "engine.h"
#include "fuzz_common.h"
#include "wire.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

std::string g_trustFile;
const char *kSerials[] = {"ZT-FUZZ-0001", "ZT-FUZZ-0002"};

struct Identity {
    zelt::crypto::SignKeyPair keys;
    bool trusted;
};
const Identity &identity(int i)
{
    static const Identity ids[3] = {
        {fuzz::signKeys(0x21), true}, {fuzz::signKeys(0x22), true}, {fuzz::signKeys(0x23), false}};
    return ids[i];
}

const zelt::wire::Certificate &cert(int serial, int mac, int id)
{
    static std::map<int, zelt::wire::Certificate> certs;
    const int key = serial * 100 + mac * 10 + id;
    auto it = certs.find(key);
    if (it == certs.end()) {
        zelt::wire::Mac m = {0x02, 0x5a, 0, 0, 0, uint8_t(mac)};
        const auto &who = identity(id);
        it = certs
                 .emplace(key, zelt::crypto::issueCertificate(kSerials[serial], m, who.keys.pk, 1,
                                                              who.trusted ? fuzz::maker() : fuzz::otherMaker()))
                 .first;
    }
    return it->second;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    setenv("ZELT_CERT_CACHE", "off", 1); // every input starts from nothing remembered
    g_trustFile = "/tmp/zelt-fuzz-trust-" + std::to_string(getpid()) + ".txt";
    FILE *f = std::fopen(g_trustFile.c_str(), "w");
    if (!f)
        std::abort();
    std::fprintf(f, "%s\n", zelt::crypto::makerPublicKeyLine(fuzz::maker().pk).c_str());
    std::fclose(f);
    std::atexit([] { std::remove(g_trustFile.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    zelt::Engine engine(zelt::net::Settings{}, zelt::EngineTiming{}, {g_trustFile});
    fuzz::Bytes in{data, size};
    std::vector<zelt::wire::Bytes> sent;
    uint64_t msgId = 1;
    int ops = 0;
    while (in.n > 0 && ops++ < 24) {
        const uint8_t op = in.u8();
        if (op % 4 == 2) { // hostile bytes
            const size_t n = std::min<size_t>(in.u8(), in.n);
            engine.handleDatagram(in.p, n);
            in.p += n;
            in.n -= n;
            continue;
        }
        if (op % 4 == 3 && !sent.empty()) { // an earlier datagram under a new id
            zelt::wire::Bytes again = sent[in.u8() % sent.size()];
            for (int k = 0; k < 8; ++k)
                again[8 + k] = uint8_t(++msgId >> (8 * k));
            engine.handleDatagram(again.data(), again.size());
            continue;
        }
        const int serial = in.u8() % 2, mac = in.u8() % 2, id = in.u8() % 3;
        const auto &who = identity(id);
        zelt::wire::Message m;
        m.msgId = ++msgId;
        if (op % 4 == 0) {
            m.type = zelt::wire::Type::Hello;
            m.hello.reason = zelt::wire::HelloReason(in.u8() % 3);
            m.hello.uptimeMs = in.u16();
            auto &r = m.hello.device;
            r.serial = kSerials[serial];
            r.mac = {0x02, 0x5a, 0, 0, 0, uint8_t(mac)};
            r.ipv4 = {10, 0, 0, in.u8()};
            r.bootId = in.u8() % 4;
            r.configVersion = in.u8() % 4;
            r.boxKey[0] = in.u8() % 2;
            r.inactive = in.u8() & 1;
            m.hello.cert = cert(serial, mac, id);
            if (in.u8() % 8 == 0)
                m.hello.cert.issued ^= 1; // a certificate that no longer verifies
            m.hello.signature = zelt::crypto::signHello(r, m.hello.cert, who.keys);
        } else {
            m.type = zelt::wire::Type::Bye;
            m.bye.serial = kSerials[serial];
            m.bye.mac = {0x02, 0x5a, 0, 0, 0, uint8_t(mac)};
            m.bye.bootId = in.u8() % 4;
            m.bye.identity = who.keys.pk;
            m.bye.signature = zelt::crypto::signBye(m.bye, who.keys);
        }
        sent.push_back(zelt::wire::encode(m));
        engine.handleDatagram(sent.back().data(), sent.back().size());
    }
    if (engine.deviceCount() > 4)
        std::abort(); // two serial numbers times two MACs
    return 0;
}
