#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Chart.hpp"
#include "DrainEstimate.hpp"
#include "Format.hpp"
#include "History.hpp"
#include "MenuEntry.hpp"

namespace sapwell {

// Minutes the status figure covers; the menu's first row repeats it.
inline constexpr std::int64_t statusWindowMinutes = 5;
// Measured drain the status window must hold before the figures speak of the battery: less is
// one or two passes, whose falls of a stepping gauge say little.
inline constexpr double minBatteryDrainSeconds = 60;
// The drain the measured runtime goes by.
inline constexpr std::int64_t runtimeWindowMinutes = 15;

// True when the figures speak of the battery's measured drain: the battery is discharging now,
// the metric is CPU time (which the drain is shared out by), and `status`, the status window,
// holds at least minBatteryDrainSeconds of measured drain.
bool speaksBattery(const Aggregate& status, const Units& units);

// The status item's figure at `now`: the status window's measured drain in the energy metric's
// compact form while speaksBattery ("9.8%/h"), else the metric's own.
std::string statusFigure(const History& history, const Units& units, std::int64_t now);

// What the battery figures take besides the history.
struct BatteryNow {
    std::optional<double> remainingMJ = {};  // energy left in the battery now
    std::optional<double> levelPct = {};     // its level now; else the newest minute's
    IdlePowerCache* idle = nullptr;          // kept by a caller that rebuilds; else fitted here
};

// The status menu for a history at `now`, as the running application shows it. `bundles` maps
// application names to bundle paths (rows with a path reveal it).
MenuEntries buildMenu(const History& history, const Units& units, const BundleMap& bundles,
                      std::int64_t now, const BatteryNow& battery = {});

}  // namespace sapwell
