#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>

#include "Seam.hpp"

namespace sapwell::platform {

// One value of the battery's CoreFoundation property dictionary, as far as the battery logic
// cares, described without CoreFoundation so the conversion can be tested on any system.
struct CFScalar {
    enum class Kind {
        integer,  // a CFNumber of an integer type, read as 64-bit signed
        real,     // a CFNumber of a floating-point type
        boolean,  // a CFBoolean
        other,    // strings, data, arrays, dictionaries, numbers that do not fit 64 bits
    };
    Kind kind = Kind::other;
    std::int64_t integer = 0;
    double real = 0.0;
    bool truth = false;
};

// A battery property: a number, a boolean, or (wrongly typed) text.
using PropertyValue = std::variant<double, bool, std::string>;
using PropertyMap = std::map<std::string, PropertyValue, std::less<>>;

// What the property map keeps of one value: numbers as doubles, booleans as booleans; anything
// else, and a real that is not finite, is left out.
std::optional<PropertyValue> propertyValue(const CFScalar& value);

// Adds one dictionary entry to the map. A key that is not text (absent) or is empty is skipped,
// and so is a value that propertyValue leaves out.
void addProperty(PropertyMap& map, const std::optional<std::string>& key, const CFScalar& value);

// The reading the "AppleSmartBattery" entry's properties give. A key counts only when present
// with the required kind (a number, or a boolean for the two flags); anything else reads as
// missing.
// - level: "CurrentCapacity" over "MaxCapacity" (100 when missing); when that full value is not
//   positive, or there is no "CurrentCapacity", "AppleRawCurrentCapacity" over the first of
//   "AppleRawMaxCapacity", "NominalChargeCapacity", "DesignCapacity" that counts;
// - state: discharging without "ExternalConnected", else charging or on AC by "IsCharging";
// - energies: those charges in mAh times "Voltage" in mV; the first capacity key that counts
//   wins whatever its value, and a product that is not positive is absent;
// - power: "Amperage" (mA, negative while discharging) times "Voltage", as a magnitude.
BatteryReading batteryReading(const PropertyMap& props);

}  // namespace sapwell::platform
