#include "TerminalShell.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "AppController.hpp"
#include "Fakes.hpp"
#include "MenuText.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

TEST(TerminalText, CutsToWidthBetweenWholeCharacters) {
    struct Case {
        std::string text;
        int columns;
        std::string want;
        int width;  // of the input
    };
    const Case cases[] = {
        {"Safari", 10, "Safari", 6},
        {"Safari", 6, "Safari", 6},
        {"Safari", 5, "Safa\u2026", 6},
        {"Safari", 0, "", 6},
        {"\u5FAE\u4FE1\u5FAE\u4FE1", 5, "\u5FAE\u4FE1\u2026", 8},  // wide characters count 2
        {"\u5FAE\u4FE1\u5FAE\u4FE1", 4, "\u5FAE\u2026", 8},         // never half a character
        {"Cafe\u0301 Noir", 6, "Cafe\u0301 \u2026", 9},             // the accent stays with its e
        {"\U0001F469\u200D\U0001F4BB dev", 4, "\U0001F469\u200D\U0001F4BB \u2026", 6},
        {"\u2764\uFE0F ok", 3, "\u2764\uFE0F\u2026", 5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cutToWidth(c.text, c.columns), c.want) << c.text << " @" << c.columns;
        EXPECT_EQ(displayWidth(c.text), c.width) << c.text;
        EXPECT_LE(displayWidth(cutToWidth(c.text, c.columns)), std::max(c.columns, 0));
    }
}

TEST(TerminalText, ControlCharactersAndBadBytesCannotReachTheTerminal) {
    EXPECT_EQ(terminalSafe("evil\x1b[2Jname\x07"), "evil\uFFFD[2Jname\uFFFD");
    EXPECT_EQ(terminalSafe("a\xC2\x9B" "31mb"), "a\uFFFD31mb");  // C1 CSI
    EXPECT_EQ(terminalSafe("bad\xFF\xFEutf8"), "bad\uFFFD\uFFFDutf8");
    EXPECT_EQ(terminalSafe("\u041F\u043E\u0447\u0442\u0430 \u2014 ok"), "\u041F\u043E\u0447\u0442\u0430 \u2014 ok");
    EXPECT_EQ(cutToWidth("x\x1b]0;title\x07", 40), "x\uFFFD]0;title\uFFFD");
}

MenuEntry entry(MenuEntry::Kind kind, std::string text, std::string key = "") {
    MenuEntry e;
    e.kind = kind;
    e.text = std::move(text);
    e.keyEquivalent = std::move(key);
    return e;
}

MenuEntries sampleMenu() {
    using K = MenuEntry::Kind;
    return {entry(K::header, "Now \u2014 12% CPU"),
            entry(K::row, "     1. A very long application name \u2014 9% CPU \u00B7 75%"),
            entry(K::separator, ""),
            entry(K::note, "Collected: 3 min"),
            entry(K::separator, ""),
            entry(K::command, "Open Chart\u2026", "g"),
            entry(K::command, "Quit", "q")};
}

