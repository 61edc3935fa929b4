#pragma once

// Fakes of the OS seam shared by the tests.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Seam.hpp"

namespace sapwell::testing {

struct FakeProcess {
    std::optional<std::uint64_t> energyNJ;
    std::optional<std::uint64_t> cpuNS;
    std::optional<std::string> path;
    std::optional<std::string> name;
    std::optional<double> age = {};         // seconds since it started
    std::optional<std::string> group = {};  // the process group it runs in
};

struct FakeGroup {
    std::optional<std::uint64_t> cpuNS;  // everything that ever ran in it
    std::optional<Owner> owner;          // what the group names itself
    bool made = false;                   // made since the previous listing; cleared by the next
};

// A process table whose contents the test sets directly; listPIDs follows insertion order.
// It offers group counters once a test sets `offerGroups`.
class FakeProcessTable : public ProcessTable, public ProcessGroups {
public:
    std::vector<Pid> order;
    std::map<Pid, FakeProcess> procs;
    std::map<std::string, FakeGroup> groupTable;
    bool offerGroups = false;
    int pathReads = 0;
    int ageReads = 0;

    FakeProcess& add(Pid pid, FakeProcess p = {}) {
        if (!procs.count(pid)) order.push_back(pid);
        return procs[pid] = std::move(p);
    }
    void remove(Pid pid) {
        procs.erase(pid);
        std::erase(order, pid);
    }

    std::vector<Pid> listPIDs() override {
        for (auto& [name, group] : groupTable) madeBefore[name] = std::exchange(group.made, false);
        return order;
    }
    std::optional<std::uint64_t> energyNJ(Pid pid) override { return field(pid, &FakeProcess::energyNJ); }
    std::optional<std::uint64_t> taskCPUTimeNS(Pid pid) override { return field(pid, &FakeProcess::cpuNS); }
    std::optional<std::string> processPath(Pid pid) override { return ++pathReads, field(pid, &FakeProcess::path); }
    std::optional<std::string> processName(Pid pid) override { return field(pid, &FakeProcess::name); }
    std::optional<double> processAgeSeconds(Pid pid) override { return ++ageReads, field(pid, &FakeProcess::age); }
    ProcessGroups* groups() override { return offerGroups ? this : nullptr; }
    std::optional<std::string> groupOf(Pid pid) override { return field(pid, &FakeProcess::group); }
    std::optional<std::uint64_t> groupCPUTimeNS(const std::string& group) override {
        auto it = groupTable.find(group);
        return it == groupTable.end() ? std::nullopt : it->second.cpuNS;
    }
    std::optional<Owner> groupOwner(const std::string& group) override {
        auto it = groupTable.find(group);
        return it == groupTable.end() ? std::nullopt : it->second.owner;
    }
    bool groupIsNew(const std::string& group) override { return madeBefore[group]; }

private:
    std::map<std::string, bool> madeBefore;  // `made` as the latest listing found it

    template <typename T>
    std::optional<T> field(Pid pid, std::optional<T> FakeProcess::*member) const {
        auto it = procs.find(pid);
        return it == procs.end() ? std::nullopt : it->second.*member;
    }
};

class FakeClocks : public Clocks {
public:
    double continuous = 1000, awake = 500, wall = 1733400000;
    // Moves all three clocks by `s` seconds of awake time.
    void advance(double s) { continuous += s, awake += s, wall += s; }
    // The machine sleeps for `s` seconds: only the continuous and wall clocks move.
    void sleep(double s) { continuous += s, wall += s; }
    double continuousSeconds() override { return continuous; }
    double awakeSeconds() override { return awake; }
    double wallSeconds() override { return wall; }
};

class FakeBattery : public BatterySource {
public:
    BatteryReading reading;  // empty: no battery
    int reads = 0;
    BatteryReading read() override { return ++reads, reading; }
};

class FakeEnvironment : public Environment {
public:
    std::map<std::string, std::string, std::less<>> vars;
    std::optional<std::string> home;  // the account's
    std::optional<std::string> get(std::string_view name) const override {
        auto it = vars.find(name);
        return it == vars.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<std::string> accountHome() const override { return home; }
};

}  // namespace sapwell::testing
