#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <vector>

#include "MenuEntry.hpp"
#include "MenuNode.hpp"

namespace sapwell {

// The status menu as a GtkMenu for the indicator to export; nested entries go into a submenu of
// the entry before them. A new list of entries updates the existing items where it can (same
// position, same kind, in the top level and in each submenu), so a menu that a host shows open
// changes in place instead of closing.
class TrayMenu {
public:
    using Choose = std::function<void(const MenuEntry&)>;

    explicit TrayMenu(Choose choose);
    ~TrayMenu();
    TrayMenu(const TrayMenu&) = delete;
    TrayMenu& operator=(const TrayMenu&) = delete;

    GtkMenu* menu() const { return menu_; }
    void present(const MenuEntries& entries);

private:
    struct Item {
        GtkWidget* widget = nullptr;
        MenuEntry entry;
        GtkWidget* submenu = nullptr;  // owned by the item's widget
        std::vector<Item> children;    // the items of that submenu
    };
    void present(GtkMenuShell* shell, std::vector<Item>& items,
                 const std::vector<MenuNode>& nodes);
    GtkWidget* makeItem(const MenuEntry& entry);
    void update(Item& item, const MenuEntry& entry);
    const Item* find(const std::vector<Item>& items, const GtkWidget* widget) const;
    static void onActivate(GtkMenuItem* widget, gpointer self);

    Choose choose_;
    GtkMenu* menu_;
    GtkAccelGroup* accel_;
    std::vector<Item> items_;
};

// The label markup of an entry: headers bold, notes and empty-window lines dimmed, the text
// itself escaped. Hosts that draw the exported menu get the plain words.
std::string entryMarkup(const MenuEntry& entry);

}  // namespace sapwell
