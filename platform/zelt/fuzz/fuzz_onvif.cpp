// libFuzzer target: the ONVIF side. The first byte picks the path: the
// SDK's handling of WS-Discovery datagrams (a script of several, so that
// table updates, goodbyes and the settling of new devices are reached), or
// the readers of device-service answers and of the UsernameToken header.
#include "engine.h"
#include "onvif.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    setenv("ZELT_CERT_CACHE", "off", 1); // no file of the user's read or written for every input
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t mode = data[0];
    ++data;
    --size;
    if (mode % 2 == 0) {
        zelt::Engine engine(zelt::net::Settings{}, zelt::EngineTiming{}, {});
        // Datagrams separated by a NUL byte, at most eight.
        for (int k = 0; k < 8 && size > 0; ++k) {
            const uint8_t *end = static_cast<const uint8_t *>(std::memchr(data, 0, size));
            const size_t n = end ? size_t(end - data) : size;
            engine.handleDiscovery(data, n);
            data += n;
            size -= n;
            if (size) {
                ++data;
                --size;
            }
        }
        (void)engine.onvifDeviceCount();
        return 0;
    }
    auto env = zelt::onvif::parse(reinterpret_cast<const char *>(data), size);
    if (!env)
        return 0;
    (void)zelt::onvif::readDeviceInformation(*env);
    if (auto nics = zelt::onvif::readNetworkInterfaces(*env))
        for (auto &n : *nics)
            (void)zelt::onvif::maskFromPrefix(n.prefix);
    (void)zelt::onvif::readDefaultGateway(*env);
    (void)zelt::onvif::readHttpPort(*env);
    (void)zelt::onvif::readRebootNeeded(*env);
    (void)zelt::onvif::readSystemTime(*env);
    if (auto f = zelt::onvif::fault(*env))
        (void)f->subcode.size();
    if (auto t = zelt::onvif::findUsernameToken(*env)) {
        (void)zelt::onvif::passwordDigest(t->nonce, t->created, "Admin12345");
        (void)zelt::onvif::parseIsoTime(t->created);
    }
    return 0;
}
