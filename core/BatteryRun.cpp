#include "BatteryRun.hpp"

namespace sapwell {

namespace {

// Levels come in whole percent from most gauges, and a gauge read either side of a step can
// show one point more a minute later without any charge coming in.
constexpr double levelJitter = 1.0;

}  // namespace

std::optional<BatteryRun> batteryRun(const History& history) {
    std::optional<BatteryRun> run;
    std::optional<double> laterPct;
    // false: the run has ended.
    const auto step = [&](const Bucket& minute) {
        if (!minute.batState) return true;
        if (*minute.batState != ChargeState::discharging) return false;
        if (minute.batPct && laterPct && *minute.batPct < *laterPct - levelJitter) return false;
        if (!run) run = BatteryRun{};
        run->since = minute.minute;
        if (minute.batPct) run->startPct = laterPct = minute.batPct;
        return true;
    };
    if (auto open = history.openMinute(); open && !step(*open)) return run;
    const auto minutes = history.past();
    for (auto it = minutes.rbegin(); it != minutes.rend() && step(*it); ++it) {
    }
    return run;
}

std::optional<SleepRecord> lastSleep(const History& history, std::int64_t now) {
    const auto& sleeps = history.sleeps();
    for (auto it = sleeps.rbegin(); it != sleeps.rend(); ++it) {
        if (it->minute < now - lastSleepWithinSeconds) break;
        if (it->minute > now || !(it->seconds >= lastSleepMinSeconds)) continue;
        if (!it->pctBefore || !it->pctAfter || *it->pctAfter > *it->pctBefore) continue;
        return *it;
    }
    return std::nullopt;
}

}  // namespace sapwell
