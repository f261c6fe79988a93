// What the ONVIF part needs of the ZELT part, and what the ZELT part tells
// it: nothing else passes between them.
//
// A device heard over ZELT is commanded over ZELT or not at all. So the
// ONVIF part hides an entry whose MAC a listed ZELT device has, and refuses
// one whose MAC or serial number a ZELT device had in this run; it asks
// the ZELT part through ZeltLookup. The ZELT part says when a MAC or serial
// number came or went through ZeltIndexListener.
//
// Lock order: ONVIF part, then ZELT part. claim() takes the ZELT lock for
// a few lookups and may be called under the ONVIF lock; the ZELT part calls
// the listener only after releasing its own lock, and the listener only
// notes what to look at again (at the engine's next tick, through claim()),
// so the order in which notes arrive does not matter.
#pragma once

#include "wire.h"

#include <string>

namespace zelt {

// What the ZELT table says about an identity an ONVIF entry claims.
struct ZeltClaim {
    bool listed = false;          // a ZELT device with this MAC is in the table
    bool heard = false;           // a ZELT device had this MAC or this serial number in this run
    bool serialElsewhere = false; // a listed ZELT device has this serial number with another MAC
};

class ZeltLookup
{
public:
    // Takes the ZELT lock briefly; never call it holding that lock.
    virtual ZeltClaim claim(const std::string &serial, const wire::Mac &mac) const = 0;

protected:
    ~ZeltLookup() = default;
};

class ZeltIndexListener
{
public:
    // A ZELT device with this serial number and MAC came or went. Called
    // without the ZELT lock, on the thread that changed the table.
    virtual void zeltIdentityChanged(const std::string &serial, const wire::Mac &mac) = 0;

protected:
    ~ZeltIndexListener() = default;
};

} // namespace zelt
