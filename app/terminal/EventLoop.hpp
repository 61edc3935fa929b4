#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <vector>

namespace sapwell {

// A single-threaded main loop over poll(): repeating timers, readable descriptors and signals
// (through a signalfd, so handlers run on the loop, never inside a signal handler).
class EventLoop {
public:
    using TimerId = std::uint64_t;
    using Clock = std::chrono::steady_clock;

    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Fires every `intervalS` seconds, first after one interval; may fire up to `toleranceS`
    // late, which lets the kernel group the wake-up with others. Missed turns are skipped, not
    // replayed.
    TimerId addRepeating(double intervalS, double toleranceS, std::function<void()> action);
    void cancel(TimerId id);
    std::size_t timerCount() const { return timers_.size(); }

    // Calls `action` whenever `fd` is readable (or hung up); one watcher per descriptor.
    void watch(int fd, std::function<void()> action);
    void unwatch(int fd);

    // Blocks these signals and delivers them to `action` on the loop instead. The signals stay
    // blocked after the loop ends, so a late one cannot kill the process half-way out. Returns
    // false when the signal descriptor cannot be made (the signals then keep their defaults).
    bool handleSignals(std::initializer_list<int> signals, std::function<void(int)> action);

    // Runs until stop(); returns at once when stop() was already called.
    void run();
    void stop() { stopped_ = true; }
    bool stopped() const { return stopped_; }

    // One pass: waits at most until the next timer is due (or `maxWait`), then dispatches.
    void runOnce(std::chrono::nanoseconds maxWait = std::chrono::nanoseconds::max());

private:
    struct Timer {
        Clock::time_point due;
        Clock::duration interval;
        Clock::duration tolerance;
        std::function<void()> action;
    };

    void fireDueTimers();
    void readSignals();

    std::map<TimerId, Timer> timers_;
    TimerId nextId_ = 1;
    std::map<int, std::function<void()>> watchers_;
    int signalFd_ = -1;
    std::function<void(int)> signalAction_;
    bool stopped_ = false;
    long appliedSlackNs_ = -1;
};

}  // namespace sapwell
