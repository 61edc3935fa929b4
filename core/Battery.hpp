#pragma once

#include <optional>

#include "ChargeState.hpp"
#include "Seam.hpp"

namespace sapwell {

struct BatterySnapshot {
    std::optional<double> pct;  // 0 to 100 inclusive when present
    std::optional<ChargeState> state;

    static const BatterySnapshot none;
    bool operator==(const BatterySnapshot&) const = default;
};

namespace Battery {
// The energy of a full battery in millijoules; absent unless positive and finite.
std::optional<double> capacityMJ(const BatteryReading& reading);
// Level and state together, or none: a state is only reported with a level.
BatterySnapshot snapshot(const BatteryReading& reading);
}  // namespace Battery

}  // namespace sapwell
