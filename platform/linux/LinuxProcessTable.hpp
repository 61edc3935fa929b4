#pragma once

#include <filesystem>

#include "Seam.hpp"

namespace sapwell::platform {

// Processes from procfs. `procRoot` is "/proc" in production, a fixture tree in tests.
class LinuxProcessTable final : public ProcessTable {
public:
    explicit LinuxProcessTable(std::filesystem::path procRoot = "/proc");

    std::vector<Pid> listPIDs() override;
    std::optional<std::uint64_t> energyNJ(Pid pid) override;
    std::optional<std::uint64_t> taskCPUTimeNS(Pid pid) override;
    std::optional<std::string> processPath(Pid pid) override;
    std::optional<std::string> processName(Pid pid) override;

private:
    std::filesystem::path procRoot_;
};

}  // namespace sapwell::platform
