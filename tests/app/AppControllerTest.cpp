#include "AppController.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "Fakes.hpp"
#include "RecordingShell.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using testing::FakeBattery;
using testing::FakeClocks;
using testing::FakeEnvironment;
using testing::FakeProcessTable;
using testing::RecordingShell;
using testing::TempDir;

PropertyMap onBattery(double pct) {
    return PropertyMap{{"DesignCapacity", 5000.0}, {"Voltage", 11400.0},
                       {"CurrentCapacity", pct},   {"MaxCapacity", 100.0},
                       {"ExternalConnected", false}, {"IsCharging", false}};
}

// One controller on fakes, its history in a temp folder. CPU-time metric unless a process
// reports energy.
struct Rig {
    TempDir dir;
    FakeProcessTable procs;
    FakeClocks clocks;
    FakeBattery battery;
    FakeEnvironment env;
    Seam seam{procs, clocks, battery, env};
    RecordingShell shell;
    std::unique_ptr<AppController> app;

    Rig() {
        env.vars["XDG_DATA_HOME"] = dir.path().string();
        env.vars["SAPWELL_LANG"] = "en";
        procs.add(10, {std::nullopt, 0, "/opt/Mail.app/Contents/MacOS/Mail", "Mail"});
        procs.add(20, {std::nullopt, 0, "/opt/tools/kworker", "kworker"});
    }
    AppController& start() {
        app = std::make_unique<AppController>(seam, shell, AppOptions{"/opt/sapwell", {}, 15.0});
        app->launch();
        return *app;
    }
    // Fifteen seconds awake, during which Mail uses `ms` of CPU time.
    void work(std::uint64_t ms, double seconds = 15) {
        *procs.procs[10].cpuNS += ms * 1'000'000;
        clocks.advance(seconds);
    }
    std::uint64_t mailTotal(std::int64_t minutes = 1440) const {
        for (const auto& [name, v] : app->history().window(now(), minutes).totals)
            if (name == "Mail") return v;
        return 0;
    }
    std::int64_t now() const { return wholeSeconds(clocks.wall); }
};

TEST(AppController, LaunchTicksOnceThenEveryFifteenSecondsWithTolerance) {
    Rig rig;
    auto& app = rig.start();
    EXPECT_EQ(rig.shell.statusTexts.front(), "");  // status presence before launch
    ASSERT_GE(rig.shell.statusTexts.size(), 3u);
    EXPECT_EQ(rig.shell.statusTexts[1], "\u2026");
    EXPECT_EQ(rig.shell.statusTexts[2], "\u2026");  // first tick: no awake time yet
    ASSERT_EQ(rig.shell.timers.size(), 1u);
    EXPECT_EQ(rig.shell.timers.begin()->second.interval, 15.0);
    EXPECT_EQ(rig.shell.timers.begin()->second.tolerance, 5.0);
    EXPECT_TRUE(rig.shell.menus.at(0).empty());
    EXPECT_EQ(rig.shell.tooltip, "Sapwell\n/opt/sapwell\n" +
                                     (rig.dir.path() / "Sapwell/history.tsv").string());
    EXPECT_EQ(app.units().metric, Metric::cpuTime);
}

TEST(AppController, FirstTickAddsNothingTheSecondDoes) {
    Rig rig;
    rig.procs.procs[10].cpuNS = 5'000'000'000;  // history before the first pass is not counted
    auto& app = rig.start();
    EXPECT_EQ(rig.mailTotal(), 0u);
    rig.work(3000);
    rig.shell.fire(rig.shell.timers.begin()->first);
    EXPECT_EQ(rig.mailTotal(), 3000u);
    EXPECT_EQ(rig.shell.statusTexts.back(), "20% CPU");
    EXPECT_DOUBLE_EQ(app.history().window(rig.now(), 5).awakeS, 15.0);
}

