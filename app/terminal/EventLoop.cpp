#include "EventLoop.hpp"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace sapwell {

namespace {

pthread_t loopThread;

// Libraries may run threads of their own with these signals open (WebKit starts one as it
// loads), and a signal sent to the process may land there and take its default action. This
// hands it to the loop's thread, which has it blocked and reads it from its descriptor.
void forwardToLoop(int signo) { pthread_kill(loopThread, signo); }

EventLoop::Clock::duration seconds(double s) {
    if (!(s > 0)) return EventLoop::Clock::duration::zero();
    return std::chrono::duration_cast<EventLoop::Clock::duration>(
        std::chrono::duration<double>(std::min(s, 1e7)));
}

}  // namespace

EventLoop::EventLoop() = default;

EventLoop::~EventLoop() {
    if (signalFd_ >= 0) close(signalFd_);
}

EventLoop::TimerId EventLoop::addRepeating(double intervalS, double toleranceS,
                                           std::function<void()> action) {
    const auto interval = std::max(seconds(intervalS), Clock::duration(std::chrono::milliseconds(1)));
    const TimerId id = nextId_++;
    timers_.emplace(id, Timer{Clock::now() + interval, interval, seconds(toleranceS),
                              std::move(action)});
    return id;
}

void EventLoop::cancel(TimerId id) { timers_.erase(id); }

void EventLoop::watch(int fd, std::function<void()> action) { watchers_[fd] = std::move(action); }

void EventLoop::unwatch(int fd) { watchers_.erase(fd); }

bool EventLoop::handleSignals(std::initializer_list<int> signals, std::function<void(int)> action) {
    sigset_t set;
    sigemptyset(&set);
    for (int s : signals) sigaddset(&set, s);
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return false;
    const int fd = signalfd(signalFd_, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0) {
        sigprocmask(SIG_UNBLOCK, &set, nullptr);
        return false;
    }
    signalFd_ = fd;
    signalAction_ = std::move(action);
    loopThread = pthread_self();
    struct sigaction forward {};
    forward.sa_handler = forwardToLoop;
    forward.sa_flags = SA_RESTART;
    sigemptyset(&forward.sa_mask);
    for (int s : signals) sigaction(s, &forward, nullptr);
    return true;
}

void EventLoop::run() {
    while (!stopped_) runOnce();
}

void EventLoop::runOnce(std::chrono::nanoseconds maxWait) {
    // Sleep until the earliest timer; the smallest tolerance among the timers becomes the
    // thread's timer slack, so the kernel may delay that wake-up to coalesce it with others.
    auto wait = maxWait;
    Clock::duration slack = Clock::duration::max();
    const auto now = Clock::now();
    for (const auto& [id, timer] : timers_) {
        wait = std::min(wait, std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::max(timer.due - now, Clock::duration::zero())));
        slack = std::min(slack, timer.tolerance);
    }
    const long slackNs =
        timers_.empty() ? 50'000
                        : static_cast<long>(std::max<std::int64_t>(
                              std::chrono::duration_cast<std::chrono::nanoseconds>(slack).count(),
                              50'000));
    if (slackNs != appliedSlackNs_) {
        prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slackNs), 0, 0, 0);
        appliedSlackNs_ = slackNs;
    }

    std::vector<pollfd> fds;
    if (signalFd_ >= 0) fds.push_back({signalFd_, POLLIN, 0});
    for (const auto& [fd, action] : watchers_) fds.push_back({fd, POLLIN, 0});

    timespec ts{};
    timespec* timeout = nullptr;
    if (wait != std::chrono::nanoseconds::max()) {
        ts.tv_sec = static_cast<time_t>(wait.count() / 1'000'000'000);
        ts.tv_nsec = static_cast<long>(wait.count() % 1'000'000'000);
        timeout = &ts;
    }
    const int ready = ppoll(fds.data(), fds.size(), timeout, nullptr);
    if (ready > 0) {
        for (const auto& p : fds) {
            if (!(p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) continue;
            if (p.fd == signalFd_) {
                readSignals();
            } else if (auto it = watchers_.find(p.fd); it != watchers_.end()) {
                if (p.revents & POLLNVAL) {
                    watchers_.erase(it);  // a closed descriptor would spin the loop
                    continue;
                }
                auto action = it->second;  // the action may unwatch itself
                action();
            }
            if (stopped_) return;
        }
    }
    fireDueTimers();
}

void EventLoop::fireDueTimers() {
    const auto now = Clock::now();
    std::vector<TimerId> due;
    for (const auto& [id, timer] : timers_) {
        if (timer.due <= now) due.push_back(id);
    }
    for (TimerId id : due) {
        if (stopped_) return;
        auto it = timers_.find(id);
        if (it == timers_.end()) continue;  // cancelled by an earlier action
        Timer& timer = it->second;
        // Next turn on the original grid; turns lost to a stall are skipped.
        const auto late = now - timer.due;
        timer.due += timer.interval * (late / timer.interval + 1);
        auto action = timer.action;  // the action may cancel its own timer
        action();
    }
}

void EventLoop::readSignals() {
    signalfd_siginfo info;
    while (true) {
        const ssize_t n = read(signalFd_, &info, sizeof info);
        if (n != static_cast<ssize_t>(sizeof info)) break;
        if (signalAction_) signalAction_(static_cast<int>(info.ssi_signo));
    }
}

}  // namespace sapwell
