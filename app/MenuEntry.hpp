#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sapwell {

// One line of the status menu, independent of how a shell draws it.
struct MenuEntry {
    enum class Kind { separator, header, note, row, emptyWindow, command };
    // How the text is drawn: header = bold label colour; note = small, secondary colour;
    // row = label colour; dimRow = secondary colour at row size; standard = the menu's own.
    enum class Style { standard, header, note, row, dimRow };
    enum class Action { none, revealApp, showChart, quit };

    Kind kind = Kind::separator;
    std::string text;
    Style style = Style::standard;
    Action action = Action::none;
    std::optional<std::string> bundlePath;  // what revealApp shows; set only with that action
    std::string tooltip;
    std::string keyEquivalent;  // with the platform's command modifier
    // In the submenu of the nearest entry before it that is not nested (a window's rows under
    // its header), so a long menu stays short; a shell without submenus shows it in place.
    bool nested = false;

    bool operator==(const MenuEntry&) const = default;
};

using MenuEntries = std::vector<MenuEntry>;

}  // namespace sapwell
