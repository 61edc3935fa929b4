#pragma once

// A shell that records what the controller asks of it; tests fire its timers by hand.

#include <map>
#include <string>
#include <vector>

#include "Shell.hpp"

namespace sapwell::testing {

class RecordingShell : public Shell {
  public:
    std::vector<std::string> statusTexts;
    std::string tooltip;
    std::vector<MenuEntries> menus;  // every presented menu, oldest first
    std::map<TimerId, std::function<void()>> timers;
    int hides = 0;
    std::vector<std::string> revealed;

    void setStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void setTooltip(const std::string& text) override { tooltip = text; }
    void presentMenu(const MenuEntries& entries) override { menus.push_back(entries); }
    TimerId scheduleRepeating(double, double, std::function<void()> action) override {
        timers[nextId_] = std::move(action);
        return nextId_++;
    }
    void cancelTimer(TimerId id) override { timers.erase(id); }
    void loadChart(const std::string&) override {}
    void showChart(const std::string&) override {}
    void hideChart() override { ++hides; }
    void reveal(const std::string& path) override { revealed.push_back(path); }
    void quit() override {}

    void fire(TimerId id) {
        auto action = timers.at(id);  // a copy: the action may cancel its own timer
        action();
    }

  private:
    TimerId nextId_ = 1;
};

}  // namespace sapwell::testing
