#include "MenuText.hpp"

#include <utf8proc.h>

#include <ostream>

#include "AppController.hpp"
#include "Battery.hpp"
#include "ChartDump.hpp"
#include "Format.hpp"
#include "History.hpp"
#include "I18n.hpp"
#include "Sampler.hpp"
#include "Text.hpp"

namespace sapwell {

namespace {

constexpr std::string_view replacement = "\uFFFD";

bool isControl(utf8proc_int32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp < 0xA0);
}

// Calls `each(codepoint)` for every code point; invalid bytes arrive as U+FFFD.
template <typename F>
void forEachCodepoint(std::string_view text, F each) {
    for (std::size_t pos = 0; pos < text.size();)
        each(static_cast<utf8proc_int32_t>(text::nextScalar(text, pos)));
}

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

std::string menuText(const MenuEntries& entries) {
    std::string out;
    for (const auto& e : entries) {
        if (e.kind == MenuEntry::Kind::command) continue;
        if (e.kind != MenuEntry::Kind::separator) out += terminalSafe(e.text);
        out += '\n';
    }
    return out;
}

std::string terminalSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    forEachCodepoint(text, [&](utf8proc_int32_t cp) {
        if (isControl(cp)) {
            out += replacement;
        } else {
            text::appendScalar(out, static_cast<char32_t>(cp));
        }
    });
    return out;
}

std::string cutToWidth(std::string_view text, int columns) {
    if (columns <= 0) return {};
    return text::cutWithEllipsis(terminalSafe(text), static_cast<std::size_t>(columns), clusterColumns);
}

int runPrintMenu(Seam& seam, std::ostream& out) {
    const StoredView view = readStored(seam);
    const Units units(view.metric, Battery::capacityMJ(seam.battery),
                      Battery::snapshot(seam.battery).state, view.lang);
    out << menuText(buildMenu(view.history, units, view.bundles, view.now));
    out.flush();
    return out ? 0 : 1;
}

}  // namespace sapwell
