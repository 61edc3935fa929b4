#include "Owner.hpp"

#include <array>

namespace sapwell::OwnerResolver {

std::string lastComponent(std::string_view path) {
    std::string_view p = path;
    while (!p.empty() && p.back() == '/') p.remove_suffix(1);
    const auto slash = p.rfind('/');
    std::string_view last = slash == std::string_view::npos ? p : p.substr(slash + 1);
    return last.empty() ? std::string(path) : std::string(last);
}

Owner resolve(std::string_view path) {
    // The first ".app/" is the outermost bundle: nested helpers belong to the enclosing app.
    if (const auto at = path.find(".app/"); at != std::string_view::npos) {
        std::string bundle(path.substr(0, at + 4));
        std::string name = lastComponent(bundle);
        name.resize(name.size() - 4);
        return Owner{std::move(name), std::move(bundle)};
    }
    static constexpr std::array<std::string_view, 5> systemPrefixes = {
        "/usr/", "/System/", "/sbin/", "/bin/", "/Library/Apple/"};
    for (std::string_view prefix : systemPrefixes)
        if (path.starts_with(prefix)) return Owner{"macOS", std::nullopt};
    return Owner{lastComponent(path), std::nullopt};
}

}  // namespace sapwell::OwnerResolver
