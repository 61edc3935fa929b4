#include <gtest/gtest.h>

#include <ctime>
#include <thread>

#include "ChildProcess.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using namespace std::literals;
using testing::ChildProcess;
using testing::TempDir;

const std::string block = "Sapwell \u2014 ";  // the first line of each tick's block

std::map<std::string, std::string> baseEnv(const TempDir& dir, const std::string& lang = "en") {
    return {{"XDG_DATA_HOME", (dir / "data").string()}, {"TMPDIR", dir.path().string()},
            {"HOME", dir.path().string()}, {"SAPWELL_LANG", lang}, {"PATH", "/usr/bin:/bin"},
            {"SAPWELL_TICK_SECONDS", "0.2"}};
}

template <class Done>
bool eventually(Done done) {  // polls for up to 20 s
    for (int i = 0; i < 400 && !done(); ++i) std::this_thread::sleep_for(50ms);
    return done();
}

long cpuLines(const TempDir& dir) {  // CPU time is the metric this machine measures
    const std::string text = TempDir::read(dir / "data/Sapwell/history.tsv");
    return text.empty() ? 0 : std::ranges::distance(std::views::split(text, "\tcpu_ms\t"sv)) - 1;
}

TEST(EndToEnd, PrintMenuReadsTheHistoryAndWritesNothing) {
    TempDir dir;
    ChildProcess empty({SAPWELL_BINARY, "--print-menu"}, baseEnv(dir, "de"));
    EXPECT_EQ(empty.wait(20s), 0) << empty.err();
    EXPECT_TRUE(empty.out().starts_with("Jetzt \u2014 \u2014\n")) << empty.out();
    EXPECT_FALSE(std::filesystem::exists(dir / "data"));  // not even the folder

    const auto m = std::time(nullptr) / 60 * 60;
    auto line = [](std::int64_t t, std::string rest) { return std::to_string(t) + rest + "\n"; };
    const std::string content =
        line(m - 120, "\tcpu_ms\t60\tFirefox=30000,bash=9000\t-") +
        line(m - 60, "\tcpu_ms\t60\tFirefox=6000,bash=3000\t57.5:d") +
        line(m - 60, "\tenergy_mj\t60\tOther=999999\t-") +         // another metric
        line(m - 9 * 86400, "\tcpu_ms\t60\tAncient=5000000\t-") +  // past retention
        "not a history line\n" + line(m - 3 * 3600, "\tcpu_ms\t120\tFirefox=60000\t-");
    const auto file = dir.write("data/Sapwell/history.tsv", content);
    ChildProcess run({SAPWELL_BINARY, "--print-menu"}, baseEnv(dir));
    ASSERT_EQ(run.wait(20s), 0) << run.err();
    const std::string out = run.out(), recent = "     1. Firefox \u2014 30% CPU \u00B7 75%\n"
                                                "     2. bash \u2014 10% CPU \u00B7 25%\n";
    EXPECT_TRUE(out.starts_with("Now \u2014 40% CPU\n" + recent + "\n15 minutes \u2014 48 CPU s "
                                "\u00B7 active 2 min\n" + recent)) << out;
    EXPECT_TRUE(out.ends_with("\n24 hours \u2014 2 CPU min \u00B7 active 4 min\n"
                              "     1. Firefox \u2014 40% CPU \u00B7 89%\n"
                              "     2. bash \u2014 5% CPU \u00B7 11%\n\n"
                              "CPU time proxy: this computer does not expose per-app energy data\n"
                              "Collected: 3 min\n\n")) << out;
    EXPECT_TRUE(TempDir::read(file) == content &&  // read only, and no lock taken
                !std::filesystem::exists(dir / "data/Sapwell/sapwell.lock"));
}

TEST(EndToEnd, SignalsFlushTheLastMinuteAndTheLockRefusesASecondInstanceMeanwhile) {
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        TempDir dir;
        ChildProcess run({SAPWELL_BINARY, "--terminal"}, baseEnv(dir));
        ASSERT_TRUE(run.waitForOutput(block, 3, 20s)) << run.err();  // three ticks, no flush yet
        EXPECT_EQ(cpuLines(dir), 0);
        if (signo == SIGTERM) {  // readers take no lock
            ChildProcess second({SAPWELL_BINARY}, baseEnv(dir));
            ChildProcess reader({SAPWELL_BINARY, "--print-menu"}, baseEnv(dir));
            EXPECT_EQ(second.wait(10s), 1);
            EXPECT_EQ(second.out() + second.err(), "Sapwell is already running\n");
            EXPECT_EQ(reader.wait(10s), 0);
        }
        run.signal(signo);
        EXPECT_EQ(run.wait(10s), 0) << "signal " << signo << ": " << run.err();
        EXPECT_GE(cpuLines(dir), 1) << "signal " << signo;
    }
}

// `sapwell --terminal | head`: the closed pipe ends the run like a quit, flushing the minute.
TEST(EndToEnd, AClosedOutputPipeEndsTheRunCleanly) {
    TempDir dir;
    const std::string script = "{ \"$0\" --terminal; echo $? >\"$1\"; } | head -n 30 >/dev/null";
    ChildProcess run({"/bin/sh", "-c", script, SAPWELL_BINARY, dir / "status"}, baseEnv(dir));
    ASSERT_EQ(run.wait(20s), 0);
    EXPECT_EQ(TempDir::read(dir / "status"), "0\n");
    EXPECT_GE(cpuLines(dir), 1);
}

TEST(EndToEnd, TerminalViewInTmuxShowsTheFigureAndMenuAndQuitsOnQ) {
    if (std::system("command -v tmux >/dev/null 2>&1") != 0) GTEST_SKIP() << "no tmux";
    TempDir dir;
    struct Tmux {
        std::string prefix;
        ~Tmux() { std::system((prefix + "kill-server 2>/dev/null").c_str()); }
    } tmux{"tmux -S '" + (dir / "tmux.sock").string() + "' "};
    auto run = [&](const std::string& args) { return std::system((tmux.prefix + args).c_str()); };
    const auto shot = dir / "screen", status = dir / "status";
    auto screen = [&] {
        return run("capture-pane -p -t view >'" + shot.string() + "'"), TempDir::read(shot);
    };
    auto shows = [&](const std::string& text) { return screen().find(text) != std::string::npos; };
    std::string command = "env -i TERM=xterm-256color ";
    for (const auto& [k, v] : baseEnv(dir)) command += k + "='" + v + "' ";
    command += "'" SAPWELL_BINARY "' --terminal; echo $? >'" + status.string() + "'; sleep 30";
    ASSERT_EQ(run("-f /dev/null new-session -d -s view -x 60 -y 40 \"" + command + "\""), 0);

    ASSERT_TRUE(eventually([&] { return shows("% CPU"); })) << screen();
    EXPECT_TRUE(screen().starts_with(block)) << screen();  // the figure on the first line
    EXPECT_TRUE(shows("\n15 minutes \u2014") && shows("g Open Chart\u2026   q Quit")) << screen();
    run("send-keys -t view g");  // writes the chart page and shows where
    EXPECT_TRUE(eventually([&] { return shows("CPU Activity: " + dir.path().string()); }));

    run("send-keys -t view q");
    EXPECT_TRUE(eventually([&] { return TempDir::read(status) == "0\n"; })) << screen();
    EXPECT_GE(cpuLines(dir), 1);                    // the minute in progress was flushed
    EXPECT_FALSE(shows("15 minutes")) << screen();  // and the alternate screen left
}

}  // namespace
}  // namespace sapwell
