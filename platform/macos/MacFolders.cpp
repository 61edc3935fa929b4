#include "MacFolders.hpp"

namespace sapwell::platform {

namespace {
bool absolute(const std::optional<std::string>& path) {
    return path && !path->empty() && path->front() == '/';
}
}  // namespace

std::optional<std::filesystem::path> supportFolder(const std::optional<std::string>& applicationSupport,
                                                   const std::optional<std::string>& home) {
    if (absolute(applicationSupport)) return std::filesystem::path(*applicationSupport);
    if (absolute(home)) return std::filesystem::path(*home) / "Library" / "Application Support";
    return std::nullopt;
}

std::filesystem::path temporaryFolder(const std::optional<std::string>& reported) {
    if (absolute(reported)) return std::filesystem::path(*reported);
    return "/tmp";
}

}  // namespace sapwell::platform
