#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "Seam.hpp"
#include "Shell.hpp"

namespace sapwell {

class AppController;

// What a shell brings to a run of the application (runApp): itself and its main loop.
class ShellLoop {
public:
    virtual ~ShellLoop() = default;

    // Makes the shell. Called once the lock is held, so a refused second instance shows nothing;
    // the run keeps it until the controller made over it is gone.
    virtual std::unique_ptr<Shell> openShell() = 0;
    // Hands the controller to the shell, launches it and runs the main loop until the shell
    // quits.
    virtual void run(AppController& controller) = 0;
    // After the controller's termination, while the shell and the controller still exist.
    virtual void close() {}
    // Another instance holds the lock (said on `err`); returns the exit status. A shell that can
    // hand the start over to the running instance does so and returns 0.
    virtual int alreadyRunning(std::ostream& err) {
        (void)err;
        return 1;
    }
};

// The running application, whatever its shell: the lock beside the history, the options from the
// environment, the controller over the shell, the shell's loop, then termination (the minute in
// progress closed and flushed). Returns the exit status: when another instance holds the lock
// ("Sapwell is already running" on `err`), the loop's alreadyRunning; 1 when the last minutes
// could not be written (said on `err`); else 0.
int runApp(Seam& seam, const std::string& appPath, std::ostream& err, ShellLoop& loop);

}  // namespace sapwell
