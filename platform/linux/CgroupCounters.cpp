#include "CgroupCounters.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

#include "RetryOnInterrupt.hpp"

namespace sapwell::platform {

namespace {

// The whole of a small kernel file from its start; empty when it cannot be read.
std::string_view readFrom(int fd, char* buf, std::size_t size) {
    const ssize_t n = retryOnInterrupt([&] { return ::pread(fd, buf, size, 0); });
    return n > 0 ? std::string_view(buf, static_cast<std::size_t>(n)) : std::string_view();
}

}  // namespace

CgroupCounters::~CgroupCounters() {
    for (const auto& [group, file] : files_) ::close(file.fd);
}

std::optional<std::uint64_t> CgroupCounters::usageNS(const std::string& group) {
    char buf[2048];
    Entry* entry = nullptr;
    if (next_ < order_.size() && order_[next_]->first == group) {
        entry = order_[next_++];
    } else if (const auto it = files_.find(group); it != files_.end()) {
        entry = &*it;
    } else {
        const auto folder = cgroupFolder(mount_, group);
        if (!folder) return std::nullopt;
        const std::string path = *folder + "/cpu.stat";
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return std::nullopt;
        if (files_.size() >= maxOpen) {
            const auto usage = cpuStatUsageNS(readFrom(fd, buf, sizeof buf));
            ::close(fd);
            return usage;
        }
        entry = &*files_.emplace(group, File{fd, pass_}).first;
    }
    entry->second.lastRead = pass_;
    const auto usage = cpuStatUsageNS(readFrom(entry->second.fd, buf, sizeof buf));
    if (!usage) {  // removed groups read as errors; a group made again later is opened afresh
        ::close(entry->second.fd);
        forgetOrder();
        files_.erase(group);
        return usage;
    }
    reading_.push_back(entry);
    return usage;
}

void CgroupCounters::nextPass() {
    ++pass_;
    const auto idle = [this](const Entry& entry) { return pass_ - entry.second.lastRead > idlePasses; };
    if (std::any_of(files_.begin(), files_.end(), idle)) {
        forgetOrder();
        std::erase_if(files_, [&](const Entry& entry) {
            if (!idle(entry)) return false;
            ::close(entry.second.fd);
            return true;
        });
    }
    order_.swap(reading_);
    reading_.clear();
    next_ = 0;
}

void CgroupCounters::forgetOrder() {
    order_.clear();
    reading_.clear();
    next_ = 0;
}

}  // namespace sapwell::platform
