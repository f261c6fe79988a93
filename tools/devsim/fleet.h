// The simulated fleet: generation from a seed, JSON configuration and the
// state file that keeps devices across restarts.
#pragma once

#include "device.h"
#include "json.h"
#include "tls.h"

#include <string>
#include <vector>

namespace devsim {

struct FleetOptions {
    unsigned count = 24;
    unsigned seed = 1;
    std::string password = "Admin12345"; // of the devices that start active
};

// The maker gives every device an identity key and certifies it.
std::vector<zelt::DeviceState> generateFleet(const FleetOptions &opt, const zelt::crypto::SignKeyPair &maker);
// Devices from a JSON array (state file or configuration); an entry may give
// "password" in clear instead of "password_hash", or "inactive": true. A
// device without an identity gets one; a certificate that is missing or
// not this maker's is issued anew.
// tls, when given, takes each device's ONVIF TLS identity ("onvif_tls_key"
// and "onvif_tls_cert", PEM; empty when the device has none); one that
// does not parse, or a certificate that is not the key's, is an error.
bool fleetFromJson(const zelt::json::Value &devices, const zelt::crypto::SignKeyPair &maker,
                   std::vector<zelt::DeviceState> &out, std::string *error, std::vector<TlsIdentity> *tls = nullptr);
// A fresh identity key and the maker's certificate for it.
void certify(zelt::DeviceState &s, const zelt::crypto::SignKeyPair &maker);
// Security codes come from the system's random source, never from the seed.
std::string newSecurityCode();
// tls: the devices' TLS identities, in the fleet's order (or none).
std::string fleetToJson(const std::vector<zelt::DeviceState> &fleet, const std::vector<TlsIdentity> *tls = nullptr);

} // namespace devsim
