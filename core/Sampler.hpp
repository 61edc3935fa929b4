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
    bool usable = false;    // not the first pass and no sleep detected
};

// Turns cumulative per-process counters into per-application amounts.
class Sampler {
public:
    Sampler(Metric metric, ProcessTable& processes, Clocks& clocks);

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
    struct Reading {
        Pid pid;
        Counters counters;
    };

    const std::string& nameOf(Pid pid);
    const Counters* previous(Pid pid) const;

    Metric metric_;
    ProcessTable& processes_;
    Clocks& clocks_;
    // The readings of the previous pass, ascending by pid. Two buffers swap every pass so a
    // pass allocates nothing once they have grown to the size of the process table.
    std::vector<Reading> prev_;
    std::vector<Reading> next_;
    std::unordered_map<Pid, std::string> names_;
    std::unordered_map<std::string, std::string> bundles_;
    // Per-pass index from application name (a view into names_) to its slot in the deltas.
    std::unordered_map<std::string_view, std::size_t> groupIndex_;
    double lastAwake_ = 0;
    double lastContinuous_ = 0;
    bool first_ = true;
};

}  // namespace sapwell
