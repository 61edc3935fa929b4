#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "DisplayWidth.hpp"
#include "Fakes.hpp"
#include "TempDir.hpp"
#include "TerminalSafe.hpp"
#include "TerminalShell.hpp"

namespace sapwell {
namespace {

// Wide characters count 2 and are never cut in half; an accent stays with its letter.
TEST(TerminalText, CutsToWidthBetweenWholeCharacters) {
    const std::tuple<std::string, int, std::string> cases[] = {
        {"Safari", 6, "Safari"}, {"Safari", 5, "Safa\u2026"}, {"Safari", 0, ""},
        {"\u5FAE\u4FE1\u5FAE\u4FE1", 5, "\u5FAE\u4FE1\u2026"}, {"\u5FAE\u4FE1", 3, "\u5FAE\u2026"},
        {"Cafe\u0301 Noir", 6, "Cafe\u0301 \u2026"},
        {"\U0001F469\u200D\U0001F4BB dev", 4, "\U0001F469\u200D\U0001F4BB \u2026"}};
    for (const auto& [text, columns, want] : cases)
        EXPECT_EQ(cutToWidth(text, columns), want) << text << " @" << columns;
}

// Names come from other programs: no escape sequence of theirs may reach the terminal.
TEST(TerminalText, ControlCharactersAndBadBytesCannotReachTheTerminal) {
    EXPECT_EQ(terminalSafe("evil\x1b[2Jname\x07"), "evil\uFFFD[2Jname\uFFFD");
    EXPECT_EQ(terminalSafe("a\xC2\x9B" "31mb"), "a\uFFFD31mb");  // C1 CSI
    EXPECT_EQ(terminalSafe("bad\xFF\xFEutf8"), "bad\uFFFD\uFFFDutf8");
    EXPECT_EQ(cutToWidth("x\x1b]0;title\x07", 40), "x\uFFFD]0;title\uFFFD");
}

// Nor may a name reorder its line: overrides, embeddings and marks show as U+FFFD; the isolate
// the menu puts around every name keeps nothing apart on a terminal and goes.
TEST(TerminalText, BidiControlsCannotReorderTheLine) {
    const std::pair<std::string, std::string> cases[] = {
        {"1. \u2068\u202Eevil\u2069 \u2014 9%", "1. \uFFFDevil \u2014 9%"},
        {"\u202A\u202B\u202C\u202D|\u200E\u200F\u061C", "\uFFFD\uFFFD\uFFFD\uFFFD|\uFFFD\uFFFD\uFFFD"},
        {"\u2066a\u2067b\u2068c\u2069", "abc"}, {"\u05E9\u05DC\u05D5\u05DD", "\u05E9\u05DC\u05D5\u05DD"}};
    for (const auto& [in, out] : cases) EXPECT_EQ(terminalSafe(in), out) << in;
}

TEST(TerminalShell, FrameStylesCutsAndKeepsTheKeysOnAShortScreen) {
    EventLoop loop;
    testing::FakeEnvironment env;
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::tmpfile(), std::fclose);
    const int fd = fileno(file.get());  // neither end is a terminal
    TerminalShell shell(loop, env, fd, fd);
    shell.setStatusText("12% CPU");
    using K = MenuEntry::Kind;
    const auto entry = [](K kind, std::string text = "", std::string key = "") {
        MenuEntry e;
        e.kind = kind;
        e.text = std::move(text);
        e.keyEquivalent = std::move(key);
        return e;
    };
    shell.presentMenu({entry(K::header, "Now \u2014 12% CPU"),
                       entry(K::row, "     1. A very long application name \u2014 9%"),
                       entry(K::separator), entry(K::note, "Collected: 3 min"),
                       entry(K::command, "Open Chart\u2026", "g"), entry(K::command, "Quit", "q")});
    const std::string top =
        "\x1b[1mSapwell \u2014 12% CPU\x1b[0m\n\n\x1b[1mNow \u2014 12% CPU\x1b[0m\n"
        "     1. A very long applicati\u2026\n";
    const std::string keys = "\x1b[2mg Open Chart\u2026   q Quit\x1b[0m";
    EXPECT_EQ(shell.frame(30, 24), top + "\n\x1b[2mCollected: 3 min\x1b[0m\n\n" + keys);
    // On a short screen the figure and the keys stay, the keys saying how to scroll the menu,
    // which scrolls between them and keeps its place through a resize.
    const std::string scrollKeys = "\x1b[2mg Open Chart\u2026   q Quit   \u2191\u2193 P\u2026\x1b[0m";
    EXPECT_EQ(shell.frame(30, 6), top + "\n" + scrollKeys);
    shell.press({Key::Kind::end});
    EXPECT_EQ(shell.frame(30, 6),
              top.substr(0, top.find("\n\n") + 2) + "\n\x1b[2mCollected: 3 min\x1b[0m\n\n" + scrollKeys);
    EXPECT_EQ(shell.frame(30, 24), top + "\n\x1b[2mCollected: 3 min\x1b[0m\n\n" + keys);
    EXPECT_EQ(testing::TempDir::read("/proc/self/fd/" + std::to_string(fd)),
              "Sapwell \u2014 12% CPU\nNow \u2014 12% CPU\n"  // a plain block, no commands
              "     1. A very long application name \u2014 9%\n\nCollected: 3 min\n\n");
}

}  // namespace
}  // namespace sapwell
