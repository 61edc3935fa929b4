#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "Seam.hpp"

namespace sapwell::platform {

// Slots to allocate for a process list that needed `bytesNeeded` bytes: 64 spare slots absorb
// processes started between asking for the size and reading the list.
std::size_t pidSlots(int bytesNeeded);

// The identifiers proc_listpids wrote: the first `bytesFilled` / 4 slots (never more than the
// buffer holds), those greater than 0, in order.
std::vector<Pid> filledPids(const std::vector<Pid>& buffer, int bytesFilled);

// User plus system CPU time, given in Mach ticks, in nanoseconds; absent when the sum of the
// ticks does not fit 64 bits (a record that makes no sense).
std::optional<std::uint64_t> cpuNanos(std::uint64_t userTicks, std::uint64_t systemTicks,
                                      std::uint32_t numer, std::uint32_t denom);

// Seconds since a process started at (startSec, startUsec) since the epoch, at wall time `now`.
// Absent for a zero start (not reported) or an unreadable wall clock (0); never negative, since a wall clock set back must not
// make a process younger than new.
std::optional<double> ageSeconds(std::uint64_t startSec, std::uint64_t startUsec, double now);

}  // namespace sapwell::platform
