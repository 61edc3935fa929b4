#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

#include "Amounts.hpp"
#include "Battery.hpp"
#include "MinuteItems.hpp"

namespace sapwell {

inline constexpr int topPerMinute = 24;
inline constexpr std::int64_t retentionMinutes = 11520;
inline constexpr std::int64_t retentionSeconds = retentionMinutes * 60;

// Energy the battery delivered while discharging, over the part of a minute in which its fall
// was measured.
struct Drain {
    std::uint64_t mJ = 0;
    double seconds = 0;
    bool operator==(const Drain&) const = default;
};

// Two measured parts together, the energy saturating rather than wrapping.
inline Drain operator+(const Drain& a, const Drain& b) { return {saturatingAdd(a.mJ, b.mJ), a.seconds + b.seconds}; }

// One closed minute.
struct Bucket {
    std::int64_t minute = 0;  // Unix seconds of the minute's start
    double awakeS = 0;
    MinuteItems items;  // heaviest first, at most topPerMinute; names stored once per process
    std::optional<double> batPct;
    std::optional<ChargeState> batState;
    std::optional<Drain> drain;  // absent when the battery's drain was not measured
    bool operator==(const Bucket&) const = default;
};

// Sums over a window.
struct Aggregate {
    NamedAmounts totals;  // every name, heaviest first
    std::uint64_t grandTotal = 0;
    double awakeS = 0;
    std::optional<Drain> drain;  // the measured drain of its minutes; absent when none was measured
};

// The start of the minute holding `now`.
inline std::int64_t minuteOf(std::int64_t now) { return now / 60 * 60; }

// now - minutes * 60, without overflowing for absurd arguments.
inline std::int64_t windowCutoff(std::int64_t now, std::int64_t minutes) {
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t highest = std::numeric_limits<std::int64_t>::max();
    std::int64_t span = 0;
    if (__builtin_mul_overflow(minutes, std::int64_t{60}, &span)) return minutes > 0 ? lowest : highest;
    std::int64_t cutoff = 0;
    if (__builtin_sub_overflow(now, span, &cutoff)) return span > 0 ? lowest : highest;
    return cutoff;
}

// The awake time of a minute's two parts together: their sum, but no more than the minute's 60 s
// unless one part alone held more (a pass that ran late brings time from before the minute).
inline double mergedAwake(double a, double b) { return std::min(a + b, std::max({60.0, a, b})); }

// Whether a minute falls into the window of `minutes` up to `now`: not before its cutoff and not
// after the minute of `now`, so minutes ahead of the clock (a clock set back) count nowhere.
inline bool inWindow(std::int64_t minute, std::int64_t now, std::int64_t minutes) {
    return minute >= windowCutoff(now, minutes) && minute <= minuteOf(now);
}

}  // namespace sapwell
