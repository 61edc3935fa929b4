#include <gtest/gtest.h>

#include "Fakes.hpp"
#include "Sampler.hpp"

namespace sapwell {
namespace {

using testing::FakeProcess;

constexpr std::uint64_t ms = 1'000'000;  // ns per ms

FakeProcess cpu(std::uint64_t ns, std::optional<std::string> path = {}, std::optional<std::string> name = {}) {
    return FakeProcess{std::nullopt, ns, std::move(path), std::move(name)};
}

struct SamplerTest : ::testing::Test {
    testing::FakeProcessTable table;
    testing::FakeClocks clocks;

    Sample next(Sampler& s) { return clocks.advance(15), s.sample(); }
    Sampler primed(Metric metric = Metric::cpuTime) {  // past its baseline pass
        Sampler s(metric, table, clocks);
        return next(s), s;
    }
    void grow(Pid pid, std::uint64_t ns) { *table.procs[pid].cpuNS += ns; }
    // One interval's deltas; the processes get pids 412, 411, ..., listed in descending order.
    NamedAmounts deltas(const std::vector<std::pair<FakeProcess, std::uint64_t>>& growths) {
        table = {};
        for (std::size_t i = 0; i < growths.size(); ++i) table.add(412 - i, growths[i].first);
        Sampler s = primed();
        for (std::size_t i = 0; i < growths.size(); ++i) grow(412 - i, growths[i].second);
        const NamedAmounts out = next(s).deltas;
        EXPECT_TRUE(next(s).deltas.empty());  // remainders below a unit are not carried over
        return out;
    }
};

TEST_F(SamplerTest, FirstPassAndSleepAboveTwoSecondsAreUnusable) {
    table.add(1, cpu(900 * ms, "/opt/a"));
    Sampler s(Metric::cpuTime, table, clocks);
    grow(1, 500 * ms);
    // Unusable, its time counted from construction, and nothing named without consumption.
    const Sample first = next(s);
    EXPECT_EQ(std::tuple(first.usable, first.deltas.size(), first.awakeDelta, table.pathReads), std::tuple(false, 0u, 15.0, 0));
    for (const double sleep : {2.0, 2.5}) {
        grow(1, 5 * ms);
        clocks.sleep(sleep);
        const Sample out = next(s);
        EXPECT_EQ(std::tuple(out.awakeDelta, out.slept, out.usable, out.deltas),
                  std::tuple(15.0, sleep > 2 ? sleep : 0, sleep <= 2, sleep > 2 ? NamedAmounts{} : NamedAmounts{{"a", 5}}));
    }
    grow(1, 2 * ms);  // the slept interval's consumption was dropped, not deferred
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"a", 2}}));
    clocks.awake = clocks.continuous = 0;  // unreadable clocks read 0: no negative time
    const Sample back = s.sample();
    EXPECT_EQ(std::tuple(back.awakeDelta, back.slept, back.usable), std::tuple(0.0, 0.0, true));
}

TEST_F(SamplerTest, TruncatesPerProcessThenGroupsNamesAndOrdersLargestFirst) {
    const FakeProcess p = cpu(0, "/Applications/app.app/p"), q = cpu(0, "/Applications/app.app/q");
    EXPECT_EQ(deltas({{p, 1'500'000}, {q, 1'500'000}}), (NamedAmounts{{"app", 2}}));
    EXPECT_EQ(deltas({{cpu(0, "/s"), ms}, {cpu(0, "/b"), 30 * ms}, {cpu(0, "/m"), 9 * ms}}),
              (NamedAmounts{{"b", 30}, {"m", 9}, {"s", 1}}));
    // Path first, then the short name, then the pid; field separators become "_".
    EXPECT_EQ(deltas({{cpu(0, std::nullopt, "x,y"), ms}, {cpu(0), 2 * ms}, {cpu(0, "/Applications/A, B.app/x"), 3 * ms},
                      {cpu(0, "/t\tb=c\nd", "short"), 4 * ms}}),
              (NamedAmounts{{"t_b_c_d", 4}, {"A_ B", 3}, {"pid-411", 2}, {"x_y", 1}}));
}

TEST_F(SamplerTest, PidKeepsItsNameWhilePresentAndLosesItWhenGoneOrUnreadable) {
    table.add(7, cpu(4 * ms, "/opt/first"));
    Sampler s = primed();
    grow(7, ms);
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"first", 1}}));  // named at 5 ms
    table.procs[7] = cpu(1 * ms, "/opt/new");  // pid reused between passes: counter went down
    EXPECT_TRUE(next(s).deltas.empty());
    grow(7, 3 * ms);
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"first", 3}}));
    EXPECT_EQ(table.pathReads, 1);
    for (const bool exits : {true, false}) {
        exits ? table.remove(7) : table.procs[7].cpuNS.reset();
        next(s);  // noticed: the cached name goes
        const std::string name = exits ? "gone" : "unreadable";
        table.add(7, cpu(50 * ms, "/opt/" + name));  // newly seen: baseline only
        EXPECT_TRUE(next(s).deltas.empty());
        grow(7, ms);
        EXPECT_EQ(next(s).deltas, (NamedAmounts{{name, 1}}));
    }
}

TEST_F(SamplerTest, BundlesAreKnownOnlyForNamedProcessesAndFirstOneStays) {
    table.add(1, cpu(0, "/Applications/Editor.app/Contents/MacOS/Editor"));
    table.add(2, cpu(0, "/Other/Editor.app/Contents/MacOS/Editor"));
    Sampler s = primed();
    EXPECT_EQ(s.bundle("Editor"), std::nullopt);
    s.primeBundles();
    EXPECT_EQ(s.bundle("Editor"), "/Applications/Editor.app");
    // Found by the name as stored, with the characters that would split a history line replaced.
    table.add(3, cpu(0, "/Applications/Notes, Mail=2\tPro.app/Contents/MacOS/N"));
    s.primeBundles();
    EXPECT_EQ(s.bundle("Notes_ Mail_2_Pro"), "/Applications/Notes, Mail=2\tPro.app");
}

TEST_F(SamplerTest, EnergyMetricReadsTheEnergyCounter) {
    table.add(1, FakeProcess{0, 0, "/opt/e", std::nullopt});
    table.add(2, FakeProcess{std::nullopt, 0, "/opt/f", std::nullopt});
    EXPECT_EQ(detectMetric(table), Metric::cpuTime);  // only a non-zero counter shows support
    table.procs[1].energyNJ = 3 * ms;
    EXPECT_EQ(detectMetric(table), Metric::energy);
    Sampler s = primed(Metric::energy);
    table.procs[1] = FakeProcess{7 * ms, 100 * ms, "/opt/e", std::nullopt};
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"e", 4}}));
}

}  // namespace
}  // namespace sapwell
