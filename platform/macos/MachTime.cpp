#include "MachTime.hpp"

#include <limits>

namespace sapwell::platform {

std::uint64_t machTicksToNanos(std::uint64_t ticks, std::uint32_t numer, std::uint32_t denom) {
    if (denom == 0) return ticks;
    constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    // ticks = q·denom + r, so ticks·numer/denom = q·numer + r·numer/denom; r·numer < 2^64
    // because both factors are below 2^32.
    const std::uint64_t q = ticks / denom;
    const std::uint64_t r = ticks % denom;
    if (numer != 0 && q > max / numer) return max;
    const std::uint64_t whole = q * numer;
    const std::uint64_t part = r * numer / denom;
    return whole > max - part ? max : whole + part;
}

}  // namespace sapwell::platform
