#include "TerminalSafe.hpp"

#include "Text.hpp"

namespace sapwell {

namespace {

constexpr std::string_view replacement = "\uFFFD";

}  // namespace

std::string terminalSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    // Invalid bytes arrive as U+FFFD.
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t cp = text::nextScalar(text, pos);
        if (text::isIsolate(cp)) continue;
        if (text::isControl(cp) || text::isBidiControl(cp)) {
            out += replacement;
        } else {
            text::appendScalar(out, cp);
        }
    }
    return out;
}

}  // namespace sapwell
