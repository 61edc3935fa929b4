#include "DrainEstimate.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <random>

#include "TempDir.hpp"

namespace sapwell {
namespace {

constexpr std::uint64_t u64max = std::numeric_limits<std::uint64_t>::max();
const double nan = std::numeric_limits<double>::quiet_NaN();

// A measured minute at `rate` ms of CPU per awake second drawing `mW`.
Bucket at(double rate, double mW, double seconds = 60, double awakeS = 60) {
    Bucket b;
    b.awakeS = awakeS;
    const double cpuMs = rate * (awakeS > 0 ? awakeS : seconds);
    b.items = MinuteItems{{"app", static_cast<std::uint64_t>(std::llround(cpuMs))}};
    b.drain = Drain{static_cast<std::uint64_t>(std::llround(mW * seconds)), seconds};
    return b;
}

std::vector<Bucket> repeat(std::vector<Bucket> out, int times, double rate, double mW) {
    for (int i = 0; i < times; ++i) out.push_back(at(rate, mW));
    return out;
}

// 3000 mW idle plus 8 mW per ms/s of CPU with noise, and one minute in twenty a burst no CPU
// explains (the screen at full brightness), nothing, or a CPU rate off the scale. With minutes
// near idle, the noise puts the lowest of them well below 3000 mW.
TEST(DrainEstimate, IdlePowerIsTheInterceptOutliersCannotDrag) {
    for (const double lowest : {0.0, 100.0}) {
        std::mt19937 gen(7);
        std::uniform_real_distribution<double> rate(lowest, lowest + 800), noise(-400, 400);
        std::vector<Bucket> minutes;
        for (int i = 0; i < 2000; ++i) {
            if (i % 60 == 0) minutes.push_back(at(50000, 3500, 60, 0.5));
            else if (i % 60 == 20) minutes.push_back(at(rate(gen), 20000));
            else if (i % 60 == 40) minutes.push_back(at(rate(gen), 0));  // the counter did not move
            else if (i % 20 == 0) minutes.push_back(at(rate(gen) / 8, 20000));
            else {
                const double r = rate(gen);
                minutes.push_back(at(r, 3000 + 8 * r + noise(gen)));
            }
        }
        minutes.push_back(Bucket{});  // never measured
        const IdlePower idle = idlePower(minutes);
        EXPECT_TRUE(idle.fitted);
        EXPECT_EQ(idle.minutes, 2000u);
        EXPECT_NEAR(idle.mW, 3000, 90) << lowest;
    }
}

TEST(DrainEstimate, IdlePowerFallsBackAndClamps) {
    std::vector<Bucket> few, narrow, unmeasured;
    for (int k = 0; k < 29; ++k) few.push_back(at(30 * k, 1000 + 100 * k));
    // Measured over half the awake time: CPU rates are per awake second all the same.
    for (int k = 0; k < 40; ++k) narrow.push_back(at(5 * k, 1000 + 100 * k, 30, 60));
    for (const double seconds : {0.0, -1.0, nan}) {
        unmeasured.push_back(at(100, 5000));
        unmeasured.back().drain->seconds = seconds;
    }
    unmeasured.push_back(at(100, 4000, 60, 0));  // no awake time: still a minute
    unmeasured.back().items = MinuteItems{};
    const struct {
        const char* what;
        std::vector<Bucket> minutes;
        double mW;
        bool fitted;
    } cases[] = {
        {"nothing measured", {}, 0, false},
        {"a minute without time or awake time", unmeasured, 4000, false},
        {"29 minutes: third lowest", few, 1200, false},
        {"rates within 200 ms/s: fourth lowest of 40", narrow, 1300, false},
        {"negative intercept", repeat(repeat(repeat({}, 10, 0, 100), 10, 300, 100), 10, 600, 3700), 0, true},
        {"intercept above the lowest minute",
         repeat(repeat(repeat({}, 10, 0, 1000), 10, 300, 2500), 10, 600, 2600), 1000, true},
    };
    for (const auto& c : cases) {
        const IdlePower idle = idlePower(c.minutes);
        EXPECT_NEAR(idle.mW, c.mW, 1e-6) << c.what;
        EXPECT_EQ(idle.fitted, c.fitted) << c.what;
    }
}

TEST(DrainEstimate, MinuteShareAddsUpToTheDrain) {
    const struct {
        const char* what;
        std::uint64_t mJ;
        double idleMW;
        MinuteItems items;
        std::uint64_t idle;
        std::vector<std::uint64_t> apps;
    } cases[] = {
        {"idle first, rest by CPU", 60000, 500, {{"a", 300}, {"b", 100}}, 30000, {22500, 7500}},
        {"equal CPU, earlier item takes the odd mJ", 100, 0, {{"a", 7}, {"b", 7}, {"c", 7}}, 0, {34, 33, 33}},
        {"largest remainders", 7, 0, {{"a", 5}, {"b", 3}, {"c", 2}}, 0, {4, 2, 1}},
        {"idle rounds to the nearest mJ", 100, 0.5 / 60 + 0.01 / 60, {{"a", 1}}, 1, {99}},
        {"idle above the drain", 1000, 5000, {{"a", 9}}, 1000, {0}},
        {"no items", 500, 1, {}, 500, {}},
        {"no CPU time", 500, 1, {{"a", 0}, {"b", 0}}, 500, {0, 0}},
        {"NaN idle power sets nothing aside", 10, nan, {{"a", 1}}, 0, {10}},
        {"widest figures", u64max, 0, {{"a", u64max}, {"b", u64max}}, 0, {u64max / 2 + 1, u64max / 2}},
    };
    for (const auto& c : cases) {
        Bucket b;
        b.items = c.items;
        b.drain = Drain{c.mJ, 60};
        const auto share = shareMinute(b, c.idleMW);
        ASSERT_TRUE(share) << c.what;
        EXPECT_EQ(share->idleMJ, c.idle) << c.what;
        EXPECT_EQ(share->appMJ, c.apps) << c.what;
        EXPECT_EQ(share->drainMJ, c.mJ) << c.what;
    }
    // More items than a minute keeps: the largest remainder first, then the earlier of equals.
    Bucket many;
    many.items.emplace_back("heavy", 2);
    for (int i = 0; i < 39; ++i) many.items.emplace_back("light " + std::to_string(i), 1);
    many.drain = Drain{20, 60};
    std::vector<std::uint64_t> expected(40, 0);
    std::fill_n(expected.begin(), 20, 1);
    EXPECT_EQ(shareMinute(many, 0)->appMJ, expected);
    // Random minutes, some with more items than a minute keeps: never a mJ more or less than measured.
    std::mt19937_64 gen(11);
    MinuteShare share;
    for (int n = 0; n < 2000; ++n) {
        Bucket b;
        for (std::uint64_t i = 0, count = gen() % 41; i < count; ++i)
            b.items.emplace_back(std::string("r").append(std::to_string(i)), gen() >> (gen() % 64));
        b.drain = Drain{gen() >> (gen() % 64), 1 + static_cast<double>(gen() % 60)};
        ASSERT_TRUE(shareMinute(b, static_cast<double>(gen() % 20000), share));
        EXPECT_EQ(std::accumulate(share.appMJ.begin(), share.appMJ.end(), share.idleMJ), b.drain->mJ);
        EXPECT_EQ(share.appMJ.size(), b.items.size());
    }
    Bucket zeroTime;
    zeroTime.drain = Drain{100, 0};
    EXPECT_FALSE(shareMinute(zeroTime, 1));
    EXPECT_FALSE(shareMinute(Bucket{}, 1));
}

TEST(DrainEstimate, WindowSumsItsMeasuredMinutes) {
    std::vector<Bucket> minutes(4);
    minutes[0].items = MinuteItems{{"Firefox", 500}, {"Mail", 100}};
    minutes[0].drain = Drain{6000, 60};
    minutes[1].items = MinuteItems{{"Firefox", 900}};  // not measured: left out
    minutes[2].items = MinuteItems{{"Mail", 300}, {"Terminal", 0}};
    minutes[2].drain = Drain{3000, 30};
    minutes[3].drain = Drain{40, 0.5};
    const BatteryShare share = shareOut(minutes, 50);
    EXPECT_EQ(share.drainMJ, 9040u);
    EXPECT_DOUBLE_EQ(share.seconds, 90.5);
    EXPECT_EQ(share.idleMJ, 3000u + 1500u + 40u);  // the last minute has nothing else to give to
    EXPECT_EQ(share.apps, (NamedAmounts{{"Firefox", 2500}, {"Mail", 2000}}));
}

// A history's window takes the minute in progress too; the idle power is fitted again only after
// a minute closes, not at every question.
TEST(DrainEstimate, HistoryWindowWithTheOpenMinuteAndACachedIdlePower) {
    testing::TempDir dir;
    constexpr std::int64_t t = 1733400000;
    History h(Metric::cpuTime, t, dir / "history.tsv");
    IdlePowerCache cache;
    EXPECT_EQ(cache.of(h).minutes, 0u);
    for (const std::int64_t at : {t - 600, t - 120}) {  // the first falls outside 5 minutes
        h.add(at, 60, {{"Firefox", 3000}});
        h.addDrain({6000, 60});
        h.closeMinute();
    }
    h.add(t, 30, {{"Mail", 1000}});
    h.addDrain({3000, 30});
    const BatteryShare share = shareWindow(h, t, 5, 50);
    EXPECT_EQ(std::tuple(share.drainMJ, share.seconds, share.idleMJ), std::tuple(9000u, 90.0, 4500u));
    EXPECT_EQ(share.apps, (NamedAmounts{{"Firefox", 3000}, {"Mail", 1500}}));
    EXPECT_EQ(cache.of(h).minutes, 2u);
    h.closeMinute();
    EXPECT_EQ(shareWindow(h, t, 5, 50).drainMJ, 9000u);  // the same minute, now closed
    EXPECT_EQ(cache.of(h).minutes, 3u);
    h.flush(t + retentionSeconds);  // the first two expire, none closes
    EXPECT_EQ(cache.of(h).minutes + 10 * idlePower(h.buckets()).minutes, 3u + 10u);
    h.add(t + retentionSeconds, 60, {});
    h.closeMinute();
    EXPECT_EQ(cache.of(h).minutes, 1u);
}

}  // namespace
}  // namespace sapwell
