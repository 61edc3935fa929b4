#include "Cgroup.hpp"

#include <charconv>
#include <limits>

#include "Tokens.hpp"

namespace sapwell::platform {

namespace {

// mountinfo writes space, tab, newline and backslash in paths as three octal digits ("\040").
std::string unescapeOctal(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size()) {
            unsigned value = 0;
            const char* first = s.data() + i + 1;
            const auto [p, ec] = std::from_chars(first, first + 3, value, 8);
            if (ec == std::errc{} && p == first + 3 && value < 256) {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

bool hasDotComponent(std::string_view path) {
    while (!path.empty()) {
        const auto slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (part == "." || part == "..") return true;
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    return false;
}

std::string_view trimSlashes(std::string_view s) {
    while (!s.empty() && s.back() == '/') s.remove_suffix(1);
    return s;
}

}  // namespace

std::optional<Cgroup2Mount> cgroup2Mount(std::string_view mountinfo) {
    std::optional<Cgroup2Mount> first;
    while (!mountinfo.empty()) {
        const std::string_view line = nextLine(mountinfo);
        // The optional fields end at a lone "-"; the file system type follows it.
        const auto dash = line.find(" - ");
        if (dash == std::string_view::npos) continue;
        std::string_view tail = line.substr(dash + 3);
        if (nextToken(tail, ' ') != "cgroup2") continue;
        std::string_view head = line.substr(0, dash);
        nextToken(head, ' ');  // mount id
        nextToken(head, ' ');  // parent id
        nextToken(head, ' ');  // major:minor
        const std::string_view root = nextToken(head, ' ');
        const std::string_view point = nextToken(head, ' ');
        if (root.empty() || point.empty()) continue;
        Cgroup2Mount mount{unescapeOctal(point), unescapeOctal(root)};
        if (mount.root == "/") return mount;
        if (!first) first = std::move(mount);
    }
    return first;
}

std::optional<std::string> cgroupFolder(const Cgroup2Mount& mount, std::string_view cgroupPath) {
    if (!cgroupPath.starts_with('/') || hasDotComponent(cgroupPath)) return std::nullopt;
    const std::string_view root = trimSlashes(mount.root);
    const std::string_view path = trimSlashes(cgroupPath);
    if (!path.starts_with(root)) return std::nullopt;
    const std::string_view below = path.substr(root.size());
    if (below.empty() || below.front() != '/') return std::nullopt;  // the root, or a sibling
    return std::string(trimSlashes(mount.mountPoint)) + std::string(below);
}

std::optional<std::uint64_t> cpuStatUsageNS(std::string_view cpuStat) {
    // The kernel writes it as the first line; any line may hold it.
    constexpr std::string_view key = "usage_usec ";
    std::size_t at = 0;
    if (!cpuStat.starts_with(key)) {
        at = cpuStat.find("\nusage_usec ");
        if (at == std::string_view::npos) return std::nullopt;
        ++at;
    }
    const char* digits = cpuStat.data() + at + key.size();
    const char* end = cpuStat.data() + cpuStat.size();
    std::uint64_t usec = 0;
    const auto [p, ec] = std::from_chars(digits, end, usec);
    if (ec != std::errc{} || (p != end && *p != '\n')) return std::nullopt;
    constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    return usec > max / 1000 ? max : usec * 1000;
}

}  // namespace sapwell::platform
