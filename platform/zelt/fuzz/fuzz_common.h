// Fixed keys for the fuzz targets, so that seeds written once stay valid.
#pragma once

#include "crypto.h"

#include <sodium.h>

#include <cstring>

namespace fuzz {

inline zelt::crypto::SignKeyPair signKeys(uint8_t tag)
{
    zelt::crypto::init();
    unsigned char seed[crypto_sign_SEEDBYTES];
    std::memset(seed, tag, sizeof seed);
    zelt::crypto::SignKeyPair kp;
    crypto_sign_seed_keypair(kp.pk.data(), kp.sk.data(), seed);
    return kp;
}

inline const zelt::crypto::SignKeyPair &maker()
{
    static const auto kp = signKeys(0x4d);
    return kp;
}
inline const zelt::crypto::SignKeyPair &otherMaker()
{
    static const auto kp = signKeys(0x6f);
    return kp;
}

// Reads the input front to back; zeros once it is used up.
struct Bytes {
    const uint8_t *p;
    size_t n;
    uint8_t u8()
    {
        if (!n)
            return 0;
        --n;
        return *p++;
    }
    uint16_t u16() { return uint16_t(u8() | (u8() << 8)); }
};

} // namespace fuzz
