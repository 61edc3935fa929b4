#pragma once

// Runs the real binary in a chosen environment, its output kept in memory files (never a full
// pipe).

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <optional>
#include <ranges>
#include <string>
#include <vector>

namespace sapwell::testing {

class ChildProcess {
  public:
    // Standard input is /dev/null; standard output goes to `stdoutPath` when one is given.
    ChildProcess(const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, const char* stdoutPath = nullptr) {
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&fa, outFd_, 1);
        posix_spawn_file_actions_adddup2(&fa, errFd_, 2);
        if (stdoutPath) posix_spawn_file_actions_addopen(&fa, 1, stdoutPath, O_WRONLY, 0);
        std::vector<std::string> envText;
        for (const auto& [k, v] : env) envText.push_back(k + "=" + v);
        std::vector<char*> argv, envp;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        for (auto& e : envText) envp.push_back(e.data());
        argv.push_back(nullptr), envp.push_back(nullptr);
        if (posix_spawn(&pid_, args[0].c_str(), &fa, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
    }
    ~ChildProcess() {
        if (pid_ > 0 && !status_) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
        close(outFd_), close(errFd_);
    }

    std::string out() const { return contents(outFd_); }
    std::string err() const { return contents(errFd_); }
    void signal(int signo) const { pid_ > 0 && kill(pid_, signo); }  // never kill(-1, ...)
    // Waits until `text` has appeared `times` times on stdout; false when the limit passes first.
    bool waitForOutput(const std::string& text, int times, std::chrono::milliseconds limit) const {
        for (const auto end = std::chrono::steady_clock::now() + limit;; usleep(20'000)) {
            if (std::ranges::distance(std::views::split(out(), text)) > times) return true;
            if (std::chrono::steady_clock::now() > end) return false;
        }
    }
    // The exit status, or absent when the child did not end in time (or died by a signal).
    std::optional<int> wait(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (int st = 0; !status_ && std::chrono::steady_clock::now() < end; usleep(20'000))
            if (pid_ > 0 && waitpid(pid_, &st, WNOHANG) == pid_) status_ = st;
        return status_ && WIFEXITED(*status_) ? std::optional(WEXITSTATUS(*status_)) : std::nullopt;
    }

  private:
    static std::string contents(int fd) {
        std::string s(std::size_t(std::max<off_t>(lseek(fd, 0, SEEK_END), 0)), '\0');
        s.resize(std::size_t(std::max<ssize_t>(pread(fd, s.data(), s.size(), 0), 0)));
        return s;
    }

    int outFd_ = memfd_create("stdout", MFD_CLOEXEC);
    int errFd_ = memfd_create("stderr", MFD_CLOEXEC);
    pid_t pid_ = -1;
    std::optional<int> status_;
};

}  // namespace sapwell::testing
