#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Amounts.hpp"
#include "Metric.hpp"
#include "Seam.hpp"

namespace sapwell {

// Energy where any process reports a non-zero energy counter, otherwise CPU time.
Metric detectMetric(ProcessTable& processes);

// One sampling pass.
struct Sample {
    NamedAmounts deltas;    // per application, largest first; empty unless usable
    double awakeDelta = 0;  // growth of the awake clock, never negative
    double slept = 0;       // time asleep since the previous pass; 0 unless above 2 s
    // Awake time since the previous pass when far more than one interval passed awake (the
    // program was stopped or starved); 0 otherwise. Such a pass is treated like one after sleep.
    double overdue = 0;
    bool usable = false;  // not the first pass, no sleep and not overdue
};

// Turns cumulative per-process counters into per-application amounts.
//
// A process is its pid together with its start time. Where the table tells a process's age, a
// process born since the previous pass brings its whole counter; and where the table offers group
// counters (CPU time only), the part of a group's growth that none of its live members account for
// (work of members that started and ended between two passes) goes to the group's owner.
class Sampler {
public:
    static constexpr double defaultInterval = 15.0;
    // A pass is overdue when its awake interval exceeds both this and twice the interval.
    static constexpr double overdueFloorS = 60.0;

    Sampler(Metric metric, ProcessTable& processes, Clocks& clocks,
            double interval = defaultInterval);

    Sample sample();
    // Names every running process now, so bundle(of) knows what is running.
    void primeBundles();
    // The bundle path recorded for an application name in this run.
    std::optional<std::string> bundle(const std::string& of) const;

    Metric metric() const { return metric_; }

private:
    struct Counters {
        std::uint64_t energyNJ = 0;
        std::uint64_t cpuNS = 0;
    };
    static constexpr std::uint32_t noGroup = ~0u;
    struct Reading {
        Pid pid;
        Counters counters;
        double start;  // on the continuous clock; its first sighting where the age is unknown
        std::uint32_t group;  // slot of the group it was first seen in, or noGroup
    };
    struct Group {
        std::string key;                       // the group's name; empty for a free slot
        std::optional<std::uint64_t> usageNS;  // the baseline; absent until read once
        std::uint64_t countedNS = 0;           // growth counted for its members in this pass
        bool members = false;                  // has members in this pass
        bool membersBefore = false;            // had members in the previous pass
        bool grew = false;                     // its counter moved in the previous pass
        bool ownerAsked = false;
        std::optional<std::string> owner;  // the owner the group names itself
        Pid oldest = 0;                    // its longest-lived member in this pass
        double oldestStart = 0;
        Pid namedAfter = 0;  // the member memberOwner was taken from
        // The owner of its longest-lived member, kept after that member is gone.
        std::string memberOwner;
    };

    const std::string& nameOf(Pid pid);
    void forgetName(Pid pid);
    const Reading* previous(Pid pid) const;
    // The same, for pids looked up in turn: `from` is where the search starts, and is left just
    // past where it ended. Inline for the usual case of the very next reading.
    const Reading* previous(Pid pid, std::size_t& from) const {
        if (from < prev_.size() && prev_[from].pid == pid) return &prev_[from++];
        return seekPrevious(pid, from);
    }
    const Reading* seekPrevious(Pid pid, std::size_t& from) const;
    std::uint32_t groupOf(ProcessGroups& groups, Pid pid);
    void groupOwner(ProcessGroups& groups, Group& group);
    void settleGroups(ProcessGroups& groups, bool usable, Sample& out);
    void addAmount(NamedAmounts& deltas, const std::string& name, std::uint64_t amount);

    Metric metric_;
    ProcessTable& processes_;
    Clocks& clocks_;
    double overdueS_;
    // The readings of the previous pass, ascending by pid. Two buffers swap every pass so a
    // pass allocates nothing once they have grown to the size of the process table.
    std::vector<Reading> prev_;
    std::vector<Reading> next_;
    std::unordered_map<Pid, std::string> names_;
    std::unordered_map<std::string, std::string> bundles_;
    // Group counters in slots that readings refer to, and the slot of each group's name.
    std::vector<Group> groups_;
    std::vector<std::uint32_t> freeGroups_;
    std::unordered_map<std::string, std::uint32_t> groupSlots_;
    // Per-pass index from application name (a view into names_ or groups_) to its slot in the
    // deltas.
    std::unordered_map<std::string_view, std::size_t> appSlots_;
    double lastAwake_ = 0;
    double lastContinuous_ = 0;
    bool first_ = true;
};

}  // namespace sapwell
