#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <optional>
#include <string>

#include "ChartFrame.hpp"

namespace sapwell {

// The one chart window: a web view with the page's message channel "sapwell". Closing hides
// it; it is shown again with its size and place as the user left them. It lives in a process of
// its own, which the chart module runs (ChartModule.hpp), and which ends once the window has
// been hidden `releaseAfterS`: `released` then runs.
//
// The window shows at once in the theme's background colour, a plain cover over the view until
// the page has loaded, so it never flashes white while WebKit starts.
class ChartWindow final {
public:
    struct Events {
        std::function<void(const std::string& message)> message;  // from the page
        std::function<void(const WindowPlace&)> hidden;           // where it was left
        std::function<void()> released;
    };
    // `reportDraw` (for measurements): also announce on standard error when a loaded page has
    // finished its first drawing.
    ChartWindow(Events events, bool reportDraw, double releaseAfterS);
    ~ChartWindow();
    ChartWindow(const ChartWindow&) = delete;
    ChartWindow& operator=(const ChartWindow&) = delete;

    // Where the next showing puts the window, as an earlier one was left.
    void place(const WindowPlace& place);
    void load(const std::string& html);
    void show(const std::string& title);
    void hide();

private:
    void build();
    void cover(bool covered);
    void cancelRelease();

    static void onMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self);
    static void onDrawn(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer);
    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
    static void onProcessGone(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self);
    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer);
    static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction*, gpointer);
    static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean onKey(GtkWidget*, GdkEventKey* event, gpointer self);
    static gboolean onDrawCover(GtkWidget*, cairo_t* cr, gpointer self);
    static gboolean onReleaseDue(gpointer self);

    Events events_;
    bool reportDraw_;
    guint releaseAfterMs_;
    GtkWidget* window_;
    GtkWidget* overlay_;
    GtkWidget* cover_;
    GdkRGBA background_;
    // Made by the first load.
    WebKitWebContext* context_ = nullptr;
    WebKitUserContentManager* content_ = nullptr;
    WebKitWebView* view_ = nullptr;
    guint releaseTimer_ = 0;
    std::optional<WindowPlace> place_;  // where the user left it before hiding
};

// The text of a script message; absent for anything else, which the page never sends.
std::optional<std::string> messageText(JSCValue* value);

}  // namespace sapwell
