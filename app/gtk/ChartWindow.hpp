#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <optional>
#include <string>

#include "ChartModule.hpp"
#include "Shell.hpp"

namespace sapwell {

// The one chart window: a web view with the page's message channel "sapwell". Closing hides
// it; it is shown again with its size and place as the user left them. Built as a module of its
// own (ChartModule.hpp), so WebKit is loaded only once the chart is first opened.
//
// The window shows at once in the theme's background colour, a plain cover over the view until
// the page has loaded, so it never flashes white while WebKit starts. Hidden for
// `releaseAfterS`, it lets go of its web view, and with it WebKit's web and network processes
// (a few hundred megabytes); the next opening builds them anew in the same window.
class ChartWindow final : public ChartView {
public:
    // `reportDraw` (for measurements): also announce on standard error when a loaded page has
    // finished its first drawing.
    ChartWindow(Receive receive, bool reportDraw, double releaseAfterS, Released released);
    ~ChartWindow() override;
    ChartWindow(const ChartWindow&) = delete;
    ChartWindow& operator=(const ChartWindow&) = delete;

    void load(const std::string& html) override;
    void show(const std::string& title) override;
    void hide() override;

private:
    void build();
    void release();
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

    Receive receive_;
    Released released_;
    bool reportDraw_;
    guint releaseAfterMs_;
    GtkWidget* window_;
    GtkWidget* overlay_;
    GtkWidget* cover_;
    GdkRGBA background_;
    // Absent while released: made again by the next load.
    WebKitWebContext* context_ = nullptr;
    WebKitUserContentManager* content_ = nullptr;
    WebKitWebView* view_ = nullptr;
    guint releaseTimer_ = 0;
    std::optional<std::pair<int, int>> place_;  // where the user left it before hiding
};

// The text of a script message; absent for anything else, which the page never sends.
std::optional<std::string> messageText(JSCValue* value);

}  // namespace sapwell
