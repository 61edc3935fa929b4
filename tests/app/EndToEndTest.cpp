#include <gtest/gtest.h>
#include <sys/stat.h>

#include <charconv>
#include <chrono>
#include <ctime>
#include <ranges>

#include "ChildProcess.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using namespace testing;  // ChildProcess, TempDir, eventually

const std::string block = "Sapwell \u2014 ";  // the first line of each tick's block

std::vector<std::string> baseEnv(const TempDir& dir, const std::string& lang = "en") {
    return {"XDG_DATA_HOME=" + (dir / "data").string(), "TMPDIR=" + dir.path().string(),
            "SAPWELL_LANG=" + lang, "PATH=/usr/bin:/bin", "SAPWELL_TICK_SECONDS=0.2"};
}

long count(const std::string& text, std::string_view part) {
    return std::ranges::distance(std::views::split(text, part)) - !text.empty();
}
long cpuLines(const TempDir& dir) {  // CPU time is the metric this machine measures
    return count(TempDir::read(dir / "data/Sapwell/history.tsv"), "\tcpu_ms\t");
}

TEST(EndToEnd, PrintMenuReadsTheHistoryAndWritesNothing) {
    TempDir dir;
    ChildProcess empty({SAPWELL_BINARY, "--print-menu"}, baseEnv(dir, "de"));
    EXPECT_EQ(empty.wait(), 0) << empty.err();
    EXPECT_TRUE(empty.out().starts_with("Jetzt \u2014 \u2014\n") &&
                !std::filesystem::exists(dir / "data"));  // not even the folder made

    const auto m = std::time(nullptr) / 60 * 60;
    auto line = [](std::int64_t t, std::string rest) { return std::to_string(t) + rest + "\n"; };
    const std::string content =
        line(m - 120, "\tcpu_ms\t60\tFirefox=30000,bash=9000\t-") +
        line(m - 60, "\tcpu_ms\t60\tFirefox=6000,bash=3000\t57.5:d") +
        line(m - 60, "\tenergy_mj\t60\tOther=999999\t-") +  // another metric
        "not a history line\n" + line(m - 3 * 3600, "\tcpu_ms\t120\tFirefox=60000\t-");
    const auto file = dir.write("data/Sapwell/history.tsv", content);
    ChildProcess run({SAPWELL_BINARY, "--print-menu"}, baseEnv(dir));
    ASSERT_EQ(run.wait(), 0) << run.err();
    const std::string out = run.out();  // the rows' layout is MenuBuilderTest's
    EXPECT_TRUE(out.starts_with("Now \u2014 40% CPU\n     % of one core; 200% = 2 cores busy\n"
                                "     1. Firefox \u2014 30% CPU \u00B7 75%\n") &&
                out.find("\n24 hours \u2014 2 CPU min \u00B7 active 4 min\n") != out.npos &&
                out.ends_with("data\nCollected: 3 min\n\n")) << out;
    EXPECT_TRUE(TempDir::read(file) == content &&  // read only, and no lock taken
                !std::filesystem::exists(dir / "data/Sapwell/sapwell.lock"));
}

// A refused command line starts nothing: no history, no lock, no chart page, status 2.
TEST(EndToEnd, ARefusedCommandLineSaysWhyAndWritesNothing) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--bogus"}, "sapwell: unknown option '--bogus'\nUsage: sapwell "},
        {{"--dump-chart", "extra"}, "sapwell: unexpected argument 'extra'\nUsage: sapwell "},
        {{"--terminal", "--export", "csv"}, "sapwell: '--terminal' and '--export' cannot be used together\n"}};
    for (auto [args, said] : cases) {
        TempDir dir;
        args.insert(args.begin(), SAPWELL_BINARY);
        ChildProcess run(args, baseEnv(dir));
        EXPECT_EQ(run.wait(), 2) << args[1];
        EXPECT_TRUE(run.err().starts_with(said)) << run.err();
        EXPECT_EQ(run.out(), "");
        EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << args[1];
    }
    TempDir dir;
    ChildProcess help({SAPWELL_BINARY, "-h"}, baseEnv(dir));
    EXPECT_EQ(help.wait(), 0);
    EXPECT_TRUE(help.out().starts_with("Usage: sapwell ") && help.err().empty()) << help.out();
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// Each signal flushes the minute in progress; meanwhile a second instance is refused, not a reader,
// even after the lock's folder was removed (the instance takes the lock again at its next tick).
TEST(EndToEnd, SignalsFlushTheLastMinuteAndTheLockRefusesASecondInstanceMeanwhile) {
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        TempDir dir;
        ChildProcess run({SAPWELL_BINARY, "--terminal"}, baseEnv(dir));
        ASSERT_TRUE(eventually([&] { return count(run.out(), block) >= 3; })) << run.err();
        EXPECT_EQ(cpuLines(dir), 0);  // three ticks, no flush yet
        if (signo == SIGTERM) {
            std::filesystem::remove_all(dir / "data/Sapwell");
            ASSERT_TRUE(eventually([&] { return std::filesystem::exists(dir / "data/Sapwell/sapwell.lock"); }));
            ChildProcess second({SAPWELL_BINARY}, baseEnv(dir));
            ChildProcess reader({SAPWELL_BINARY, "--print-menu"}, baseEnv(dir));
            EXPECT_EQ(second.wait(), 1);
            EXPECT_EQ(second.out() + second.err(), "Sapwell is already running\n");
            EXPECT_EQ(reader.wait(), 0);
        }
        run.signal(signo);
        EXPECT_EQ(run.wait(), 0) << "signal " << signo << ": " << run.err();
        EXPECT_GE(cpuLines(dir), 1) << "signal " << signo;
    }
}

