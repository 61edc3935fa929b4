#pragma once

#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

#include <memory>
#include <string>

#include "ChartModule.hpp"
#include "FigureIcon.hpp"
#include "Seam.hpp"
#include "Shell.hpp"
#include "TrayMenu.hpp"

namespace sapwell {

class AppController;

// The desktop front end on the GLib main loop: a StatusNotifier indicator whose label is the
// status figure, its exported menu, the chart window, and the file manager over D-Bus.
class GtkShell final : public Shell {
public:
    // `iconFolder` holds "sapwell.svg" (may be empty: the indicator then shows its label only).
    GtkShell(const Environment& env, std::string iconFolder);
    ~GtkShell() override;

    // Menu choices, page messages and the host's menu events go to this controller from now on.
    void attach(AppController& controller);

    // Shell
    void setStatusText(const std::string& text) override;
    void setTooltip(const std::string& text) override;
    void presentMenu(const MenuEntries& entries) override { menu_.present(entries); }
    // A host draws the exported menu whenever it likes and cannot be relied on to say so: the
    // menu is kept current at every tick.
    bool menuAlwaysShown() const override { return true; }
    TimerId scheduleRepeating(double intervalS, double toleranceS,
                              std::function<void()> action) override;
    void cancelTimer(TimerId id) override;
    void loadChart(const std::string& html) override;
    void showChart(const std::string& title) override;
    void hideChart() override;
    void reveal(const std::string& path) override;
    void quit() override;

    void run();
    std::string iconPath() const;

private:
    void showFigureIcon(const std::string& text);
    static gboolean onAboutToShow(GObject*, gpointer self);
    static gboolean onEvent(GObject*, const char* name, GVariant*, guint, gpointer self);

    const Environment& env_;
    std::string iconFolder_;
    AppController* controller_ = nullptr;
    TrayMenu menu_;
    AppIndicator* indicator_;
    std::string label_;
    std::string guide_;
    // Where the panel shows no label (KDE), the figure is drawn as the icon.
    std::unique_ptr<FigureIcon> figureIcon_;
    bool figureShown_ = false;
    std::unique_ptr<ChartView> chart_;
    bool chartUnavailable_ = false;
    GMainLoop* loop_;
};

}  // namespace sapwell
