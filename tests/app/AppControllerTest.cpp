#include <gtest/gtest.h>

#include "AppController.hpp"
#include "Fakes.hpp"
#include "RecordingShell.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using namespace std::string_literals;

BatteryReading onBattery(double pct, bool charging = false) {  // 5 Ah at 11.4 V
    return {.levelPct = pct, .state = charging ? ChargeState::charging : ChargeState::discharging, .fullMJ = 5000 * 11400 * 3.6};
}

struct AppControllerTest : ::testing::Test {
    testing::TempDir dir;
    testing::FakeProcessTable procs;
    testing::FakeClocks clocks;
    testing::FakeBattery battery;
    testing::FakeEnvironment env;
    Seam seam{procs, clocks, battery, env};
    testing::RecordingShell shell;
    std::unique_ptr<AppController> app;

    AppControllerTest() {  // Mail's CPU time before the first pass is not counted
        env.vars = {{"XDG_DATA_HOME", dir.path().string()}, {"SAPWELL_LANG", "en"}};
        procs.add(10, {std::nullopt, 5'000'000'000, "/opt/Mail.app/Contents/MacOS/Mail", "Mail"});
        procs.add(20, {std::nullopt, 0, "/opt/tools/kworker", "kworker"});
        battery.reading = onBattery(80);
    }
    void start() {
        app = std::make_unique<AppController>(seam, shell, AppOptions{"/opt/sapwell", {}});
        app->launch();
    }
    void tick(std::uint64_t ms, double seconds = 15) {  // Mail's CPU in `seconds`, then a tick
        *procs.procs[10].cpuNS += ms * 1'000'000;
        clocks.advance(seconds);
        shell.fire(shell.timers.begin()->first);
    }
    std::uint64_t mailTotal() const {
        const auto totals = app->history().window(wholeSeconds(clocks.wall), 1440).totals;
        return std::map(totals.begin(), totals.end())["Mail"];
    }
};

TEST_F(AppControllerTest, OnlyTheSecondTickCountsSleepAddsNothingTerminationSurvivesRestart) {
    start();
    EXPECT_EQ(shell.tooltip, "Sapwell\n/opt/sapwell\n" + (dir / "Sapwell/history.tsv").string());
    tick(1500);
    EXPECT_EQ(shell.statusTexts.back(), "10% CPU");
    battery.reading = onBattery(81, true);
    clocks.sleep(20);
    const auto titles = shell.statusTexts.size();
    tick(9000, 0);
    EXPECT_EQ(mailTotal(), 1500u);  // neither the first pass nor the slept one added anything
    EXPECT_EQ(app->units().chargeState, ChargeState::charging);
    EXPECT_EQ(shell.statusTexts.size(), titles + 1);
    tick(600);
    EXPECT_EQ(mailTotal(), 2100u);        // and the next pass adds again
    app->terminate(), app->terminate();  // long before any flush; the second writes nothing
    app.reset();
    start();
    const auto buckets = app->history().buckets();
    ASSERT_EQ(buckets.size(), 2u);
    EXPECT_EQ(buckets[0].batState, ChargeState::discharging);  // closed before the new reading
    EXPECT_EQ(buckets[1].batState, ChargeState::charging);
    battery.reading = {};
    tick(10);
    EXPECT_FALSE(app->units().chargeState.has_value());
}

// A stop (Ctrl-Z, a debugger) of more than 60 s and two intervals adds nothing, like sleep.
TEST_F(AppControllerTest, TickAfterALongStopClosesTheMinuteAndAddsNothing) {
    start();
    tick(1500);
    const auto awake = [&] { return app->history().window(wholeSeconds(clocks.wall), 1440).awakeS; };
    // Awake gap, then Mail's total, the awake time and the closed minutes; the first minute is
    // closed at the stop, and a gap of exactly 60 s is an ordinary pass.
    const std::tuple<double, std::uint64_t, double, std::size_t> steps[] = {
        {75, 1500, 15, 1}, {15, 1800, 30, 1}, {60, 2100, 90, 2}};
    for (const auto& [gap, total, awakeTotal, closed] : steps) {
        tick(300, gap);
        EXPECT_EQ(std::tuple(mailTotal(), awake(), app->history().buckets().size()),
                  std::tuple(total, awakeTotal, closed)) << gap;
    }
}

// The battery's fall between two passes joins the minute it was measured in, with the seconds it
// covers; across sleep nothing is measured, but a sleep begun on battery is recorded with the
// levels on both sides. One read of the battery per tick.
TEST_F(AppControllerTest, BatteryDrainJoinsTheOpenMinuteAndSleepsOnBatteryAreRecorded) {
    const auto left = [&](double mj) { battery.reading = {.levelPct = 80, .state = ChargeState::discharging, .remainingMJ = mj}; };
    left(100e6);
    start();
    left(99.85e6), tick(0);
    left(99.7e6), tick(0);
    clocks.sleep(600), left(99e6), battery.reading.levelPct = 79.5, tick(0, 0);
    const std::int64_t woke = wholeSeconds(clocks.wall) / 60 * 60;
    left(98.9e6), tick(0);
    EXPECT_EQ(app->history().buckets().at(0).drain, (Drain{300'000, 30}));  // closed at the sleep
    EXPECT_EQ(app->history().window(wholeSeconds(clocks.wall), 1440).drain, (Drain{400'000, 45}));
    EXPECT_EQ(battery.reads, 6);  // the start, then five ticks
    battery.reading.state = ChargeState::acPower, tick(0);
    clocks.sleep(600), tick(0, 0);  // asleep on mains: nothing to record
    EXPECT_EQ(app->history().sleeps(), (std::vector<SleepRecord>{{woke, 600, 80, 79.5}}));
}

TEST_F(AppControllerTest, FlushesAtTicksSixtySecondsApartOrWhenTheClockGoesBack) {
    start();
    const auto started = wholeSeconds(clocks.wall);
    const std::pair<double, int> steps[] = {{59, 0}, {1, 60}, {59, 60}, {0.5, 60}, {0.5, 120}};
    for (const auto& [advance, flushedAt] : steps) {
        tick(100, advance);
        EXPECT_EQ(app->lastFlush(), started + flushedAt) << "after +" << advance;
    }
    clocks.wall -= 3600;  // not an hour without flushing
    tick(100);
    EXPECT_EQ(app->lastFlush(), wholeSeconds(clocks.wall));
}

// At most one refresh timer, none after closing; the page may only reveal paths it was given.
TEST_F(AppControllerTest, MenuRefreshTimerAndRevealingOnlyKnownBundles) {
    start();
    for (int round = 0; round < 2; ++round) {
        app->menuWillOpen(), app->menuWillOpen();  // a second open without a close in between
        const auto shown = shell.menus.size();
        shell.fire(shell.timers.rbegin()->first);  // rebuilt in place while open
        EXPECT_EQ(std::pair(shell.timers.size(), shell.menus.size()), std::pair(2ul, shown + 1));
        app->menuDidClose(), app->menuDidClose();
        EXPECT_EQ(shell.timers.size(), 1u);
    }
    *procs.procs[20].cpuNS += 300'000'000;
    tick(900);
    const MenuEntries menu = app->rebuildMenu();
    // A program without a desktop entry or bundle (I18nTest holds the wording).
    EXPECT_EQ(menu.at(2).tooltip, t(Lang::en, S::commandLineProgram));
    app->perform(menu[1]), app->perform(menu[2]);  // only Mail has a bundle
    app->openChart();
    for (const auto* message : {"close", "/opt/Mail.app", "/etc/passwd", "/opt/Mail.app/../../etc"})
        app->receive(message);
    EXPECT_EQ(shell.hides, 1);
    EXPECT_EQ(shell.revealed, std::vector<std::string>(2, "/opt/Mail.app"));  // row, then page
    app.reset();
    EXPECT_TRUE(shell.timers.empty());  // nothing can fire into a destroyed controller
}

}  // namespace
}  // namespace sapwell
