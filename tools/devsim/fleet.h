// The simulated fleet: generation from a seed, JSON configuration and the
// state file that keeps devices across restarts.
#pragma once

#include "device.h"
#include "json.h"

#include <string>
#include <vector>

namespace devsim {

struct FleetOptions {
    unsigned count = 24;
    unsigned seed = 1;
    std::string password = "Admin12345";  // of the devices that start active
};

std::vector<zelt::DeviceState> generateFleet(const FleetOptions &opt);
// Devices from a JSON array (state file or configuration); an entry may give
// "password" in clear instead of "password_hash", or "inactive": true.
bool fleetFromJson(const zelt::json::Value &devices, std::vector<zelt::DeviceState> &out, std::string *error);
std::string fleetToJson(const std::vector<zelt::DeviceState> &fleet);

}  // namespace devsim
