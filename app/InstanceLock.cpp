#include "InstanceLock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <utility>

#include "History.hpp"

namespace sapwell {

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) close(fd_);
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

std::filesystem::path InstanceLock::besideHistory(const std::filesystem::path& historyFile) {
    return historyFile.parent_path() / "sapwell.lock";
}

bool InstanceLock::stillAtPath() const {
    struct stat held {}, there {};
    return fstat(fd_, &held) == 0 && lstat(path_.c_str(), &there) == 0 &&
           held.st_dev == there.st_dev && held.st_ino == there.st_ino;
}

InstanceLock::Result InstanceLock::acquire(const std::filesystem::path& file, std::string& reason) {
    if (fd_ >= 0 && file == path_) return Result::acquired;
    path_ = file;
    fault_ = FileFault::notLocked;
    // Without an absolute data folder (HOME unset) there is no history to guard either.
    if (!file.is_absolute()) {
        reason = "no data folder";
        fault_ = FileFault::noFolder;
        return Result::unavailable;
    }
    // A file removed or replaced between opening and locking is locked in vain: a second try
    // locks the one there now.
    for (int attempt = 0; attempt < 3; ++attempt) {
        makeFolders(file.parent_path());
        // Never through a link: one left dangling would have its target made, wherever it points.
        const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0600);
        if (fd < 0) {
            reason = errno == ELOOP ? "a link" : std::strerror(errno);
            if (errno != ELOOP) fault_ = faultOf(errno);
            return Result::unavailable;
        }
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
            close(fd);
            reason = "not a regular file of this user";
            return Result::unavailable;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            close(fd);
            if (err == EWOULDBLOCK) return Result::heldElsewhere;
            reason = std::strerror(err);
            return Result::unavailable;
        }
        fd_ = fd;
        if (stillAtPath()) {
            fault_ = FileFault::none;
            return Result::acquired;
        }
        close(std::exchange(fd_, -1));
    }
    reason = "replaced while being locked";
    return Result::unavailable;
}

InstanceLock::Result InstanceLock::renew(std::string& reason) {
    if (fd_ >= 0) {
        if (stillAtPath()) return Result::acquired;
        close(std::exchange(fd_, -1));
    }
    return acquire(path_, reason);
}

bool lockForRun(InstanceLock& lock, const std::filesystem::path& historyFile, std::ostream& err) {
    std::string reason;
    const auto lockFile = InstanceLock::besideHistory(historyFile);
    switch (lock.acquire(lockFile, reason)) {
    case InstanceLock::Result::acquired: break;
    case InstanceLock::Result::heldElsewhere: err << "Sapwell is already running\n"; return false;
    case InstanceLock::Result::unavailable:
        err << "Sapwell: cannot lock " << lockFile.string() << ": " << reason
            << "; the history is not written\n";
        break;
    }
    return true;
}

}  // namespace sapwell