TEST(AppController, TickAfterSleepClosesMinuteAddsNothingButUpdatesBatteryAndTitle) {
    Rig rig;
    rig.battery.props = onBattery(80);
    auto& app = rig.start();
    rig.work(1500);
    app.tick();
    EXPECT_EQ(app.history().depthMinutes(), 0);

    PropertyMap charging = onBattery(81);
    charging["ExternalConnected"] = true;
    charging["IsCharging"] = true;
    rig.battery.props = charging;
    *rig.procs.procs[10].cpuNS += 9'000'000'000;
    rig.clocks.sleep(20);
    const auto titles = rig.shell.statusTexts.size();
    app.tick();
    EXPECT_EQ(app.history().depthMinutes(), 1);  // the open minute was closed
    EXPECT_EQ(rig.mailTotal(), 1500u);           // the slept pass added nothing
    EXPECT_EQ(app.units().chargeState, ChargeState::charging);
    EXPECT_EQ(rig.shell.statusTexts.size(), titles + 1);

    rig.work(600);
    app.tick();
    EXPECT_EQ(rig.mailTotal(), 2100u);  // and the next pass adds again
    app.terminate();
    const auto buckets = app.history().allBuckets();
    ASSERT_EQ(buckets.size(), 2u);
    EXPECT_EQ(buckets[0].batState, ChargeState::discharging);  // closed before the new reading
    EXPECT_EQ(buckets[1].batState, ChargeState::charging);
    EXPECT_DOUBLE_EQ(*buckets[1].batPct, 81.0);
}

TEST(AppController, FlushesOnlyAtTicksSixtySecondsApart) {
    Rig rig;
    auto& app = rig.start();
    const auto started = rig.now();
    const auto file = app.history().path();
    struct Step {
        double advance;
        std::int64_t lastFlushAfter;  // offset from the start
    };
    const Step steps[] = {{59, 0}, {1, 60}, {59, 60}, {0.5, 60}, {0.5, 120}};
    for (const auto& s : steps) {
        rig.work(100, s.advance);
        app.tick();
        EXPECT_EQ(app.lastFlush(), started + s.lastFlushAfter) << "after +" << s.advance;
    }
    EXPECT_EQ(app.history().persisted(), app.history().depthMinutes());
    EXPECT_TRUE(std::filesystem::exists(file));

    // A wall clock set back an hour flushes at once instead of an hour later.
    rig.clocks.wall -= 3600;
    rig.work(100, 15);
    app.tick();
    EXPECT_EQ(app.lastFlush(), rig.now());
}

TEST(AppController, BatterylessSnapshotClearsChargeStateEveryTick) {
    Rig rig;
    rig.battery.props = onBattery(50);
    auto& app = rig.start();
    EXPECT_EQ(app.units().chargeState, ChargeState::discharging);
    ASSERT_TRUE(app.units().batteryMJ.has_value());
    rig.battery.props.reset();
    for (int i = 0; i < 2; ++i) {
        rig.work(10);
        app.tick();
        EXPECT_FALSE(app.units().chargeState.has_value());
    }
    EXPECT_TRUE(app.units().batteryMJ.has_value());  // the capacity is read once, at start
}

TEST(AppController, TerminationMinuteSurvivesRestart) {
    Rig rig;
    auto& app = rig.start();
    rig.work(4200);
    app.tick();  // ten seconds into the minute, long before any flush
    app.terminate();
    app.terminate();  // a second request writes nothing twice
    rig.app.reset();

    rig.clocks.advance(5);
    rig.start();
    EXPECT_EQ(rig.app->history().depthMinutes(), 1);
    EXPECT_EQ(rig.mailTotal(), 4200u);
    const auto lines = TempDir::read(rig.app->history().path());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 1);
}

TEST(AppController, RefreshTimerAtMostOneAndNoneAfterClosing) {
    Rig rig;
    auto& app = rig.start();
    ASSERT_EQ(rig.shell.timers.size(), 1u);  // sampling
    for (int round = 0; round < 3; ++round) {
        app.menuNeedsUpdate();
        app.menuWillOpen();
        app.menuWillOpen();  // a second open without a close in between
        EXPECT_EQ(rig.shell.timers.size(), 2u);
        EXPECT_TRUE(app.menuTimerActive());
        const auto shown = rig.shell.menus.size();
        rig.shell.fire(rig.shell.timers.rbegin()->first);
        EXPECT_EQ(rig.shell.menus.size(), shown + 1);  // rebuilt in place while open
        app.menuDidClose();
        app.menuDidClose();
        EXPECT_EQ(rig.shell.timers.size(), 1u);
        EXPECT_FALSE(app.menuTimerActive());
    }
    rig.app.reset();
    EXPECT_TRUE(rig.shell.timers.empty());  // nothing can fire into a destroyed controller
}