// A pipe where the history goes: the program neither hangs nor writes elsewhere, the view says why
// the history is not saved, and a stop ends it at once, failing, with what was lost.
TEST(EndToEnd, AHistoryFileInTheWayIsShownAndTheEndFails) {
    TempDir dir;
    const auto file = dir / "data/Sapwell/history.tsv";
    std::filesystem::create_directories(file.parent_path());
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    ChildProcess run({SAPWELL_BINARY, "--terminal"}, baseEnv(dir));
    ASSERT_TRUE(eventually([&] { return count(run.out(), block) >= 2; })) << run.err();
    EXPECT_NE(run.out().find("\nHistory not saved: not a regular file\n\nNow \u2014 "), std::string::npos) << run.out();
    const auto stopped = std::chrono::steady_clock::now();
    run.signal(SIGTERM);
    EXPECT_EQ(run.wait(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(2));
    EXPECT_TRUE(run.err().ends_with(std::string("Sapwell: History not saved: not a regular file; 1 min not written (") +
                                    file.string() + ")\n")) << run.err();
}

// A laptop on battery: forty stored minutes whose measured drain is 2 W plus 8 W per busy core,
// beside a discharging 100 Wh battery (1 %/h is 1 W) at half charge, read by the real program from
// a power supply tree. The menu shares the drain out, the idle share ranked among the applications,
// the status figure is that drain, the chart page carries the capacity and the history the level.
TEST(EndToEnd, OnBatteryTheMenuAndFigureShareOutTheMeasuredDrain) {
    TempDir dir;
    dir.write("ps/AC/uevent", "POWER_SUPPLY_TYPE=Mains\nPOWER_SUPPLY_ONLINE=0\n");
    dir.write("ps/BAT0/uevent", "POWER_SUPPLY_TYPE=Battery\nPOWER_SUPPLY_PRESENT=1\nPOWER_SUPPLY_STATUS=Discharging\n"
                                "POWER_SUPPLY_ENERGY_FULL=100000000\nPOWER_SUPPLY_ENERGY_NOW=50000000\n");
    const auto m = std::time(nullptr) / 60 * 60;
    std::string history;
    for (int i = 0; i < 40; ++i) {  // Firefox has two thirds of the CPU time, bash one
        const int cpuMs = 1500 * i, mJ = 60 * (2000 + 200 * i);
        history += std::to_string(m - (40 - i) * 60) + "\tcpu_ms\t60\tFirefox=" + std::to_string(cpuMs * 2 / 3) +
                   ",bash=" + std::to_string(cpuMs / 3) + "\t" + std::to_string(60 - i / 4) + ".0:d\t" +
                   std::to_string(mJ) + ":60\n";
    }
    dir.write("data/Sapwell/history.tsv", history);
    auto env = baseEnv(dir);
    env.push_back("SAPWELL_POWER_SUPPLY_DIR=" + (dir / "ps").string());
    ChildProcess print({SAPWELL_BINARY, "--print-menu"}, env);
    ASSERT_EQ(print.wait(), 0) << print.err();
    const std::string out = print.out();
    EXPECT_TRUE(out.starts_with("Now \u2014 ") && out.find("%/h\n     about ") != out.npos &&
                out.find(" left at this rate\n     1. Firefox \u2014 ") != out.npos) << out;
    EXPECT_NE(out.find("\n24 hours \u2014 5.9%/h \u00B7 3.9% of battery \u00B7 active 40 min\n"
                       "         1. Firefox \u2014 2.6%/h \u00B7 44%\n"
                       "         2. Idle and screen \u2014 2.0%/h \u00B7 34%\n"
                       "         3. bash \u2014 1.3%/h \u00B7 22%\n\nEstimate: "), out.npos) << out;
    EXPECT_NE(out.find("\nOn battery 40 min: 10% used\nCollected: 40 min\n"), out.npos) << out;

    ChildProcess dump({SAPWELL_BINARY, "--dump-chart"}, env);
    EXPECT_EQ(dump.wait(), 0) << dump.err();
    const std::string page = TempDir::read(dir / "sapwell-chart.html"), key = "const TO_PCT = ";
    double toPercent = 0;
    if (const auto at = page.find(key); at != page.npos)
        std::from_chars(page.data() + at + key.size(), page.data() + page.size(), toPercent);
    EXPECT_NEAR(100 / toPercent / 3.6e6, 100, 1e-6);  // watt hours

    ChildProcess run({SAPWELL_BINARY, "--terminal"}, env);  // the same figures at its first tick
    EXPECT_TRUE(eventually([&] { return count(run.out(), block) >= 2; }));
    run.signal(SIGTERM);
    EXPECT_EQ(run.wait(), 0) << run.err();
    const std::string first = run.out().substr(0, run.out().find("\n     1."));
    EXPECT_TRUE(first.starts_with(block) && first.find("%/h\nNow \u2014 ") != first.npos &&
                run.out().find("Idle and screen") != std::string::npos) << run.out();
    const std::string written = TempDir::read(dir / "data/Sapwell/history.tsv").substr(history.size());
    EXPECT_NE(written.find("\t50.0:d"), written.npos) << written;
}

// A tmux server of its own, whose session "view" runs `command` on a `columns` x `rows` terminal.
struct EndToEndTmux : ::testing::Test {
    TempDir dir;
    std::string operator()(std::vector<std::string> args) const {
        args.insert(args.begin(), {"/usr/bin/tmux", "-S", dir / "tmux.sock", "-f", "/dev/null"});
        ChildProcess run(args, baseEnv(dir));
        return run.wait(), run.out();
    }
    void start(const char* columns, const char* rows, const std::string& command) {
        if (!std::filesystem::exists("/usr/bin/tmux")) GTEST_SKIP() << "no tmux";
        (*this)({"new-session", "-d", "-s", "view", "-x", columns, "-y", rows, command});
    }
    ~EndToEndTmux() override { (*this)({"kill-server"}); }
    std::string screen() const { return (*this)({"capture-pane", "-p", "-t", "view"}); }
    bool shows(const std::string& text) const { return screen().find(text) != std::string::npos; }
};

TEST_F(EndToEndTmux, TerminalViewShowsTheFigureAndMenuAndQuitsOnQ) {
    start("60", "40", SAPWELL_BINARY " --terminal; echo $? >'" + (dir / "status").string() + "'; sleep 30");
    if (IsSkipped()) return;
    auto& tmux = *this;

    ASSERT_TRUE(eventually([&] { return shows("% CPU"); })) << screen();
    const std::string first = screen();  // the figure on the first line, then the menu
    EXPECT_TRUE(first.starts_with(block) && first.find("\n15 minutes \u2014") != first.npos &&
                first.find("g Open Chart\u2026   q Quit") != first.npos) << first;
    tmux({"send-keys", "-t", "view", "g"});  // writes the chart page and shows where
    EXPECT_TRUE(eventually([&] { return shows("CPU Activity: " + dir.path().string()); }));
    tmux({"send-keys", "-t", "view", "q"});
    EXPECT_TRUE(eventually([&] { return TempDir::read(dir / "status") == "0\n"; })) << screen();
    EXPECT_GE(cpuLines(dir), 1);                    // the minute in progress was flushed
    EXPECT_FALSE(shows("15 minutes")) << screen();  // and the alternate screen left
}

// A full menu on an 80 x 24 terminal: the keys scroll it, tmux sending them as its terminal
// does; wider than 160 columns the windows stand in two columns.
TEST_F(EndToEndTmux, TerminalViewScrollsAFullMenuAndSplitsItOnAWideScreen) {
    const auto m = std::time(nullptr) / 60 * 60;
    std::string history;
    for (int i = 10; i >= 2; --i) {
        history += std::to_string(m - i * 60) +
                   "\tcpu_ms\t60\tFirefox=30000,bash=9000,Mail=8000,Files=7000,Music=6000,Maps=5000\t-\n";
    }
    dir.write("data/Sapwell/history.tsv", history);
    start("80", "24", SAPWELL_BINARY " --terminal");
    if (IsSkipped()) return;
    auto& tmux = *this;

    ASSERT_TRUE(eventually([&] { return shows("q Quit   \u2191\u2193 PgUp PgDn Home End scroll"); })) << screen();
    EXPECT_FALSE(shows("24 hours")) << screen();
    tmux({"send-keys", "-t", "view", "NPage"});
    EXPECT_TRUE(eventually([&] { return shows("24 hours") && !shows("15 minutes"); })) << screen();
    tmux({"send-keys", "-t", "view", "Home", "Down"});  // one line below the top
    EXPECT_TRUE(eventually([&] { return shows("\n     1. Firefox") && !shows("\nNow"); })) << screen();
    tmux({"send-keys", "-t", "view", "End"});
    EXPECT_TRUE(eventually([&] { return shows(" min\n\ng Open Chart") && shows("Collected: "); })) << screen();

    tmux({"resize-window", "-t", "view", "-x", "170", "-y", "30"});
    EXPECT_TRUE(eventually([&] {
        const std::string s = screen();
        const auto now = s.find("\nNow \u2014"), hour = s.find("1 hour \u2014");
        return now != s.npos && hour != s.npos && s.find('\n', now + 1) > hour && s.find("Collected") != s.npos;
    })) << screen();
    EXPECT_FALSE(shows("PgUp")) << screen();  // all of it fits: nothing to scroll
    tmux({"send-keys", "-t", "view", "q"});
    EXPECT_TRUE(eventually([&] { return cpuLines(dir) > 9; }));  // ended through the usual path
}

}  // namespace
}  // namespace sapwell
