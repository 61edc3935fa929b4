#include "TerminalShell.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <vector>

#include "AppController.hpp"
#include "ChartDump.hpp"
#include "MenuText.hpp"
#include "RetryOnInterrupt.hpp"
#include "TerminalSafe.hpp"
#include "Viewport.hpp"

namespace sapwell {

namespace {

constexpr std::string_view enterScreen = "\x1b[?1049h\x1b[?25l";
constexpr std::string_view leaveScreen = "\x1b[?25h\x1b[?1049l";
constexpr std::string_view home = "\x1b[H";
constexpr std::string_view clearToEnd = "\x1b[K";
constexpr std::string_view clearBelow = "\x1b[J";

}  // namespace

TerminalShell::TerminalShell(EventLoop& loop, const Environment& env, int inFd, int outFd)
    : loop_(loop),
      env_(env),
      inFd_(inFd),
      outFd_(outFd),
      tty_(isatty(outFd) == 1),
      lang_(Lang::detect(env)) {}

TerminalShell::~TerminalShell() { finish(); }

void TerminalShell::start() {
    if (started_) return;
    started_ = true;
    // Keys are read from a terminal only while this process owns it in the foreground (a
    // background read would stop the process), or from whatever else stdin is.
    const bool inTty = isatty(inFd_) == 1;
    if (!inTty || tcgetpgrp(inFd_) == getpgrp()) {
        loop_.watch(inFd_, [this] { onInput(); });
        watchingInput_ = true;
    }
    if (tty_) {
        if (inTty && watchingInput_) enterRawMode();
        writeOut(std::string(enterScreen));
        refreshTerminal();
    }
}

void TerminalShell::enterRawMode() {
    termios modes;
    if (tcgetattr(inFd_, &modes) != 0) return;
    if (!savedModes_) savedModes_ = modes;
    // One key at a time, no echo; Ctrl-C still raises SIGINT, which ends the run cleanly.
    modes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    modes.c_cc[VMIN] = 1;
    modes.c_cc[VTIME] = 0;
    tcsetattr(inFd_, TCSANOW, &modes);
}

void TerminalShell::finish() {
    if (!started_) return;
    started_ = false;
    if (watchingInput_) loop_.unwatch(inFd_);
    watchingInput_ = false;
    if (savedModes_) tcsetattr(inFd_, TCSANOW, &*savedModes_);
    savedModes_.reset();
    if (tty_) writeOut(std::string(leaveScreen));
}

void TerminalShell::refreshTerminal() {
    if (!tty_ || !started_) return;
    winsize ws{};
    if (ioctl(outFd_, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
        columns_ = ws.ws_col;
        rows_ = ws.ws_row;
    }
    if (suspended_) {
        suspended_ = false;
        writeOut(std::string(enterScreen));
    }
    if (savedModes_) enterRawMode();  // a job stopped and continued may find its modes reset
    redraw();
}

void TerminalShell::suspend() {
    if (tty_ && started_ && !suspended_) {
        if (savedModes_) tcsetattr(inFd_, TCSANOW, &*savedModes_);
        writeOut(std::string(leaveScreen));
        suspended_ = true;
    }
    kill(getpid(), SIGSTOP);
}

void TerminalShell::presentMenu(const MenuEntries& entries) {
    entries_ = entries;
    if (tty_) {
        redraw();
    } else if (!entries_.empty()) {
        printBlock();
    }
}

Shell::TimerId TerminalShell::scheduleRepeating(double intervalS, double toleranceS,
                                                std::function<void()> action) {
    return loop_.addRepeating(intervalS, toleranceS, std::move(action));
}

void TerminalShell::cancelTimer(TimerId id) { loop_.cancel(id); }

void TerminalShell::loadChart(const std::string& html) {
    chartError_.clear();
    chartPath_ = writeChartPage(html, env_.tempFolder(), chartError_);
}

void TerminalShell::showChart(const std::string& title) {
    if (chartPath_) {
        setMessage(title + ": " + chartPath_->string());
    } else {
        setMessage(title + ": " + chartError_);
    }
}

void TerminalShell::reveal(const std::string& path) { setMessage(path); }

void TerminalShell::quit() { loop_.stop(); }

void TerminalShell::setMessage(std::string text) {
    message_ = std::move(text);
    if (tty_) {
        redraw();
    } else if (!writeOut(terminalSafe(message_) + "\n")) {
        quit();
    }
}

struct TerminalShell::Screen {
    std::vector<ViewLine> top;
    Viewport view;
    std::vector<ViewLine> bottom;
    int room = 0;  // rows for the menu
};

void TerminalShell::onInput() {
    char buf[64];
    const ssize_t n = read(inFd_, buf, sizeof buf);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
        // End of input: no more keys, the view keeps running until a signal ends it.
        loop_.unwatch(inFd_);
        watchingInput_ = false;
        return;
    }
    if (n < 0) return;
    for (const Key& key : keys_.feed(std::string_view(buf, static_cast<std::size_t>(n)))) {
        press(key);
        if (loop_.stopped()) return;
    }
}

void TerminalShell::press(const Key& key) {
    const Screen screen = layOutScreen(columns_, rows_);
    const int page = std::max(1, screen.room - 1);  // a page on, keeping one line in sight
    switch (key.kind) {
        case Key::Kind::up: scrollTo(screen.view.offset - 1); return;
        case Key::Kind::down: scrollTo(screen.view.offset + 1); return;
        case Key::Kind::pageUp: scrollTo(screen.view.offset - page); return;
        case Key::Kind::pageDown: scrollTo(screen.view.offset + page); return;
        case Key::Kind::home: scrollTo(0); return;
        // Held past the end, so the last line stays in sight through resizes and longer menus.
        case Key::Kind::end: scrollTo(std::numeric_limits<int>::max()); return;
        case Key::Kind::other: return;
        case Key::Kind::character: break;
    }
    if (!controller_) return;
    const char c = key.ch;
    if (c == 'q' || c == 'Q') {
        controller_->quit();
    } else if (c == 'g' || c == 'G') {
        controller_->openChart();
    } else if (c == '\x0c') {  // Ctrl-L
        redraw();
    }
}

void TerminalShell::scrollTo(int offset) {
    offset_ = std::max(0, offset);
    redraw();
}

TerminalShell::Screen TerminalShell::layOutScreen(int columns, int rows) const {
    using Style = ViewLine::Style;
    Screen screen;
    screen.top.push_back({Style::bold, std::string("Sapwell \u2014 ").append(status_)});
    screen.top.push_back({});
    std::vector<ViewLine> menu;
    std::string commands;
    for (const auto& e : entries_) {
        switch (e.kind) {
        case MenuEntry::Kind::separator: menu.push_back({}); break;
        case MenuEntry::Kind::header: menu.push_back({Style::bold, e.text}); break;
        case MenuEntry::Kind::note:
        case MenuEntry::Kind::emptyWindow: menu.push_back({Style::dim, e.text}); break;
        case MenuEntry::Kind::row: menu.push_back({Style::plain, e.text}); break;
        case MenuEntry::Kind::command:
            if (!commands.empty()) commands += "   ";
            commands += e.keyEquivalent + " " + e.text;
            break;
        }
    }
    while (!menu.empty() && menu.back().text.empty()) menu.pop_back();  // the commands' separator
    if (!commands.empty()) {
        screen.bottom.push_back({});
        screen.bottom.push_back({Style::dim, commands});
    }
    if (!message_.empty()) screen.bottom.push_back({Style::plain, message_});

    // The figure and the keys stay; the menu scrolls between them.
    screen.room = std::max(0, rows - static_cast<int>(screen.top.size() + screen.bottom.size()));
    screen.view = layOut(menu, columns, screen.room, offset_);
    if (screen.view.maxOffset > 0 && !commands.empty()) {
        screen.bottom[1].text.append("   ").append(t(lang_, S::scrollKeys));
    }
    return screen;
}

std::string TerminalShell::frame(int columns, int rows) const {
    const Screen screen = layOutScreen(columns, rows);
    std::vector<std::string> lines;
    for (const auto& line : screen.top) lines.push_back(styledLine(line, columns));
    lines.insert(lines.end(), screen.view.lines.begin(), screen.view.lines.end());
    for (const auto& line : screen.bottom) lines.push_back(styledLine(line, columns));
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out += '\n';
        out += lines[i];
    }
    return out;
}

void TerminalShell::redraw() {
    if (!tty_ || !started_) return;
    const std::string text = frame(columns_, rows_);
    std::string out(home);
    for (char c : text) {
        if (c == '\n') {
            out += clearToEnd;
            out += "\r\n";
        } else {
            out += c;
        }
    }
    out += clearToEnd;
    out += clearBelow;
    if (!writeOut(out)) quit();
}

void TerminalShell::printBlock() {
    if (!writeOut("Sapwell \u2014 " + terminalSafe(status_) + "\n" + menuText(entries_) + "\n")) {
        quit();  // nobody reads the output any more (a closed pipe)
    }
}

bool TerminalShell::writeOut(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            retryOnInterrupt([&] { return write(outFd_, bytes.data() + done, bytes.size() - done); });
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{outFd_, POLLOUT, 0};
            poll(&p, 1, 1000);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace sapwell
