#pragma once

#include <cstdint>
#include <optional>

namespace sapwell {

// A sleep that began on battery, with the battery's level on both sides of it.
struct SleepRecord {
    std::int64_t minute = 0;  // the minute of waking, Unix seconds of its start
    double seconds = 0;       // time asleep
    std::optional<double> pctBefore = {};
    std::optional<double> pctAfter = {};
    bool operator==(const SleepRecord&) const = default;
};

}  // namespace sapwell
