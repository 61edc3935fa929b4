#pragma once

#include <termios.h>

#include <filesystem>
#include <optional>
#include <string>

#include "EventLoop.hpp"
#include "I18n.hpp"
#include "KeyReader.hpp"
#include "Seam.hpp"
#include "Shell.hpp"

namespace sapwell {

class AppController;

// The menu as a full-screen terminal view. On a terminal it takes the alternate screen like
// `top`: "Sapwell" and the status figure on the first line, then the menu, redrawn at every
// tick and on resize; "g" writes the chart page and shows its path, "q" quits, and the arrow
// keys, Page Up/Down and Home/End scroll a menu taller than the screen. When the output is not a
// terminal it prints the menu as plain text, one block per tick.
class TerminalShell final : public Shell {
public:
    TerminalShell(EventLoop& loop, const Environment& env, int inFd, int outFd);
    ~TerminalShell() override;

    // Keys go to this controller from now on.
    void attach(AppController& controller) { controller_ = &controller; }
    // Enters the alternate screen and reads keys one by one (terminal only).
    void start();
    // Leaves the terminal as it was found. Safe to call twice.
    void finish();
    // After SIGWINCH or SIGCONT: size and modes again, then a full redraw.
    void refreshTerminal();
    // Ctrl-Z: hands the terminal back as it was found, then stops the process; SIGCONT
    // brings the view back through refreshTerminal.
    void suspend();

    bool isTerminal() const { return tty_; }
    const std::string& message() const { return message_; }

    // Shell
    void setStatusText(const std::string& text) override { status_ = text; }
    void setTooltip(const std::string& text) override { tooltip_ = text; }
    void presentMenu(const MenuEntries& entries) override;
    bool menuAlwaysShown() const override { return true; }
    TimerId scheduleRepeating(double intervalS, double toleranceS,
                              std::function<void()> action) override;
    void cancelTimer(TimerId id) override;
    void loadChart(const std::string& html) override;
    void showChart(const std::string& title) override;
    void hideChart() override {}
    void reveal(const std::string& path) override;
    void quit() override;

    // The screen for a size, without control sequences except bold and dim.
    std::string frame(int columns, int rows) const;
    // Acts on one key as if it had been typed.
    void press(const Key& key);

private:
    struct Screen;
    Screen layOutScreen(int columns, int rows) const;
    void scrollTo(int offset);
    void onInput();
    void redraw();
    void printBlock();
    void setMessage(std::string text);
    bool writeOut(const std::string& bytes);
    void enterRawMode();

    EventLoop& loop_;
    const Environment& env_;
    AppController* controller_ = nullptr;
    int inFd_;
    int outFd_;
    bool tty_ = false;
    bool started_ = false;
    bool watchingInput_ = false;
    bool suspended_ = false;
    std::optional<termios> savedModes_;
    int columns_ = 80;
    int rows_ = 24;
    int offset_ = 0;  // the first menu row shown; kept through ticks and resizes
    KeyReader keys_;
    Lang lang_;
    std::string status_;
    std::string tooltip_;
    MenuEntries entries_;
    std::string message_;
    std::optional<std::filesystem::path> chartPath_;
    std::string chartError_;
};

}  // namespace sapwell
