#include "MacProcessTable.hpp"

#include <libproc.h>
#include <mach/mach_time.h>
#include <sys/resource.h>

#include <algorithm>
#include <string_view>

#include "LibprocRules.hpp"
#include "Text.hpp"

namespace sapwell::platform {

namespace {

// The kernel writes whole records; a size that differs from the documented one would read
// garbage, so the build stops instead.
static_assert(sizeof(proc_taskinfo) == 96);
static_assert(sizeof(proc_bsdinfo) == 136);
static_assert(sizeof(rusage_info_v6) == 464);

constexpr std::uint32_t pathBufferSize = 4096;  // PROC_PIDPATHINFO_MAXSIZE
constexpr std::uint32_t nameBufferSize = 256;

template <class Record>
bool readInfo(Pid pid, int flavor, Record& record) {
    record = Record{};
    return proc_pidinfo(pid, flavor, 0, &record, static_cast<int>(sizeof record)) ==
           static_cast<int>(sizeof record);
}

}  // namespace

MacProcessTable::MacProcessTable(Clocks& clocks) : clocks_(clocks) {
    mach_timebase_info_data_t timebase{};
    if (mach_timebase_info(&timebase) == KERN_SUCCESS && timebase.denom != 0) {
        numer_ = timebase.numer;
        denom_ = timebase.denom;
    }
}

std::vector<Pid> MacProcessTable::listPIDs() {
    // Without a buffer the call answers how many bytes the list needs now.
    const int needed = proc_listpids(PROC_ALL_PIDS, 0, nullptr, 0);
    const std::size_t slots = pidSlots(needed);
    if (slots == 0) return {};
    std::vector<Pid> buffer(slots, 0);
    const int filled = proc_listpids(PROC_ALL_PIDS, 0, buffer.data(),
                                     static_cast<int>(buffer.size() * sizeof(Pid)));
    return filledPids(buffer, filled);
}

std::optional<std::uint64_t> MacProcessTable::energyNJ(Pid pid) {
    rusage_info_v6 info{};
    if (proc_pid_rusage(pid, RUSAGE_INFO_V6, reinterpret_cast<rusage_info_t*>(&info)) != 0)
        return std::nullopt;  // gone, not permitted, or a system without this flavour
    return info.ri_energy_nj;  // already nanojoules
}

std::optional<std::uint64_t> MacProcessTable::taskCPUTimeNS(Pid pid) {
    proc_taskinfo info{};
    if (!readInfo(pid, PROC_PIDTASKINFO, info)) return std::nullopt;
    // Mach ticks, not nanoseconds: on Apple silicon a tick is 125/3 ns.
    return cpuNanos(info.pti_total_user, info.pti_total_system, numer_, denom_);
}

std::optional<std::string> MacProcessTable::processPath(Pid pid) {
    char buffer[pathBufferSize] = {};
    const int n = proc_pidpath(pid, buffer, pathBufferSize);
    if (n < 1) return std::nullopt;
    const auto length = std::min<std::size_t>(static_cast<std::size_t>(n), pathBufferSize);
    return text::repairUtf8(std::string_view(buffer, length));
}

std::optional<std::string> MacProcessTable::processName(Pid pid) {
    if (const auto path = processPath(pid)) {
        std::string last = OwnerResolver::lastComponent(*path);
        if (!last.empty()) return last;
    }
    char buffer[nameBufferSize] = {};
    const int n = proc_name(pid, buffer, nameBufferSize);
    if (n < 1) return std::nullopt;
    const auto length = std::min<std::size_t>(static_cast<std::size_t>(n), nameBufferSize);
    return text::repairUtf8(std::string_view(buffer, length));
}

std::optional<double> MacProcessTable::processAgeSeconds(Pid pid) {
    proc_bsdinfo info{};
    if (!readInfo(pid, PROC_PIDTBSDINFO, info)) return std::nullopt;
    return ageSeconds(info.pbi_start_tvsec, info.pbi_start_tvusec, clocks_.wallSeconds());
}

}  // namespace sapwell::platform
