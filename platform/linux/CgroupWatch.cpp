#include "CgroupWatch.hpp"

#include <dirent.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "RetryOnInterrupt.hpp"

namespace sapwell::platform {

CgroupWatch::CgroupWatch(std::string mountPoint) : mountPoint_(std::move(mountPoint)) {
    while (!mountPoint_.empty() && mountPoint_.back() == '/') mountPoint_.pop_back();
    start();
}

CgroupWatch::~CgroupWatch() {
    if (fd_ >= 0) ::close(fd_);
}

void CgroupWatch::start() {
    if (fd_ >= 0) ::close(fd_);
    folders_.clear();
    watches_.clear();
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    complete_ = fd_ >= 0 && watchTree(mountPoint_, false);
    watchedAtStart_ = folders_.size();
    if (!complete_ && fd_ >= 0) {  // nothing will be told as new: no need to watch
        ::close(fd_);
        fd_ = -1;
        folders_.clear();
        watches_.clear();
    }
}

bool CgroupWatch::watchTree(const std::string& folder, bool made) {
    if (folders_.size() >= maxWatches) return false;
    const char* path = folder.empty() ? "/" : folder.c_str();
    const int wd = ::inotify_add_watch(fd_, path, IN_CREATE | IN_DELETE | IN_ONLYDIR);
    if (wd < 0) return errno == ENOENT || errno == ENOTDIR;  // gone already: nothing to watch
    folders_[wd] = folder;
    watches_[folder] = wd;
    if (made) made_.insert(folder);
    // Folders made below it before the watch was in place.
    std::vector<std::string> below;
    if (DIR* dir = ::opendir(path)) {
        while (const dirent* entry = ::readdir(dir))
            if (entry->d_type == DT_DIR && std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                below.push_back(folder + "/" + entry->d_name);
        ::closedir(dir);
    }
    bool complete = true;
    for (const std::string& sub : below) complete = watchTree(sub, made) && complete;
    return complete;
}

void CgroupWatch::nextPass() {
    made_.clear();
    if (!complete_) return;
    alignas(inotify_event) char buf[16384];
    bool lost = false;
    for (;;) {
        const ssize_t n = retryOnInterrupt([&] { return ::read(fd_, buf, sizeof buf); });
        if (n <= 0) break;  // EAGAIN: all read
        for (ssize_t off = 0; off < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buf + off);
            off += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                lost = true;
            } else if (event->mask & IN_IGNORED) {  // the watch ended, whatever the reason
                if (const auto it = folders_.find(event->wd); it != folders_.end()) {
                    if (const auto back = watches_.find(it->second); back != watches_.end() && back->second == event->wd)
                        watches_.erase(back);
                    folders_.erase(it);
                }
            } else if ((event->mask & IN_ISDIR) && event->len > 0) {
                const auto parent = folders_.find(event->wd);
                if (parent == folders_.end()) continue;
                const std::string folder = parent->second + "/" + event->name;
                if (event->mask & IN_CREATE) {
                    lost = !watchTree(folder, true) || lost;
                } else if (const auto gone = watches_.find(folder); gone != watches_.end()) {
                    // A removed group's folder stays watched, and its inode held, until told.
                    ::inotify_rm_watch(fd_, gone->second);
                    folders_.erase(gone->second);
                    watches_.erase(gone);
                }
            }
        }
    }
    // Should removals go unnoticed, watches would pile up: start afresh then too.
    if (lost || folders_.size() > 2 * watchedAtStart_ + 256) {
        made_.clear();
        start();
    }
}

}  // namespace sapwell::platform
