#include "AppController.hpp"

#include <algorithm>
#include <utility>

#include "Battery.hpp"
#include "Decimal.hpp"
#include "StoredView.hpp"
#include "I18n.hpp"

namespace sapwell {

std::string chartTitle(Metric metric, Lang lang) {
    return std::string(
        t(lang, metric == Metric::cpuTime ? S::chartWindowTitleCPU : S::chartWindowTitle));
}

AppController::AppController(Seam& seam, Shell& shell, AppOptions options)
    : seam_(seam),
      shell_(shell),
      options_(std::move(options)),
      units_(Metric::energy, Lang::en) {
    if (!(options_.sampleInterval > 0)) options_.sampleInterval = Sampler::defaultInterval;
    // The status presence exists from here on, with an empty title until launch.
    shell_.setStatusText("");
    const std::int64_t start = now();
    const Metric metric = detectMetric(seam_.processes);
    sampler_ = std::make_unique<Sampler>(metric, seam_.processes, seam_.clocks,
                                         options_.sampleInterval);
    history_ = std::make_unique<History>(
        metric, start, options_.historyFile.value_or(History::dataFile(seam_.env)));
    const BatteryReading battery = seam_.battery.read();
    reading_ = battery;
    battery_ = Battery::snapshot(battery);
    units_ = Units(metric, Battery::capacityMJ(battery), battery_.state, Lang::detect(seam_.env));
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
    sampleTimer_ = shell_.scheduleRepeating(std::min(secondPassAfterS, interval), 0.0,
                                            [this] { secondPass(); });
}

void AppController::secondPass() {
    // The shell's timers repeat: the one that brought this pass ends here, and the sampling
    // interval counts from this pass.
    shell_.cancelTimer(*sampleTimer_);
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

    const BatteryReading reading = seam_.battery.read();
    const auto drain = drainMeter_.measure(reading, sample.awakeDelta, sample.slept > 0 || sample.overdue > 0);
    if (drain && sample.usable) history_->addDrain(*drain);
    const BatterySnapshot battery = Battery::snapshot(reading);
    reading_ = reading;
    // What a sleep begun on battery cost; on mains or without a battery nothing is recorded.
    if (sample.slept > 0 && battery_.state == ChargeState::discharging)
        history_->addSleep({minuteOf(t), sample.slept, battery_.pct, battery.pct});
    battery_ = battery;
    history_->setBattery(battery.pct, battery.state);
    units_.chargeState = battery.state;

    // A wall clock set back would otherwise hold off every flush until it caught up again.
    if (t - lastFlush_ >= flushCadenceS || t < lastFlush_) {
        history_->flush(t);
        lastFlush_ = t;
    }

    shell_.setStatusText(statusFigure(*history_, units_, t));
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
    MenuEntries entries = buildMenu(*history_, units_, recentBundles(*history_, *sampler_, t), t,
                                    {reading_.remainingMJ, reading_.levelPct, &idle_});
    shell_.presentMenu(entries);
    return entries;
}

void AppController::perform(const MenuEntry& entry) {
    switch (entry.action) {
    case MenuEntry::Action::revealApp:
        if (entry.bundlePath) shell_.reveal(*entry.bundlePath);
        break;
    case MenuEntry::Action::showChart: openChart(); break;
    case MenuEntry::Action::quit: quit(); break;
    case MenuEntry::Action::none: break;
    }
}

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

void AppController::receive(const std::string& message) {
    if (message == "close") {
        if (chartShown_) shell_.hideChart();
        return;
    }
    // The page only ever sends paths from the bundle map it was given; anything else did not
    // come from that page and is not handed to the file manager.
    if (pagePaths_.count(message)) shell_.reveal(message);
}

std::string AppController::tooltip() const {
    return "Sapwell\n" + options_.appPath + "\n" + history_->path().string();
}

}  // namespace sapwell
