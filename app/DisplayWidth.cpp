#include "DisplayWidth.hpp"

#include <utf8proc.h>

#include <algorithm>

#include "TerminalSafe.hpp"
#include "Text.hpp"

namespace sapwell {

namespace {

// Terminal columns of one grapheme cluster: as wide as its base character (the first that has
// a width), or two when it asks for emoji presentation.
std::size_t clusterColumns(std::string_view cluster) {
    int width = 0;
    for (std::size_t pos = 0; pos < cluster.size();) {
        const char32_t cp = text::nextScalar(cluster, pos);
        if (cp == U'\uFE0F') return 2;
        if (width == 0) width = std::max(0, utf8proc_charwidth(static_cast<utf8proc_int32_t>(cp)));
    }
    return static_cast<std::size_t>(width);
}

}  // namespace

std::string cutToWidth(std::string_view text, int columns) {
    if (columns <= 0) return {};
    return text::cutWithEllipsis(terminalSafe(text), static_cast<std::size_t>(columns), clusterColumns);
}

int displayWidth(std::string_view text) {
    return static_cast<int>(text::measureClusters(terminalSafe(text), clusterColumns));
}

}  // namespace sapwell
