#include "LinuxProcessTable.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>

#include "AppUnit.hpp"
#include "LibraryHelper.hpp"
#include "ProcStat.hpp"
#include "RetryOnInterrupt.hpp"
#include "Text.hpp"
#include "XdgDirs.hpp"

namespace sapwell::platform {

namespace {

// Reads a small file into `buf` (procfs files report size 0, so read until EOF or full).
// The view is empty when the file cannot be read.
std::string_view readSmall(const char* path, char* buf, std::size_t size) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::size_t used = 0;
    while (used < size) {
        const ssize_t n = retryOnInterrupt([&] { return ::read(fd, buf + used, size - used); });
        if (n <= 0) break;
        used += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return {buf, used};
}

std::vector<std::filesystem::path> foldersFor(std::optional<std::filesystem::path> home,
                                              std::vector<std::filesystem::path> dirs) {
    return applicationFolders(XdgDataFolders{std::move(home), std::move(dirs)});
}

constexpr std::string_view deletedSuffix = " (deleted)";

}  // namespace

LinuxProcessTable::LinuxProcessTable(std::filesystem::path procRoot,
                                     std::optional<std::filesystem::path> xdgDataHome,
                                     std::vector<std::filesystem::path> xdgDataDirs,
                                     std::string locale)
    : procRoot_(procRoot.string()),
      liveKernel_(procRoot == "/proc"),
      ticksPerSecond_(::sysconf(_SC_CLK_TCK)),
      desktopEntries_(foldersFor(std::move(xdgDataHome), std::move(xdgDataDirs)),
                      std::move(locale)) {
    // Read whole: machines with many mounts (containers, snaps) have long tables.
    std::ifstream mountinfo(procRoot_ + "/self/mountinfo");
    std::ostringstream text;
    text << mountinfo.rdbuf();
    if (auto mount = cgroup2Mount(text.str())) cgroups_.emplace(std::move(*mount));
}

bool LinuxProcessTable::procFile(Pid pid, const char* leaf, char* out, std::size_t size) const {
    const int n =
        std::snprintf(out, size, "%s/%d/%s", procRoot_.c_str(), static_cast<int>(pid), leaf);
    return n > 0 && static_cast<std::size_t>(n) < size;
}

std::vector<Pid> LinuxProcessTable::listPIDs() {
    std::vector<Pid> pids;
    DIR* dir = ::opendir(procRoot_.c_str());
    if (dir == nullptr) return pids;
    pids.reserve(lastCount_ + 64);
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] < '1' || name[0] > '9') continue;  // numeric entries only, no 0
        const char* end = name + std::strlen(name);
        Pid pid = 0;
        const auto [p, ec] = std::from_chars(name, end, pid);
        if (ec == std::errc{} && p == end && pid > 0) pids.push_back(pid);
    }
    ::closedir(dir);
    lastCount_ = pids.size();
    ++pass_;  // one listing per pass
    if (cgroups_) cgroups_->nextPass();
    if (cgroupWatch_) cgroupWatch_->nextPass();
    return pids;
}

std::optional<std::uint64_t> LinuxProcessTable::energyNJ(Pid) {
    return std::nullopt;
}

std::optional<std::uint64_t> LinuxProcessTable::taskCPUTimeNS(Pid pid) {
    if (liveKernel_) {
        // Nanosecond resolution, all threads including exited ones, any user's process.
        clockid_t clock{};
        timespec ts{};
        if (::clock_getcpuclockid(pid, &clock) == 0 && ::clock_gettime(clock, &ts) == 0 &&
            ts.tv_sec >= 0 && ts.tv_nsec >= 0)
            return static_cast<std::uint64_t>(ts.tv_sec) * 1'000'000'000u +
                   static_cast<std::uint64_t>(ts.tv_nsec);
    }
    return statCPUTimeNS(pid);
}

std::optional<std::uint64_t> LinuxProcessTable::statCPUTimeNS(Pid pid) const {
    char path[512];
    char buf[4096];
    if (!procFile(pid, "stat", path, sizeof path)) return std::nullopt;
    const auto stat = parseProcStat(readSmall(path, buf, sizeof buf));
    if (!stat) return std::nullopt;
    const std::uint64_t ticks = stat->utimeTicks + stat->stimeTicks;
    if (ticks < stat->utimeTicks) return std::nullopt;  // nonsense that wrapped
    return ticksToNS(ticks, ticksPerSecond_);
}

std::optional<std::string> LinuxProcessTable::processPath(Pid pid) {
    char link[512];
    char buf[4096];
    if (!procFile(pid, "exe", link, sizeof link)) return std::nullopt;
    const ssize_t n = ::readlink(link, buf, sizeof buf);
    if (n < 1) return std::nullopt;  // EACCES, ENOENT: other users, kernel threads, zombies
    std::string_view target(buf, static_cast<std::size_t>(n));
    if (target.ends_with(deletedSuffix)) {
        target.remove_suffix(deletedSuffix.size());
        // An anonymous memory file (container runtimes, sandboxes) has a random name, not a
        // path: every start would add a new name. The short name stands in for it.
        if (target.starts_with("/memfd:")) return std::nullopt;
    }
    if (target.empty()) return std::nullopt;
    return text::repairUtf8(target);
}

