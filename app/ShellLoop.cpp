#include "ShellLoop.hpp"

#include "AppController.hpp"
#include "Decimal.hpp"
#include "History.hpp"
#include "InstanceLock.hpp"

namespace sapwell {

namespace {

// The sampling interval: 15 s, or SAPWELL_TICK_SECONDS (0.05 to 3600) for tests that cannot
// wait a quarter of a minute per tick.
double samplingInterval(const Environment& env) {
    const auto value = env.get("SAPWELL_TICK_SECONDS");
    if (!value || value->empty()) return Sampler::defaultInterval;
    // The process's own locale must not change the decimal point.
    const auto s = parseFinite(*value);
    if (!s || !(*s >= 0.05 && *s <= 3600)) return Sampler::defaultInterval;
    return *s;
}

}  // namespace

int runApp(Seam& seam, const std::string& appPath, std::ostream& err, ShellLoop& loop) {
    // One writer per history: a second copy would append every minute twice.
    const auto historyFile = History::dataFile(seam.env);
    InstanceLock lock;
    if (!lockForRun(lock, historyFile, err)) return loop.alreadyRunning(err);

    // Declared in this order so the controller, which cancels its timers through the shell, goes
    // first, and the lock last.
    const std::unique_ptr<Shell> shell = loop.openShell();
    AppOptions options;
    options.appPath = appPath;
    options.historyFile = historyFile;
    options.sampleInterval = samplingInterval(seam.env);
    options.lock = &lock;
    options.err = &err;
    AppController controller(seam, *shell, options);
    loop.run(controller);
    const bool written = controller.terminate();
    loop.close();
    return written ? 0 : 1;
}

}  // namespace sapwell
