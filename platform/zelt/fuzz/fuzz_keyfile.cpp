// libFuzzer target: the strict XML reader and the key-file readers.
#include "crypto.h"
#include "fuzz_common.h"
#include "xmlstrict.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    (void)zelt::xml::parseDocument(text);
    auto key = zelt::crypto::parseKeyData(text);
    if (key) {
        // What reads as key data can be signed and read back, the same.
        auto signedFile = zelt::crypto::signKeyFile(text, fuzz::maker());
        auto back = signedFile ? zelt::crypto::verifySignedKeyFile(*signedFile, fuzz::maker().pk) : std::nullopt;
        if (!back || back->serial != key->serial || back->mac != key->mac || back->nonce != key->nonce)
            std::abort();
    }
    if (auto k = zelt::crypto::verifySignedKeyFile(text, fuzz::maker().pk);
        k && !zelt::crypto::parseKeyData(zelt::crypto::makeKeyData(k->serial, k->mac, k->nonce)))
        std::abort();
    return 0;
}
