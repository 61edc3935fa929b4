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
class ChartWindow final : public ChartView {
public:
    // `reportDraw` (for measurements): also announce on standard error when a loaded page has
    // finished its first drawing.
    ChartWindow(Receive receive, bool reportDraw);
    ~ChartWindow() override;
    ChartWindow(const ChartWindow&) = delete;
    ChartWindow& operator=(const ChartWindow&) = delete;

    void load(const std::string& html) override;
    void show(const std::string& title) override;
    void hide() override;

private:
    static void onMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self);
    static void onDrawn(WebKitUserContentManager*, WebKitJavascriptResult*, gpointer);
    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer);
    static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction*, gpointer);
    static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean onKey(GtkWidget*, GdkEventKey* event, gpointer self);

    Receive receive_;
    GtkWidget* window_;
    WebKitUserContentManager* content_;
    WebKitWebView* view_;
    std::optional<std::pair<int, int>> place_;  // where the user left it before hiding
};

// The text of a script message; absent for anything else, which the page never sends.
std::optional<std::string> messageText(JSCValue* value);

}  // namespace sapwell
