#include "FileFault.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Format.hpp"

namespace sapwell {

FileFault faultOf(int errnum) {
    switch (errnum) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FileFault::diskFull;
    case EROFS: return FileFault::readOnly;
    case EACCES:
    case EPERM: return FileFault::denied;
    case EISDIR:
    case ENOTDIR:
    case ELOOP:
    case ENXIO:
    case ENODEV: return FileFault::notRegular;
    default: return FileFault::failed;
    }
}

namespace {

S reasonKey(FileFault fault) {
    switch (fault) {
    case FileFault::notRegular: return S::faultNotRegular;
    case FileFault::notOwned: return S::faultNotOwned;
    case FileFault::diskFull: return S::faultDiskFull;
    case FileFault::readOnly: return S::faultReadOnly;
    case FileFault::denied: return S::faultDenied;
    case FileFault::otherInstance: return S::faultOtherInstance;
    case FileFault::notLocked: return S::faultNotLocked;
    case FileFault::noFolder: return S::faultNoFolder;
    case FileFault::none:
    case FileFault::failed: break;
    }
    return S::faultFailed;
}

}  // namespace

std::string notSavedText(FileFault fault, Lang lang) {
    if (fault == FileFault::none) return {};
    return fillIn(t(lang, S::historyNotSaved), {{"{r}", t(lang, reasonKey(fault))}});
}

int openRegular(const std::filesystem::path& path, int flags, bool ownedOnly, FileFault& fault) {
    fault = FileFault::none;
    // Looked at before opening: opening a device can already do something.
    struct stat entry {}, target {};
    if (::lstat(path.c_str(), &entry) != 0) {
        if (errno != ENOENT) fault = faultOf(errno);
        return -1;
    }
    const bool link = S_ISLNK(entry.st_mode);
    if (link && ::stat(path.c_str(), &target) != 0) {
        fault = errno == ENOENT ? FileFault::notRegular : faultOf(errno);
        return -1;
    }
    const struct stat& seen = link ? target : entry;
    if (!S_ISREG(seen.st_mode)) fault = FileFault::notRegular;
    else if ((link || ownedOnly) && seen.st_uid != ::geteuid()) fault = FileFault::notOwned;
    if (fault != FileFault::none) return -1;
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        fault = errno == ENOENT ? FileFault::notRegular : faultOf(errno);
        return -1;
    }
    // Judged on what was opened, whatever the path showed a moment before.
    if (::fstat(fd, &target) != 0) {
        fault = faultOf(errno);
    } else if (!S_ISREG(target.st_mode)) {
        fault = FileFault::notRegular;
    } else if ((link || ownedOnly) && target.st_uid != ::geteuid()) {
        fault = FileFault::notOwned;
    }
    if (fault == FileFault::none) return fd;
    ::close(fd);
    return -1;
}

bool ownRegularFile(const std::filesystem::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

}  // namespace sapwell
