#include <gtest/gtest.h>

#include "Fakes.hpp"
#include "Sampler.hpp"

namespace sapwell {
namespace {

using testing::FakeClocks;
using testing::FakeProcess;
using testing::FakeProcessTable;

constexpr std::uint64_t ms = 1'000'000;  // ns per ms

FakeProcess cpu(std::uint64_t ns, std::optional<std::string> path = std::nullopt,
                std::optional<std::string> name = std::nullopt) {
    return FakeProcess{std::nullopt, ns, std::move(path), std::move(name)};
}

class SamplerTest : public ::testing::Test {
protected:
    FakeProcessTable table;
    FakeClocks clocks;

    // Runs a first (baseline) pass so the next one is usable.
    Sampler primed(Metric metric = Metric::cpuTime) {
        Sampler s(metric, table, clocks);
        clocks.advance(15);
        s.sample();
        return s;
    }
    Sample next(Sampler& s, double awake = 15) {
        clocks.advance(awake);
        return s.sample();
    }
    void grow(Pid pid, std::uint64_t ns) { *table.procs[pid].cpuNS += ns; }
};

TEST_F(SamplerTest, FirstPassIsABaselineOnly) {
    table.add(1, cpu(900 * ms, "/opt/a"));
    Sampler s(Metric::cpuTime, table, clocks);
    clocks.advance(15);
    grow(1, 500 * ms);
    const Sample first = s.sample();
    EXPECT_FALSE(first.usable);
    EXPECT_TRUE(first.deltas.empty());
    EXPECT_DOUBLE_EQ(first.awakeDelta, 15);  // time since construction
    EXPECT_EQ(table.pathReads, 0);           // nothing named without consumption

    grow(1, 7 * ms);
    const Sample second = next(s);
    EXPECT_TRUE(second.usable);
    EXPECT_EQ(second.deltas, (NamedAmounts{{"a", 7}}));
}

TEST_F(SamplerTest, SleepAboveTwoSecondsMakesThePassUnusable) {
    struct Case {
        double sleep;
        double slept;
        bool usable;
    };
    for (const Case c : {Case{2.5, 2.5, false}, Case{2.0, 0, true}, Case{0, 0, true}}) {
        SCOPED_TRACE(c.sleep);
        table = {};
        table.add(1, cpu(0, "/opt/a"));
        Sampler s = primed();
        grow(1, 5 * ms);
        clocks.advance(15);
        clocks.sleep(c.sleep);
        const Sample out = s.sample();
        EXPECT_DOUBLE_EQ(out.awakeDelta, 15);
        EXPECT_DOUBLE_EQ(out.slept, c.slept);
        EXPECT_EQ(out.usable, c.usable);
        EXPECT_EQ(out.deltas.size(), c.usable ? 1u : 0u);
        // The slept interval's consumption is dropped, not deferred.
        grow(1, 2 * ms);
        EXPECT_EQ(next(s).deltas, (NamedAmounts{{"a", 2}}));
    }
}

TEST_F(SamplerTest, ClocksThatGoBackOrFailNeverGiveNegativeTime) {
    Sampler s = primed();
    clocks.awake = 0;  // an unreadable clock reads 0.0
    clocks.continuous = 0;
    const Sample out = s.sample();
    EXPECT_EQ(out.awakeDelta, 0);
    EXPECT_EQ(out.slept, 0);
    EXPECT_TRUE(out.usable);
}

TEST_F(SamplerTest, TruncatesPerProcessBeforeGrouping) {
    struct Case {
        std::vector<std::uint64_t> growths;  // one process each, all of one application
        NamedAmounts expected;
    };
    const Case cases[] = {
        {{999'999}, {}},
        {{1'000'000}, {{"app", 1}}},
        {{2'500'000}, {{"app", 2}}},
        {{1'500'000, 1'500'000}, {{"app", 2}}},
        {{999'999, 999'999, 3'000'000}, {{"app", 3}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.growths.size());
        table = {};
        for (std::size_t i = 0; i < c.growths.size(); ++i)
            table.add(static_cast<Pid>(10 + i),
                      cpu(0, "/Applications/app.app/Contents/MacOS/p" + std::to_string(i)));
        Sampler s = primed();
        for (std::size_t i = 0; i < c.growths.size(); ++i)
            grow(static_cast<Pid>(10 + i), c.growths[i]);
        EXPECT_EQ(next(s).deltas, c.expected);
        // The remainder below a unit is discarded, not carried over.
        EXPECT_TRUE(next(s).deltas.empty());
    }
}

TEST_F(SamplerTest, CounterThatWentDownCountsAsNoGrowth) {
    table.add(1, cpu(5 * ms, "/opt/a"));
    Sampler s = primed();
    table.procs[1].cpuNS = 1 * ms;
    EXPECT_TRUE(next(s).deltas.empty());
    grow(1, 3 * ms);
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"a", 3}}));
}

TEST_F(SamplerTest, NamesFallBackAndAreSanitised) {
    struct Case {
        FakeProcess proc;
        std::string name;
    };
    const Case cases[] = {
        {cpu(0, "/opt/bin/tool", "ignored"), "tool"},
        {cpu(0, std::nullopt, "short"), "short"},
        {cpu(0), "pid-412"},
        {cpu(0, "/Applications/A, B.app/Contents/MacOS/x"), "A_ B"},
        {cpu(0, "/opt/t\tab=eq\nnl"), "t_ab_eq_nl"},
        {cpu(0, std::nullopt, "x,y"), "x_y"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        table = {};
        table.add(412, c.proc);
        Sampler s = primed();
        grow(412, ms);
        EXPECT_EQ(next(s).deltas, (NamedAmounts{{c.name, 1}}));
    }
}

TEST_F(SamplerTest, DeltasComeLargestFirst) {
    table.add(3, cpu(0, "/opt/small"));
    table.add(1, cpu(0, "/opt/big"));
    table.add(2, cpu(0, "/opt/mid"));
    Sampler s = primed();
    grow(3, 1 * ms);
    grow(1, 30 * ms);
    grow(2, 20 * ms);
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"big", 30}, {"mid", 20}, {"small", 1}}));
}

