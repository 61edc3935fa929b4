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

    Sample next(Sampler& s) {
        clocks.advance(15);
        return s.sample();
    }
    Sampler primed(Metric metric = Metric::cpuTime) {  // past its baseline pass
        Sampler s(metric, table, clocks);
        next(s);
        return s;
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

// Names reach the history file and terminals: no control character or broken byte may, while
// other characters (bidi controls among them, isolated where names are shown) stay as they are.
TEST_F(SamplerTest, ControlCharactersAndInvalidBytesInNamesAreMadeSafe) {
    const std::pair<std::string, std::string> cases[] = {
        {"esc\x1b[2J\abel\r", "esc_[2J_bel_"}, {"nul\x01\x1f", "nul__"}, {"del\x7f", "del_"},
        {"csi\u009b31m\u0085", "csi_31m_"},      // C1, encoded
        {"raw\x9b\xff", "raw\uFFFD\uFFFD"},       // bytes that are no UTF-8
        {"\u202Eevil\u2066x\u200F", "\u202Eevil\u2066x\u200F"}, {"Почта 微信 e\u0301", "Почта 微信 e\u0301"},
    };
    for (const auto& [raw, stored] : cases) {
        EXPECT_EQ(deltas({{cpu(0, "/opt/" + raw), ms}}), (NamedAmounts{{stored, 1}})) << raw;
        EXPECT_EQ(deltas({{cpu(0, std::nullopt, raw), ms}}), (NamedAmounts{{stored, 1}})) << raw;
    }
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
        if (exits) table.remove(7);
        else table.procs[7].cpuNS.reset();
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

// Group counters hold CPU time: the energy metric leaves them alone.
TEST_F(SamplerTest, EnergyMetricReadsTheEnergyCounterOnly) {
    table.offerGroups = true;
    table.groupTable["g"] = {0, Owner{"Editor", std::nullopt}};
    table.add(1, FakeProcess{0, 0, "/opt/e", std::nullopt, 100, "g"});
    table.add(2, FakeProcess{std::nullopt, 0, "/opt/f", std::nullopt});
    EXPECT_EQ(detectMetric(table), Metric::cpuTime);  // only a non-zero counter shows support
    table.procs[1].energyNJ = 3 * ms;
    EXPECT_EQ(detectMetric(table), Metric::energy);
    Sampler s = primed(Metric::energy);
    table.procs[1].energyNJ = 7 * ms;
    table.procs[1].cpuNS = 100 * ms;
    *table.groupTable["g"].cpuNS += 150 * ms;  // 50 ms more than its member
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"e", 4}}));
}

FakeProcess aged(std::uint64_t ns, std::string path, std::optional<double> age, std::optional<std::string> group = {}) {
    return FakeProcess{std::nullopt, ns, std::move(path), std::nullopt, age, std::move(group)};
}

TEST_F(SamplerTest, ProcessBornSinceThePreviousPassBringsItsWholeCounter) {
    table.add(1, aged(0, "/opt/old", 100));
    Sampler s = primed();
    table.add(2, aged(300 * ms, "/opt/new", 5));
    table.add(3, aged(200 * ms, "/opt/ageless", std::nullopt));  // age unknown: baseline only
    table.add(4, aged(400 * ms, "/opt/early", 20));              // started before the last pass
    grow(1, 2 * ms);
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"new", 300}, {"old", 2}}));
    EXPECT_EQ(table.ageReads, 4);  // only for pids not seen in the previous pass
    grow(2, ms);
    grow(3, ms);
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"ageless", 1}, {"new", 1}}));
    EXPECT_EQ(table.ageReads, 4);
    // Unusable passes count nothing, new processes included.
    for (const bool sleep : {true, false}) {
        table.add(10 + sleep, aged(50 * ms, "/opt/x", 1));
        if (sleep) clocks.sleep(10);
        else clocks.advance(100);
        EXPECT_TRUE(next(s).deltas.empty());
    }
}

TEST_F(SamplerTest, ReusedPidWithALaterStartIsANewProcessWithAFreshName) {
    table.add(7, aged(40 * ms, "/opt/first", 100));
    Sampler s = primed();
    table.procs[7] = aged(10 * ms, "/opt/second", 3);  // counter lower and started since
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"second", 10}}));
    table.procs[7] = aged(4 * ms, "/opt/third", 500);  // lower but as old as before: the same one
    EXPECT_TRUE(next(s).deltas.empty());
    grow(7, 2 * ms);
    EXPECT_EQ(next(s).deltas, (NamedAmounts{{"second", 2}}));
}

