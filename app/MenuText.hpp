#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "MenuEntry.hpp"
#include "Seam.hpp"

namespace sapwell {

// The menu as plain text: each header, note, row and empty-window line on its own line exactly
// as its text, each separator as an empty line, commands left out.
std::string menuText(const MenuEntries& entries);

// The text with every control character (C0, DEL, C1) and every invalid UTF-8 sequence replaced
// by U+FFFD, so a process name cannot send escape sequences to the terminal.
std::string terminalSafe(std::string_view text);

// The text made terminal-safe and cut to at most `columns` terminal columns between whole
// grapheme clusters (wide characters take 2); a cut line ends in "…".
std::string cutToWidth(std::string_view text, int columns);

// "--print-menu": the menu built from the history on disk, read only, without sampling or
// lock. Returns the exit status.
int runPrintMenu(Seam& seam, std::ostream& out);

}  // namespace sapwell
