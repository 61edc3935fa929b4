#include "XdgDirs.hpp"

#include <string_view>

namespace sapwell::platform {

namespace {
std::optional<std::string> nonEmpty(const Environment& env, std::string_view name) {
    auto value = env.get(name);
    if (value && value->empty()) return std::nullopt;
    return value;
}
}  // namespace

XdgDataFolders xdgDataFolders(const Environment& env) {
    XdgDataFolders out;
    out.home = env.dataFolder();
    const std::string dirs = nonEmpty(env, "XDG_DATA_DIRS").value_or("/usr/local/share:/usr/share");
    std::string_view rest = dirs;
    while (true) {
        const auto colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        if (!dir.empty() && dir.front() == '/') out.dirs.emplace_back(dir);
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return out;
}

std::vector<std::filesystem::path> applicationFolders(const XdgDataFolders& folders) {
    std::vector<std::filesystem::path> out;
    if (folders.home) out.push_back(*folders.home / "applications");
    for (const auto& dir : folders.dirs) out.push_back(dir / "applications");
    return out;
}

}  // namespace sapwell::platform
