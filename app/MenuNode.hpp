#pragma once

#include <vector>

#include "MenuEntry.hpp"

namespace sapwell {

// An entry of the top level with the nested entries that make up its submenu.
struct MenuNode {
    const MenuEntry* entry;
    std::vector<const MenuEntry*> children;
};

// The entries as a shell with submenus shows them; the nodes point into `entries`. Nested entries
// whose nearest entry that is not nested is a separator, or who have none, stay in the top level
// where they are rather than being lost.
std::vector<MenuNode> menuNodes(const MenuEntries& entries);

}  // namespace sapwell
