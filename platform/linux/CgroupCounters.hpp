#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Cgroup.hpp"

namespace sapwell::platform {

// Reads the CPU counters of control groups pass after pass. Opening a cgroup file costs about
// four times reading it again, so the files of the groups in use stay open; a file not read for a
// few passes is closed, and so is one whose group has gone.
class CgroupCounters {
public:
    explicit CgroupCounters(Cgroup2Mount mount) : mount_(std::move(mount)) {}
    ~CgroupCounters();
    CgroupCounters(const CgroupCounters&) = delete;
    CgroupCounters& operator=(const CgroupCounters&) = delete;

    const Cgroup2Mount& mount() const { return mount_; }
    // usage_usec of the group's cpu.stat in nanoseconds; absent when the group is gone, is the
    // root, or cannot be read.
    std::optional<std::uint64_t> usageNS(const std::string& group);
    // A new pass begins: closes the files that went unread for a while.
    void nextPass();

private:
    static constexpr std::size_t maxOpen = 512;  // beyond this, files are opened for each read
    static constexpr std::uint64_t idlePasses = 4;

    struct File {
        int fd;
        std::uint64_t lastRead;
    };

    using Entry = std::pair<const std::string, File>;

    // Forgets the order of reads, before an entry it may point to is erased.
    void forgetOrder();

    Cgroup2Mount mount_;
    std::unordered_map<std::string, File> files_;
    std::uint64_t pass_ = 0;
    // Every pass reads the same groups in the same order, so each name is first compared with the
    // group read at that point of the previous pass, which spares hashing it.
    std::vector<Entry*> order_;    // the previous pass's reads
    std::vector<Entry*> reading_;  // this pass's reads so far
    std::size_t next_ = 0;         // the place in order_ of the next read
};

}  // namespace sapwell::platform
