#include "Viewport.hpp"

#include <algorithm>
#include <string_view>

#include "DisplayWidth.hpp"

namespace sapwell {

namespace {

constexpr int columnGap = 4;

using Block = std::span<const ViewLine>;

// The runs of non-empty lines.
std::vector<Block> blocksOf(std::span<const ViewLine> lines) {
    std::vector<Block> blocks;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= lines.size(); ++i) {
        if (i < lines.size() && !lines[i].text.empty()) continue;
        if (i > start) blocks.push_back(lines.subspan(start, i - start));
        start = i + 1;
    }
    return blocks;
}

// Blocks one under another with an empty line between each two.
std::vector<ViewLine> stacked(std::span<const Block> blocks) {
    std::vector<ViewLine> out;
    for (const Block& b : blocks) {
        if (!out.empty()) out.push_back({});
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

// Each row: the left line cut and padded to its column, the gap, then the right line.
std::vector<std::string> sideBySide(const std::vector<ViewLine>& left,
                                    const std::vector<ViewLine>& right, int width) {
    const int leftWidth = (width - columnGap) / 2;
    const int rightWidth = width - columnGap - leftWidth;
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
        std::string row;
        if (i < left.size()) row = styledLine(left[i], leftWidth);
        if (i < right.size() && !right[i].text.empty()) {
            const int used = i < left.size() ? displayWidth(cutToWidth(left[i].text, leftWidth)) : 0;
            row.append(static_cast<std::size_t>(leftWidth - used + columnGap), ' ');
            row += styledLine(right[i], rightWidth);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::string> rowsOf(std::span<const ViewLine> lines, int width) {
    const std::vector<Block> blocks = blocksOf(lines);
    if (width > twoColumnsAbove && blocks.size() >= 2) {
        // Left gets blocks [0, split): the split whose taller column is shortest, the left
        // one taller on a tie so that the columns read in order.
        std::size_t best = 1;
        std::size_t bestHeight = static_cast<std::size_t>(-1);
        for (std::size_t split = 1; split < blocks.size(); ++split) {
            const std::size_t height = std::max(stacked(std::span(blocks).first(split)).size(),
                                                stacked(std::span(blocks).subspan(split)).size());
            if (height <= bestHeight) {
                best = split;
                bestHeight = height;
            }
        }
        return sideBySide(stacked(std::span(blocks).first(best)),
                          stacked(std::span(blocks).subspan(best)), width);
    }
    std::vector<std::string> rows;
    for (const ViewLine& line : lines) rows.push_back(styledLine(line, width));
    return rows;
}

}  // namespace

std::string styledLine(const ViewLine& line, int columns) {
    std::string cut = cutToWidth(line.text, columns);
    if (line.style == ViewLine::Style::plain || cut.empty()) return cut;
    std::string out(line.style == ViewLine::Style::bold ? "\x1b[1m" : "\x1b[2m");
    return out.append(cut).append("\x1b[0m");
}

Viewport layOut(std::span<const ViewLine> lines, int width, int height, int offset) {
    std::vector<std::string> rows = rowsOf(lines, width);
    Viewport view;
    const int total = static_cast<int>(rows.size());
    view.maxOffset = std::max(0, total - std::max(0, height));
    view.offset = std::clamp(offset, 0, view.maxOffset);
    const int shown = std::clamp(height, 0, total - view.offset);
    view.lines.assign(std::make_move_iterator(rows.begin() + view.offset),
                      std::make_move_iterator(rows.begin() + view.offset + shown));
    return view;
}

}  // namespace sapwell
