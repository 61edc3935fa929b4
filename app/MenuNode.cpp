#include "MenuNode.hpp"

namespace sapwell {

std::vector<MenuNode> menuNodes(const MenuEntries& entries) {
    std::vector<MenuNode> nodes;
    bool opens = false;  // the last node may open a submenu
    for (const MenuEntry& e : entries) {
        if (e.nested && opens) {
            nodes.back().children.push_back(&e);
        } else {
            nodes.push_back({&e, {}});
            opens = !e.nested && e.kind != MenuEntry::Kind::separator;
        }
    }
    return nodes;
}

}  // namespace sapwell
