#pragma once

#include <cstdint>

namespace sapwell::platform {

// Mach absolute-time ticks to nanoseconds: ticks × numer ÷ denom, the ratio mach_timebase_info
// reports (1/1 on Intel, 125/3 on Apple silicon). Exact (rounded down) for every input, without
// the 64-bit overflow of ticks × numer; a result beyond 64 bits saturates. A denominator of 0 (the
// call failed) counts ticks as nanoseconds.
std::uint64_t machTicksToNanos(std::uint64_t ticks, std::uint32_t numer, std::uint32_t denom);

}  // namespace sapwell::platform
