#include "DurableFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "FileFault.hpp"
#include "RetryOnInterrupt.hpp"

namespace sapwell {

namespace fs = std::filesystem;

namespace {

bool writeAll(int fd, std::string_view bytes, off_t offset) {
    while (!bytes.empty()) {
        const ssize_t n =
            retryOnInterrupt([&] { return ::pwrite(fd, bytes.data(), bytes.size(), offset); });
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return true;
}

// The offset just after the file's last line feed (0 when it has none).
std::optional<off_t> endOfLastLine(int fd, off_t size) {
    char buf[4096];
    off_t pos = size;
    while (pos > 0) {
        const off_t start = pos > static_cast<off_t>(sizeof buf) ? pos - static_cast<off_t>(sizeof buf) : 0;
        const auto len = static_cast<std::size_t>(pos - start);
        const ssize_t n = retryOnInterrupt([&] { return ::pread(fd, buf, len, start); });
        if (n != static_cast<ssize_t>(len)) return std::nullopt;
        for (std::size_t i = len; i-- > 0;)
            if (buf[i] == '\n') return start + static_cast<off_t>(i) + 1;
        pos = start;
    }
    return 0;
}

}  // namespace

void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool makeFolders(const fs::path& folder) {
    fs::path p;
    for (const auto& part : folder) {
        p /= part;
        if (::mkdir(p.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

bool replaceFile(const fs::path& path, std::string_view bytes, bool sync, unsigned newMode) {
    // The new file keeps the permissions the user gave the old one; a link, or a file of
    // someone else's, lends it none.
    mode_t mode = static_cast<mode_t>(newMode & 0777);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
        mode = st.st_mode & 0777;
    // Made exclusively under a name of its own, so nothing planted in a shared folder is
    // followed or overwritten and two writers never write into one temporary file.
    std::string name = ".";
    name += path.filename().string();
    name += ".XXXXXX";
    std::string tmp = (path.parent_path() / name).string();
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    ::fchmod(fd, mode);
    bool ok = writeAll(fd, bytes, 0) && (!sync || ::fsync(fd) == 0);
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    // The replacement is one rename: a reader or a crash sees the old file or the new one.
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        errno = error;
        return false;
    }
    if (sync) syncFolder(path.parent_path());
    return true;
}

namespace {

// A new file, made exclusively and never through a link: a link to nowhere, planted or left
// behind, is not followed to create its target.
int createFile(const fs::path& path) {
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}

}  // namespace

FileFault appendLines(const fs::path& path, std::string_view bytes, bool sync) {
    FileFault fault = FileFault::none;
    int fd = openRegular(path, O_RDWR, true, fault);
    if (fd < 0 && fault == FileFault::none) {
        fd = createFile(path);
        // The folder was removed while running: make it again rather than lose every minute
        // until the next start.
        const fs::path folder = path.parent_path();
        if (fd < 0 && errno == ENOENT && !folder.empty() && makeFolders(folder)) {
            if (sync) syncFolder(folder.parent_path());
            fd = createFile(path);
        }
        // Made by someone else a moment ago: that one is looked at as any other.
        if (fd < 0 && errno == EEXIST) fd = openRegular(path, O_RDWR, true, fault);
        if (fd < 0 && fault == FileFault::none) fault = errno == EEXIST ? FileFault::notRegular : faultOf(errno);
    }
    if (fd < 0) return fault;
    struct stat st {};
    if (::fstat(fd, &st) != 0) fault = faultOf(errno);
    off_t size = st.st_size;
    const bool fresh = size == 0;
    // An earlier append cut short leaves a partial last line; appending after it would glue
    // a good line onto a broken one. Cut back to the last whole line first.
    if (fault == FileFault::none && size > 0) {
        char last = 0;
        if (::pread(fd, &last, 1, size - 1) != 1) {
            fault = faultOf(errno);
        } else if (last != '\n') {
            auto keep = endOfLastLine(fd, size);
            if (!keep || ::ftruncate(fd, *keep) != 0) fault = faultOf(errno);
            else size = *keep;
        }
    }
    if (fault == FileFault::none) {
        // fsync, not fdatasync: an append changes the size, which fdatasync flushes as well,
        // and macOS declares no fdatasync.
        if (!writeAll(fd, bytes, size) || (sync && ::fsync(fd) != 0)) {
            fault = faultOf(errno);
            // Take back a partial write so the retry does not store some minutes twice.
            ::ftruncate(fd, size);
        }
    }
    if (fault == FileFault::none && fresh && sync) syncFolder(path.parent_path());
    ::close(fd);
    return fault;
}

}  // namespace sapwell
