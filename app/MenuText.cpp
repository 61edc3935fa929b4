#include "MenuText.hpp"

#include "TerminalSafe.hpp"

namespace sapwell {

std::string menuText(const MenuEntries& entries) {
    std::string out;
    for (const auto& e : entries) {
        if (e.kind == MenuEntry::Kind::command) continue;
        if (e.kind != MenuEntry::Kind::separator) {
            if (e.nested) out += submenuIndent;
            out += terminalSafe(e.text);
        }
        out += '\n';
    }
    return out;
}

}  // namespace sapwell
