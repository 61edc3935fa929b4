#include "ProgramFile.hpp"

namespace sapwell::platform {

std::optional<std::filesystem::path> programFile() {
    std::error_code ec;
    auto file = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::nullopt;
    return file;
}

}  // namespace sapwell::platform
