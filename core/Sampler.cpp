#include "Sampler.hpp"

#include <algorithm>

#include "Text.hpp"

namespace sapwell {

namespace {

constexpr std::uint64_t perUnit = 1'000'000;  // nanojoules per millijoule, ns per ms
constexpr double sleepThresholdS = 2.0;
// Start times are kept in clock ticks (10 ms on Linux), so a process that started just after the
// previous pass may seem to have started a little before it. Any process not measured in the
// previous pass has never had work counted, so this much earlier still counts as born since.
constexpr double startSlackS = 0.05;

double positive(double x) {
    return x > 0 ? x : 0;
}

// Tab, "=", "," and line feed separate fields of the history file; no other control character
// may reach it or a terminal either, nor bytes that are not UTF-8.
void sanitise(std::string& name) {
    name = text::replaceControls(name, '_');
    for (char& c : name)
        if (c == '=' || c == ',') c = '_';
}

}  // namespace

Metric detectMetric(ProcessTable& processes) {
    for (Pid pid : processes.listPIDs())
        if (const auto nj = processes.energyNJ(pid); nj && *nj != 0) return Metric::energy;
    return Metric::cpuTime;
}

Sampler::Sampler(Metric metric, ProcessTable& processes, Clocks& clocks, double interval)
    : metric_(metric),
      processes_(processes),
      clocks_(clocks),
      overdueS_(std::max(overdueFloorS, 2 * (interval > 0 ? interval : defaultInterval))),
      lastAwake_(clocks.awakeSeconds()),
      lastContinuous_(clocks.continuousSeconds()) {}

const Sampler::Reading* Sampler::previous(Pid pid) const {
    const auto it = std::lower_bound(prev_.begin(), prev_.end(), pid,
                                     [](const Reading& r, Pid p) { return r.pid < p; });
    return it != prev_.end() && it->pid == pid ? &*it : nullptr;
}

const Sampler::Reading* Sampler::seekPrevious(Pid pid, std::size_t& from) const {
    // Pids listed out of order start the search over; in order, the pid is at `from` or a few
    // readings beyond (processes that ended since), and a binary search covers the rest.
    constexpr int steps = 4;
    std::size_t i = from > 0 && prev_[from - 1].pid >= pid ? 0 : from;
    for (int step = 0; i < prev_.size() && prev_[i].pid < pid; ++i) {
        if (++step > steps) {
            i = static_cast<std::size_t>(
                std::lower_bound(prev_.begin() + static_cast<std::ptrdiff_t>(i), prev_.end(), pid,
                                 [](const Reading& r, Pid p) { return r.pid < p; }) -
                prev_.begin());
            break;
        }
    }
    const bool found = i < prev_.size() && prev_[i].pid == pid;
    from = found ? i + 1 : i;
    return found ? &prev_[i] : nullptr;
}

void Sampler::addAmount(NamedAmounts& deltas, const std::string& name, std::uint64_t amount) {
    const auto [slot, added] = appSlots_.try_emplace(name, deltas.size());
    if (added)
        deltas.emplace_back(name, amount);
    else
        deltas[slot->second].second = saturatingAdd(deltas[slot->second].second, amount);
}

Sample Sampler::sample() {
    Sample out;
    const double awake = clocks_.awakeSeconds();
    const double continuous = clocks_.continuousSeconds();
    out.awakeDelta = positive(awake - lastAwake_);
    const double continuousDelta = positive(continuous - lastContinuous_);
    const double gap = positive(continuousDelta - out.awakeDelta);
    out.slept = gap > sleepThresholdS ? gap : 0;
    out.overdue = out.awakeDelta > overdueS_ ? out.awakeDelta : 0;
    const double previousContinuous = lastContinuous_;
    lastAwake_ = awake;
    lastContinuous_ = continuous;
    out.usable = out.slept == 0 && out.overdue == 0 && !first_;

    const std::vector<Pid> pids = processes_.listPIDs();
    next_.clear();
    next_.reserve(pids.size());
    appSlots_.clear();
    const bool energy = metric_ == Metric::energy;
    // Group counters measure CPU time only.
    ProcessGroups* const groups = energy ? nullptr : processes_.groups();
    for (Group& group : groups_) group.countedNS = 0, group.members = false;
    std::size_t cursor = 0;  // in prev_, just past the previous pid's reading
    bool ascending = true;   // the readings are in strictly ascending order, no pid repeated

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
        const std::uint64_t now = energy ? current.energyNJ : current.cpuNS;
        const Reading* before = previous(pid, cursor);
        const std::uint64_t then =
            before ? (energy ? before->counters.energyNJ : before->counters.cpuNS) : 0;

        // The age is read only where the pid may name a process not measured before: one not
        // seen in the previous pass, or one whose counter went down (the pid was reused).
        std::optional<double> start;
        if (before == nullptr || now < then)
            if (const auto age = processes_.processAgeSeconds(pid))
                start = clocks_.continuousSeconds() - *age;  // against the clock of this read
        const bool bornSince = start && *start > previousContinuous - startSlackS;
        if (before != nullptr && now < then && bornSince) {
            forgetName(pid);  // a new process under an old pid
            before = nullptr;
        }

        Reading reading{pid, current, continuous, noGroup};
        if (before != nullptr) {
            reading.start = before->start;
            reading.group = before->group;
        } else {
            if (start) reading.start = *start;
            if (groups != nullptr) reading.group = groupOf(*groups, pid);
        }

        if (out.usable) {
            std::uint64_t raw = 0;
            if (before != nullptr)
                raw = now > then ? now - then : 0;  // a counter that went down counts as no growth
            else if (bornSince)
                raw = now;  // all its work was done since the previous pass
            if (reading.group != noGroup)
                groups_[reading.group].countedNS =
                    saturatingAdd(groups_[reading.group].countedNS, raw);
            // Truncate per process, before processes of one owner are added up.
            if (raw >= perUnit) addAmount(out.deltas, nameOf(pid), raw / perUnit);
        }
        if (reading.group != noGroup) {
            Group* g = &groups_[reading.group];
            if (!g->members || reading.start < g->oldestStart ||
                (reading.start == g->oldestStart && pid < g->oldest)) {
                g->oldest = pid;
                g->oldestStart = reading.start;
            }
            g->members = true;
        }
        if (!next_.empty() && next_.back().pid >= pid) ascending = false;
        next_.push_back(reading);
    }

