#include "ChartWindow.hpp"

#include <cstdio>
#include <memory>
#include <type_traits>
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

ChartWindow::ChartWindow(Receive receive, bool reportDraw)
    : receive_(std::move(receive)),
      window_(gtk_window_new(GTK_WINDOW_TOPLEVEL)),
      content_(webkit_user_content_manager_new()) {
    gtk_window_set_default_size(GTK_WINDOW(window_), width, height);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
    // Connected to the window, this runs before the window hands the key to the page.
    g_signal_connect(window_, "key-press-event", G_CALLBACK(onKey), this);

    webkit_user_content_manager_register_script_message_handler(content_, channel);
    g_signal_connect(content_, "script-message-received::sapwell", G_CALLBACK(onMessage), this);
    if (reportDraw) {
        webkit_user_content_manager_register_script_message_handler(content_, drawnChannel);
        g_signal_connect(content_, "script-message-received::sapwellDrawn", G_CALLBACK(onDrawn),
                         nullptr);
        WebKitUserScript* script = webkit_user_script_new(
            drawnScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME, WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END,
            nullptr, nullptr);
        webkit_user_content_manager_add_script(content_, script);
        webkit_user_script_unref(script);
    }

    view_ = WEBKIT_WEB_VIEW(webkit_web_view_new_with_user_content_manager(content_));
    WebKitSettings* settings = webkit_web_view_get_settings(view_);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
    webkit_settings_set_enable_developer_extras(settings, FALSE);
    g_signal_connect(view_, "decide-policy", G_CALLBACK(onDecidePolicy), nullptr);
    g_signal_connect(view_, "create", G_CALLBACK(onCreate), nullptr);
    gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(view_));
    gtk_widget_show(GTK_WIDGET(view_));
}

ChartWindow::~ChartWindow() {
    gtk_widget_destroy(window_);
    g_object_unref(content_);
}

void ChartWindow::load(const std::string& html) {
    webkit_web_view_load_html(view_, html.c_str(), nullptr);
}

void ChartWindow::show(const std::string& title) {
    gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
    if (!gtk_widget_get_visible(window_) && place_) {
        gtk_window_move(GTK_WINDOW(window_), place_->first, place_->second);
    }
    gtk_window_present(GTK_WINDOW(window_));
}

void ChartWindow::hide() {
    if (!gtk_widget_get_visible(window_)) return;
    int x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(window_), &x, &y);
    place_ = {x, y};
    gtk_widget_hide(window_);
}

void ChartWindow::onMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                            gpointer self) {
    if (auto text = messageText(webkit_javascript_result_get_js_value(result)))
        static_cast<ChartWindow*>(self)->receive_(*text);
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

extern "C" __attribute__((visibility("default"))) sapwell::ChartView* sapwell_chart_view_new(
    sapwell::ChartView::Receive receive, bool reportDraw) noexcept {
    try {
        return new sapwell::ChartWindow(std::move(receive), reportDraw);
    } catch (...) {
        return nullptr;  // the tray goes on without the chart
    }
}
static_assert(std::is_same_v<decltype(sapwell_chart_view_new), sapwell::ChartEntry>);
