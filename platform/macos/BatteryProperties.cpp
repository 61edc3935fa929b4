#include "BatteryProperties.hpp"

#include <cmath>
#include <string_view>

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

namespace {

std::optional<double> number(const PropertyMap& props, std::string_view key) {
    auto it = props.find(key);
    if (it == props.end()) return std::nullopt;
    if (const double* d = std::get_if<double>(&it->second)) return *d;
    return std::nullopt;
}

std::optional<bool> boolean(const PropertyMap& props, std::string_view key) {
    auto it = props.find(key);
    if (it == props.end()) return std::nullopt;
    if (const bool* b = std::get_if<bool>(&it->second)) return *b;
    return std::nullopt;
}

// The first capacity key that counts wins, whatever its value.
std::optional<double> fullChargeMAh(const PropertyMap& props) {
    for (std::string_view key : {"AppleRawMaxCapacity", "NominalChargeCapacity", "DesignCapacity"})
        if (auto v = number(props, key)) return v;
    return std::nullopt;
}

std::optional<double> level(const PropertyMap& props) {
    if (auto current = number(props, "CurrentCapacity")) {
        const double full = number(props, "MaxCapacity").value_or(100.0);
        if (full > 0) return *current / full * 100.0;
        // A gauge without a positive full value: try the raw charge instead.
    }
    auto current = number(props, "AppleRawCurrentCapacity");
    if (!current) return std::nullopt;
    auto full = fullChargeMAh(props);
    if (!full || !(*full > 0)) return std::nullopt;
    return *current / *full * 100.0;
}

// mAh x mV = µWh, and one µWh is 3.6 mJ. An empty battery holds nothing, a full one something.
std::optional<double> energyMJ(std::optional<double> mAh, std::optional<double> mV, bool emptyCounts) {
    if (!mAh || !mV || !(*mV > 0) || !(*mAh > 0 || (emptyCounts && *mAh == 0))) return std::nullopt;
    const double mj = *mAh * *mV * 3.6;
    if (!std::isfinite(mj)) return std::nullopt;
    return mj;
}

}  // namespace

BatteryReading batteryReading(const PropertyMap& props) {
    BatteryReading r;
    r.levelPct = level(props);
    const bool external = boolean(props, "ExternalConnected").value_or(false);
    r.state = !external ? ChargeState::discharging
              : boolean(props, "IsCharging").value_or(false) ? ChargeState::charging
                                                             : ChargeState::acPower;
    const auto mV = number(props, "Voltage");
    r.fullMJ = energyMJ(fullChargeMAh(props), mV, false);
    r.remainingMJ = energyMJ(number(props, "AppleRawCurrentCapacity"), mV, true);
    // mA x mV = µW.
    if (auto mA = number(props, "Amperage"); mA && mV && *mV > 0) r.powerMW = std::fabs(*mA) * *mV / 1000.0;
    return r;
}

}  // namespace sapwell::platform
