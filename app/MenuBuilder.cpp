#include "MenuBuilder.hpp"

#include <algorithm>
#include <utility>

#include "BatteryRun.hpp"
#include "I18n.hpp"
#include "Owner.hpp"
#include "Text.hpp"

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
        if (a.totals.empty()) return addEmptyLine();
        const auto count = std::min<std::size_t>(a.totals.size(), rowsPerWindow);
        const double base = static_cast<double>(std::max<std::uint64_t>(a.grandTotal, 1));
        for (std::size_t i = 0; i < count; ++i) {
            const auto& [name, value] = a.totals[i];
            addRow(i + 1, name, rate(value, a.awakeS, units_),
                   static_cast<double>(value) / base * 100.0);
        }
    }

    // A window's drain shared out: the five heaviest of the applications and the idle share,
    // with rates per measured second in the energy metric's units.
    void addRows(const BatteryShare& share, const Units& drainUnits) {
        const std::uint64_t idle = share.idleMJ;
        // The applications come heaviest first; the idle share goes before the first lighter one.
        const auto lighter = [idle](const NamedAmount& a) { return a.second < idle; };
        const auto idleAt = static_cast<std::size_t>(
            std::find_if(share.apps.begin(), share.apps.end(), lighter) - share.apps.begin());
        const std::size_t listed = share.apps.size() + (idle > 0);
        if (listed == 0) return addEmptyLine();
        const double base = static_cast<double>(std::max<std::uint64_t>(share.drainMJ, 1));
        for (std::size_t i = 0; i < std::min<std::size_t>(listed, rowsPerWindow); ++i) {
            const bool isIdle = idle > 0 && i == idleAt;
            const std::size_t app = idle > 0 && i > idleAt ? i - 1 : i;
            const std::uint64_t value = isIdle ? idle : share.apps[app].second;
            const std::string_view name =
                isIdle ? t(units_.lang, S::idleAndScreen) : share.apps[app].first;
            addRow(i + 1, name, rate(value, share.seconds, drainUnits),
                   static_cast<double>(value) / base * 100.0, isIdle);
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

    // Moves the entries added since `size()` was `from` into the submenu of the one before.
    void nestFrom(std::size_t from) {
        for (std::size_t i = from; i < entries_.size(); ++i) entries_[i].nested = true;
    }
    std::size_t size() const { return entries_.size(); }

    MenuEntries take() { return std::move(entries_); }

private:
    void addEmptyLine() {
        MenuEntry e;
        e.kind = MenuEntry::Kind::emptyWindow;
        e.text = std::string(indent) + std::string(t(units_.lang, S::noActivity));
        e.style = MenuEntry::Style::dimRow;
        entries_.push_back(std::move(e));
    }

    // "     1. Mail — 1.9%/h · 45%"; an application with a known bundle reveals it. The idle
    // share is no application: nothing to reveal, and its tooltip says how the split is made.
    void addRow(std::size_t rank, std::string_view name, const std::string& rateText, double share,
                bool idle = false) {
        MenuEntry e;
        e.kind = MenuEntry::Kind::row;
        e.style = MenuEntry::Style::row;
        // Isolated, so a right-to-left name or one with bidi controls cannot reorder the figures.
        e.text = std::string(indent) + std::to_string(rank) + ". " +
                 text::isolate(shortName(name, nameLength)) +
                 std::string(dash) + rateText + std::string(dot) + fixed(share, 0) + "%";
        // The look-up uses the full name; only the shown text is shortened.
        if (idle) {
            e.tooltip = std::string(t(units_.lang, S::drainShared));
        } else if (auto it = bundles_.find(std::string(name)); it != bundles_.end()) {
            e.action = MenuEntry::Action::revealApp;
            e.bundlePath = it->second;
            e.tooltip = std::string(name) + "\n" + it->second + "\n" +
                        std::string(t(units_.lang, S::clickToReveal));
        } else {
            // Every process of a system unit counts for the system's owner; without a desktop
            // entry anything else runs in the user's session, from a shell or in the background.
            e.tooltip = std::string(
                t(units_.lang, name == systemOwner ? S::systemProcess : S::commandLineProgram));
        }
        entries_.push_back(std::move(e));
    }

    const Units& units_;
    const BundleMap& bundles_;
    MenuEntries entries_;
};

std::string str(std::string_view s) {
    return std::string(s);
}

// The units the battery's drain is shown in: energy, as percent of the battery while it
// discharges (in watts when its capacity is unknown).
Units drainUnits(const Units& units) {
    return Units(Metric::energy, units.batteryMJ, ChargeState::discharging, units.lang);
}

// A fall of the battery's level in percent points. Gauges report whole percent or near it, so
// one decimal at most, none from 10 on.
std::string percent(double pct) {
    pct = std::max(pct, 0.0);
    return fixed(pct, pct >= 10 ? 0 : 1) + "%";
}

// "On battery 2 h 10 min: 18% used", when the run and both its levels are known.
std::optional<std::string> onBatteryLine(const History& history, const BatteryNow& battery,
                                         std::int64_t now, Lang lang) {
    const auto run = batteryRun(history);
    if (!run || !run->startPct) return std::nullopt;
    std::optional<double> level = battery.levelPct;
    if (const auto past = history.past(); !level && !past.empty()) level = past.back().batPct;
    if (!level) return std::nullopt;
    return fillIn(t(lang, S::onBatteryFor),
                  {{"{t}", duration(static_cast<double>(now - run->since), lang)},
                   {"{p}", percent(*run->startPct - *level)}});
}

// "Last sleep 8 h 12 min: 2.1% used, 0.26%/h". Asleep the drain is a few tenths of a percent an
// hour, where the menu's usual one decimal would say little: two below 1 %/h.
std::optional<std::string> lastSleepLine(const History& history, std::int64_t now, Lang lang) {
    const auto sleep = lastSleep(history, now);
    if (!sleep) return std::nullopt;
    const double used = std::max(*sleep->pctBefore - *sleep->pctAfter, 0.0);
    const double perHour = used / (sleep->seconds / 3600);
    const std::string rate =
        (perHour < 1 ? fixed(perHour, 2) : trim(perHour)) + str(t(lang, S::percentPerHour));
    return fillIn(t(lang, S::lastSleep),
                  {{"{t}", duration(sleep->seconds, lang)}, {"{p}", percent(used)}, {"{r}", rate}});
}

}  // namespace

