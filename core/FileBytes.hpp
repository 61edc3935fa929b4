#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "FileFault.hpp"

namespace sapwell {

// A whole file's bytes, read once into memory of its own. Large files get huge pages: on a
// virtual machine every fresh 4 KiB page costs a fault that can take longer than reading the
// bytes into it, and an eight-day history is several megabytes.
class FileBytes {
public:
    FileBytes() = default;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes() { release(); }

    // Far above an eight-day history (about 5 MB), far below what would strain memory.
    static constexpr std::size_t defaultLimit = std::size_t{64} << 20;

    // False when the file cannot be opened or read, with the reason in fault() (none when there
    // is no file); the bytes read so far stay. Only a regular file is read (openRegular), and
    // of one larger than `limit` only its last whole lines within `limit` bytes.
    bool read(const std::filesystem::path& path, std::size_t limit = defaultLimit);
    FileFault fault() const { return fault_; }
    // False when a file larger than the limit was read only in part.
    bool whole() const { return whole_; }

    operator std::string_view() const { return {data_ + begin_, size_ - begin_}; }
    std::size_t size() const { return size_ - begin_; }
    // Line feeds in the bytes, plus one for a last line without its own: room for every line.
    std::size_t lineCount() const { return feeds_ + (size() > 0 && data_[size_ - 1] != '\n' ? 1 : 0); }

private:
    bool reserve(std::size_t capacity);
    void release();

    void* map_ = nullptr;
    std::size_t mapLength_ = 0;
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::size_t feeds_ = 0;
    std::size_t begin_ = 0;  // where the first whole line starts
    FileFault fault_ = FileFault::none;
    bool whole_ = true;
};

}  // namespace sapwell
