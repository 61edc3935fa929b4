#include "ChartWindow.hpp"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

namespace sapwell {

namespace {

constexpr int width = 1000;
constexpr int height = 680;
constexpr const char* channel = "sapwell";
constexpr const char* drawnChannel = "sapwellDrawn";
// The page draws once at the end of its script, before the end of the document.
constexpr const char* drawnScript =
    "window.webkit.messageHandlers.sapwellDrawn.postMessage(Date.now());";

// load_html without a base URI shows the page at this address.
constexpr std::string_view pageUri = "about:blank";

}  // namespace

std::optional<std::string> messageText(JSCValue* value) {
    if (value == nullptr || !jsc_value_is_string(value)) return std::nullopt;
    const std::unique_ptr<char, decltype(&g_free)> s(jsc_value_to_string(value), g_free);
    return std::string(s ? s.get() : "");
}

ChartWindow::ChartWindow(Events events, bool reportDraw, double releaseAfterS)
    : events_(std::move(events)),
      reportDraw_(reportDraw),
      releaseAfterMs_(static_cast<guint>(std::clamp(releaseAfterS, 0.05, 86400.0) * 1000)),
      window_(gtk_window_new(GTK_WINDOW_TOPLEVEL)),
      overlay_(gtk_overlay_new()),
      cover_(gtk_drawing_area_new()) {
    gtk_window_set_default_size(GTK_WINDOW(window_), width, height);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
    // Connected to the window, this runs before the window hands the key to the page.
    g_signal_connect(window_, "key-press-event", G_CALLBACK(onKey), this);

    // The theme's own background, so neither the view nor the cover shows white in a dark theme.
    GtkSettings* settings = gtk_settings_get_default();
    gboolean preferDark = FALSE;
    if (settings != nullptr) {
        g_object_get(settings, "gtk-application-prefer-dark-theme", &preferDark, nullptr);
    }
    if (!gtk_style_context_lookup_color(gtk_widget_get_style_context(window_), "theme_bg_color",
                                        &background_)) {
        gdk_rgba_parse(&background_, preferDark ? "#1c1c1e" : "#f5f5f7");
    }
    background_.alpha = 1;

    // The view lies under the cover, laid out at the window's size, until its page has loaded.
    g_signal_connect(cover_, "draw", G_CALLBACK(onDrawCover), this);
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay_), cover_);
    gtk_container_add(GTK_CONTAINER(window_), overlay_);
    gtk_widget_show(overlay_);
}

ChartWindow::~ChartWindow() {
    cancelRelease();
    gtk_widget_destroy(window_);  // the view with it, and so its web process
    if (content_ != nullptr) g_object_unref(content_);
    if (context_ != nullptr) g_object_unref(context_);  // and the network process
}

void ChartWindow::build() {
    // Nothing of the page is stored.
    context_ = webkit_web_context_new_ephemeral();
    content_ = webkit_user_content_manager_new();
    webkit_user_content_manager_register_script_message_handler(content_, channel);
    g_signal_connect(content_, "script-message-received::sapwell", G_CALLBACK(onMessage), this);
    if (reportDraw_) {
        webkit_user_content_manager_register_script_message_handler(content_, drawnChannel);
        g_signal_connect(content_, "script-message-received::sapwellDrawn", G_CALLBACK(onDrawn),
                         nullptr);
        WebKitUserScript* script = webkit_user_script_new(
            drawnScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END,
            nullptr, nullptr);
        webkit_user_content_manager_add_script(content_, script);
        webkit_user_script_unref(script);
    }

    view_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context_,
                                         "user-content-manager", content_, nullptr));
    webkit_web_view_set_background_color(view_, &background_);
    WebKitSettings* settings = webkit_web_view_get_settings(view_);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    g_signal_connect(view_, "decide-policy", G_CALLBACK(onDecidePolicy), nullptr);
    g_signal_connect(view_, "create", G_CALLBACK(onCreate), nullptr);
    g_signal_connect(view_, "load-changed", G_CALLBACK(onLoadChanged), this);
    g_signal_connect(view_, "web-process-terminated", G_CALLBACK(onProcessGone), this);
    gtk_container_add(GTK_CONTAINER(overlay_), GTK_WIDGET(view_));
    gtk_widget_show(GTK_WIDGET(view_));
}