bool speaksBattery(const Aggregate& status, const Units& units) {
    return units.chargeState == ChargeState::discharging && units.metric == Metric::cpuTime &&
           status.drain && status.drain->seconds >= minBatteryDrainSeconds;
}

std::string statusFigure(const History& history, const Units& units, std::int64_t now) {
    const Aggregate a = history.window(now, statusWindowMinutes);
    if (speaksBattery(a, units)) return compact(a.drain->mJ, a.drain->seconds, drainUnits(units));
    return compact(a.grandTotal, a.awakeS, units);
}

MenuEntries buildMenu(const History& history, const Units& units, const BundleMap& bundles,
                      std::int64_t now, const BatteryNow& battery) {
    const Lang lang = units.lang;
    MenuBuilder menu(units, bundles);

    const Aggregate present = history.window(now, statusWindowMinutes);
    // While the battery speaks, each window with measured drain shows that drain shared out; the
    // idle power it rests on is fitted over every stored minute, so only then.
    const bool onBattery = speaksBattery(present, units);
    const Units drain = drainUnits(units);
    const double idleMW = !onBattery     ? 0
                          : battery.idle ? battery.idle->of(history).mW
                                         : idlePower(history.past()).mW;
    const auto shareOf = [&](std::int64_t minutes) -> std::optional<BatteryShare> {
        if (!onBattery) return std::nullopt;
        BatteryShare share = shareWindow(history, now, minutes, idleMW);
        if (!(share.seconds > 0)) return std::nullopt;
        return share;
    };

    if (const auto share = shareOf(statusWindowMinutes)) {
        menu.addHeader(
            str(t(lang, S::now)) + str(dash) + rate(share->drainMJ, share->seconds, drain),
            MenuEntry::Style::header);
        const auto recent = history.window(now, runtimeWindowMinutes).drain;
        if (recent && battery.remainingMJ && recent->seconds > 0) {
            const double mW = static_cast<double>(recent->mJ) / recent->seconds;
            if (auto left = measuredRuntime(*battery.remainingMJ, mW, lang))
                menu.addHeader(str(indent) + *left, MenuEntry::Style::note);
        }
        menu.addRows(*share, drain);
    } else {
        menu.addHeader(
            str(t(lang, S::now)) + str(dash) + rate(present.grandTotal, present.awakeS, units),
            MenuEntry::Style::header);
        // "194% CPU" reads as nonsense to anyone who expects a share of the whole machine.
        if (units.metric == Metric::cpuTime)
            menu.addHeader(str(indent) + str(t(lang, S::cpuPercentMeaning)), MenuEntry::Style::note);
        if (auto estimate = runtimeEstimate(present.grandTotal, present.awakeS, units)) {
            menu.addHeader(str(indent) + *estimate, MenuEntry::Style::note);
        }
        menu.addRows(present);
    }

    for (const auto& listed : listedWindows) {
        menu.addSeparator();
        const Aggregate w = history.window(now, listed.minutes);
        const std::string label = str(t(lang, listed.label));
        const std::string active =
            str(dot) + str(t(lang, S::activeFor)) + " " + duration(w.awakeS, lang);
        // Each window's rows open from its header, so the whole menu fits a laptop's screen.
        const std::size_t rows = menu.size() + 1;
        if (const auto share = shareOf(listed.minutes)) {
            menu.addHeader(label + str(dash) + rate(share->drainMJ, share->seconds, drain) +
                               str(dot) + total(share->drainMJ, drain) + active,
                           MenuEntry::Style::header);
            menu.addRows(*share, drain);
        } else if (w.awakeS > minAwakeForFigures) {
            menu.addHeader(label + str(dash) + total(w.grandTotal, units) + active,
                           MenuEntry::Style::header);
            menu.addRows(w);
        } else {
            menu.addHeader(label + str(dash) + str(t(lang, S::noDataYet)),
                           MenuEntry::Style::header);
        }
        menu.nestFrom(rows);
    }

    menu.addSeparator();
    if (onBattery) {
        menu.addHeader(str(t(lang, S::drainShared)), MenuEntry::Style::note);
        for (auto line :
             {onBatteryLine(history, battery, now, lang), lastSleepLine(history, now, lang)})
            if (line) menu.addHeader(std::move(*line), MenuEntry::Style::note);
    } else if (units.metric == Metric::cpuTime) {
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
