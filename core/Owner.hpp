#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sapwell {

// The owner of the operating system's own processes: its services and kernel threads.
#if defined(__APPLE__)
inline constexpr char systemOwner[] = "macOS";
#else
inline constexpr char systemOwner[] = "Linux";
#endif

// The application a process is attributed to.
struct Owner {
    std::string app;
    std::optional<std::string> bundle;  // path of the owning application bundle
    bool operator==(const Owner&) const = default;
};

namespace OwnerResolver {
// Pure function of an executable path: the outermost ".app/" bundle, the system owner for
// system locations, else the last path component.
Owner resolve(std::string_view path);
// The last path component (trailing "/" ignored); the whole path when that is empty.
std::string lastComponent(std::string_view path);
}  // namespace OwnerResolver

}  // namespace sapwell
