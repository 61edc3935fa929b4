#pragma once

#include <cstdint>
#include <optional>
#include <string>

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

// What the property map keeps of one value: numbers as doubles, booleans as booleans; anything
// else, and a real that is not finite, is left out.
std::optional<PropertyValue> propertyValue(const CFScalar& value);

// Adds one dictionary entry to the map. A key that is not text (absent) or is empty is skipped,
// and so is a value that propertyValue leaves out.
void addProperty(PropertyMap& map, const std::optional<std::string>& key, const CFScalar& value);

}  // namespace sapwell::platform
