#include "Seam.hpp"

#include <cmath>
#include <limits>

namespace sapwell {

std::optional<Owner> ProcessTable::ownerOf(Pid, const std::optional<std::string>& path) {
    if (!path) return std::nullopt;
    return OwnerResolver::resolve(*path);
}

std::optional<std::filesystem::path> userDataHome(const Environment& env) {
    auto absolute = [](const std::optional<std::string>& v) { return v && !v->empty() && v->front() == '/'; };
    if (auto xdg = env.get("XDG_DATA_HOME"); absolute(xdg)) return std::filesystem::path(*xdg);
    auto home = env.get("HOME");
    if (!absolute(home)) home = env.accountHome();
    if (absolute(home)) return std::filesystem::path(*home) / ".local" / "share";
    return std::nullopt;
}

std::int64_t wholeSeconds(double wallSeconds) {
    if (!std::isfinite(wallSeconds)) return 0;
    constexpr double limit = 9.2e18;  // inside the int64 range
    if (wallSeconds >= limit) return std::numeric_limits<std::int64_t>::max();
    if (wallSeconds <= -limit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(std::trunc(wallSeconds));
}

}  // namespace sapwell
