#include "TrayMenu.hpp"

#include <memory>
#include <utility>

namespace sapwell {

namespace {

constexpr const char* indexKey = "sapwell-index";

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
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const MenuEntry& e = entries[i];
        if (i < items_.size() && isSeparator(items_[i].entry) == isSeparator(e)) {
            update(items_[i], e);
            continue;
        }
        Item item{makeItem(e, i), e};
        if (i < items_.size()) {
            gtk_widget_destroy(items_[i].widget);
            items_[i] = item;
        } else {
            items_.push_back(item);
        }
        gtk_menu_shell_insert(GTK_MENU_SHELL(menu_), item.widget, static_cast<gint>(i));
        gtk_widget_show(item.widget);
    }
    while (items_.size() > entries.size()) {
        gtk_widget_destroy(items_.back().widget);
        items_.pop_back();
    }
}

GtkWidget* TrayMenu::makeItem(const MenuEntry& entry, std::size_t index) {
    if (isSeparator(entry)) return gtk_separator_menu_item_new();
    // An accel label shows the key of "Open Chart…" and "Quit" beside their text.
    GtkWidget* item = gtk_menu_item_new();
    GtkWidget* label = gtk_accel_label_new("");
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_use_underline(GTK_LABEL(label), FALSE);
    gtk_container_add(GTK_CONTAINER(item), label);
    gtk_accel_label_set_accel_widget(GTK_ACCEL_LABEL(label), item);
    gtk_widget_show(label);
    g_object_set_data(G_OBJECT(item), indexKey, GSIZE_TO_POINTER(index));
    g_signal_connect(item, "activate", G_CALLBACK(onActivate), this);
    Item fresh{item, MenuEntry{}};
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

void TrayMenu::onActivate(GtkMenuItem* widget, gpointer self) {
    auto* menu = static_cast<TrayMenu*>(self);
    const auto index = GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(widget), indexKey));
    if (index >= menu->items_.size() || menu->items_[index].widget != GTK_WIDGET(widget)) return;
    // A copy: the action may present a new menu and replace this item's entry.
    const MenuEntry entry = menu->items_[index].entry;
    menu->choose_(entry);
}

}  // namespace sapwell
