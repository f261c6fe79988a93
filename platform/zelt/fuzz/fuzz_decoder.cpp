// libFuzzer target: every datagram and sealed body decoder on hostile bytes,
// a re-encode of whatever decodes, the key-file and JSON readers.
#include "crypto.h"
#include "json.h"
#include "wire.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (auto m = zelt::wire::decode(data, size)) {
        auto again = zelt::wire::encode(*m);
        auto back = zelt::wire::decode(again.data(), again.size());
        if (!back)
            std::abort(); // what we accept we must be able to write back
    }
    if (auto c = zelt::wire::decodeCommand(data, size))
        (void)zelt::wire::encodeCommand(*c);
    if (auto r = zelt::wire::decodeResult(data, size))
        (void)zelt::wire::encodeResult(*r);
    std::string text(reinterpret_cast<const char *>(data), size);
    (void)zelt::crypto::parseKeyData(text);
    static const std::array<uint8_t, 32> makerKey{};
    (void)zelt::crypto::verifySignedKeyFile(text, makerKey);
    (void)zelt::json::parse(text); // simulator configuration and state files
    return 0;
}
