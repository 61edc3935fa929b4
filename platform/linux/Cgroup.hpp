#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sapwell::platform {

// Where the unified (v2) control-group hierarchy is mounted: `mountPoint` shows the hierarchy's
// `root`, which is "/" unless only a subtree is mounted there.
struct Cgroup2Mount {
    std::string mountPoint;
    std::string root;
    bool operator==(const Cgroup2Mount&) const = default;
};

// The cgroup2 mount in the text of /proc/self/mountinfo: one that shows the whole hierarchy
// where there is one, else the first. Absent when there is none (a v1-only system).
std::optional<Cgroup2Mount> cgroup2Mount(std::string_view mountinfo);

// The folder of a cgroup (a path as /proc/PID/cgroup gives it) under the mount. Absent for the
// root of what is mounted, which holds everything, and for paths outside the mount or with "."
// or ".." components.
std::optional<std::string> cgroupFolder(const Cgroup2Mount& mount, std::string_view cgroupPath);

// "usage_usec" of a cgroup's cpu.stat, in nanoseconds (saturating). Absent when missing.
std::optional<std::uint64_t> cpuStatUsageNS(std::string_view cpuStat);

}  // namespace sapwell::platform