TEST_F(SamplerTest, NamesAreResolvedOncePerProcessAndForgottenWhenItExits) {
    table.add(7, cpu(0, "/opt/first"));
    Sampler s = primed();
    for (int i = 0; i < 3; ++i) {
        grow(7, ms);
        EXPECT_EQ(next(s).deltas, (NamedAmounts{{"first", 1}}));
    }
    EXPECT_EQ(table.pathReads, 1);

    table.remove(7);
    next(s);  // the exit is noticed: the cached name goes
    table.add(7, cpu(50 * ms, "/opt/second"));
    EXPECT_TRUE(next(s).deltas.empty());  // newly seen: baseline only
    grow(7, ms);
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"second", 1}}));
}

TEST_F(SamplerTest, UnreadableCounterForgetsTheProcessForThatPass) {
    table.add(7, cpu(0, "/opt/first"));
    Sampler s = primed();
    grow(7, ms);
    next(s);
    table.procs[7].cpuNS.reset();
    next(s);
    table.procs[7] = cpu(90 * ms, "/opt/second");
    EXPECT_TRUE(next(s).deltas.empty());
    grow(7, ms);
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"second", 1}}));
}

TEST_F(SamplerTest, ReusedPidKeepsItsCachedNameAndItsDropCountsAsZero) {
    table.add(7, cpu(40 * ms, "/opt/old"));
    Sampler s = primed();
    grow(7, ms);
    next(s);                                   // named "old"
    table.procs[7] = cpu(2 * ms, "/opt/new");  // replaced between passes
    EXPECT_TRUE(next(s).deltas.empty());
    grow(7, ms);
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"old", 1}}));
}

TEST_F(SamplerTest, ListOrderDoesNotMatter) {
    table.add(9, cpu(0, "/opt/nine"));
    table.add(2, cpu(0, "/opt/two"));
    table.add(5, cpu(0, "/opt/five"));
    Sampler s = primed();
    std::reverse(table.order.begin(), table.order.end());
    grow(9, 3 * ms);
    grow(2, 2 * ms);
    grow(5, 1 * ms);
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"nine", 3}, {"two", 2}, {"five", 1}}));
}

TEST_F(SamplerTest, BundlesAreKnownOnlyForNamedProcessesAndFirstOneStays) {
    table.add(1, cpu(0, "/Applications/Editor.app/Contents/MacOS/Editor"));
    table.add(2, cpu(0, "/Other/Editor.app/Contents/MacOS/Editor"));
    table.add(3, cpu(0, "/opt/plain"));
    Sampler s = primed();
    EXPECT_EQ(s.bundle("Editor"), std::nullopt);
    s.primeBundles();
    EXPECT_EQ(s.bundle("Editor"), "/Applications/Editor.app");
    EXPECT_EQ(s.bundle("plain"), std::nullopt);
    EXPECT_EQ(s.bundle("Unknown"), std::nullopt);
}

TEST_F(SamplerTest, EnergyMetricReadsTheEnergyCounter) {
    table.add(1, FakeProcess{0, 0, "/opt/e", std::nullopt});
    Sampler s = primed(Metric::energy);
    table.procs[1].energyNJ = 4 * ms;
    table.procs[1].cpuNS = 100 * ms;
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"e", 4}}));
    table.procs[1].energyNJ.reset();  // unreadable: skipped
    EXPECT_TRUE(next(s).deltas.empty());
}

TEST(DetectMetric, EnergyOnlyWhenSomeProcessReportsIt) {
    struct Case {
        std::vector<std::optional<std::uint64_t>> counters;
        Metric expected;
    };
    const Case cases[] = {
        {{}, Metric::cpuTime},
        {{std::nullopt, std::nullopt}, Metric::cpuTime},
        {{0, 0, std::nullopt}, Metric::cpuTime},
        {{0, std::nullopt, 5}, Metric::energy},
    };
    for (const auto& c : cases) {
        FakeProcessTable table;
        Pid pid = 1;
        for (const auto& n : c.counters)
            table.add(pid++, FakeProcess{n, 1, std::nullopt, std::nullopt});
        EXPECT_EQ(detectMetric(table), c.expected);
    }
}

}  // namespace
}  // namespace sapwell
