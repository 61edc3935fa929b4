#pragma once

#include <string>
#include <string_view>

namespace sapwell {

// The text with every control character (C0, DEL, C1), every bidi control other than an isolate
// and every invalid UTF-8 sequence replaced by U+FFFD, so a process name can neither send escape
// sequences to the terminal nor reorder the line it stands in. Isolates are dropped: they only
// keep a name's direction to itself (the menu wraps every name in one), which terminals do not
// all honour and which the line no longer needs once no override is left.
std::string terminalSafe(std::string_view text);

}  // namespace sapwell
