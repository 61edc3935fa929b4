#pragma once

// Starts the real binary with a chosen environment and reads its output with time limits.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sapwell::testing {

class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& args, const std::map<std::string, std::string>& env) {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        std::vector<std::string> envText;
        for (const auto& [k, v] : env) envText.push_back(k + "=" + v);
        std::vector<char*> argv, envp;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (auto& e : envText) envp.push_back(e.data());
        envp.push_back(nullptr);
        if (posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        outFd_ = out[0];
        errFd_ = err[0];
    }
    ~ChildProcess() {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (outFd_ >= 0) close(outFd_);
        if (errFd_ >= 0) close(errFd_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

    // Reads output until `text` has appeared `times` times on stdout, or the limit passes.
    bool waitForOutput(const std::string& text, int times, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (count(text) < times) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !pump(static_cast<int>(left.count()))) return count(text) >= times;
        }
        return true;
    }
    // Closes our end of stdout: the child's next write meets a closed pipe.
    void closeOutput() {
        close(outFd_);
        outFd_ = -1;
    }
    void signal(int signo) { kill(pid_, signo); }
    // The exit status, or absent when the child did not end in time (or died by a signal).
    std::optional<int> wait(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!status_) {
            int st = 0;
            const pid_t r = waitpid(pid_, &st, WNOHANG);
            if (r == pid_) {
                status_ = st;
                break;
            }
            if (std::chrono::steady_clock::now() > end) return std::nullopt;
            pump(20);
        }
        while (pump(0)) {
        }
        if (!WIFEXITED(*status_)) return std::nullopt;
        return WEXITSTATUS(*status_);
    }

private:
    int count(const std::string& text) const {
        int n = 0;
        for (auto at = out_.find(text); at != std::string::npos; at = out_.find(text, at + 1)) ++n;
        return n;
    }
    // One poll over both pipes; false when nothing more can come.
    bool pump(int timeoutMs) {
        pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
        if (outFd_ < 0 && errFd_ < 0) return false;
        if (poll(fds, 2, timeoutMs) <= 0) return timeoutMs > 0;
        bool any = false;
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buf[4096];
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                (i == 0 ? out_ : err_).append(buf, static_cast<std::size_t>(n));
                any = true;
            } else {
                close(fds[i].fd);
                (i == 0 ? outFd_ : errFd_) = -1;
            }
        }
        return any || outFd_ >= 0 || errFd_ >= 0;
    }

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string out_;
    std::string err_;
    std::optional<int> status_;
};

}  // namespace sapwell::testing
