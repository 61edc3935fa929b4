#pragma once

// Pure logic behind the sysfs battery source: parsing a power supply's uevent and turning the
// battery's readings into the property map the gauge reads.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Seam.hpp"

namespace sapwell::platform {

// The POWER_SUPPLY_* lines of a uevent file, keyed without the prefix ("CAPACITY", "STATUS").
using Uevent = std::map<std::string, std::string, std::less<>>;

Uevent parseUevent(std::string_view text);

// A key's value as a whole number; absent when missing or not entirely an integer.
std::optional<std::int64_t> integerValue(const Uevent& ev, std::string_view key);

// Whether the machine runs on external power: a battery that says it is charging does, and so
// does any online supply that is not a battery. `supplyOnline` is whether such a supply is online,
// absent when the machine has none at all; the batteries' own status stands in for it then.
bool externalPower(const std::vector<Uevent>& batteries, std::optional<bool> supplyOnline);

// The gauge's property map for one battery.
PropertyMap batteryProperties(const Uevent& battery, bool external);

// The gauge's property map for every present system battery together: the level from the summed
// energy now over the summed full, the capacity the summed full, charging when any one charges.
// Absent without a battery.
std::optional<PropertyMap> combinedProperties(const std::vector<Uevent>& batteries,
                                              std::optional<bool> supplyOnline);

}  // namespace sapwell::platform
