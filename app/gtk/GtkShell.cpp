#include "GtkShell.hpp"

#include <libdbusmenu-glib/menuitem.h>
#include <libdbusmenu-glib/server.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "AppController.hpp"
#include "ChartDump.hpp"
#include "DesktopBus.hpp"

namespace sapwell {

namespace {

constexpr const char* indicatorId = "sapwell";
constexpr const char* iconName = "sapwell";

struct TimerAction {
    std::function<void()> action;
};

gboolean fireTimer(gpointer data) {
    static_cast<TimerAction*>(data)->action();
    return G_SOURCE_CONTINUE;
}

void dropTimer(gpointer data) { delete static_cast<TimerAction*>(data); }

// The panel's darkness in a KDE session: KDE's own colour settings, else GTK's dark preference
// or a dark theme's name; light when nothing says.
bool panelIsDark() {
    const std::unique_ptr<gchar, decltype(&g_free)> file(
        g_build_filename(g_get_user_config_dir(), "kdeglobals", nullptr), g_free);
    gchar* text = nullptr;
    gsize length = 0;
    if (g_file_get_contents(file.get(), &text, &length, nullptr)) {
        const auto dark = kdeWindowIsDark(std::string_view(text, length));
        g_free(text);
        if (dark) return *dark;
    }
    GtkSettings* settings = gtk_settings_get_default();
    if (settings == nullptr) return false;
    gboolean preferDark = FALSE;
    gchar* theme = nullptr;
    g_object_get(settings, "gtk-application-prefer-dark-theme", &preferDark, "gtk-theme-name",
                 &theme, nullptr);
    const std::unique_ptr<gchar, decltype(&g_free)> lower(
        theme != nullptr ? g_ascii_strdown(theme, -1) : nullptr, g_free);
    g_free(theme);
    const auto gtkTheme = g_getenv("GTK_THEME");
    return preferDark || (lower && std::strstr(lower.get(), "dark") != nullptr) ||
           (gtkTheme != nullptr && std::strstr(gtkTheme, ":dark") != nullptr);
}

// Every digit as the widest one, so the panel keeps room for any figure of that shape.
std::string guideFor(const std::string& text) {
    std::string guide;
    for (char c : text) guide += (c >= '0' && c <= '9') ? '8' : c;
    return guide;
}

}  // namespace

GtkShell::GtkShell(const Environment& env, std::string iconFolder)
    : env_(env),
      iconFolder_(std::move(iconFolder)),
      menu_([this](const MenuEntry& entry) {
          if (controller_) controller_->perform(entry);
      }),
      indicator_(app_indicator_new(indicatorId, iconName,
                                   APP_INDICATOR_CATEGORY_APPLICATION_STATUS)),
      loop_(g_main_loop_new(nullptr, FALSE)) {
    if (!iconFolder_.empty()) app_indicator_set_icon_theme_path(indicator_, iconFolder_.c_str());
    app_indicator_set_title(indicator_, "Sapwell");
    app_indicator_set_menu(indicator_, menu_.menu());
    app_indicator_set_status(indicator_, APP_INDICATOR_STATUS_ACTIVE);
    if (desktopHidesLabels(env_.get("XDG_CURRENT_DESKTOP").value_or(""))) {
        const std::unique_ptr<gchar, decltype(&g_free)> folder(
            g_build_filename(g_get_user_runtime_dir(), "sapwell", "icons", nullptr), g_free);
        figureIcon_ = std::make_unique<FigureIcon>(folder.get(), panelIsDark());
    }

    // The exported menu's root tells when a host is about to show it.
    DbusmenuServer* server = nullptr;
    g_object_get(indicator_, "dbus-menu-server", &server, nullptr);
    if (server != nullptr) {
        DbusmenuMenuitem* root = nullptr;
        g_object_get(server, DBUSMENU_SERVER_PROP_ROOT_NODE, &root, nullptr);
        if (root != nullptr) {
            g_signal_connect(root, DBUSMENU_MENUITEM_SIGNAL_ABOUT_TO_SHOW,
                             G_CALLBACK(onAboutToShow), this);
            g_signal_connect(root, DBUSMENU_MENUITEM_SIGNAL_EVENT, G_CALLBACK(onEvent), this);
            g_object_unref(root);
        }
        g_object_unref(server);
    }
}

GtkShell::~GtkShell() {
    chart_.reset();
    g_object_unref(indicator_);
    g_main_loop_unref(loop_);
}

void GtkShell::attach(AppController& controller) { controller_ = &controller; }

void GtkShell::setStatusText(const std::string& text) {
    // Every change goes out to the tray host over D-Bus; most ticks do not change the figure.
    if (text == label_) return;
    label_ = text;
    const std::string guide = guideFor(text);
    // The reserved width only grows, so the panel does not jiggle as figures change.
    if (g_utf8_strlen(guide.c_str(), -1) > g_utf8_strlen(guide_.c_str(), -1)) guide_ = guide;
    app_indicator_set_label(indicator_, text.c_str(), guide_.c_str());
    if (figureIcon_) showFigureIcon(text);
}

void GtkShell::showFigureIcon(const std::string& text) {
    // Until there is a figure, and should one fail to be drawn, the application's own icon.
    const auto name = (text.empty() || text == "\u2026") ? std::nullopt : figureIcon_->draw(text);
    if (name) {
        if (!figureShown_) {
            app_indicator_set_icon_theme_path(indicator_, figureIcon_->themePath().c_str());
        }
        app_indicator_set_icon_full(indicator_, name->c_str(), text.c_str());
    } else if (figureShown_) {
        app_indicator_set_icon_theme_path(indicator_, iconFolder_.c_str());
        app_indicator_set_icon_full(indicator_, iconName, "Sapwell");
    }
    figureShown_ = name.has_value();
}

void GtkShell::setTooltip(const std::string& text) {
    // The indicator has no tooltip; its title carries the first line.
    app_indicator_set_title(indicator_, text.substr(0, text.find('\n')).c_str());
}

Shell::TimerId GtkShell::scheduleRepeating(double intervalS, double toleranceS,
                                           std::function<void()> action) {
    auto* data = new TimerAction{std::move(action)};
    // Whole seconds with a second or more of slack: GLib may then group the wake-up with
    // others of the same second.
    if (toleranceS >= 1.0 && intervalS >= 1.0 && std::floor(intervalS) == intervalS) {
        return g_timeout_add_seconds_full(G_PRIORITY_DEFAULT, static_cast<guint>(intervalS),
                                          fireTimer, data, dropTimer);
    }
    return g_timeout_add_full(G_PRIORITY_DEFAULT,
                              static_cast<guint>(std::max(1.0, std::round(intervalS * 1000))),
                              fireTimer, data, dropTimer);
}

void GtkShell::cancelTimer(TimerId id) { g_source_remove(static_cast<guint>(id)); }

void GtkShell::loadChart(const std::string& html) {
    if (!chart_ && !chartUnavailable_) {
        chart_ = loadChartView([this](const std::string& message) {
            if (controller_) controller_->receive(message);
        });
        chartUnavailable_ = !chart_;
    }
    if (chart_) {
        chart_->load(html);
        return;
    }
    // Without the chart module, the page still shows in the default browser (without the
    // reveal, which needs the window's message channel).
    std::string error;
    if (const auto page = writeChartPage(html, env_.tempFolder(), error)) {
        const std::unique_ptr<gchar, decltype(&g_free)> uri(
            g_filename_to_uri(page->c_str(), nullptr, nullptr), g_free);
        if (uri) g_app_info_launch_default_for_uri_async(uri.get(), nullptr, nullptr, nullptr,
                                                         nullptr);
    }
}

void GtkShell::showChart(const std::string& title) {
    if (chart_) chart_->show(title);
}

void GtkShell::hideChart() {
    if (chart_) chart_->hide();
}

void GtkShell::reveal(const std::string& path) { DesktopBus::reveal(path); }

void GtkShell::quit() { g_main_loop_quit(loop_); }

void GtkShell::run() { g_main_loop_run(loop_); }

std::string GtkShell::iconPath() const {
    return iconFolder_.empty() ? std::string() : iconFolder_ + "/" + iconName + ".svg";
}

gboolean GtkShell::onAboutToShow(GObject*, gpointer self) {
    auto* shell = static_cast<GtkShell*>(self);
    if (shell->controller_) shell->controller_->menuNeedsUpdate();
    return FALSE;
}

gboolean GtkShell::onEvent(GObject*, const char* name, GVariant*, guint, gpointer self) {
    auto* shell = static_cast<GtkShell*>(self);
    if (shell->controller_ && name != nullptr && std::string_view(name) == "opened") {
        shell->controller_->menuNeedsUpdate();
    }
    return FALSE;  // the item's own handling goes on
}

}  // namespace sapwell