TEST(AppController, MenuRowsRevealTheirBundleAndCommandsActDirectly) {
    Rig rig;
    auto& app = rig.start();
    rig.work(900);
    *rig.procs.procs[20].cpuNS += 300'000'000;
    app.tick();
    const MenuEntries menu = app.rebuildMenu();
    ASSERT_GE(menu.size(), 3u);
    const MenuEntry& mail = menu[1];
    EXPECT_EQ(mail.text, "     1. Mail \u2014 6% CPU \u00B7 75%");
    EXPECT_EQ(mail.action, MenuEntry::Action::revealApp);
    EXPECT_EQ(mail.bundlePath, "/opt/Mail.app");
    EXPECT_EQ(mail.tooltip, "Mail\n/opt/Mail.app\nClick to show in the file manager");
    const MenuEntry& system = menu[2];
    EXPECT_EQ(system.text, "     2. kworker \u2014 2% CPU \u00B7 25%");
    EXPECT_EQ(system.action, MenuEntry::Action::none);
    EXPECT_FALSE(system.bundlePath.has_value());
    EXPECT_EQ(system.tooltip, "Linux system process \u2014 no separate app");

    app.perform(mail);
    EXPECT_EQ(rig.shell.revealed, std::vector<std::string>{"/opt/Mail.app"});
    app.perform(system);
    EXPECT_EQ(rig.shell.revealed.size(), 1u);
    const MenuEntry& chart = menu[menu.size() - 2];
    const MenuEntry& quit = menu.back();
    EXPECT_EQ(chart.keyEquivalent, "g");
    EXPECT_EQ(quit.keyEquivalent, "q");
    app.perform(chart);
    EXPECT_EQ(rig.shell.chartTitles, std::vector<std::string>{"Sapwell \u2014 CPU Activity"});
    app.perform(quit);
    EXPECT_EQ(rig.shell.quits, 1);
}

TEST(AppController, TerminalLikeShellsGetTheMenuAfterEveryTick) {
    Rig rig;
    rig.shell.alwaysShown = true;
    auto& app = rig.start();
    const auto shown = rig.shell.menus.size();
    EXPECT_EQ(shown, 2u);  // the empty one at launch, then the first tick's
    rig.work(10);
    app.tick();
    EXPECT_EQ(rig.shell.menus.size(), shown + 1);
}

TEST(AppController, PageMessagesRevealOnlyPathsOfTheLoadedPage) {
    Rig rig;
    auto& app = rig.start();
    app.receive(std::string("close"));
    EXPECT_EQ(rig.shell.hides, 0);  // no chart view yet

    rig.work(500);
    app.tick();
    app.openChart();
    ASSERT_EQ(rig.shell.chartPages.size(), 1u);
    EXPECT_NE(rig.shell.chartPages[0].find("/opt/Mail.app"), std::string::npos);

    struct Case {
        MessageBody body;
        int hides;
        std::vector<std::string> revealed;
    };
    const Case cases[] = {
        {std::string("close"), 1, {}},
        {std::string("/opt/Mail.app"), 0, {"/opt/Mail.app"}},
        {std::string("/etc/passwd"), 0, {}},
        {std::string("/opt/Mail.app/../../etc"), 0, {}},
        {std::string(""), 0, {}},
        {42.0, 0, {}},
        {true, 0, {}},
        {OtherMessage{}, 0, {}},
    };
    for (const auto& c : cases) {
        rig.shell.hides = 0;
        rig.shell.revealed.clear();
        app.receive(c.body);
        EXPECT_EQ(rig.shell.hides, c.hides) << c.body.index();
        EXPECT_EQ(rig.shell.revealed, c.revealed) << c.body.index();
    }
}

TEST(AppController, ChartTitleFollowsTheMetric) {
    Rig rig;
    rig.procs.procs[10].energyNJ = 1'000'000;
    auto& app = rig.start();
    EXPECT_EQ(app.units().metric, Metric::energy);
    app.openChart();
    app.openChart();
    EXPECT_EQ(rig.shell.chartTitles,
              (std::vector<std::string>{"Sapwell \u2014 Battery Usage", "Sapwell \u2014 Battery Usage"}));
    EXPECT_EQ(rig.shell.chartPages.size(), 2u);
}

}  // namespace
}  // namespace sapwell
