#include "MenuBuilder.hpp"

#include <algorithm>
#include <utility>

#include "I18n.hpp"

namespace sapwell {

namespace {

constexpr std::string_view indent = "     ";  // rows, the runtime estimate, the empty line
constexpr std::string_view dash = " \u2014 ";
constexpr std::string_view dot = " \u00B7 ";
constexpr int rowsPerWindow = 5;
constexpr int nameLength = 28;
constexpr double minAwakeForFigures = 0.5;

struct ListedWindow {
    std::int64_t minutes;
    S label;
};
constexpr ListedWindow listedWindows[] = {
    {15, S::window15m}, {30, S::window30m}, {60, S::window1h}, {1440, S::window24h}};

// Collects the entries of one rebuild.
class MenuBuilder {
public:
    MenuBuilder(const Units& units, const BundleMap& bundles) : units_(units), bundles_(bundles) {}

    void addSeparator() { entries_.push_back(MenuEntry{}); }

    // A header (bold) or a note (small, secondary); neither has an action.
    void addHeader(std::string text, MenuEntry::Style style) {
        MenuEntry e;
        e.kind = style == MenuEntry::Style::header ? MenuEntry::Kind::header
                                                   : MenuEntry::Kind::note;
        e.text = std::move(text);
        e.style = style;
        entries_.push_back(std::move(e));
    }

    // The five heaviest applications of a window, or the empty-window line.
    void addRows(const Aggregate& a) {
        if (a.totals.empty()) {
            MenuEntry e;
            e.kind = MenuEntry::Kind::emptyWindow;
            e.text = std::string(indent) + std::string(t(units_.lang, S::noActivity));
            e.style = MenuEntry::Style::dimRow;
            entries_.push_back(std::move(e));
            return;
        }
        const auto count = std::min<std::size_t>(a.totals.size(), rowsPerWindow);
        const double base = static_cast<double>(std::max<std::uint64_t>(a.grandTotal, 1));
        for (std::size_t i = 0; i < count; ++i) {
            const auto& [name, value] = a.totals[i];
            const double share = static_cast<double>(value) / base * 100.0;
            MenuEntry e;
            e.kind = MenuEntry::Kind::row;
            e.style = MenuEntry::Style::row;
            e.text = std::string(indent) + std::to_string(i + 1) + ". " +
                     shortName(name, nameLength) + std::string(dash) +
                     rate(value, a.awakeS, units_) + std::string(dot) + fixed(share, 0) + "%";
            // The look-up uses the full name; only the shown text is shortened.
            if (auto it = bundles_.find(name); it != bundles_.end()) {
                e.action = MenuEntry::Action::revealApp;
                e.bundlePath = it->second;
                e.tooltip = name + "\n" + it->second + "\n" +
                            std::string(t(units_.lang, S::clickToReveal));
            } else {
                e.tooltip = std::string(t(units_.lang, S::systemProcess));
            }
            entries_.push_back(std::move(e));
        }
    }

    void addCommand(S key, std::string keyEquivalent, MenuEntry::Action action) {
        MenuEntry e;
        e.kind = MenuEntry::Kind::command;
        e.text = std::string(t(units_.lang, key));
        e.keyEquivalent = std::move(keyEquivalent);
        e.action = action;
        entries_.push_back(std::move(e));
    }

    MenuEntries take() { return std::move(entries_); }

private:
    const Units& units_;
    const BundleMap& bundles_;
    MenuEntries entries_;
};

std::string str(std::string_view s) { return std::string(s); }

}  // namespace

MenuEntries buildMenu(const History& history, const Units& units, const BundleMap& bundles,
                      std::int64_t now) {
    const Lang lang = units.lang;
    MenuBuilder menu(units, bundles);

    const Aggregate present = history.window(now, statusWindowMinutes);
    menu.addHeader(str(t(lang, S::now)) + str(dash) +
                       rate(present.grandTotal, present.awakeS, units),
                   MenuEntry::Style::header);
    if (auto estimate = runtimeEstimate(present.grandTotal, present.awakeS, units)) {
        menu.addHeader(str(indent) + *estimate, MenuEntry::Style::note);
    }
    menu.addRows(present);

    for (const auto& listed : listedWindows) {
        menu.addSeparator();
        const Aggregate w = history.window(now, listed.minutes);
        const std::string label = str(t(lang, listed.label));
        if (w.awakeS > minAwakeForFigures) {
            menu.addHeader(label + str(dash) + total(w.grandTotal, units) + str(dot) +
                               str(t(lang, S::activeFor)) + " " + duration(w.awakeS, lang),
                           MenuEntry::Style::header);
            menu.addRows(w);
        } else {
            menu.addHeader(label + str(dash) + str(t(lang, S::noDataYet)),
                           MenuEntry::Style::header);
        }
    }

    menu.addSeparator();
    if (units.metric == Metric::cpuTime) {
        menu.addHeader(str(t(lang, S::cpuProxy)), MenuEntry::Style::note);
    } else if (!units.batteryMJ) {
        menu.addHeader(str(t(lang, S::noBattery)) + ": " + str(units.metric.title(lang)),
                       MenuEntry::Style::note);
    } else {
        menu.addHeader(str(t(lang, S::batteryCapacity)) + ": " +
                           fixed(*units.batteryMJ / 3'600'000.0, 0) + " " +
                           str(t(lang, S::wattHour)),
                       MenuEntry::Style::note);
    }
    menu.addHeader(str(t(lang, S::collected)) + ": " +
                       duration(static_cast<double>(history.depthMinutes()) * 60.0, lang),
                   MenuEntry::Style::note);

    menu.addSeparator();
    menu.addCommand(S::openChart, "g", MenuEntry::Action::showChart);
    menu.addCommand(S::quit, "q", MenuEntry::Action::quit);
    return menu.take();
}

}  // namespace sapwell
