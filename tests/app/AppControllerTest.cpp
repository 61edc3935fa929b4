#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <functional>
#include <sstream>

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
    std::ostringstream err;
    void start(double interval = Sampler::defaultInterval, InstanceLock* lock = nullptr) {
        app = std::make_unique<AppController>(seam, shell, AppOptions{"/opt/sapwell", {}, interval, lock, &err});
        app->launch();
    }
    void tick(std::uint64_t ms, double seconds = 15) {  // Mail's CPU in `seconds`, then a tick
        *procs.procs[10].cpuNS += ms * 1'000'000;
        clocks.advance(seconds);
        shell.fire(shell.timers.begin()->first);
    }
    std::filesystem::path historyFile() const { return dir / "Sapwell/history.tsv"; }
    int linesWritten() const {
        const std::string text = testing::TempDir::read(historyFile());
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }
    std::string firstMenuLine() { return app->rebuildMenu().at(0).text; }
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
    // The minute closed at the sleep and its rest: two lines, one minute with the later reading.
    const auto buckets = app->history().buckets();
    ASSERT_EQ(buckets.size(), 1u);
    EXPECT_EQ(buckets[0].batState, ChargeState::charging);
    EXPECT_EQ(mailTotal(), 2100u);
    battery.reading = {};
    tick(10);
    EXPECT_FALSE(app->units().chargeState.has_value());
}

// The first pass sets baselines only, so the second comes 2 s later (at most one interval) and
// counts those seconds in full; the sampling interval follows from there.
TEST_F(AppControllerTest, SecondPassTwoSecondsAfterTheFirstGivesTheFirstFigure) {
    const std::tuple<double, double, std::string> cases[] = {
        {15, 2, "15% CPU"}, {3, 2, "15% CPU"}, {1, 1, "30% CPU"},
        {0.25, 0.25, "\u2026"}};  // too little awake time for a rate
    for (const auto& [interval, first, figure] : cases) {
        shell = {};
        start(interval);
        EXPECT_EQ(shell.statusTexts.back(), "\u2026");
        EXPECT_EQ(shell.intervals, (std::map<Shell::TimerId, double>{{1, first}})) << interval;
        tick(300, first);
        const Aggregate shown = app->history().window(wholeSeconds(clocks.wall), 5);
        EXPECT_EQ(std::tuple(shell.statusTexts.back(), shown.awakeS, mailTotal()),
                  std::tuple(figure, first, 300u)) << interval;
        EXPECT_EQ(shell.intervals, (std::map<Shell::TimerId, double>{{2, interval}}));
        tick(600, interval);
        EXPECT_EQ(mailTotal(), 900u) << interval;
        app.reset();
    }
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
    // A program without a desktop entry or bundle (I18nTest holds the wording), after what "% CPU" means.
    EXPECT_EQ(menu.at(3).tooltip, t(Lang::en, S::commandLineProgram));
    app->perform(menu[2]), app->perform(menu[3]);  // only Mail has a bundle
    app->openChart();
    for (const auto* message : {"close", "/opt/Mail.app", "/etc/passwd", "/opt/Mail.app/../../etc"})
        app->receive(message);
    EXPECT_EQ(shell.hides, 1);
    EXPECT_EQ(shell.revealed, std::vector<std::string>(2, "/opt/Mail.app"));  // row, then page
    app.reset();
    EXPECT_TRUE(shell.timers.empty());  // nothing can fire into a destroyed controller
}

// While the history cannot be written the menu says why, first, and standard error once; the
// minutes wait, and are all written once the way is clear. Minutes still unwritten at the end make
// a failed end, said with how many.
TEST_F(AppControllerTest, AHistoryThatCannotBeWrittenIsShownSaidOnceAndCaughtUpOnceItCan) {
    rlimit unlimited{};
    getrlimit(RLIMIT_FSIZE, &unlimited);
    const auto fileSize = [&](rlim_t bytes) {  // a full disk, as far as this process can tell
        const rlimit limit{bytes, unlimited.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    const struct { const char* label; std::function<void()> block, clear; std::string reason; } cases[] = {
        {"Folder", [&] { std::filesystem::remove(historyFile()), std::filesystem::create_directories(historyFile()); },
         [&] { std::filesystem::remove(historyFile()); }, "not a regular file"},
        {"DiskFull", [&] { fileSize(0); }, [&] { fileSize(unlimited.rlim_cur); }, "disk full"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(dir / "Sapwell");
        c.block();
        err.str("");
        start();
        for (int i = 0; i < 9; ++i) tick(100);  // two flushes
        const std::string said = std::string("Sapwell: History not saved: ").append(c.reason) + " (" + historyFile().string() + ")\n";
        EXPECT_EQ(std::tuple(firstMenuLine(), err.str(), linesWritten()), std::tuple(std::string("History not saved: ").append(c.reason), said, 0)) << c.label;
        c.clear();
        for (int i = 0; i < 4; ++i) tick(100);
        EXPECT_EQ(std::tuple(firstMenuLine().substr(0, 3), err.str(), linesWritten()),
                  std::tuple("Now", said + "Sapwell: History saved again\n", 3)) << c.label;
        EXPECT_TRUE(app->terminate()) << c.label;
        start();
        tick(100);
        c.block();
        EXPECT_FALSE(app->terminate()) << c.label;
        EXPECT_TRUE(err.str().ends_with(std::string("Sapwell: History not saved: ").append(c.reason) + "; 1 min not written (" +
                                        historyFile().string() + ")\n")) << err.str();
        c.clear();
        app.reset();
    }
}

// A run that holds no lock writes nothing until it gets one; one whose lock another instance
// took (its file having been removed) never writes again, or their minutes would overlap.
TEST_F(AppControllerTest, TheHistoryIsWrittenOnlyWhileTheLockHolds) {
    const auto lockFile = dir / "Sapwell/sapwell.lock";
    std::filesystem::create_directories(lockFile.parent_path());
    std::filesystem::create_symlink(dir / "nowhere", lockFile);
    InstanceLock lock, other;
    std::string reason;
    ASSERT_EQ(lock.acquire(lockFile, reason), InstanceLock::Result::unavailable);
    start(15, &lock);
    for (int i = 0; i < 5; ++i) tick(100);
    EXPECT_EQ(std::pair(firstMenuLine(), linesWritten()), std::pair(std::string("History not saved: cannot lock it"), 0));
    std::filesystem::remove(lockFile);
    for (int i = 0; i < 4; ++i) tick(100);
    EXPECT_EQ(std::pair(firstMenuLine().substr(0, 3), linesWritten()), std::pair(std::string("Now"), 2));
    std::filesystem::remove(lockFile);
    ASSERT_EQ(other.acquire(lockFile, reason), InstanceLock::Result::acquired);
    for (int i = 0; i < 8; ++i) tick(100);
    EXPECT_EQ(std::pair(firstMenuLine(), linesWritten()), std::pair(std::string("History not saved: another Sapwell writes it"), 2));
    EXPECT_TRUE(app->terminate());
    EXPECT_EQ(linesWritten(), 2);
    EXPECT_EQ(err.str(), std::string("Sapwell: History saved again\nSapwell: History not saved: another Sapwell writes it (") +
                             historyFile().string() + ")\nSapwell: History not saved: another Sapwell writes it; 3 min not written (" +
                             historyFile().string() + ")\n");
}

}  // namespace
}  // namespace sapwell
