#pragma once

#include <cstdint>

#include "Seam.hpp"

namespace sapwell::platform {

// Processes through libproc. Energy comes from the rusage_info_v6 record (macOS 13 and later;
// macOS 12 refuses that flavour, so every reading is absent and the metric falls back to CPU
// time). CPU times arrive in Mach ticks and are converted with the machine's timebase.
class MacProcessTable final : public ProcessTable {
public:
    // `clocks` supplies the wall clock that process start times are measured against.
    explicit MacProcessTable(Clocks& clocks);

    std::vector<Pid> listPIDs() override;
    std::optional<std::uint64_t> energyNJ(Pid pid) override;
    std::optional<std::uint64_t> taskCPUTimeNS(Pid pid) override;
    std::optional<std::string> processPath(Pid pid) override;
    std::optional<std::string> processName(Pid pid) override;
    std::optional<double> processAgeSeconds(Pid pid) override;

private:
    Clocks& clocks_;
    std::uint32_t numer_ = 1;  // the timebase: nanoseconds = ticks × numer ÷ denom
    std::uint32_t denom_ = 1;
};

}  // namespace sapwell::platform
