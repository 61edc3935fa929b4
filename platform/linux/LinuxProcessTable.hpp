#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "CgroupCounters.hpp"
#include "CgroupWatch.hpp"
#include "DesktopEntry.hpp"
#include "Seam.hpp"

namespace sapwell::platform {

// Processes from procfs. Linux keeps no per-process energy counter, so energyNJ is absent.
// The folders are parameters so tests can hand in fixture trees: `procRoot` is "/proc" in
// production; the XDG data folders are where desktop entries are looked up, their names read in
// the language of `locale` (a POSIX locale name).
//
// Where the unified control-group hierarchy is mounted (as "<procRoot>/self/mountinfo" tells),
// it also offers the CPU counters of control groups: systemd gives every desktop application and
// service a group of its own, and a group's counter keeps the work of members that have exited.
class LinuxProcessTable final : public ProcessTable, public ProcessGroups {
public:
    explicit LinuxProcessTable(std::filesystem::path procRoot = "/proc",
                               std::optional<std::filesystem::path> xdgDataHome = std::nullopt,
                               std::vector<std::filesystem::path> xdgDataDirs = {"/usr/local/share",
                                                                                 "/usr/share"},
                               std::string locale = {});

    std::vector<Pid> listPIDs() override;
    std::optional<std::uint64_t> energyNJ(Pid pid) override;
    std::optional<std::uint64_t> taskCPUTimeNS(Pid pid) override;
    std::optional<std::string> processPath(Pid pid) override;
    std::optional<std::string> processName(Pid pid) override;
    // From the start time in /proc/PID/stat against CLOCK_BOOTTIME.
    std::optional<double> processAgeSeconds(Pid pid) override;
    ProcessGroups* groups() override;

    LinuxProcessTable(const LinuxProcessTable&) = delete;
    LinuxProcessTable& operator=(const LinuxProcessTable&) = delete;
    // Kernel threads and system services belong to "Linux"; processes in a desktop
    // application's unit to that application; a helper from a library folder to the program
    // that started it; others to their executable's file name.
    std::optional<Owner> ownerOf(Pid pid, const std::optional<std::string>& path) override;

    // Groups are cgroup paths as /proc/PID/cgroup gives them; the root takes no part.
    std::optional<std::string> groupOf(Pid pid) override;
    std::optional<std::uint64_t> groupCPUTimeNS(const std::string& group) override;
    // The application of the group's unit or the nearest enclosing one, "Linux" for the
    // system's own services; absent otherwise.
    std::optional<Owner> groupOwner(const std::string& group) override;
    // From the notices of new folders, watched from the first pass that reads groups on.
    bool groupIsNew(const std::string& group) override;

private:
    // Writes "<procRoot>/<pid>/<leaf>" into `out`; false when it does not fit.
    bool procFile(Pid pid, const char* leaf, char* out, std::size_t size) const;
    std::optional<std::uint64_t> statCPUTimeNS(Pid pid) const;
    Owner applicationOwner(const std::string& appId);
    // The owner of the program that started a helper from a library folder, where one did.
    std::optional<Owner> launcherOwner(Pid pid);

    // A process met for the first time is asked its age, group and owner one after another: its
    // stat and cgroup files are read once for all, within one pass.
    struct Recent {
        Pid pid = 0;
        std::uint64_t pass = 0;
        std::string text;
    };
    std::string_view recentText(Pid pid, const char* leaf, Recent& recent);

    std::string procRoot_;
    bool liveKernel_;  // the kernel's CPU clocks describe this tree only when it is the real /proc
    long ticksPerSecond_;
    std::size_t lastCount_ = 0;
    DesktopEntries desktopEntries_;
    std::optional<CgroupCounters> cgroups_;  // where a cgroup2 hierarchy is mounted
    std::optional<CgroupWatch> cgroupWatch_;  // once a pass has read groups
    std::uint64_t pass_ = 0;                 // listings so far
    Recent recentStat_, recentCgroup_;
};

}  // namespace sapwell::platform
