#include "CgroupCounters.hpp"

#include <fcntl.h>
#include <unistd.h>

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
    auto it = files_.find(group);
    if (it == files_.end()) {
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
        it = files_.emplace(group, File{fd, pass_}).first;
    }
    it->second.lastRead = pass_;
    const auto usage = cpuStatUsageNS(readFrom(it->second.fd, buf, sizeof buf));
    if (!usage) {  // removed groups read as errors; a group made again later is opened afresh
        ::close(it->second.fd);
        files_.erase(it);
    }
    return usage;
}

void CgroupCounters::nextPass() {
    ++pass_;
    std::erase_if(files_, [this](const auto& entry) {
        if (pass_ - entry.second.lastRead <= idlePasses) return false;
        ::close(entry.second.fd);
        return true;
    });
}

}  // namespace sapwell::platform
