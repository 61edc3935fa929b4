#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>

#include "FileFault.hpp"

namespace sapwell {

// The one-writer guard: an exclusive flock on a file beside the history, held for the life of
// the process (the kernel drops it when the process ends, however it ends).
class InstanceLock {
public:
    enum class Result { acquired, heldElsewhere, unavailable };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Creates the folder and the file when needed, then tries the lock without waiting. Only a
    // regular file of this user's, never reached through a link, is locked. `unavailable` (the
    // file cannot be made or locked for another reason) carries the reason.
    Result acquire(const std::filesystem::path& file, std::string& reason);
    // Whether the lock still guards the file at the path acquire() was given: a lock on a file
    // that was removed or replaced meanwhile guards nothing, so it is taken again, on the file
    // there now. `heldElsewhere` then means another instance has taken it in the meantime.
    Result renew(std::string& reason);
    bool held() const { return fd_ >= 0; }
    // Why the lock was last found unavailable: what the system said when the file could not be
    // made or opened (read-only, permission denied...), else notLocked.
    FileFault fault() const { return fault_; }

    // "Sapwell/sapwell.lock" beside the history file.
    static std::filesystem::path besideHistory(const std::filesystem::path& historyFile);

private:
    bool stillAtPath() const;

    int fd_ = -1;
    std::filesystem::path path_;
    FileFault fault_ = FileFault::none;
};

// The lock for a running application, whatever its shell. False when another instance holds it
// ("Sapwell is already running" on `err`); a lock that cannot be made is reported on `err` and
// the run goes on without writing the history, since the figures are still worth showing.
bool lockForRun(InstanceLock& lock, const std::filesystem::path& historyFile, std::ostream& err);

}  // namespace sapwell