void ChartWindow::cover(bool covered) { gtk_widget_set_visible(cover_, covered); }

void ChartWindow::cancelRelease() {
    if (releaseTimer_ != 0) g_source_remove(releaseTimer_);
    releaseTimer_ = 0;
}

void ChartWindow::load(const std::string& html) {
    if (view_ == nullptr) build();
    cover(true);
    webkit_web_view_load_html(view_, html.c_str(), nullptr);
}

void ChartWindow::place(const WindowPlace& place) {
    place_ = place;
    gtk_window_set_default_size(GTK_WINDOW(window_), place.width, place.height);
}

void ChartWindow::show(const std::string& title) {
    cancelRelease();
    gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
    if (!gtk_widget_get_visible(window_) && place_) {
        gtk_window_move(GTK_WINDOW(window_), place_->x, place_->y);
    }
    gtk_window_present(GTK_WINDOW(window_));
}

void ChartWindow::hide() {
    if (!gtk_widget_get_visible(window_)) return;
    WindowPlace place;
    gtk_window_get_position(GTK_WINDOW(window_), &place.x, &place.y);
    gtk_window_get_size(GTK_WINDOW(window_), &place.width, &place.height);
    place_ = place;
    gtk_widget_hide(window_);
    cancelRelease();
    releaseTimer_ = g_timeout_add(releaseAfterMs_, onReleaseDue, this);
    if (events_.hidden) events_.hidden(place);
}

gboolean ChartWindow::onReleaseDue(gpointer self) {
    auto* window = static_cast<ChartWindow*>(self);
    window->releaseTimer_ = 0;
    if (window->events_.released) window->events_.released();
    return G_SOURCE_REMOVE;
}

void ChartWindow::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
    // A failed load finishes too, so the cover never stays.
    if (event == WEBKIT_LOAD_FINISHED) static_cast<ChartWindow*>(self)->cover(false);
}

void ChartWindow::onProcessGone(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self) {
    static_cast<ChartWindow*>(self)->cover(false);
}

gboolean ChartWindow::onDrawCover(GtkWidget*, cairo_t* cr, gpointer self) {
    gdk_cairo_set_source_rgba(cr, &static_cast<ChartWindow*>(self)->background_);
    cairo_paint(cr);
    return TRUE;
}

void ChartWindow::onMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                            gpointer self) {
    if (auto text = messageText(webkit_javascript_result_get_js_value(result)))
        static_cast<ChartWindow*>(self)->events_.message(*text);
}

void ChartWindow::onDrawn(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer) {
    const double ms = jsc_value_to_double(webkit_javascript_result_get_js_value(result));
    std::fprintf(stderr, "sapwell: chart drawn at %.0f\n", ms);
}

gboolean ChartWindow::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                     WebKitPolicyDecisionType type, gpointer) {
    switch (type) {
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION: {
        // Only the page itself, as loaded from its text; no link or script leads elsewhere.
        WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
            WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
        if (uri != nullptr && std::string_view(uri) == pageUri &&
            webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_OTHER) {
            webkit_policy_decision_use(decision);
        } else {
            webkit_policy_decision_ignore(decision);
        }
        return TRUE;
    }
    case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION: webkit_policy_decision_ignore(decision); return TRUE;
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE: break;
    }
    return FALSE;
}

GtkWidget* ChartWindow::onCreate(WebKitWebView*, WebKitNavigationAction*, gpointer) {
    return nullptr;  // never a new window
}

gboolean ChartWindow::onDelete(GtkWidget*, GdkEvent*, gpointer self) {
    static_cast<ChartWindow*>(self)->hide();
    return TRUE;  // kept for the next opening
}

gboolean ChartWindow::onKey(GtkWidget*, GdkEventKey* event, gpointer self) {
    const auto mods = event->state & gtk_accelerator_get_default_mod_mask();
    if (mods == GDK_CONTROL_MASK && (event->keyval == GDK_KEY_w || event->keyval == GDK_KEY_W)) {
        static_cast<ChartWindow*>(self)->hide();
        return TRUE;
    }
    return FALSE;
}

}  // namespace sapwell
