#include "MenuText.hpp"

#include <utf8proc.h>

#include <ostream>
#include <vector>

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

struct Grapheme {
    std::string bytes;
    int width = 0;
};

std::vector<Grapheme> graphemes(std::string_view text) {
    std::vector<Grapheme> out;
    utf8proc_int32_t state = 0;
    utf8proc_int32_t prev = -1;
    bool emojiPresentation = false;
    auto finish = [&] {
        if (!out.empty() && emojiPresentation) out.back().width = 2;
        emojiPresentation = false;
    };
    forEachCodepoint(text, [&](utf8proc_int32_t cp) {
        if (isControl(cp)) cp = 0xFFFD;
        if (prev < 0 || utf8proc_grapheme_break_stateful(prev, cp, &state)) {
            finish();
            out.push_back({});
            // The cluster is as wide as its base character.
            out.back().width = std::max(0, utf8proc_charwidth(cp));
        } else if (out.back().width == 0) {
            out.back().width = std::max(0, utf8proc_charwidth(cp));
        }
        if (cp == 0xFE0F) emojiPresentation = true;
        text::appendScalar(out.back().bytes, static_cast<char32_t>(cp));
        prev = cp;
    });
    finish();
    return out;
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

int displayWidth(std::string_view text) {
    int width = 0;
    for (const auto& g : graphemes(text)) width += g.width;
    return width;
}

std::string cutToWidth(std::string_view text, int columns) {
    if (columns <= 0) return {};
    const auto parts = graphemes(text);
    int width = 0;
    for (const auto& g : parts) width += g.width;
    std::string out;
    if (width <= columns) {
        for (const auto& g : parts) out += g.bytes;
        return out;
    }
    int used = 0;
    for (const auto& g : parts) {
        if (used + g.width > columns - 1) break;
        out += g.bytes;
        used += g.width;
    }
    return out + "\u2026";
}

int runPrintMenu(Seam& seam, std::ostream& out) {
    const StoredView view = readStored(seam);
    const BatteryReading battery = seam.battery.read();
    const Units units(view.metric, Battery::capacityMJ(battery), Battery::snapshot(battery).state,
                      view.lang);
    out << menuText(buildMenu(view.history, units, view.bundles, view.now));
    out.flush();
    return out ? 0 : 1;
}

}  // namespace sapwell
