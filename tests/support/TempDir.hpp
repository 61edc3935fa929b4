#pragma once

#include <filesystem>
#include <string>

namespace sapwell::testing {

// A fresh folder under the system temp folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& rel) const { return path_ / rel; }

    // Writes a file (creating parent folders) and returns its path.
    std::filesystem::path write(const std::string& rel, const std::string& content) const;
    static std::string read(const std::filesystem::path& p);

private:
    std::filesystem::path path_;
};

}  // namespace sapwell::testing
