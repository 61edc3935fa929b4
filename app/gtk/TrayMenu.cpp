#include "TrayMenu.hpp"

#include <memory>
#include <utility>

namespace sapwell {

namespace {

std::string escaped(const std::string& text) {
    const std::unique_ptr<gchar, decltype(&g_free)> e(g_markup_escape_text(text.c_str(), -1),
                                                      g_free);
    return e.get();
}

bool isSeparator(const MenuEntry& e) { return e.kind == MenuEntry::Kind::separator; }

GtkLabel* labelOf(GtkWidget* item) {
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(item));
    return child && GTK_IS_LABEL(child) ? GTK_LABEL(child) : nullptr;
}

}  // namespace

std::string entryMarkup(const MenuEntry& entry) {
    const std::string text = escaped(entry.text);
    switch (entry.style) {
    case MenuEntry::Style::header: return "<b>" + text + "</b>";
    case MenuEntry::Style::note: return "<span size=\"smaller\" alpha=\"65%\">" + text + "</span>";
    case MenuEntry::Style::dimRow: return "<span alpha=\"65%\">" + text + "</span>";
    case MenuEntry::Style::row:
    case MenuEntry::Style::standard: break;
    }
    return text;
}

TrayMenu::TrayMenu(Choose choose)
    : choose_(std::move(choose)),
      menu_(GTK_MENU(g_object_ref_sink(gtk_menu_new()))),
      accel_(gtk_accel_group_new()) {
    gtk_menu_set_accel_group(menu_, accel_);
}

TrayMenu::~TrayMenu() {
    gtk_widget_destroy(GTK_WIDGET(menu_));
    g_object_unref(menu_);
    g_object_unref(accel_);
}

void TrayMenu::present(const MenuEntries& entries) {
    present(GTK_MENU_SHELL(menu_), items_, menuNodes(entries));
}

void TrayMenu::present(GtkMenuShell* shell, std::vector<Item>& items,
                       const std::vector<MenuNode>& nodes) {
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const MenuEntry& e = *nodes[i].entry;
        if (i < items.size() && isSeparator(items[i].entry) == isSeparator(e)) {
            update(items[i], e);
        } else {
            Item item{makeItem(e), e, nullptr, {}};
            if (i < items.size()) {
                gtk_widget_destroy(items[i].widget);  // with its submenu
                items[i] = std::move(item);
            } else {
                items.push_back(std::move(item));
            }
            gtk_menu_shell_insert(shell, items[i].widget, static_cast<gint>(i));
            gtk_widget_show(items[i].widget);
        }
        Item& item = items[i];
        const auto& children = nodes[i].children;
        if (children.empty() || isSeparator(e)) {
            if (item.submenu) gtk_widget_destroy(item.submenu);  // detaches it from the item
            item.submenu = nullptr;
            item.children.clear();
            continue;
        }
        if (!item.submenu) {
            item.submenu = gtk_menu_new();
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(item.widget), item.submenu);
        }
        std::vector<MenuNode> inner;
        for (const MenuEntry* child : children) inner.push_back({child, {}});
        present(GTK_MENU_SHELL(item.submenu), item.children, inner);
    }
    while (items.size() > nodes.size()) {
        gtk_widget_destroy(items.back().widget);
        items.pop_back();
    }
}

GtkWidget* TrayMenu::makeItem(const MenuEntry& entry) {
    if (isSeparator(entry)) return gtk_separator_menu_item_new();
    // An accel label shows the key of "Open Chart…" and "Quit" beside their text.
    GtkWidget* item = gtk_menu_item_new();
    GtkWidget* label = gtk_accel_label_new("");
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_use_underline(GTK_LABEL(label), FALSE);
    gtk_container_add(GTK_CONTAINER(item), label);
    gtk_accel_label_set_accel_widget(GTK_ACCEL_LABEL(label), item);
    gtk_widget_show(label);
    g_signal_connect(item, "activate", G_CALLBACK(onActivate), this);
    Item fresh{item, MenuEntry{}, nullptr, {}};
    fresh.entry.kind = MenuEntry::Kind::note;  // differs from any real entry: everything is set
    update(fresh, entry);
    return item;
}

void TrayMenu::update(Item& item, const MenuEntry& entry) {
    if (isSeparator(entry)) {
        item.entry = entry;
        return;
    }
    GtkWidget* w = item.widget;
    if (item.entry.text != entry.text || item.entry.style != entry.style) {
        if (GtkLabel* label = labelOf(w)) gtk_label_set_markup(label, entryMarkup(entry).c_str());
    }
    if (item.entry.tooltip != entry.tooltip) {
        gtk_widget_set_tooltip_text(w, entry.tooltip.empty() ? nullptr : entry.tooltip.c_str());
    }
    if (item.entry.keyEquivalent != entry.keyEquivalent) {
        if (item.entry.keyEquivalent.size() == 1) {
            gtk_widget_remove_accelerator(w, accel_, gdk_unicode_to_keyval(
                                                         static_cast<guchar>(item.entry.keyEquivalent[0])),
                                          GDK_CONTROL_MASK);
        }
        if (entry.keyEquivalent.size() == 1) {
            gtk_widget_add_accelerator(
                w, "activate", accel_,
                gdk_unicode_to_keyval(static_cast<guchar>(entry.keyEquivalent[0])),
                GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
        }
    }
    item.entry = entry;
}

const TrayMenu::Item* TrayMenu::find(const std::vector<Item>& items,
                                     const GtkWidget* widget) const {
    for (const Item& item : items) {
        if (item.widget == widget) return &item;
        if (const Item* inner = find(item.children, widget)) return inner;
    }
    return nullptr;
}

void TrayMenu::onActivate(GtkMenuItem* widget, gpointer self) {
    auto* menu = static_cast<TrayMenu*>(self);
    const Item* item = menu->find(menu->items_, GTK_WIDGET(widget));
    if (!item) return;
    // A copy: the action may present a new menu and replace this item's entry.
    const MenuEntry entry = item->entry;
    menu->choose_(entry);
}

}  // namespace sapwell
