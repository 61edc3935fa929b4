#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace sapwell::platform {

// Kernel thread flag in the `flags` field of /proc/PID/stat.
inline constexpr std::uint64_t pfKthread = 0x00200000;

// The fields of /proc/PID/stat this program uses.
struct ProcStat {
    std::uint64_t flags = 0;       // field 9
    std::uint64_t utimeTicks = 0;  // field 14, clock ticks
    std::uint64_t stimeTicks = 0;  // field 15, clock ticks
    // Field 22: when the process started, in clock ticks since boot (CLOCK_BOOTTIME); absent
    // when the line ends before it or it is malformed.
    std::optional<std::uint64_t> startTicks;
    std::uint64_t parentPid = 0;  // field 4; 0 for the first process and kernel threads' parent
};

// Parses the text of /proc/PID/stat. The command name (field 2) may contain spaces and
// parentheses, so the fields are counted from the last ")". Absent when malformed.
std::optional<ProcStat> parseProcStat(std::string_view content);

// Clock ticks to nanoseconds without intermediate overflow; saturates. 0 for a bad tick rate.
std::uint64_t ticksToNS(std::uint64_t ticks, long ticksPerSecond);

}  // namespace sapwell::platform
