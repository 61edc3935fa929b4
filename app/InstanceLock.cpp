#include "InstanceLock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <system_error>

#include "History.hpp"

namespace sapwell {

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) close(fd_);
}

InstanceLock::InstanceLock(InstanceLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

std::filesystem::path InstanceLock::besideHistory(const std::filesystem::path& historyFile) {
    return historyFile.parent_path() / "sapwell.lock";
}

InstanceLock::Result InstanceLock::acquire(const std::filesystem::path& file, std::string& reason) {
    if (fd_ >= 0) return Result::acquired;
    // Without an absolute data folder (HOME unset) there is no history to guard either.
    if (!file.is_absolute()) {
        reason = "no data folder";
        return Result::unavailable;
    }
    makeFolders(file.parent_path());
    const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        reason = std::strerror(errno);
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
    return Result::acquired;
}

bool lockForRun(InstanceLock& lock, const std::filesystem::path& historyFile, std::ostream& err) {
    std::string reason;
    const auto lockFile = InstanceLock::besideHistory(historyFile);
    switch (lock.acquire(lockFile, reason)) {
    case InstanceLock::Result::acquired: break;
    case InstanceLock::Result::heldElsewhere: err << "Sapwell is already running\n"; return false;
    case InstanceLock::Result::unavailable:
        err << "Sapwell: cannot lock " << lockFile.string() << ": " << reason << "\n";
        break;
    }
    return true;
}

}  // namespace sapwell
