#include <gtest/gtest.h>

#include "AppController.hpp"
#include "Fakes.hpp"
#include "RecordingShell.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

PropertyMap onBattery(double pct, bool charging = false) {
    return {{"DesignCapacity", 5000.0},      {"Voltage", 11400.0},
            {"CurrentCapacity", pct},        {"MaxCapacity", 100.0},
            {"ExternalConnected", charging}, {"IsCharging", charging}};
}

class AppControllerTest : public ::testing::Test {
  protected:
    testing::TempDir dir;
    testing::FakeProcessTable procs;
    testing::FakeClocks clocks;
    testing::FakeBattery battery;
    testing::FakeEnvironment env;
    Seam seam{procs, clocks, battery, env};
    testing::RecordingShell shell;
    std::unique_ptr<AppController> app;

    AppControllerTest() {
        env.vars = {{"XDG_DATA_HOME", dir.path().string()}, {"SAPWELL_LANG", "en"}};
        procs.add(10, {std::nullopt, 0, "/opt/Mail.app/Contents/MacOS/Mail", "Mail"});
        procs.add(20, {std::nullopt, 0, "/opt/tools/kworker", "kworker"});
    }
    void start() {
        app = std::make_unique<AppController>(seam, shell, AppOptions{"/opt/sapwell", {}, 15.0});
        app->launch();
    }
    // `seconds` awake, during which Mail uses `ms` of CPU time; then the sampling timer fires.
    void tick(std::uint64_t ms, double seconds = 15) {
        *procs.procs[10].cpuNS += ms * 1'000'000;
        clocks.advance(seconds);
        shell.fire(shell.timers.begin()->first);
    }
    std::uint64_t mailTotal() const {
        for (const auto& [name, v] : app->history().window(wholeSeconds(clocks.wall), 1440).totals)
            if (name == "Mail") return v;
        return 0;
    }
};

TEST_F(AppControllerTest, OnlyTheSecondTickCountsSleepAddsNothingTerminationSurvivesRestart) {
    battery.props = onBattery(80);
    procs.procs[10].cpuNS = 5'000'000'000;  // used before the first pass: not counted
    start();
    EXPECT_EQ(shell.tooltip,
              "Sapwell\n/opt/sapwell\n" + (dir.path() / "Sapwell/history.tsv").string());
    tick(1500);
    EXPECT_EQ(shell.statusTexts.back(), "10% CPU");
    battery.props = onBattery(81, true);
    clocks.sleep(20);
    const auto titles = shell.statusTexts.size();
    tick(9000, 0);
    EXPECT_EQ(mailTotal(), 1500u);  // neither the first pass nor the slept one added anything
    EXPECT_EQ(app->units().chargeState, ChargeState::charging);
    EXPECT_EQ(shell.statusTexts.size(), titles + 1);
    tick(600);
    EXPECT_EQ(mailTotal(), 2100u);  // and the next pass adds again
    app->terminate();               // long before any flush
    app->terminate();               // a second request writes nothing twice
    app.reset();
    start();
    const auto buckets = app->history().allBuckets();
    ASSERT_EQ(buckets.size(), 2u);
    EXPECT_EQ(buckets[0].batState, ChargeState::discharging);  // closed before the new reading
    EXPECT_EQ(buckets[1].batState, ChargeState::charging);
    battery.props.reset();
    tick(10);
    EXPECT_FALSE(app->units().chargeState.has_value());
    EXPECT_TRUE(app->units().batteryMJ.has_value());  // the capacity is read once, at start
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

TEST_F(AppControllerTest, RefreshTimerAtMostOneAndNoneAfterClosing) {
    start();
    for (int round = 0; round < 2; ++round) {
        app->menuWillOpen();
        app->menuWillOpen();  // a second open without a close in between
        ASSERT_EQ(shell.timers.size(), 2u);
        const auto shown = shell.menus.size();
        shell.fire(shell.timers.rbegin()->first);
        EXPECT_EQ(shell.menus.size(), shown + 1);  // rebuilt in place while open
        app->menuDidClose();
        app->menuDidClose();
        EXPECT_EQ(shell.timers.size(), 1u);
    }
    app.reset();
    EXPECT_TRUE(shell.timers.empty());  // nothing can fire into a destroyed controller
}

// The page may only reveal paths this controller put into it.
TEST_F(AppControllerTest, RowsAndPageMessagesRevealOnlyKnownBundles) {
    start();
    *procs.procs[20].cpuNS += 300'000'000;
    tick(900);
    const MenuEntries menu = app->rebuildMenu();
    EXPECT_EQ(menu.at(2).tooltip, "Linux system process \u2014 no separate app");
    app->perform(menu[1]);
    app->perform(menu[2]);
    EXPECT_EQ(shell.revealed, std::vector<std::string>{"/opt/Mail.app"});
    app->openChart();
    const std::tuple<MessageBody, int, std::vector<std::string>> cases[] = {
        {std::string("close"), 1, {}},
        {std::string("/opt/Mail.app"), 0, {"/opt/Mail.app"}},
        {std::string("/etc/passwd"), 0, {}},
        {std::string("/opt/Mail.app/../../etc"), 0, {}},
        {42.0, 0, {}},
        {OtherMessage{}, 0, {}},
    };
    for (const auto& [body, hides, revealed] : cases) {
        shell.hides = 0;
        shell.revealed.clear();
        app->receive(body);
        EXPECT_EQ(std::pair(shell.hides, shell.revealed), std::pair(hides, revealed))
            << body.index();
    }
}

}  // namespace
}  // namespace sapwell
