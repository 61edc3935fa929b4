#pragma once

#include <map>
#include <string>
#include <vector>

#include "Shell.hpp"

namespace sapwell::testing {

class RecordingShell : public Shell {  // records the controller's calls; tests fire the timers
  public:
    std::vector<std::string> statusTexts;
    std::string tooltip;
    std::vector<MenuEntries> menus;  // every presented menu, oldest first
    std::map<TimerId, std::function<void()>> timers;
    std::map<TimerId, double> intervals;  // of the timers alive
    TimerId nextId = 1;
    int hides = 0;
    std::vector<std::string> revealed;

    void setStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void setTooltip(const std::string& text) override { tooltip = text; }
    void presentMenu(const MenuEntries& entries) override { menus.push_back(entries); }
    TimerId scheduleRepeating(double interval, double, std::function<void()> action) override {
        return timers[nextId] = std::move(action), intervals[nextId] = interval, nextId++;
    }
    void cancelTimer(TimerId id) override { timers.erase(id), intervals.erase(id); }
    void loadChart(const std::string&) override {}
    void showChart(const std::string&) override {}
    void hideChart() override { ++hides; }
    void reveal(const std::string& path) override { revealed.push_back(path); }
    void quit() override {}
    void fire(TimerId id) { std::function(timers.at(id))(); }  // a copy: it may cancel its timer
};

}  // namespace sapwell::testing
