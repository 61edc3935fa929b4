#include "TerminalSafe.hpp"

#include "Text.hpp"

namespace sapwell {

namespace {

constexpr std::string_view replacement = "\uFFFD";

bool isControl(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp < 0xA0);
}

}  // namespace

std::string terminalSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    // Invalid bytes arrive as U+FFFD.
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t cp = text::nextScalar(text, pos);
        if (isControl(cp)) {
            out += replacement;
        } else {
            text::appendScalar(out, cp);
        }
    }
    return out;
}

}  // namespace sapwell
