#pragma once

#include <optional>

#include "Bucket.hpp"
#include "Seam.hpp"

namespace sapwell {

// The energy the battery delivers between two passes, from its own gauge. Differences of the
// remaining energy are preferred: over a window they add up to the true fall whatever the
// gauge's step or update cadence, where single power readings are often smoothed, stale or
// wrong.
class DrainMeter {
public:
    // More than this from a laptop battery is a gauge glitch, not a load.
    static constexpr double maxPlausibleMW = 150'000;

    // Takes the pass's reading and returns what the battery delivered since the previous one,
    // over the `seconds` awake between them: the fall in remaining energy when both readings
    // have one (a rise counts nothing), else the mean of their powers over the interval. Absent
    // when the battery was not discharging at both ends, the pass follows sleep or a stop
    // (`interrupted`), neither kind of figure is there, or the figures imply an implausible power.
    std::optional<Drain> measure(const BatteryReading& reading, double seconds, bool interrupted);

private:
    std::optional<BatteryReading> previous_;
    // Measured seconds since the remaining energy last moved: a gauge that holds its value for
    // minutes and then catches up is judged against the whole time it held it.
    double heldS_ = 0;
};

}  // namespace sapwell
