#include "DrainMeter.hpp"

#include <cmath>
#include <utility>

namespace sapwell {

namespace {

bool discharging(const BatteryReading& r) { return r.state == ChargeState::discharging; }

}  // namespace

std::optional<Drain> DrainMeter::measure(const BatteryReading& reading, double seconds, bool interrupted) {
    const std::optional<BatteryReading> before = std::exchange(previous_, reading);
    const double held = std::exchange(heldS_, 0.0);
    if (!before || interrupted || !discharging(*before) || !discharging(reading)) return std::nullopt;
    if (!(seconds > 0) || !std::isfinite(seconds)) return std::nullopt;

    double mJ = 0;
    if (before->remainingMJ && reading.remainingMJ) {
        const double fall = *before->remainingMJ - *reading.remainingMJ;
        if (!std::isfinite(fall)) return std::nullopt;
        if (fall == 0) heldS_ = held + seconds;
        // mJ per second is mW.
        if (fall > 0 && fall / (held + seconds) > maxPlausibleMW) return std::nullopt;
        mJ = fall > 0 ? fall : 0;
    } else if (before->powerMW && reading.powerMW) {
        const double meanMW = (*before->powerMW + *reading.powerMW) / 2;
        if (meanMW > maxPlausibleMW) return std::nullopt;
        mJ = meanMW * seconds;
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(mJ)) return std::nullopt;
    return Drain{static_cast<std::uint64_t>(std::llround(mJ)), seconds};
}

}  // namespace sapwell
