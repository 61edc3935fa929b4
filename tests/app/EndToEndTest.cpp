// The real binary: --print-menu on crafted history files, the running terminal view in tmux,
// termination by signal, the single-instance lock.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include "ChildProcess.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::TempDir;

const std::string binary = SAPWELL_BINARY;

std::map<std::string, std::string> baseEnv(const TempDir& dir, const std::string& lang = "en") {
    std::map<std::string, std::string> env = {
        {"XDG_DATA_HOME", (dir / "data").string()},
        {"TMPDIR", dir.path().string()},
        {"HOME", dir.path().string()},
        {"SAPWELL_LANG", lang},
        {"PATH", "/usr/bin:/bin"},
        {"SAPWELL_TICK_SECONDS", "0.2"},
    };
    return env;
}

std::filesystem::path historyFile(const TempDir& dir) { return dir / "data/Sapwell/history.tsv"; }

std::int64_t thisMinute() { return static_cast<std::int64_t>(std::time(nullptr)) / 60 * 60; }

std::string line(std::int64_t minute, const std::string& tag, const std::string& rest) {
    return std::to_string(minute) + "\t" + tag + "\t" + rest + "\n";
}

// The lines of the history file that belong to the CPU-time metric this machine measures.
int cpuLines(const TempDir& dir) {
    std::ifstream in(historyFile(dir));
    int n = 0;
    for (std::string l; std::getline(in, l);) n += l.find("\tcpu_ms\t") != std::string::npos;
    return n;
}

TEST(EndToEnd, PrintMenuReadsTheHistoryAndWritesNothing) {
    TempDir dir;
    const auto m = thisMinute();
    const std::string content =
        line(m - 120, "cpu_ms", "60\tFirefox=30000,bash=9000\t-") +
        line(m - 60, "cpu_ms", "60\tFirefox=6000,bash=3000\t57.5:d") +
        line(m - 60, "energy_mj", "60\tOther=999999\t-") +          // another metric
        line(m - 9 * 86400, "cpu_ms", "60\tAncient=5000000\t-") +   // past retention
        "not a history line\n" +
        line(m - 3 * 3600, "cpu_ms", "120\tFirefox=60000\t-");
    dir.write("data/Sapwell/history.tsv", content);
    struct stat before {};
    stat(historyFile(dir).c_str(), &before);

    ChildProcess run({binary, "--print-menu"}, baseEnv(dir));
    ASSERT_EQ(run.wait(20s), 0) << run.err();
    const std::string want =
        "Now \u2014 40% CPU\n"
        "     1. Firefox \u2014 30% CPU \u00B7 75%\n"
        "     2. bash \u2014 10% CPU \u00B7 25%\n"
        "\n"
        "15 minutes \u2014 48 CPU s \u00B7 active 2 min\n"
        "     1. Firefox \u2014 30% CPU \u00B7 75%\n"
        "     2. bash \u2014 10% CPU \u00B7 25%\n"
        "\n"
        "30 minutes \u2014 48 CPU s \u00B7 active 2 min\n"
        "     1. Firefox \u2014 30% CPU \u00B7 75%\n"
        "     2. bash \u2014 10% CPU \u00B7 25%\n"
        "\n"
        "1 hour \u2014 48 CPU s \u00B7 active 2 min\n"
        "     1. Firefox \u2014 30% CPU \u00B7 75%\n"
        "     2. bash \u2014 10% CPU \u00B7 25%\n"
        "\n"
        "24 hours \u2014 2 CPU min \u00B7 active 4 min\n"
        "     1. Firefox \u2014 40% CPU \u00B7 89%\n"
        "     2. bash \u2014 5% CPU \u00B7 11%\n"
        "\n"
        "CPU time proxy: this computer does not expose per-app energy data\n"
        "Collected: 3 min\n"
        "\n";
    EXPECT_EQ(run.out(), want);
    EXPECT_EQ(run.err(), "");

    // Read only: the file is untouched and no lock is taken.
    struct stat after {};
    stat(historyFile(dir).c_str(), &after);
    EXPECT_EQ(TempDir::read(historyFile(dir)), content);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_FALSE(std::filesystem::exists(dir / "data/Sapwell/sapwell.lock"));
}