struct Pipe {
    int r = -1, w = -1;
    Pipe() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            r = fds[0];
            w = fds[1];
        }
    }
    ~Pipe() {
        if (r >= 0) close(r);
        if (w >= 0) close(w);
    }
    std::string drain() const {
        std::string out;
        char buf[4096];
        ssize_t n;
        while ((n = read(r, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
        return out;
    }
};

TEST(TerminalShell, FrameStylesCutsAndKeepsTheKeysOnAShortScreen) {
    EventLoop loop;
    testing::FakeEnvironment env;
    Pipe in, out;
    TerminalShell shell(loop, env, in.r, out.w);
    shell.setStatusText("12% CPU");
    shell.presentMenu(sampleMenu());

    EXPECT_EQ(shell.frame(30, 24),
              "\x1b[1mSapwell \u2014 12% CPU\x1b[0m\n\n"
              "\x1b[1mNow \u2014 12% CPU\x1b[0m\n"
              "     1. A very long applicati\u2026\n\n"
              "\x1b[2mCollected: 3 min\x1b[0m\n\n\n"
              "\x1b[2mg Open Chart\u2026   q Quit\x1b[0m");
    // Six rows: the figure and the keys stay, the end of the menu gives way.
    EXPECT_EQ(shell.frame(30, 6),
              "\x1b[1mSapwell \u2014 12% CPU\x1b[0m\n\n"
              "\x1b[1mNow \u2014 12% CPU\x1b[0m\n"
              "     1. A very long applicati\u2026\n\n"
              "\x1b[2mg Open Chart\u2026   q Quit\x1b[0m");

    // Not a terminal: one plain block per presented menu, commands left out.
    EXPECT_FALSE(shell.isTerminal());
    EXPECT_EQ(out.drain(),
              "Sapwell \u2014 12% CPU\nNow \u2014 12% CPU\n"
              "     1. A very long application name \u2014 9% CPU \u00B7 75%\n\nCollected: 3 min\n\n\n");
}

TEST(TerminalShell, KeysWriteTheChartPageAndQuitThroughTheController) {
    TempDir dir;
    testing::FakeProcessTable procs;
    testing::FakeClocks clocks;
    testing::FakeBattery battery;
    testing::FakeEnvironment env;
    env.vars = {{"XDG_DATA_HOME", (dir / "data").string()}, {"TMPDIR", (dir / "tmp").string()},
                {"SAPWELL_LANG", "en"}};
    std::filesystem::create_directories(dir / "tmp");
    procs.add(1, {std::nullopt, 0, "/opt/tool", "tool"});
    Seam seam{procs, clocks, battery, env};

    EventLoop loop;
    Pipe in, out;
    TerminalShell shell(loop, env, in.r, out.w);
    AppController app(seam, shell, AppOptions{"sapwell", {}, 15.0});
    shell.attach(app);
    shell.start();
    app.launch();
    EXPECT_NE(out.drain().find("Sapwell \u2014 \u2026\nNow \u2014 \u2014\n"), std::string::npos);
    EXPECT_EQ(loop.timerCount(), 1u);

    ASSERT_EQ(write(in.w, "\x1b[Ag", 4), 4);  // an arrow key's letters are no command
    loop.runOnce(0ns);
    EXPECT_EQ(out.drain(), "");
    ASSERT_EQ(write(in.w, "g", 1), 1);
    loop.runOnce(0ns);
    const auto page = dir / "tmp" / "sapwell-chart.html";
    EXPECT_EQ(out.drain(), "Sapwell \u2014 CPU Activity: " + page.string() + "\n");
    EXPECT_NE(TempDir::read(page).find("<html"), std::string::npos);

    ASSERT_EQ(write(in.w, "q", 1), 1);
    loop.runOnce(0ns);
    EXPECT_TRUE(loop.stopped());
}

TEST(EventLoop, RepeatingTimersFireOnTheirGridAndCancelInsideActions) {
    EventLoop loop;
    int fast = 0, slow = 0;
    EventLoop::TimerId fastId = 0;
    fastId = loop.addRepeating(0.01, 0.0, [&] {
        if (++fast == 3) loop.cancel(fastId);
    });
    loop.addRepeating(0.05, 0.0, [&] {
        ++slow;
        loop.stop();
    });
    loop.run();
    EXPECT_EQ(fast, 3);  // cancelled by its own third turn
    EXPECT_EQ(slow, 1);
    EXPECT_EQ(loop.timerCount(), 1u);
}

TEST(EventLoop, SignalsArriveOnTheLoopAndReadersSeeEndOfInput) {
    EventLoop loop;
    std::vector<int> got;
    ASSERT_TRUE(loop.handleSignals({SIGUSR1, SIGUSR2}, [&](int s) { got.push_back(s); }));
    raise(SIGUSR2);
    raise(SIGUSR1);
    loop.runOnce(100ms);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, (std::vector<int>{SIGUSR1, SIGUSR2}));

    Pipe p;
    int reads = 0;
    loop.watch(p.r, [&] {
        char c;
        if (read(p.r, &c, 1) <= 0) loop.unwatch(p.r);
        ++reads;
    });
    close(p.w);
    p.w = -1;
    loop.runOnce(100ms);
    loop.runOnce(10ms);  // unwatched: the hung-up pipe no longer wakes the loop
    EXPECT_EQ(reads, 1);
}

}  // namespace
}  // namespace sapwell