std::optional<std::string> LinuxProcessTable::processName(Pid pid) {
    if (const auto path = processPath(pid)) {
        std::string last = OwnerResolver::lastComponent(*path);
        if (!last.empty()) return last;
    }
    char file[512];
    char buf[256];
    if (!procFile(pid, "comm", file, sizeof file)) return std::nullopt;
    std::string_view comm = readSmall(file, buf, sizeof buf);
    if (comm.ends_with('\n')) comm.remove_suffix(1);
    if (comm.empty()) return std::nullopt;
    return text::repairUtf8(comm);
}

std::string_view LinuxProcessTable::recentText(Pid pid, const char* leaf, Recent& recent) {
    if (recent.pid == pid && recent.pass == pass_) return recent.text;
    char path[512];
    char buf[8192];
    recent.pid = pid;
    recent.pass = pass_;
    recent.text.assign(procFile(pid, leaf, path, sizeof path) ? readSmall(path, buf, sizeof buf)
                                                              : std::string_view());
    return recent.text;
}

std::optional<double> LinuxProcessTable::processAgeSeconds(Pid pid) {
    const auto stat = parseProcStat(recentText(pid, "stat", recentStat_));
    timespec now{};
    if (!stat || !stat->startTicks || ticksPerSecond_ <= 0 ||
        ::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return std::nullopt;
    const double started =
        static_cast<double>(*stat->startTicks) / static_cast<double>(ticksPerSecond_);
    const double age =
        static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9 - started;
    return age > 0 ? age : 0.0;
}

ProcessGroups* LinuxProcessTable::groups() {
    if (!cgroups_) return nullptr;
    // Set up when a pass first reads groups rather than with the table: the modes that only
    // list processes once never need it.
    if (!cgroupWatch_) cgroupWatch_.emplace(cgroups_->mount().mountPoint);
    return this;
}

std::optional<std::string> LinuxProcessTable::groupOf(Pid pid) {
    if (!cgroups_) return std::nullopt;
    const auto path = unifiedCgroupPath(recentText(pid, "cgroup", recentCgroup_));
    if (!path || !cgroupFolder(cgroups_->mount(), *path)) return std::nullopt;
    return std::string(*path);
}

std::optional<std::uint64_t> LinuxProcessTable::groupCPUTimeNS(const std::string& group) {
    if (!cgroups_) return std::nullopt;
    return cgroups_->usageNS(group);
}

bool LinuxProcessTable::groupIsNew(const std::string& group) {
    if (!cgroups_ || !cgroupWatch_) return false;
    const auto folder = cgroupFolder(cgroups_->mount(), group);
    return folder && cgroupWatch_->isNew(*folder);
}

std::optional<Owner> LinuxProcessTable::groupOwner(const std::string& group) {
    if (isSystemCgroup(group)) return Owner{systemOwner, std::nullopt};
    if (const auto appId = appIdOfGroup(group)) return applicationOwner(*appId);
    return std::nullopt;
}

Owner LinuxProcessTable::applicationOwner(const std::string& appId) {
    if (const auto* entry = desktopEntries_.find(appId))
        return Owner{entry->name.value_or(shortAppName(appId)), entry->path};
    return Owner{shortAppName(appId), std::nullopt};
}

std::optional<Owner> LinuxProcessTable::ownerOf(Pid pid, const std::optional<std::string>& path) {
    const auto stat = parseProcStat(recentText(pid, "stat", recentStat_));
    if (stat && (stat->flags & pfKthread) != 0) return Owner{systemOwner, std::nullopt};
    if (const auto cgroup = unifiedCgroupPath(recentText(pid, "cgroup", recentCgroup_))) {
        if (isSystemCgroup(*cgroup)) return Owner{systemOwner, std::nullopt};
        // A desktop application's unit gathers all its helpers, whatever they run.
        if (const auto appId = appIdOfCgroup(*cgroup)) return applicationOwner(*appId);
    }
    if (!path) return std::nullopt;
    if (isLibraryHelper(*path))
        if (auto owner = launcherOwner(pid)) return owner;
    return Owner{OwnerResolver::lastComponent(*path), std::nullopt};
}

// A helper a program started for itself stays in that program's group; one a service manager
// started runs in a unit of its own, and one whose launcher is gone has the first process for a
// parent. Helpers started by helpers are looked through, a few deep.
std::optional<Owner> LinuxProcessTable::launcherOwner(Pid pid) {
    const auto cgroupOf = [this](Pid p) {
        char path[512];
        char buf[4096];
        if (!procFile(p, "cgroup", path, sizeof path)) return std::string();
        return std::string(unifiedCgroupPath(readSmall(path, buf, sizeof buf)).value_or(""));
    };
    const auto parentOf = [this](Pid p) -> Pid {
        char path[512];
        char buf[4096];
        if (!procFile(p, "stat", path, sizeof path)) return 0;
        const auto stat = parseProcStat(readSmall(path, buf, sizeof buf));
        return stat && stat->parentPid <= 0x7fffffff ? static_cast<Pid>(stat->parentPid) : 0;
    };
    const std::string group = cgroupOf(pid);
    constexpr int maxDepth = 8;
    for (int depth = 0; depth < maxDepth; ++depth) {
        const Pid parent = parentOf(pid);
        if (parent <= 1 || parent == pid || cgroupOf(parent) != group) return std::nullopt;
        const auto path = processPath(parent);
        if (!path) return std::nullopt;
        if (!isLibraryHelper(*path)) return Owner{OwnerResolver::lastComponent(*path), std::nullopt};
        pid = parent;
    }
    return std::nullopt;
}

}  // namespace sapwell::platform
