#pragma once

#include <string>
#include <string_view>

namespace sapwell {

// The text with every control character (C0, DEL, C1) and every invalid UTF-8 sequence replaced
// by U+FFFD, so a process name cannot send escape sequences to the terminal.
std::string terminalSafe(std::string_view text);

}  // namespace sapwell
