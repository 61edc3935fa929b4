#include "LinuxProcessTable.hpp"

// Placeholder until the procfs probes land: an empty process table.
namespace sapwell::platform {

LinuxProcessTable::LinuxProcessTable(std::filesystem::path procRoot) : procRoot_(std::move(procRoot)) {}
std::vector<Pid> LinuxProcessTable::listPIDs() { return {}; }
std::optional<std::uint64_t> LinuxProcessTable::energyNJ(Pid) { return std::nullopt; }
std::optional<std::uint64_t> LinuxProcessTable::taskCPUTimeNS(Pid) { return std::nullopt; }
std::optional<std::string> LinuxProcessTable::processPath(Pid) { return std::nullopt; }
std::optional<std::string> LinuxProcessTable::processName(Pid) { return std::nullopt; }

}  // namespace sapwell::platform
