#include "BatteryProperties.hpp"

#include <cmath>

namespace sapwell::platform {

std::optional<PropertyValue> propertyValue(const CFScalar& value) {
    switch (value.kind) {
    case CFScalar::Kind::integer: return PropertyValue(static_cast<double>(value.integer));
    case CFScalar::Kind::real:
        // A NaN would pass every comparison in the gauge's arithmetic and reach the history.
        if (!std::isfinite(value.real)) return std::nullopt;
        return PropertyValue(value.real);
    case CFScalar::Kind::boolean: return PropertyValue(value.truth);
    case CFScalar::Kind::other: break;
    }
    return std::nullopt;
}

void addProperty(PropertyMap& map, const std::optional<std::string>& key, const CFScalar& value) {
    if (!key || key->empty()) return;
    if (auto v = propertyValue(value)) map.insert_or_assign(*key, std::move(*v));
}

}  // namespace sapwell::platform
