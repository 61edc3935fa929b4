#include "AppUnit.hpp"

#include <charconv>
#include <vector>

#include "Tokens.hpp"

namespace sapwell::platform {

namespace {

bool isUserManager(std::string_view unit) {
    return unit.starts_with("user@") && unit.ends_with(".service");
}

// Undoes systemd's "\xNN" escaping (unit names escape "-" inside an id as "\x2d").
std::string unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x') {
            unsigned value = 0;
            const char* first = s.data() + i + 2;
            const auto [p, ec] = std::from_chars(first, first + 2, value, 16);
            if (ec == std::errc{} && p == first + 2) {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

// An id becomes part of a file name: it must not reach outside the applications folder.
bool usableAsFileName(std::string_view id) {
    if (id.empty() || id == "." || id == "..") return false;
    for (char c : id)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

}  // namespace

std::optional<std::string_view> unifiedCgroupPath(std::string_view cgroupFile) {
    while (!cgroupFile.empty()) {
        const std::string_view line = nextLine(cgroupFile);
        if (line.starts_with("0::")) return line.substr(3);
    }
    return std::nullopt;
}

bool isSystemCgroup(std::string_view cgroupPath) {
    const std::string_view top = nextToken(cgroupPath, '/');
    return top == "system.slice" || top == "init.scope";
}

std::optional<std::string> appIdOfUnit(std::string_view unit) {
    if (!unit.starts_with("app-")) return std::nullopt;
    std::string_view body = unit.substr(4);
    std::string_view id;
    if (body.ends_with(".service")) {
        body.remove_suffix(8);
        if (const auto at = body.find('@'); at != std::string_view::npos) body = body.substr(0, at);
        // Raw "-" only separates the launcher; one inside the id is escaped.
        const auto dash = body.rfind('-');
        id = dash == std::string_view::npos ? body : body.substr(dash + 1);
    } else if (body.ends_with(".scope")) {
        body.remove_suffix(6);
        const auto dash = body.rfind('-');
        if (dash == std::string_view::npos) return std::nullopt;  // no random part
        body = body.substr(0, dash);
        const auto before = body.rfind('-');
        id = before == std::string_view::npos ? body : body.substr(before + 1);
    } else if (body.ends_with(".slice")) {
        // A dash nests slices, so the id is the last part. Launchers group their own units in
        // slices too ("app-gnome\x2dsession\x2dmanager.slice"); only a reverse-DNS id, as
        // desktop applications have, names an application.
        body.remove_suffix(6);
        const auto dash = body.rfind('-');
        id = dash == std::string_view::npos ? body : body.substr(dash + 1);
        if (unescape(id).find('.') == std::string::npos) return std::nullopt;
    } else {
        return std::nullopt;
    }
    std::string appId = unescape(id);
    if (!usableAsFileName(appId)) return std::nullopt;
    return appId;
}

std::optional<std::string> appIdOfCgroup(std::string_view cgroupPath) {
    for (std::string_view unit = nextToken(cgroupPath, '/'); !unit.empty();
         unit = nextToken(cgroupPath, '/')) {
        if (unit.ends_with(".slice") || isUserManager(unit)) continue;
        return appIdOfUnit(unit);
    }
    return std::nullopt;
}

std::optional<std::string> appIdOfGroup(std::string_view cgroupPath) {
    std::vector<std::string_view> units;
    for (std::string_view unit = nextToken(cgroupPath, '/'); !unit.empty();
         unit = nextToken(cgroupPath, '/'))
        units.push_back(unit);
    for (auto it = units.rbegin(); it != units.rend(); ++it)
        if (auto appId = appIdOfUnit(*it)) return appId;
    return std::nullopt;
}

std::string shortAppName(std::string_view appId) {
    std::string_view s = appId;
    while (!s.empty() && s.back() == '.') s.remove_suffix(1);
    const auto dot = s.rfind('.');
    const std::string_view last = dot == std::string_view::npos ? s : s.substr(dot + 1);
    return std::string(last.empty() ? appId : last);
}

}  // namespace sapwell::platform
