#include "Sampler.hpp"

#include <algorithm>

namespace sapwell {

namespace {

constexpr std::uint64_t perUnit = 1'000'000;  // nanojoules per millijoule, ns per ms
constexpr double sleepThresholdS = 2.0;

double positive(double x) {
    return x > 0 ? x : 0;
}

// Tab, "=", "," and line feed separate fields of the history file.
void sanitise(std::string& name) {
    for (char& c : name)
        if (c == '\t' || c == '=' || c == ',' || c == '\n') c = '_';
}

}  // namespace

Metric detectMetric(ProcessTable& processes) {
    for (Pid pid : processes.listPIDs())
        if (const auto nj = processes.energyNJ(pid); nj && *nj != 0) return Metric::energy;
    return Metric::cpuTime;
}

Sampler::Sampler(Metric metric, ProcessTable& processes, Clocks& clocks)
    : metric_(metric),
      processes_(processes),
      clocks_(clocks),
      lastAwake_(clocks.awakeSeconds()),
      lastContinuous_(clocks.continuousSeconds()) {}

const Sampler::Counters* Sampler::previous(Pid pid) const {
    const auto it = std::lower_bound(prev_.begin(), prev_.end(), pid,
                                     [](const Reading& r, Pid p) { return r.pid < p; });
    return it != prev_.end() && it->pid == pid ? &it->counters : nullptr;
}

Sample Sampler::sample() {
    Sample out;
    const double awake = clocks_.awakeSeconds();
    const double continuous = clocks_.continuousSeconds();
    out.awakeDelta = positive(awake - lastAwake_);
    const double continuousDelta = positive(continuous - lastContinuous_);
    const double gap = positive(continuousDelta - out.awakeDelta);
    out.slept = gap > sleepThresholdS ? gap : 0;
    lastAwake_ = awake;
    lastContinuous_ = continuous;
    out.usable = out.slept == 0 && !first_;

    const std::vector<Pid> pids = processes_.listPIDs();
    next_.clear();
    next_.reserve(pids.size());
    groupIndex_.clear();
    const bool energy = metric_ == Metric::energy;

    for (const Pid pid : pids) {
        Counters current;
        if (energy) {
            const auto nj = processes_.energyNJ(pid);
            if (!nj) continue;
            current.energyNJ = *nj;
        } else {
            const auto ns = processes_.taskCPUTimeNS(pid);
            if (!ns) continue;
            current.cpuNS = *ns;
        }
        if (out.usable) {
            if (const Counters* before = previous(pid)) {
                const std::uint64_t now = energy ? current.energyNJ : current.cpuNS;
                const std::uint64_t then = energy ? before->energyNJ : before->cpuNS;
                // A counter that went down (reused pid, reset) counts as no growth.
                const std::uint64_t raw = now > then ? now - then : 0;
                if (raw >= perUnit) {
                    // Truncate per process, before processes of one owner are added up.
                    const std::uint64_t amount = raw / perUnit;
                    const std::string& name = nameOf(pid);
                    const auto [slot, added] = groupIndex_.try_emplace(name, out.deltas.size());
                    if (added)
                        out.deltas.emplace_back(name, amount);
                    else
                        out.deltas[slot->second].second =
                            saturatingAdd(out.deltas[slot->second].second, amount);
                }
            }
        }
        next_.push_back({pid, current});
    }

    // /proc lists in ascending order already; other tables may not, or may repeat a pid
    // (the last reading of a repeated pid wins).
    const auto byPid = [](const Reading& a, const Reading& b) { return a.pid < b.pid; };
    if (!std::is_sorted(next_.begin(), next_.end(), byPid))
        std::stable_sort(next_.begin(), next_.end(), byPid);
    if (std::adjacent_find(next_.begin(), next_.end(), [](const Reading& a, const Reading& b) {
            return a.pid == b.pid;
        }) != next_.end()) {
        std::vector<Reading> unique;
        unique.reserve(next_.size());
        for (const Reading& r : next_) {
            if (!unique.empty() && unique.back().pid == r.pid)
                unique.back() = r;
            else
                unique.push_back(r);
        }
        next_.swap(unique);
    }
    prev_.swap(next_);

    groupIndex_.clear();  // its keys view names about to be pruned
    std::erase_if(names_, [this](const auto& entry) { return previous(entry.first) == nullptr; });
    first_ = false;

    sortHeaviestFirst(out.deltas);
    return out;
}

void Sampler::primeBundles() {
    for (const Pid pid : processes_.listPIDs()) nameOf(pid);
}

std::optional<std::string> Sampler::bundle(const std::string& of) const {
    const auto it = bundles_.find(of);
    if (it == bundles_.end()) return std::nullopt;
    return it->second;
}

const std::string& Sampler::nameOf(Pid pid) {
    if (const auto it = names_.find(pid); it != names_.end()) return it->second;

    const std::optional<std::string> path = processes_.processPath(pid);
    std::string name;
    if (std::optional<Owner> owner = processes_.ownerOf(pid, path)) {
        // Recorded under the name as stored, which is the one the menu and the page look up.
        // The first bundle recorded for a name stays.
        sanitise(owner->app);
        if (owner->bundle) bundles_.try_emplace(owner->app, *owner->bundle);
        name = std::move(owner->app);
    } else if (std::optional<std::string> short_ = processes_.processName(pid)) {
        name = std::move(*short_);
    } else {
        name = "pid-" + std::to_string(pid);
    }
    sanitise(name);
    return names_.emplace(pid, std::move(name)).first->second;
}

}  // namespace sapwell
