#pragma once

#include <string>
#include <string_view>

namespace sapwell {

// The text made terminal-safe and cut to at most `columns` terminal columns between whole
// grapheme clusters (wide characters take 2); a cut line ends in "…".
std::string cutToWidth(std::string_view text, int columns);

// The terminal columns the text takes once made terminal-safe.
int displayWidth(std::string_view text);

}  // namespace sapwell
