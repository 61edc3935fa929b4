#pragma once

#include <string>
#include <string_view>

#include "MenuEntry.hpp"

namespace sapwell {

// What a line of a submenu starts with in the text, before its own text.
inline constexpr std::string_view submenuIndent = "    ";

// The menu as plain text: each header, note, row and empty-window line on its own line exactly
// as its text (made terminal-safe), those of a submenu after submenuIndent, each separator as an
// empty line, commands left out.
std::string menuText(const MenuEntries& entries);

}  // namespace sapwell
