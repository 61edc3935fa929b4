#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sapwell::platform {

// The unified-hierarchy cgroup path of a process: the "0::" line of /proc/PID/cgroup.
std::optional<std::string_view> unifiedCgroupPath(std::string_view cgroupFile);

// True for the system's own services and the init process: the path lies in "system.slice"
// or "init.scope" at the top of the hierarchy.
bool isSystemCgroup(std::string_view cgroupPath);

// The desktop application id of the unit a cgroup path lies in, per the systemd convention
// for application units: "app-[<launcher>-]<appid>[@<random>].service" or
// "app-[<launcher>-]<appid>-<random>.scope". Slices and the per-user service manager
// ("user@<uid>.service") are looked through; the first other unit decides. Absent for any
// other unit, or when the id could not name a file.
std::optional<std::string> appIdOfCgroup(std::string_view cgroupPath);

// The same for one unit name; also "app-[...-]<appid>.slice" where the id is reverse-DNS (a
// terminal's slice above the scopes of its tabs).
std::optional<std::string> appIdOfUnit(std::string_view unit);

// The application id of the cgroup's own unit or of the nearest enclosing unit that names one,
// slices included: what a whole control group belongs to.
std::optional<std::string> appIdOfGroup(std::string_view cgroupPath);

// The name shown for an application without a desktop entry: the last dot-separated part.
std::string shortAppName(std::string_view appId);

}  // namespace sapwell::platform
