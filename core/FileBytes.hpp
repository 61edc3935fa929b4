#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

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

    // False when the file cannot be opened or read; the bytes read so far stay.
    bool read(const std::filesystem::path& path);

    operator std::string_view() const { return {data_, size_}; }
    std::size_t size() const { return size_; }
    // Line feeds in the file, plus one for a last line without its own: room for every line.
    std::size_t lineCount() const { return feeds_ + (size_ > 0 && data_[size_ - 1] != '\n' ? 1 : 0); }

private:
    bool reserve(std::size_t capacity);
    void release();

    void* map_ = nullptr;
    std::size_t mapLength_ = 0;
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::size_t feeds_ = 0;
};

}  // namespace sapwell
