#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "Amounts.hpp"
#include "History.hpp"

namespace sapwell {

// Shares the battery's measured drain among the applications by their CPU time, after setting
// aside what the machine draws when idle (screen, chipset, idle processor).

// Power the machine draws whatever runs, in mW (mJ per second).
struct IdlePower {
    double mW = 0;
    bool fitted = false;       // false: the 10th percentile of minute power stands in for the fit
    std::size_t minutes = 0;   // measured minutes it was drawn from
};

// Below these the fit's intercept is too loosely held to trust.
inline constexpr std::size_t idleFitMinMinutes = 30;
inline constexpr double idleFitMinCpuSpan = 300;  // ms of CPU per second

// From every minute with a measured drain: the intercept of minute power against minute CPU rate,
// by least squares that leaves out the worst tenth of residuals, clamped to [0, the median power
// of the tenth of the minutes it kept with the lowest CPU rates]; the 10th percentile of minute
// power while the minutes are too few or their CPU rates too alike. 0 without any measured minute.
IdlePower idlePower(std::span<const Bucket> minutes);

// One minute's drain shared out, all in mJ. idleMJ + the sum of appMJ == drainMJ exactly.
struct MinuteShare {
    std::uint64_t drainMJ = 0;
    double seconds = 0;
    std::uint64_t idleMJ = 0;
    std::vector<std::uint64_t> appMJ;  // appMJ[i] belongs to the minute's i-th item, in stored order
};

// Absent without a drain measured over a positive, finite time.
std::optional<MinuteShare> shareMinute(const Bucket& minute, double idleMW);
// The same into `out`, reusing its storage across minutes; false (and `out` cleared) when absent.
bool shareMinute(const Bucket& minute, double idleMW, MinuteShare& out);

// A window's drain shared out: sums over its measured minutes; divide by `seconds` for rates.
struct BatteryShare {
    std::uint64_t drainMJ = 0;
    double seconds = 0;
    std::uint64_t idleMJ = 0;
    NamedAmounts apps;  // mJ, heaviest first; names given nothing are left out
};

BatteryShare shareOut(std::span<const Bucket> minutes, double idleMW);
// The same for a history's window: its closed minutes and the minute in progress.
BatteryShare shareWindow(const History& history, std::int64_t now, std::int64_t minutes,
                         double idleMW);

// The idle power of every stored minute, fitted again only once another minute has closed: the
// fit reads them all, and the menu asks for it at every rebuild.
class IdlePowerCache {
public:
    const IdlePower& of(const History& history);

private:
    std::optional<std::uint64_t> fittedAt_;  // the history's closedCount() at the fit
    IdlePower idle_;
};

}  // namespace sapwell