TEST(EndToEnd, PrintMenuWithoutHistoryInGermanCreatesNothing) {
    TempDir dir;
    ChildProcess run({binary, "--print-menu"}, baseEnv(dir, "de"));
    ASSERT_EQ(run.wait(20s), 0) << run.err();
    EXPECT_EQ(run.out().substr(0, run.out().find('\n')), "Jetzt \u2014 \u2014");
    EXPECT_NE(run.out().find("\nErfasst: 0 Sek.\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "data/Sapwell"));
}

TEST(EndToEnd, SignalsEndTheRunThroughTheLastFlush) {
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        TempDir dir;
        ChildProcess run({binary, "--terminal"}, baseEnv(dir));
        // Each tick prints one block; after three the open minute holds awake time.
        ASSERT_TRUE(run.waitForOutput("Sapwell \u2014 ", 3, 20s)) << run.err();
        EXPECT_EQ(cpuLines(dir), 0);  // the minute cadence has not flushed anything yet
        run.signal(signo);
        EXPECT_EQ(run.wait(10s), 0) << "signal " << signo << ": " << run.err();
        EXPECT_GE(cpuLines(dir), 1) << "signal " << signo;
    }
}

TEST(EndToEnd, ASecondInstanceIsRefusedWhileTheFirstRuns) {
    TempDir dir;
    ChildProcess first({binary, "--terminal"}, baseEnv(dir));
    ASSERT_TRUE(first.waitForOutput("Sapwell \u2014 ", 1, 20s)) << first.err();

    ChildProcess second({binary}, baseEnv(dir));
    EXPECT_EQ(second.wait(10s), 1);
    EXPECT_EQ(second.err(), "Sapwell is already running\n");
    EXPECT_EQ(second.out(), "");

    ChildProcess reader({binary, "--print-menu"}, baseEnv(dir));  // readers take no lock
    EXPECT_EQ(reader.wait(10s), 0);

    first.signal(SIGTERM);
    ASSERT_EQ(first.wait(10s), 0);
    ChildProcess third({binary, "--terminal"}, baseEnv(dir));  // the lock went with the process
    EXPECT_TRUE(third.waitForOutput("Sapwell \u2014 ", 1, 20s)) << third.err();
    third.signal(SIGTERM);
    EXPECT_EQ(third.wait(10s), 0);
}

TEST(EndToEnd, AClosedOutputPipeEndsTheRunCleanly) {
    TempDir dir;
    ChildProcess run({binary, "--terminal"}, baseEnv(dir));
    ASSERT_TRUE(run.waitForOutput("Sapwell \u2014 ", 2, 20s));
    run.closeOutput();
    EXPECT_EQ(run.wait(10s), 0);
    EXPECT_GE(cpuLines(dir), 1);
}

TEST(EndToEnd, WithAGraphicalSessionItSaysTheTrayIsNotBuiltAndRunsTheTerminalView) {
    TempDir dir;
    auto env = baseEnv(dir);
    env["DISPLAY"] = ":42";
    ChildProcess run({binary}, env);
    ASSERT_TRUE(run.waitForOutput("Sapwell \u2014 ", 1, 20s));
    run.signal(SIGTERM);
    EXPECT_EQ(run.wait(10s), 0);
    EXPECT_EQ(run.err(), "Sapwell: the tray shell is not built yet; running the terminal view.\n");
}

// --- the terminal view on a real terminal, driven through tmux ---

class Tmux {
public:
    explicit Tmux(const TempDir& dir) : socket_((dir / "tmux.sock").string()) {}
    ~Tmux() { run("kill-server 2>/dev/null"); }
    int run(const std::string& args) const {
        return std::system(("tmux -S '" + socket_ + "' " + args).c_str());
    }
    std::string capture() const {
        const std::string cmd = "tmux -S '" + socket_ + "' capture-pane -p -t view 2>/dev/null";
        std::string out;
        if (FILE* p = popen(cmd.c_str(), "r")) {
            char buf[4096];
            std::size_t n;
            while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
            pclose(p);
        }
        return out;
    }
    bool waitFor(const std::string& text, std::chrono::milliseconds limit) const {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (capture().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

private:
    std::string socket_;
};

bool haveTmux() { return std::system("command -v tmux >/dev/null 2>&1") == 0; }

TEST(EndToEnd, TerminalViewInTmuxShowsTheFigureAndMenuAndQuitsOnQ) {
    if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
    TempDir dir;
    Tmux tmux(dir);
    std::string envText;
    for (const auto& [k, v] : baseEnv(dir)) envText += k + "='" + v + "' ";
    const auto status = dir / "status";
    const std::string command = "env -i TERM=xterm-256color " + envText + "'" + binary +
                                "' --terminal; echo $? > '" + status.string() + "'; sleep 30";
    ASSERT_EQ(tmux.run("-f /dev/null new-session -d -s view -x 60 -y 40 \"" + command + "\""), 0);

    ASSERT_TRUE(tmux.waitFor("% CPU", 20s)) << tmux.capture();
    ASSERT_TRUE(tmux.waitFor("15 minutes \u2014", 5s)) << tmux.capture();
    const std::string screen = tmux.capture();
    EXPECT_EQ(screen.rfind("Sapwell \u2014 ", 0), 0u) << screen;  // the first line
    EXPECT_NE(screen.find("Now \u2014 "), std::string::npos);
    EXPECT_NE(screen.find("g Open Chart\u2026   q Quit"), std::string::npos);
    EXPECT_EQ(cpuLines(dir), 0);

    // "g" writes the chart page and shows where.
    tmux.run("send-keys -t view g");
    EXPECT_TRUE(tmux.waitFor("Sapwell \u2014 CPU Activity: " + dir.path().string(), 10s))
        << tmux.capture();
    EXPECT_TRUE(std::filesystem::exists(dir / "sapwell-chart.html"));

    // Resizing redraws at the new width: every line fits in 30 columns.
    tmux.run("resize-window -t view -x 30 -y 40");
    ASSERT_TRUE(tmux.waitFor("\u2026", 5s));
    std::this_thread::sleep_for(300ms);
    {
        const std::string narrow = tmux.capture();
        std::istringstream in(narrow);
        for (std::string l; std::getline(in, l);) {
            EXPECT_LE(std::count_if(l.begin(), l.end(), [](char c) { return (c & 0xC0) != 0x80; }), 30)
                << l;
        }
    }

    tmux.run("send-keys -t view q");
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!std::filesystem::exists(status) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(50ms);
    }
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(std::filesystem::exists(status)) << tmux.capture();
    EXPECT_EQ(TempDir::read(status), "0\n");
    EXPECT_GE(cpuLines(dir), 1);  // the minute in progress was closed and flushed
    // Back from the alternate screen: the shell's pane no longer shows the menu.
    EXPECT_EQ(tmux.capture().find("15 minutes"), std::string::npos) << tmux.capture();
}

}  // namespace
}  // namespace sapwell
