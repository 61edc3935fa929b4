#include "AppController.hpp"

#include <algorithm>
#include <utility>

#include "Battery.hpp"
#include "ChartDump.hpp"
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

    const Aggregate present = history.window(now, AppController::statusWindowMinutes);
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

std::string chartTitle(Metric metric, Lang lang) {
    return str(t(lang, metric == Metric::cpuTime ? S::chartWindowTitleCPU : S::chartWindowTitle));
}

AppController::AppController(Seam& seam, Shell& shell, AppOptions options)
    : seam_(seam),
      shell_(shell),
      options_(std::move(options)),
      units_(Metric::energy, Lang::en) {
    if (!(options_.sampleInterval > 0)) options_.sampleInterval = defaultInterval;
    // The status presence exists from here on, with an empty title until launch.
    shell_.setStatusText("");
    const std::int64_t start = now();
    const Metric metric = detectMetric(seam_.processes);
    sampler_ = std::make_unique<Sampler>(metric, seam_.processes, seam_.clocks,
                                         options_.sampleInterval);
    history_ = std::make_unique<History>(
        metric, start, options_.historyFile.value_or(History::dataFile(seam_.env)));
    units_ = Units(metric, Battery::capacityMJ(seam_.battery),
                   Battery::snapshot(seam_.battery).state, Lang::detect(seam_.env));
    lastFlush_ = start;
}

AppController::~AppController() {
    // Timer actions refer to this object; none may outlive it.
    if (menuTimer_) shell_.cancelTimer(*menuTimer_);
    if (sampleTimer_) shell_.cancelTimer(*sampleTimer_);
}

std::int64_t AppController::now() const { return wholeSeconds(seam_.clocks.wallSeconds()); }

void AppController::launch() {
    shell_.presentMenu({});
    shell_.setStatusText("\u2026");
    shell_.setTooltip(tooltip());
    tick();
    const double interval = options_.sampleInterval;
    sampleTimer_ = shell_.scheduleRepeating(interval, std::min(timerTolerance, interval / 3.0),
                                            [this] { tick(); });
}

void AppController::tick() {
    const std::int64_t t = now();
    const Sample sample = sampler_->sample();
    // After sleep or a long stop (SIGSTOP, a debugger) the minute in progress ends there.
    if (sample.slept > 0 || sample.overdue > 0) history_->closeMinute();
    if (sample.usable) history_->add(t, sample.awakeDelta, sample.deltas);

    const BatterySnapshot battery = Battery::snapshot(seam_.battery);
    history_->setBattery(battery.pct, battery.state);
    units_.chargeState = battery.state;

    // A wall clock set back would otherwise hold off every flush until it caught up again.
    if (t - lastFlush_ >= flushCadenceS || t < lastFlush_) {
        history_->flush(t);
        lastFlush_ = t;
    }

    const Aggregate a = history_->window(t, statusWindowMinutes);
    shell_.setStatusText(compact(a.grandTotal, a.awakeS, units_));
    if (shell_.menuAlwaysShown()) rebuildMenu();
}

void AppController::terminate() {
    if (terminated_) return;
    terminated_ = true;
    history_->closeMinute();
    const std::int64_t t = now();
    history_->flush(t);
    lastFlush_ = t;
}

void AppController::menuNeedsUpdate() { rebuildMenu(); }

void AppController::menuWillOpen() {
    // Opening twice without a close in between must not leave a second timer running.
    if (menuTimer_) shell_.cancelTimer(*menuTimer_);
    menuTimer_ = shell_.scheduleRepeating(options_.sampleInterval, 0.0, [this] { rebuildMenu(); });
}

void AppController::menuDidClose() {
    if (!menuTimer_) return;
    shell_.cancelTimer(*menuTimer_);
    menuTimer_.reset();
}

MenuEntries AppController::rebuildMenu() {
    const std::int64_t t = now();
    MenuEntries entries = buildMenu(*history_, units_, recentBundles(*history_, *sampler_, t), t);
    shell_.presentMenu(entries);
    return entries;
}

void AppController::perform(const MenuEntry& entry) {
    switch (entry.action) {
    case MenuEntry::Action::revealApp:
        if (entry.bundlePath) revealApp(*entry.bundlePath);
        break;
    case MenuEntry::Action::showChart: showChart(); break;
    case MenuEntry::Action::quit: quit(); break;
    case MenuEntry::Action::none: break;
    }
}

void AppController::revealApp(const std::string& path) { shell_.reveal(path); }

void AppController::showChart() { openChart(); }

void AppController::openChart() {
    const std::int64_t t = now();
    const BundleMap bundles = recentBundles(*history_, *sampler_, t);
    const std::string page =
        Chart::build(*history_, units_.metric, units_.batteryMJ, t, bundles, units_.lang);
    pagePaths_.clear();
    for (const auto& [name, path] : bundles) pagePaths_.insert(path);
    shell_.loadChart(page);
    chartShown_ = true;
    shell_.showChart(chartTitle(units_.metric, units_.lang));
}

void AppController::quit() { shell_.quit(); }

void AppController::receive(const MessageBody& body) {
    const auto* text = std::get_if<std::string>(&body);
    if (!text) return;
    if (*text == "close") {
        if (chartShown_) shell_.hideChart();
        return;
    }
    // The page only ever sends paths from the bundle map it was given; anything else did not
    // come from that page and is not handed to the file manager.
    if (pagePaths_.count(*text)) shell_.reveal(*text);
}

std::string AppController::tooltip() const {
    return "Sapwell\n" + options_.appPath + "\n" + history_->path().string();
}

}  // namespace sapwell
