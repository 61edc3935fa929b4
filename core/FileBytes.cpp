#include "FileBytes.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "RetryOnInterrupt.hpp"

namespace sapwell {

namespace {

constexpr std::size_t hugePage = std::size_t{2} << 20;

std::size_t roundUp(std::size_t n, std::size_t unit) { return (n + unit - 1) / unit * unit; }

}  // namespace

bool FileBytes::reserve(std::size_t capacity) {
    // A buffer of a megabyte or more starts on a huge-page boundary and asks for huge pages; the
    // extra address space is never touched. Where the kernel gives none, nothing changes.
    const bool large = capacity >= hugePage / 2;
    const std::size_t length = large ? roundUp(capacity, hugePage) + hugePage : capacity;
    void* map = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) return false;
    auto start = reinterpret_cast<std::uintptr_t>(map);
    if (large) {
        start = roundUp(start, hugePage);
#ifdef MADV_HUGEPAGE
        ::madvise(reinterpret_cast<void*>(start), roundUp(capacity, hugePage), MADV_HUGEPAGE);
#endif
    }
    char* data = reinterpret_cast<char*>(start);
    if (size_ > 0) std::memcpy(data, data_, size_);
    release();
    map_ = map;
    mapLength_ = length;
    data_ = data;
    capacity_ = capacity;
    return true;
}

void FileBytes::release() {
    if (map_ != nullptr) ::munmap(map_, mapLength_);
    map_ = nullptr;
}

bool FileBytes::read(const std::filesystem::path& path, std::size_t limit) {
    const int fd = openRegular(path, O_RDONLY, false, fault_);
    if (fd < 0) return false;
    // Sized from the file, one byte over so the first pass sees its end, and grown should the
    // file grow meanwhile, up to the limit and the byte before the part kept.
    struct stat st {};
    const std::size_t fileSize = ::fstat(fd, &st) == 0 && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0;
    const std::size_t cap = limit + 1;
    // Of a larger file the end, where the newest minutes are, starting one byte early so that
    // whether the first line is whole shows.
    const bool tail = fileSize > limit;
    const off_t start = tail ? static_cast<off_t>(fileSize - cap) : 0;
    whole_ = !tail;
    bool ok = reserve(std::min(fileSize > 0 ? fileSize + 1 : std::size_t{1} << 16, cap));
    while (ok) {
        if (size_ == capacity_) {
            if (capacity_ >= cap) {  // grew past the limit while being read
                whole_ = false;
                break;
            }
            if (!reserve(std::min(capacity_ * 2, cap))) {
                ok = false;
                break;
            }
        }
        // In pieces small enough to count their lines while they are still in the cache.
        const std::size_t want = std::min<std::size_t>(capacity_ - size_, std::size_t{1} << 18);
        const off_t at = start + static_cast<off_t>(size_);
        const ssize_t n = retryOnInterrupt([&] { return ::pread(fd, data_ + size_, want, at); });
        if (n < 0) ok = false;
        if (n <= 0) break;
        const char* p = data_ + size_;
        size_ += static_cast<std::size_t>(n);
        const char* const end = data_ + size_;
        while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) != nullptr) {
            ++feeds_;
            ++p;
        }
    }
    if (!ok) fault_ = faultOf(errno);
    ::close(fd);
    if (tail && size_ > 0) {
        // Everything up to the first line feed belongs to a line begun before the part read.
        const void* feed = std::memchr(data_, '\n', size_);
        begin_ = feed ? static_cast<std::size_t>(static_cast<const char*>(feed) - data_) + 1 : size_;
        if (feed) --feeds_;
    }
    return ok;
}

}  // namespace sapwell