    if (groups != nullptr) settleGroups(*groups, out.usable, out);

    // /proc lists in ascending order already; other tables may not, or may repeat a pid
    // (the last reading of a repeated pid wins).
    const auto byPid = [](const Reading& a, const Reading& b) { return a.pid < b.pid; };
    if (!ascending) std::stable_sort(next_.begin(), next_.end(), byPid);
    if (!ascending &&
        std::adjacent_find(next_.begin(), next_.end(), [](const Reading& a, const Reading& b) {
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

    appSlots_.clear();  // its keys view names about to be pruned
    std::erase_if(names_, [this](const auto& entry) { return previous(entry.first) == nullptr; });
    first_ = false;

    sortHeaviestFirst(out.deltas);
    return out;
}

std::uint32_t Sampler::groupOf(ProcessGroups& groups, Pid pid) {
    std::optional<std::string> key = groups.groupOf(pid);
    if (!key) return noGroup;
    if (const auto it = groupSlots_.find(*key); it != groupSlots_.end()) return it->second;
    std::uint32_t slot = 0;
    if (!freeGroups_.empty()) {
        slot = freeGroups_.back();
        freeGroups_.pop_back();
    } else {
        slot = static_cast<std::uint32_t>(groups_.size());
        groups_.emplace_back();
    }
    groups_[slot].key = *key;
    groupSlots_.emplace(std::move(*key), slot);
    return slot;
}

// What a group's counter grew by that its live members do not account for is the work of members
// that came and went between the passes.
void Sampler::settleGroups(ProcessGroups& groups, bool usable, Sample& out) {
    for (std::uint32_t slot = 0; slot < groups_.size(); ++slot) {
        Group& g = groups_[slot];
        if (g.key.empty()) continue;
        const auto release = [&] {
            groupSlots_.erase(g.key);
            g = Group{};
            freeGroups_.push_back(slot);
        };
        // A group takes part while it has members, had some at the previous pass, or its counter
        // still moves (short-lived members keep coming).
        if (!g.members && !g.membersBefore && !g.grew) {
            release();
            continue;
        }
        // Resolved while a member is still there to tell, so the group keeps an owner after its
        // last member is gone.
        if (g.members && (!g.ownerAsked || (!g.owner && g.oldest != g.namedAfter)))
            groupOwner(groups, g);
        const std::optional<std::uint64_t> usage = groups.groupCPUTimeNS(g.key);
        if (!usage) {
            if (!g.members) {
                release();
                continue;
            }
            g.usageNS.reset();  // counted again from a fresh baseline once readable
            g.grew = false;
        } else {
            // A counter lower than before belongs to a group made anew since: all of it is new.
            // So does the counter of a group made since the previous pass; one that existed then
            // without members we saw holds work counted before or never seen, and only sets its
            // baseline.
            const bool made = !g.usageNS && usable && groups.groupIsNew(g.key);
            std::uint64_t growth = made ? *usage : 0;
            if (g.usageNS) growth = *usage >= *g.usageNS ? *usage - *g.usageNS : *usage;
            g.grew = growth > 0;
            if (usable && (g.usageNS || made) && growth > g.countedNS) {
                const std::uint64_t residual = growth - g.countedNS;
                const std::string& owner = g.owner ? *g.owner : g.memberOwner;
                if (residual >= perUnit && !owner.empty())
                    addAmount(out.deltas, owner, residual / perUnit);
            }
            g.usageNS = usage;
        }
        g.membersBefore = g.members;
    }
}

void Sampler::groupOwner(ProcessGroups& groups, Group& g) {
    if (!g.ownerAsked) {
        g.ownerAsked = true;
        if (std::optional<Owner> owner = groups.groupOwner(g.key)) {
            // Recorded under the name as stored, as for a process's owner.
            sanitise(owner->app);
            if (owner->bundle) bundles_.try_emplace(owner->app, *owner->bundle);
            g.owner = std::move(owner->app);
        }
    }
    // Otherwise the owner of its longest-lived member.
    if (!g.owner && g.oldest != g.namedAfter) {
        g.memberOwner = nameOf(g.oldest);
        g.namedAfter = g.oldest;
    }
}

void Sampler::primeBundles() {
    for (const Pid pid : processes_.listPIDs()) nameOf(pid);
}

std::optional<std::string> Sampler::bundle(const std::string& of) const {
    const auto it = bundles_.find(of);
    if (it == bundles_.end()) return std::nullopt;
    return it->second;
}

void Sampler::forgetName(Pid pid) {
    const auto it = names_.find(pid);
    if (it == names_.end()) return;
    // A table that lists a pid twice in one pass may already have this name in use as a key.
    if (const auto slot = appSlots_.find(it->second);
        slot != appSlots_.end() && slot->first.data() == it->second.data())
        return;
    names_.erase(it);
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
