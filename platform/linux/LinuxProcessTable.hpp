#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "DesktopEntry.hpp"
#include "Seam.hpp"

namespace sapwell::platform {

// Processes from procfs. Linux keeps no per-process energy counter, so energyNJ is absent.
// The folders are parameters so tests can hand in fixture trees: `procRoot` is "/proc" in
// production; the XDG data folders are where desktop entries are looked up.
class LinuxProcessTable final : public ProcessTable {
public:
    explicit LinuxProcessTable(std::filesystem::path procRoot = "/proc",
                               std::optional<std::filesystem::path> xdgDataHome = std::nullopt,
                               std::vector<std::filesystem::path> xdgDataDirs = {"/usr/local/share",
                                                                                 "/usr/share"});

    std::vector<Pid> listPIDs() override;
    std::optional<std::uint64_t> energyNJ(Pid pid) override;
    std::optional<std::uint64_t> taskCPUTimeNS(Pid pid) override;
    std::optional<std::string> processPath(Pid pid) override;
    std::optional<std::string> processName(Pid pid) override;
    // Kernel threads and system services belong to "Linux"; processes in a desktop
    // application's unit to that application; others to their executable's file name.
    std::optional<Owner> ownerOf(Pid pid, const std::optional<std::string>& path) override;

private:
    // Writes "<procRoot>/<pid>/<leaf>" into `out`; false when it does not fit.
    bool procFile(Pid pid, const char* leaf, char* out, std::size_t size) const;
    std::optional<std::uint64_t> statCPUTimeNS(Pid pid) const;

    std::string procRoot_;
    bool liveKernel_;  // the kernel's CPU clocks describe this tree only when it is the real /proc
    long ticksPerSecond_;
    std::size_t lastCount_ = 0;
    DesktopEntries desktopEntries_;
};

}  // namespace sapwell::platform
