#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "MenuEntry.hpp"

namespace sapwell {

// What the controller needs from a front end: a status presence, a menu, main-loop timers, a
// chart view, the file manager and a way out. Everything is called on the main thread.
class Shell {
public:
    using TimerId = std::uint64_t;

    virtual ~Shell() = default;

    virtual void setStatusText(const std::string& text) = 0;
    virtual void setTooltip(const std::string& text) = 0;
    // Replaces the entries of the menu (the menu is empty until the first call).
    virtual void presentMenu(const MenuEntries& entries) = 0;
    // A shell whose menu is always on screen (the terminal) gets it rebuilt after every tick.
    virtual bool menuAlwaysShown() const { return false; }

    // A repeating timer on the main loop; it may fire up to `toleranceS` late. The action runs
    // until cancelled.
    virtual TimerId scheduleRepeating(double intervalS, double toleranceS,
                                      std::function<void()> action) = 0;
    virtual void cancelTimer(TimerId id) = 0;

    // The one chart view: replace its page, show it titled, hide it (hiding keeps it).
    virtual void loadChart(const std::string& html) = 0;
    virtual void showChart(const std::string& title) = 0;
    virtual void hideChart() = 0;

    // Shows a file in the file manager; the outcome is not reported.
    virtual void reveal(const std::string& path) = 0;
    // Ends the main loop; the owner of the loop then runs the controller's termination.
    virtual void quit() = 0;
};

}  // namespace sapwell
