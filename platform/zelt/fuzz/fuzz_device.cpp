// libFuzzer target: a device's request handler. Mode 0 hands it hostile
// datagrams; mode 1 seals commands built from the input with a proper
// client key, so that the handler behind the seal (command decoder,
// password, lockout, network checks, key files, clock, replay memory) is reached.
#include "device.h"
#include "fuzz_common.h"
#include "wire.h"
#include "zelt_sdk.h"

#include <cstdint>
#include <cstdlib>

namespace {

const zelt::DeviceState &baseState()
{
    static const zelt::DeviceState s = [] {
        zelt::DeviceState st;
        auto &r = st.record;
        r.serial = "ZT-FUZZ-0001";
        r.mac = {0x02, 0x5a, 0, 0, 0, 1};
        r.ipv4 = {10, 0, 0, 2};
        r.mask = {255, 255, 255, 0};
        r.support = 0xff;
        r.extended = 1;
        st.passwordHash = zelt::crypto::hashPassword("Admin12345");
        st.securityCode = "FUZZ-CODE-1";
        st.keyNonce = "00112233445566778899aabbccddeeff";
        st.identity = fuzz::signKeys(0x11);
        st.cert = zelt::crypto::issueCertificate(r.serial, r.mac, st.identity.pk, 1, fuzz::maker());
        return st;
    }();
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    zelt::DeviceOptions opt;
    opt.makerKey = fuzz::maker().pk;
    opt.lockoutSeconds = 1;
    opt.clientWindows = 4;
    opt.cachedAnswers = 4;
    zelt::Device dev(baseState(), opt);
    fuzz::Bytes in{data + 1, size - 1};
    double now = 0;
    if (data[0] % 2 == 0) {
        if (auto m = zelt::wire::decode(in.p, in.n); m && m->type == zelt::wire::Type::Request)
            (void)dev.handle(m->request, now);
        return 0;
    }
    zelt::crypto::BoxKeyPair clients[2] = {zelt::crypto::newBoxKeyPair(), zelt::crypto::newBoxKeyPair()};
    std::vector<zelt::wire::Request> sent;
    static const char *passwords[] = {"Admin12345", "wrong", "Fresh12345", ""};
    while (in.n > 0 && sent.size() < 16) {
        const uint8_t op = in.u8();
        now += in.u8() / 4.0;
        if (op % 5 == 4 && !sent.empty()) { // a request again: retransmission or replay
            auto out = dev.handle(sent[in.u8() % sent.size()], now);
            if (out.datagram && out.changed && out.fromCache)
                std::abort(); // a cached answer never applies again
            continue;
        }
        const auto &client = clients[op & 1];
        zelt::crypto::SessionKeys keys;
        if (!zelt::crypto::clientSessionKeys(client, dev.record().boxKey, keys))
            continue;
        zelt::wire::CommandBody b;
        b.command = zelt::wire::Command(1 + in.u8() % 6);
        b.password = passwords[in.u8() % 4];
        if (in.u8() & 1)
            b.securityCode = in.u8() & 1 ? "FUZZ-CODE-1" : "WRONG";
        b.newPassword = passwords[in.u8() % 4];
        if (in.u8() % 4 == 0) {
            std::string key = zelt::crypto::makeKeyData(dev.record().serial, zelt::wire::macText(dev.record().mac),
                                                        dev.state().keyNonce);
            if (auto f = zelt::crypto::signKeyFile(key, in.u8() & 1 ? fuzz::maker() : fuzz::otherMaker()))
                b.keyFile.assign(f->begin(), f->end());
        }
        b.netFlags = in.u8();
        for (auto *a : {&b.ipv4, &b.mask, &b.gateway})
            for (auto &x : *a)
                x = in.u8();
        b.ipv6[0] = in.u8();
        b.ipv6Prefix = in.u8();
        b.dhcp = in.u8() % 3;
        b.port = in.u16();
        b.httpPort = in.u16();
        b.timeMs = 946684800000ull + uint64_t(in.u16()) * 100000000ull; // 2000 to 2207: some out of range
        zelt::wire::Request r;
        r.mac = dev.record().mac;
        r.serial = dev.record().serial;
        r.clientId = 7;
        r.requestId = uint32_t(100 + sent.size()) - (in.u8() % 3 == 0 ? 2000u : 0u);
        r.clientKey = client.pk;
        b.clientId = r.clientId;
        b.requestId = r.requestId;
        b.mac = r.mac;
        b.stampMs = dev.uptimeMs(now) + (in.u8() % 8 == 0 ? 60000 : 0);
        zelt::crypto::sealRequest(r, b, keys);
        auto out = dev.handle(r, now);
        if (out.datagram) {
            auto m = zelt::wire::decode(out.datagram->data(), out.datagram->size());
            if (!m || m->type != zelt::wire::Type::Response || !zelt::crypto::openResponse(m->response, keys))
                std::abort();
        }
        sent.push_back(r);
    }
    return 0;
}
