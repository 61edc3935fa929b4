#pragma once

// Pure logic behind the sysfs battery source: parsing a power supply's uevent and turning the
// battery's readings into the property map the gauge reads.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "Seam.hpp"

namespace sapwell::platform {

// The POWER_SUPPLY_* lines of a uevent file, keyed without the prefix ("CAPACITY", "STATUS").
using Uevent = std::map<std::string, std::string, std::less<>>;

Uevent parseUevent(std::string_view text);

// A key's value as a whole number; absent when missing or not entirely an integer.
std::optional<std::int64_t> integerValue(const Uevent& ev, std::string_view key);

// The gauge's property map for one battery. `externalOnline` is whether any mains, USB or
// wireless supply reports online; absent when the machine has no such supply at all, in which
// case the battery's own status stands in for it.
PropertyMap batteryProperties(const Uevent& battery, std::optional<bool> externalOnline);

}  // namespace sapwell::platform
