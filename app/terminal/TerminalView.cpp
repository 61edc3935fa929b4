#include "TerminalView.hpp"

#include <signal.h>
#include <unistd.h>

#include <memory>

#include "AppController.hpp"
#include "EventLoop.hpp"
#include "ShellLoop.hpp"
#include "TerminalShell.hpp"

namespace sapwell {

namespace {

class TerminalLoop final : public ShellLoop {
public:
    TerminalLoop(EventLoop& loop, const Environment& env) : loop_(loop), env_(env) {}

    std::unique_ptr<Shell> openShell() override {
        auto shell = std::make_unique<TerminalShell>(loop_, env_, STDIN_FILENO, STDOUT_FILENO);
        shell_ = shell.get();
        return shell;
    }

    void run(AppController& controller) override {
        controller_ = &controller;
        shell_->attach(controller);
        shell_->start();
        controller.launch();
        loop_.run();
    }

    void close() override {
        shell_->finish();
        shell_ = nullptr;
        controller_ = nullptr;
    }

    void onSignal(int signo) {
        if (signo == SIGWINCH || signo == SIGCONT) {
            if (shell_) shell_->refreshTerminal();
        } else if (signo == SIGTSTP) {
            if (shell_) {
                shell_->suspend();
            } else {
                kill(getpid(), SIGSTOP);
            }
        } else if (controller_) {
            controller_->quit();
        } else {
            loop_.stop();
        }
    }

private:
    EventLoop& loop_;
    const Environment& env_;
    // The run's shell and controller until it closes; signals reach them only while the loop
    // runs.
    TerminalShell* shell_ = nullptr;
    AppController* controller_ = nullptr;
};

}  // namespace

int runTerminalView(Seam& seam, const std::string& appPath, std::ostream& err) {
    EventLoop loop;
    TerminalLoop terminal(loop, seam.env);
    // Taken first: a stop request during start-up then waits in the queue and ends the run
    // cleanly once the loop is up, instead of killing the process half-way.
    loop.handleSignals({SIGTERM, SIGINT, SIGHUP, SIGWINCH, SIGCONT, SIGTSTP},
                       [&terminal](int signo) { terminal.onSignal(signo); });
    // A reader that goes away must not kill the process before the last flush.
    signal(SIGPIPE, SIG_IGN);
    return runApp(seam, appPath, err, terminal);
}

}  // namespace sapwell
