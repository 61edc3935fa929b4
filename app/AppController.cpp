#include "AppController.hpp"

#include <algorithm>
#include <ostream>
#include <string>
#include <utility>

#include "Battery.hpp"
#include "Decimal.hpp"
#include "FileBytes.hpp"
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
    // Without the lock another instance may be appending: this one may append too once it gets
    // the lock, but never rewrites the file.
    const bool locked = !options_.lock || options_.lock->held();
    history_ = std::make_unique<History>(
        metric, start, options_.historyFile.value_or(History::dataFile(seam_.env)),
        locked ? History::Access::readWrite : History::Access::appendOnly);
    const BatteryReading battery = seam_.battery.read();
    reading_ = battery;
    battery_ = Battery::snapshot(battery);
    units_ = Units(metric, Battery::capacityMJ(battery), battery_.state, Lang::detect(seam_.env));
    lastFlush_ = start;

    if (history_->path().empty()) lockFault_ = FileFault::noFolder;
    else if (!locked) lockFault_ = options_.lock->fault();
    if (options_.lock) said_ = lockFault_;  // lockForRun said so
    // What reading found in the file's place rules out writing it as well.
    if (const FileFault f = history_->readFault(); f == FileFault::notRegular || f == FileFault::notOwned)
        writeFault_ = f;
    sayFault();
    if (!history_->readWhole() && options_.err) {
        std::string limit;
        appendInt(limit, FileBytes::defaultLimit >> 20);
        *options_.err << "Sapwell: " << fillIn(t(units_.lang, S::historyTooLarge), {{"{n}", limit}}) << " ("
                      << history_->path().string() << ")\n";
    }
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

    // At every tick, not only before a flush: a lock file removed behind this instance's back is
    // taken again within one interval, so a second start in between is refused. An lstat a tick.
    renewLock();
    // A wall clock set back would otherwise hold off every flush until it caught up again.
    if (t - lastFlush_ >= flushCadenceS || t < lastFlush_) {
        flushHistory(t);
        lastFlush_ = t;
    }
    sayFault();

    shell_.setStatusText(statusFigure(*history_, units_, t));
    if (shell_.menuAlwaysShown()) rebuildMenu();
}

bool AppController::terminate() {
    if (terminated_) return written_;
    terminated_ = true;
    history_->closeMinute();
    const std::int64_t end = now();
    renewLock();
    flushHistory(end);
    lastFlush_ = end;
    sayFault();
    // Minutes left unwritten are lost now, and that is a failed end, unless another instance
    // writes the history: it counts them from its own start.
    const std::size_t left = history_->unwritten();
    if (left > 0 && options_.err) {
        std::string count;
        appendInt(count, left);
        *options_.err << "Sapwell: " << notSavedText(historyFault(), units_.lang) << "; "
                      << fillIn(t(units_.lang, S::minutesNotSaved), {{"{n}", count}}) << " ("
                      << history_->path().string() << ")\n";
    }
    written_ = left == 0 || lockFault_ == FileFault::otherInstance;
    return written_;
}

void AppController::renewLock() {
    if (!options_.lock || lockFault_ == FileFault::otherInstance || lockFault_ == FileFault::noFolder) return;
    std::string reason;
    switch (options_.lock->renew(reason)) {
    case InstanceLock::Result::acquired: lockFault_ = FileFault::none; break;
    // Another instance took the lock while this one did not hold it: it writes from now on, and
    // this one never again, or their minutes would overlap.
    case InstanceLock::Result::heldElsewhere: lockFault_ = FileFault::otherInstance; break;
    case InstanceLock::Result::unavailable: lockFault_ = options_.lock->fault(); break;
    }
}

void AppController::flushHistory(std::int64_t t) {
    if (lockFault_ != FileFault::none) {
        history_->trim(t);
        return;
    }
    writeFault_ = history_->flush(t);
}

void AppController::sayFault() {
    const FileFault fault = historyFault();
    if (fault == said_) return;
    said_ = fault;
    if (!options_.err) return;
    *options_.err << "Sapwell: "
                  << (fault == FileFault::none ? std::string(t(units_.lang, S::historySavedAgain))
                                               : notSavedText(fault, units_.lang) + " (" + history_->path().string() + ")")
                  << "\n";
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
    // While the history cannot be written, the menu says so first.
    if (const FileFault fault = historyFault(); fault != FileFault::none) {
        MenuEntry note;
        note.kind = MenuEntry::Kind::header;
        note.style = MenuEntry::Style::header;
        note.text = notSavedText(fault, units_.lang);
        entries.insert(entries.begin(), {std::move(note), MenuEntry{}});
    }
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
