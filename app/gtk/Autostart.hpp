#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "Seam.hpp"

namespace sapwell {

// "<config>/autostart/sapwell.desktop", with $XDG_CONFIG_HOME as <config> when it is absolute,
// else $HOME/.config. Absent without either.
std::optional<std::filesystem::path> autostartFile(const Environment& env);

// The autostart entry that starts `program` at login.
std::string autostartEntry(const std::string& program);

// "--autostart on|off": writes or removes the entry, says which file on `out` (or that there
// was none to remove). Returns the exit
// status: 0, 1 when the file cannot be written or removed, 2 for another value than on or off.
int runAutostart(const Environment& env, std::string_view value, const std::string& program,
                 std::ostream& out, std::ostream& err);

}  // namespace sapwell
