#pragma once

// Pure logic behind the sysfs battery source: parsing a power supply's uevent and turning the
// battery's attributes (µV, µA, µW, µWh, µAh) into a reading.

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

// One battery's reading, `external` telling whether the machine runs on external power.
// - level: the capacity in percent, else the counter now over the counter full (or as designed);
// - full energy: the energy counter, or the charge counter times the design voltage (the present
//   one when there is none); the full counter as designed only when the battery has no other;
// - remaining energy: the energy counter, or the charge counter times the present voltage (the
//   design one when there is none);
// - power: the power counter, or the current times the present voltage; magnitudes, since some
//   drivers give discharging a negative sign and others do not.
BatteryReading batteryReading(const Uevent& battery, bool external);

// Every present system battery read as one: the level from the summed energy now over the summed
// full, the full energy summed, charging when any one charges; the remaining energy and the power
// summed when every battery reports them. Empty without a battery.
BatteryReading combinedReading(const std::vector<Uevent>& batteries, std::optional<bool> supplyOnline);

}  // namespace sapwell::platform
