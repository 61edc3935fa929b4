#include "Seam.hpp"

#include <cmath>
#include <limits>

namespace sapwell {

std::optional<Owner> ProcessTable::ownerOf(Pid, const std::optional<std::string>& path) {
    if (!path) return std::nullopt;
    return OwnerResolver::resolve(*path);
}

namespace {
std::optional<std::string> nonEmpty(const Environment& env, std::string_view name) {
    auto value = env.get(name);
    if (value && value->empty()) return std::nullopt;
    return value;
}
bool absolute(const std::optional<std::string>& path) {
    return path && std::filesystem::path(*path).is_absolute();
}
}  // namespace

std::optional<std::filesystem::path> Environment::dataFolder() const {
    if (auto xdg = nonEmpty(*this, "XDG_DATA_HOME"); absolute(xdg)) return std::filesystem::path(*xdg);
    auto home = nonEmpty(*this, "HOME");
    if (!absolute(home)) home = accountHome();
    if (absolute(home)) return std::filesystem::path(*home) / ".local" / "share";
    return std::nullopt;
}

std::string Environment::localeName() const {
    // The POSIX precedence for message texts: the first of these that is set and non-empty.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (auto value = nonEmpty(*this, name)) return std::move(*value);
    }
    return {};
}

std::filesystem::path Environment::tempFolder() const {
    if (auto dir = nonEmpty(*this, "TMPDIR")) return *dir;
    // The session's own folder, which only the user can write: in the shared /tmp any local user
    // could plant the name first.
    if (auto runtime = nonEmpty(*this, "XDG_RUNTIME_DIR"); absolute(runtime)) return *runtime;
    return "/tmp";
}

std::int64_t wholeSeconds(double wallSeconds) {
    if (!std::isfinite(wallSeconds)) return 0;
    constexpr double limit = 9.2e18;  // inside the int64 range
    if (wallSeconds >= limit) return std::numeric_limits<std::int64_t>::max();
    if (wallSeconds <= -limit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(std::trunc(wallSeconds));
}

}  // namespace sapwell
