#include "TerminalShell.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "AppController.hpp"
#include "ChartDump.hpp"
#include "DisplayWidth.hpp"
#include "MenuText.hpp"
#include "RetryOnInterrupt.hpp"
#include "TerminalSafe.hpp"

namespace sapwell {

namespace {

constexpr std::string_view bold = "\x1b[1m";
constexpr std::string_view dim = "\x1b[2m";
constexpr std::string_view reset = "\x1b[0m";
constexpr std::string_view enterScreen = "\x1b[?1049h\x1b[?25l";
constexpr std::string_view leaveScreen = "\x1b[?25h\x1b[?1049l";
constexpr std::string_view home = "\x1b[H";
constexpr std::string_view clearToEnd = "\x1b[K";
constexpr std::string_view clearBelow = "\x1b[J";

struct Line {
    std::string_view style;  // empty, bold or dim
    std::string text;
};

std::string styled(const Line& line, int columns) {
    std::string cut = cutToWidth(terminalSafe(line.text), columns);
    if (line.style.empty() || cut.empty()) return cut;
    return std::string(line.style) + cut + std::string(reset);
}

}  // namespace

TerminalShell::TerminalShell(EventLoop& loop, const Environment& env, int inFd, int outFd)
    : loop_(loop), env_(env), inFd_(inFd), outFd_(outFd), tty_(isatty(outFd) == 1) {}

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

void TerminalShell::onInput() {
    char buf[64];
    const ssize_t n = read(inFd_, buf, sizeof buf);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
        // End of input: no more keys, the view keeps running until a signal ends it.
        loop_.unwatch(inFd_);
        watchingInput_ = false;
        return;
    }
    for (ssize_t i = 0; i < n; ++i) {
        const char c = buf[i];
        if (c == '\x1b') break;  // the rest is an escape sequence (arrows, function keys)
        if (!controller_) continue;
        if (c == 'q' || c == 'Q') {
            controller_->quit();
            return;
        }
        if (c == 'g' || c == 'G') controller_->openChart();
        if (c == '\x0c') redraw();  // Ctrl-L
    }
}

std::string TerminalShell::frame(int columns, int rows) const {
    std::vector<Line> top;
    std::vector<Line> menu;
    std::vector<Line> bottom;
    top.push_back({bold, "Sapwell \u2014 " + status_});
    top.push_back({"", ""});
    std::string commands;
    for (const auto& e : entries_) {
        switch (e.kind) {
        case MenuEntry::Kind::separator: menu.push_back({"", ""}); break;
        case MenuEntry::Kind::header: menu.push_back({bold, e.text}); break;
        case MenuEntry::Kind::note:
        case MenuEntry::Kind::emptyWindow: menu.push_back({dim, e.text}); break;
        case MenuEntry::Kind::row: menu.push_back({"", e.text}); break;
        case MenuEntry::Kind::command:
            if (!commands.empty()) commands += "   ";
            commands += e.keyEquivalent + " " + e.text;
            break;
        }
    }
    if (!commands.empty()) {
        bottom.push_back({"", ""});
        bottom.push_back({dim, commands});
    }
    if (!message_.empty()) bottom.push_back({"", message_});

    // On a short screen the end of the menu gives way; the figure and the keys stay.
    const int room = std::max(0, rows - static_cast<int>(top.size() + bottom.size()));
    if (static_cast<int>(menu.size()) > room) menu.resize(static_cast<std::size_t>(room));

    std::string out;
    bool first = true;
    for (const auto* part : {&top, &menu, &bottom}) {
        for (const auto& line : *part) {
            if (!first) out += '\n';
            first = false;
            out += styled(line, columns);
        }
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
