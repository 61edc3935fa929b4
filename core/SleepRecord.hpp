#pragma once

#include <cstdint>

namespace sapwell {

// One time the machine slept, with the battery level on either side of it.
struct SleepRecord {
    std::int64_t minute = 0;  // Unix seconds of the start of the minute in which it fell asleep
    double seconds = 0;       // time asleep
    double pctBefore = 0;     // battery level before and after, in percent
    double pctAfter = 0;
    bool operator==(const SleepRecord&) const = default;
};

}  // namespace sapwell
