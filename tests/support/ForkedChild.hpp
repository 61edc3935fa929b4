#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sapwell::testing {

// Runs `body` in a forked child that dies with the test process; killed and reaped at the latest
// when the handle goes.
class ForkedChild {
    pid_t pid_ = -1;

  public:
    explicit ForkedChild(auto body) {
        const pid_t parent = getpid();
        if ((pid_ = fork()) != 0) return;
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() == parent) body();
        _exit(0);
    }
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;
    ~ForkedChild() { stop(); }
    pid_t pid() const { return pid_; }
    void join() {
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    void stop() {  // never kill(-1, ...)
        if (pid_ > 0) kill(pid_, SIGKILL);
        join();
    }
};

}  // namespace sapwell::testing
