// The chart module's entry point: the chart window's own process, run by the program when the
// tray starts it (ChartModule.hpp), on GTK's main loop and the socket to the tray.

#include <gtk/gtk.h>

#include <type_traits>

#include "ChartModule.hpp"
#include "ChartWindow.hpp"
#include "FrameChannel.hpp"

namespace sapwell {

namespace {

int runChart(int fd, double releaseAfterS, bool reportDraw) {
    // As the tray does: GDK would set up OpenGL, which the window does not draw with itself.
    const bool glChosen = g_getenv("GDK_GL") != nullptr;
    if (!glChosen) g_setenv("GDK_GL", "disable", TRUE);
    const bool opened = gtk_init_check(nullptr, nullptr);
    if (!glChosen) g_unsetenv("GDK_GL");
    if (!opened) return 1;

    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    const auto quit = [loop] { g_main_loop_quit(loop); };
    {
        ChartWindow* window = nullptr;
        // The tray gone, there is no one to show the window for: it never outlives the tray.
        FrameChannel tray(
            fd,
            [&window](ChartFrame frame) {
                switch (frame.kind) {
                case ChartFrame::page: window->load(frame.body); break;
                case ChartFrame::show: window->show(frame.body); break;
                case ChartFrame::hide: window->hide(); break;
                case ChartFrame::place:
                    if (const auto place = parsePlace(frame.body)) window->place(*place);
                    break;
                default: break;
                }
            },
            quit);
        ChartWindow chart(
            {[&tray](const std::string& message) { tray.send(ChartFrame::message, message); },
             [&tray](const WindowPlace& place) { tray.send(ChartFrame::place, placeText(place)); },
             quit},
            reportDraw, releaseAfterS);
        window = &chart;
        g_main_loop_run(loop);
        // What the window last said (where it was left) reaches the tray before the end.
        tray.flush();
    }
    g_main_loop_unref(loop);
    return 0;
}

}  // namespace

}  // namespace sapwell

extern "C" __attribute__((visibility("default"))) int sapwell_chart_run(
    int fd, double releaseAfterS, bool reportDraw) noexcept {
    try {
        return sapwell::runChart(fd, releaseAfterS, reportDraw);
    } catch (...) {
        return 1;
    }
}
static_assert(std::is_same_v<decltype(sapwell_chart_run), sapwell::ChartEntry>);