TEST_F(SamplerTest, PassLongOverdueIsTreatedLikeOneAfterSleep) {
    const std::tuple<double, double, bool> cases[] = {  // interval, awake gap, overdue
        {15, 60, false}, {15, 61, true}, {40, 80, false}, {40, 81, true}, {0.05, 61, true}};
    for (const auto& [interval, gap, overdue] : cases) {
        table = {};
        table.add(1, cpu(0, "/opt/a"));
        Sampler s(Metric::cpuTime, table, clocks, interval);
        next(s);
        grow(1, 5 * ms);
        clocks.advance(gap);
        const Sample out = s.sample();
        EXPECT_EQ(std::tuple(out.overdue, out.usable, out.deltas.size()),
                  std::tuple(overdue ? gap : 0.0, !overdue, overdue ? 0u : 1u)) << interval << " " << gap;
    }
}

TEST_F(SamplerTest, GroupGrowthNoLiveMemberAccountsForGoesToTheGroupsOwner) {
    table.offerGroups = true;
    table.groupTable["g"] = {100 * ms, Owner{"Editor", "/apps/editor.desktop"}};
    table.groupTable["h"] = {0, std::nullopt};  // names no owner: its longest-lived member decides
    table.groupTable["k"] = {0, Owner{"Mail, Inc\t=", "/apps/mail.desktop"}};  // idle throughout
    table.add(10, aged(0, "/opt/shell", 100, "g"));
    table.add(12, aged(0, "/opt/mailer", 50, "k"));
    Sampler s = primed();
    const auto pass = [&](std::uint64_t g, std::uint64_t h) {
        *table.groupTable["g"].cpuNS += g;
        *table.groupTable["h"].cpuNS += h;
        return next(s).deltas;
    };
    // 5 ms of the shell, 7 ms of a tool born since, 30 ms of processes that came and went.
    grow(10, 5 * ms);
    table.add(11, aged(7 * ms, "/opt/tool", 2, "g"));
    EXPECT_EQ(pass(42 * ms, 0), (NamedAmounts{{"Editor", 30}, {"tool", 7}, {"shell", 5}}));
    EXPECT_EQ(s.bundle("Editor"), "/apps/editor.desktop");
    EXPECT_EQ(s.bundle("Mail_ Inc__"), "/apps/mail.desktop");  // under the name as stored
    grow(10, 5 * ms);  // the group read a little early: no negative residual
    EXPECT_EQ(pass(3 * ms, 0), (NamedAmounts{{"shell", 5}}));
    // A group that existed without members we saw only sets its baseline; one made since the
    // previous pass brings its whole counter: members came and went before it was first seen.
    table.add(20, aged(ms, "/opt/daemon", 12, "h"));
    table.add(21, aged(ms, "/opt/child", 10, "h"));
    table.groupTable["n"] = {40 * ms, Owner{"Builder", std::nullopt}, true};
    table.add(30, aged(3 * ms, "/opt/make", 5, "n"));
    EXPECT_EQ(pass(0, 500 * ms), (NamedAmounts{{"Builder", 37}, {"make", 3}, {"child", 1}, {"daemon", 1}}));
    for (const Pid gone : {20, 21, 11}) table.remove(gone);
    EXPECT_EQ(pass(9 * ms, 8 * ms), (NamedAmounts{{"Editor", 9}, {"daemon", 8}}));  // remembered
    // Still moving without members: short-lived ones keep coming.
    EXPECT_EQ(pass(0, 6 * ms), (NamedAmounts{{"daemon", 6}}));
    // A pass after sleep counts nothing and resets the baselines.
    clocks.sleep(10);
    EXPECT_TRUE(pass(50 * ms, 0).empty());
    EXPECT_EQ(pass(4 * ms, 0), (NamedAmounts{{"Editor", 4}}));
    // A counter lower than before: the group was made anew, all of it is new work.
    table.groupTable["g"].cpuNS = 12 * ms;
    EXPECT_EQ(pass(0, 0), (NamedAmounts{{"Editor", 12}}));
    // Without members nor movement the group is forgotten: back only with a baseline.
    pass(0, 0);
    table.add(22, aged(0, "/opt/late", 1, "h"));
    EXPECT_TRUE(pass(0, 70 * ms).empty());
}

}  // namespace
}  // namespace sapwell
