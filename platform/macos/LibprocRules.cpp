#include "LibprocRules.hpp"

#include <algorithm>

#include "MachTime.hpp"

namespace sapwell::platform {

std::size_t pidSlots(int bytesNeeded) {
    if (bytesNeeded < 1) return 0;
    return static_cast<std::size_t>(bytesNeeded) / sizeof(Pid) + 64;
}

std::vector<Pid> filledPids(const std::vector<Pid>& buffer, int bytesFilled) {
    std::vector<Pid> pids;
    if (bytesFilled < 1) return pids;
    const std::size_t count =
        std::min(static_cast<std::size_t>(bytesFilled) / sizeof(Pid), buffer.size());
    pids.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (buffer[i] > 0) pids.push_back(buffer[i]);
    }
    return pids;
}

std::optional<std::uint64_t> cpuNanos(std::uint64_t userTicks, std::uint64_t systemTicks,
                                      std::uint32_t numer, std::uint32_t denom) {
    const std::uint64_t ticks = userTicks + systemTicks;
    if (ticks < userTicks) return std::nullopt;
    return machTicksToNanos(ticks, numer, denom);
}

std::optional<double> ageSeconds(std::uint64_t startSec, std::uint64_t startUsec, double now) {
    if (startSec == 0 && startUsec == 0) return std::nullopt;
    if (!(now > 0.0)) return std::nullopt;  // the wall clock could not be read
    const double start = static_cast<double>(startSec) + static_cast<double>(startUsec) / 1e6;
    return std::max(0.0, now - start);
}

}  // namespace sapwell::platform
