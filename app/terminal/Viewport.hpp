#pragma once

#include <span>
#include <string>
#include <vector>

namespace sapwell {

// One line of the terminal view: its text and how it is drawn.
struct ViewLine {
    enum class Style { plain, bold, dim };
    Style style = Style::plain;
    std::string text;
};

// The line made terminal-safe, cut to `columns` and wrapped in its style's bold or dim.
std::string styledLine(const ViewLine& line, int columns);

// The part of the menu's lines a screen area shows. Wider than twoColumnsAbove columns, the
// blocks between empty lines (the menu's windows) are laid out in two columns, read down the
// left one first, split where the taller column is shortest.
struct Viewport {
    std::vector<std::string> lines;  // at most `height`, styled and cut to the width
    int offset = 0;                  // the first laid-out row shown, within [0, maxOffset]
    int maxOffset = 0;               // the offset that shows the last row at the bottom
};
inline constexpr int twoColumnsAbove = 160;
Viewport layOut(std::span<const ViewLine> lines, int width, int height, int offset);

}  // namespace sapwell
