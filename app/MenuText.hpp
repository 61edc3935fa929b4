#pragma once

#include <string>

#include "MenuEntry.hpp"

namespace sapwell {

// The menu as plain text: each header, note, row and empty-window line on its own line exactly
// as its text (made terminal-safe), each separator as an empty line, commands left out.
std::string menuText(const MenuEntries& entries);

}  // namespace sapwell
