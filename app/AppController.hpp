#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "Chart.hpp"
#include "DrainMeter.hpp"
#include "Format.hpp"
#include "History.hpp"
#include "InstanceLock.hpp"
#include "MenuBuilder.hpp"
#include "MenuEntry.hpp"
#include "Sampler.hpp"
#include "Seam.hpp"
#include "Shell.hpp"

namespace sapwell {

// The chart window's title for a metric.
std::string chartTitle(Metric metric, Lang lang);

struct AppOptions {
    std::string appPath;  // the program's own location, shown in the tooltip
    // History file; absent means the standard location for the environment.
    std::optional<std::filesystem::path> historyFile;
    // Seconds between ticks; also the menu's refresh interval.
    double sampleInterval = Sampler::defaultInterval;
    // The run's instance lock, renewed at every tick: the history is written only while it
    // holds. Without one (a test's controller) the history is always written.
    InstanceLock* lock = nullptr;
    // Where it is said, once each time, that the history cannot be written and why.
    std::ostream* err = nullptr;
};

// The application's logic, once for every shell: owns the sampler, the history and the
// presentation context, runs the sampling loop, builds the menu and answers the chart page.
class AppController {
public:
    static constexpr double timerTolerance = 5.0;
    // The first pass only sets baselines; the second comes this soon (or one interval, if
    // shorter), so figures show within seconds of start rather than after a whole interval.
    static constexpr double secondPassAfterS = 2.0;
    static constexpr std::int64_t flushCadenceS = 60;

    AppController(Seam& seam, Shell& shell, AppOptions options = {});
    ~AppController();
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    // Empty menu, title "…", tooltip, one tick at once, a second after secondPassAfterS, then
    // the repeating sampling timer.
    void launch();
    // One turn of the sampling loop.
    void tick();
    // Closes the open minute and flushes. Runs once; later calls do nothing. False when minutes
    // are left unwritten (said on the error stream, with how many), unless another instance
    // writes the history now.
    bool terminate();

    // Menu life cycle, as a shell reports it.
    void menuNeedsUpdate();
    void menuWillOpen();
    void menuDidClose();
    // Builds the menu from the history now and presents it.
    MenuEntries rebuildMenu();
    // The user chose an entry.
    void perform(const MenuEntry& entry);

    void openChart();
    void quit();
    // A message posted by the chart page; a shell passes on text only, the page's one kind.
    void receive(const std::string& message);

    std::string tooltip() const;

    const History& history() const { return *history_; }
    const Units& units() const { return units_; }
    std::int64_t lastFlush() const { return lastFlush_; }
    // Why the history is not being written now; none while it is.
    FileFault historyFault() const { return lockFault_ != FileFault::none ? lockFault_ : writeFault_; }

private:
    std::int64_t now() const;
    void renewLock();
    void flushHistory(std::int64_t t);
    // Says on the error stream that the history cannot be written, or can again, when that changed.
    void sayFault();
    // The second tick, then the repeating sampling timer.
    void secondPass();

    Seam& seam_;
    Shell& shell_;
    AppOptions options_;
    std::unique_ptr<Sampler> sampler_;
    std::unique_ptr<History> history_;
    Units units_;
    DrainMeter drainMeter_;
    BatterySnapshot battery_;  // at the previous tick
    BatteryReading reading_;   // the latest, for the energy left and the level now
    IdlePowerCache idle_;
    bool chartShown_ = false;                // the chart view exists (created at first opening)
    std::set<std::string> pagePaths_;        // bundle paths of the page last loaded
    std::optional<Shell::TimerId> menuTimer_;
    std::optional<Shell::TimerId> sampleTimer_;
    std::int64_t lastFlush_ = 0;
    bool terminated_ = false;
    bool written_ = true;                     // what terminate() returned
    FileFault lockFault_ = FileFault::none;   // the lock's: otherInstance and noFolder for good
    FileFault writeFault_ = FileFault::none;  // the last write's
    FileFault said_ = FileFault::none;        // the fault last said on the error stream
};

}  // namespace sapwell
