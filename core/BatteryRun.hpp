#pragma once

#include <cstdint>
#include <optional>

#include "History.hpp"
#include "SleepRecord.hpp"

namespace sapwell {

// The stretch on battery that lasts up to now: the discharging minutes back to the last time the
// machine was on external power, across gaps and sleeps.
struct BatteryRun {
    std::int64_t since = 0;              // its first discharging minute, Unix seconds
    std::optional<double> startPct = {};  // the level at its start (the earliest one known)
    bool operator==(const BatteryRun&) const = default;
};

// Absent unless the newest minute with a charge state (the open one included) is discharging.
// Minutes without a state neither end the run nor start it; a level that rose between two
// discharging minutes by more than a gauge's jitter means it charged in a gap, which ends it.
std::optional<BatteryRun> batteryRun(const History& history);

// Sleeps shorter than this leave a whole-percent gauge where it was: their rate says nothing.
inline constexpr double lastSleepMinSeconds = 300;
inline constexpr std::int64_t lastSleepWithinSeconds = 86'400;

// The latest sleep that woke within the last 24 hours, lasted at least 5 minutes and has both
// levels, the level not risen (it charged meanwhile); absent when there is none.
std::optional<SleepRecord> lastSleep(const History& history, std::int64_t now);

}  // namespace sapwell
