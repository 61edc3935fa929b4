#pragma once

// A shell that records what the controller asks of it; tests fire its timers by hand.

#include <map>
#include <string>
#include <vector>

#include "Shell.hpp"

namespace sapwell::testing {

class RecordingShell : public Shell {
public:
    struct Timer {
        double interval;
        double tolerance;
        std::function<void()> action;
    };

    std::vector<std::string> statusTexts;
    std::string tooltip;
    std::vector<MenuEntries> menus;  // every presented menu, oldest first
    std::map<TimerId, Timer> timers;
    std::vector<std::string> chartPages;
    std::vector<std::string> chartTitles;
    int hides = 0;
    std::vector<std::string> revealed;
    int quits = 0;
    bool alwaysShown = false;

    void setStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void setTooltip(const std::string& text) override { tooltip = text; }
    void presentMenu(const MenuEntries& entries) override { menus.push_back(entries); }
    bool menuAlwaysShown() const override { return alwaysShown; }
    TimerId scheduleRepeating(double intervalS, double toleranceS,
                              std::function<void()> action) override {
        const TimerId id = nextId_++;
        timers[id] = Timer{intervalS, toleranceS, std::move(action)};
        return id;
    }
    void cancelTimer(TimerId id) override { timers.erase(id); }
    void loadChart(const std::string& html) override { chartPages.push_back(html); }
    void showChart(const std::string& title) override { chartTitles.push_back(title); }
    void hideChart() override { ++hides; }
    void reveal(const std::string& path) override { revealed.push_back(path); }
    void quit() override { ++quits; }

    void fire(TimerId id) {
        auto action = timers.at(id).action;
        action();
    }

private:
    TimerId nextId_ = 1;
};

}  // namespace sapwell::testing
