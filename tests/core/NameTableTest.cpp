// Names live as long as a minute, a sum or a caller holds them, so a stream of programs of new
// names costs what the retained minutes hold, not every name ever met.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Fakes.hpp"
#include "History.hpp"
#include "MinuteItems.hpp"
#include "Sampler.hpp"

namespace sapwell {
namespace {

bool held(const std::string& name) { return NameTable::find(name).has_value(); }

TEST(NameTable, ANameGoesWithTheLastMinuteOrSumHoldingIt) {
    std::optional<MinuteItems> first = MinuteItems{{"held-a", 1}, {"held-both", 1}};
    MinuteItems copy = *first;
    first.reset();
    EXPECT_TRUE(held("held-a"));  // the copy holds it
    MinuteItems moved = std::move(copy);
    copy = MinuteItems{{"held-b", 2}, {"held-both", 2}};
    moved = copy;  // replaced: its own names go unless the new pairs hold them too
    EXPECT_EQ(std::tuple(held("held-a"), held("held-b"), held("held-both")), std::tuple(false, true, true));
    {
        NameSums sums;
        sums.add(MinuteItems{{"held-c", 3}});
        EXPECT_EQ(sums.list(), (NamedAmounts{{"held-c", 3}}));  // outlives the minute it came from
    }
    EXPECT_FALSE(held("held-c"));
    // Minutes moved about in a vector as history trims it keep exactly their own names.
    std::vector<MinuteItems> minutes;
    for (int i = 0; i < 200; ++i) minutes.push_back(MinuteItems{{"minute " + std::to_string(i), 1}});
    minutes.erase(minutes.begin(), minutes.begin() + 150);
    for (int i = 0; i < 200; ++i) EXPECT_EQ(held("minute " + std::to_string(i)), i >= 150) << i;
}

TEST(NameTable, ProgramsOfNewNamesCostOnlyWhatTheRetainedMinutesHold) {
    testing::FakeProcessTable table;
    testing::FakeClocks clocks;
    Sampler sampler(Metric::cpuTime, table, clocks);
    History history(Metric::cpuTime, wholeSeconds(clocks.wall), {});
    sampler.sample();
    const std::size_t size = NameTable::size(), count = NameTable::count();
    // 3,000 programs never seen before, 30 a pass, each born since the previous pass with 2 ms of
    // work and gone by the next; the menu sums the last hour at every pass.
    constexpr int passes = 100, perPass = 30;
    Pid next = 1000;
    for (int pass = 0; pass < passes; ++pass) {
        while (!table.order.empty()) table.remove(table.order.front());
        for (int i = 0; i < perPass; ++i, ++next)
            table.add(next, {std::nullopt, 2'000'000, "/opt/churn/p" + std::to_string(next), std::nullopt, 1.0});
        clocks.advance(15);
        const Sample sample = sampler.sample();
        ASSERT_EQ(sample.deltas.size(), std::size_t{perPass});
        history.add(wholeSeconds(clocks.wall), sample.awakeDelta, sample.deltas);
        EXPECT_FALSE(history.window(wholeSeconds(clocks.wall), 60).totals.empty());
    }
    // At most a minute's top names per closed minute; the open minute's pass through no table.
    const std::size_t closed = static_cast<std::size_t>(history.depthMinutes());
    EXPECT_LE(NameTable::size(), size + closed * topPerMinute);
    history.closeMinute();
    history.flush(wholeSeconds(clocks.wall) + retentionSeconds + 60);  // every minute expired
    EXPECT_EQ(NameTable::count(), count);
}

}  // namespace
}  // namespace sapwell
