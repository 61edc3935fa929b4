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

bool FileBytes::read(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // Sized from the file, one byte over so the first pass sees its end, and grown should the
    // file grow meanwhile.
    struct stat st {};
    const bool sized = ::fstat(fd, &st) == 0 && st.st_size > 0;
    bool ok = reserve(sized ? static_cast<std::size_t>(st.st_size) + 1 : std::size_t{1} << 16);
    while (ok) {
        if (size_ == capacity_ && !reserve(capacity_ * 2)) {
            ok = false;
            break;
        }
        // In pieces small enough to count their lines while they are still in the cache.
        const std::size_t want = std::min<std::size_t>(capacity_ - size_, std::size_t{1} << 18);
        const ssize_t n = retryOnInterrupt([&] { return ::read(fd, data_ + size_, want); });
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
    ::close(fd);
    return ok;
}

}  // namespace sapwell
