#pragma once

// Runs the real binary in a chosen environment ("NAME=value" strings), standard input from
// /dev/null, standard output to `stdoutPath` or, like standard error, to a memory file.

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "TempDir.hpp"

namespace sapwell::testing {

bool eventually(auto done) {  // polls for up to 20 s
    for (int i = 0; i < 1000 && !done(); ++i) usleep(20'000);
    return done();
}

class ChildProcess {
    int outFd_ = memfd_create("stdout", MFD_CLOEXEC), errFd_ = memfd_create("stderr", MFD_CLOEXEC);
    pid_t pid_ = -1;
    std::optional<int> status_;  // set once reaped

  public:
    ChildProcess(std::vector<std::string> args, std::vector<std::string> env,
                 const char* stdoutPath = nullptr) {
        std::vector<char*> argv, envp;
        for (auto& a : args) argv.push_back(a.data());
        for (auto& e : env) envp.push_back(e.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        if ((pid_ = fork()) != 0) return;
        dup2(open("/dev/null", O_RDONLY | O_CLOEXEC), 0);
        dup2(stdoutPath ? open(stdoutPath, O_WRONLY | O_CLOEXEC) : outFd_, 1);
        dup2(errFd_, 2);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    ~ChildProcess() {
        signal(SIGKILL);
        wait();
        close(outFd_);
        close(errFd_);
    }

    std::string out() const { return TempDir::read("/proc/self/fd/" + std::to_string(outFd_)); }
    std::string err() const { return TempDir::read("/proc/self/fd/" + std::to_string(errFd_)); }
    // Never kill(-1, ...), nor a reaped child's number that may have been reused.
    void signal(int signo) const {
        if (pid_ > 0 && !status_) kill(pid_, signo);
    }
    std::optional<int> wait() {  // the exit status; absent past 20 s or after a fatal signal
        int st = 0;
        eventually([&] {
            return status_ || (pid_ > 0 && waitpid(pid_, &st, WNOHANG) == pid_ && (status_ = st));
        });
        return status_ && WIFEXITED(*status_) ? std::optional(WEXITSTATUS(*status_)) : std::nullopt;
    }
};

}  // namespace sapwell::testing
