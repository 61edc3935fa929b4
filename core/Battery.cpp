#include "Battery.hpp"

#include <cmath>

namespace sapwell {

const BatterySnapshot BatterySnapshot::none{};

namespace Battery {

std::optional<double> capacityMJ(const BatteryReading& reading) {
    if (!reading.fullMJ || !(*reading.fullMJ > 0) || !std::isfinite(*reading.fullMJ)) return std::nullopt;
    return reading.fullMJ;
}

BatterySnapshot snapshot(const BatteryReading& reading) {
    // NaN (a NaN reading, or infinity over infinity) is no level at all.
    if (!reading.levelPct || std::isnan(*reading.levelPct)) return BatterySnapshot::none;
    const double raw = *reading.levelPct;
    const double pct = raw <= 0 ? 0.0 : (raw > 100 ? 100.0 : raw);
    return BatterySnapshot{pct, reading.state.value_or(ChargeState::discharging)};
}

}  // namespace Battery

}  // namespace sapwell
