#include "Battery.hpp"

#include <cmath>

namespace sapwell {

std::string_view ChargeState::tag() const {
    switch (value_) {
        case discharging: return "d";
        case charging: return "c";
        case acPower: return "a";
    }
    return "d";
}

std::optional<ChargeState> ChargeState::from(std::string_view tag) {
    if (tag == "d") return ChargeState(discharging);
    if (tag == "c") return ChargeState(charging);
    if (tag == "a") return ChargeState(acPower);
    return std::nullopt;
}

const BatterySnapshot BatterySnapshot::none{};

namespace {

// A key counts only when present with the required kind; anything else reads as missing.
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

}  // namespace

namespace Battery {

std::optional<double> capacityMJ(const PropertyMap& props) {
    auto capacity = fullChargeMAh(props);
    auto voltage = number(props, "Voltage");
    if (!capacity || !voltage) return std::nullopt;
    if (!(*capacity > 0) || !(*voltage > 0)) return std::nullopt;
    // mAh x mV = µWh, and one µWh is 3.6 mJ.
    const double mj = *capacity * *voltage * 3.6;
    if (!std::isfinite(mj)) return std::nullopt;
    return mj;
}

BatterySnapshot snapshot(const PropertyMap& props) {
    auto raw = level(props);
    // NaN (a NaN reading, or infinity over infinity) is no level at all.
    if (!raw || std::isnan(*raw)) return BatterySnapshot::none;
    const double pct = *raw <= 0 ? 0.0 : (*raw > 100 ? 100.0 : *raw);

    const bool external = boolean(props, "ExternalConnected").value_or(false);
    const std::optional<bool> charging = boolean(props, "IsCharging");
    ChargeState state = ChargeState::discharging;
    if (external) state = charging.value_or(false) ? ChargeState::charging : ChargeState::acPower;
    return BatterySnapshot{pct, state};
}

std::optional<double> capacityMJ(BatterySource& source) {
    auto props = source.properties();
    if (!props) return std::nullopt;
    return capacityMJ(*props);
}

BatterySnapshot snapshot(BatterySource& source) {
    auto props = source.properties();
    if (!props) return BatterySnapshot::none;
    return snapshot(*props);
}

}  // namespace Battery

}  // namespace sapwell
