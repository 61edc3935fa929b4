// The tray module: the application as a tray indicator with its menu and the chart window. Built
// into sapwell-tray.so; the program reaches it through its one entry point (TrayModule.hpp).

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <pthread.h>
#include <signal.h>

#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <type_traits>

#include "AppController.hpp"
#include "DesktopBus.hpp"
#include "GtkShell.hpp"
#include "ProgramFile.hpp"
#include "ShellLoop.hpp"
#include "TrayModule.hpp"

namespace sapwell {

namespace {

constexpr guint noHostCheckS = 5;

// The icon beside the program: installed under <prefix>/share/icons, or copied next to the
// program in the build tree.
std::string findIconFolder() {
    const auto exe = platform::programFile();
    if (!exe) return {};
    const auto dir = exe->parent_path();
    std::error_code ec;
    for (const auto& folder : {dir / "../share/icons/hicolor/scalable/apps", dir / "icons"}) {
        if (std::filesystem::exists(folder / "sapwell.svg", ec)) {
            return std::filesystem::weakly_canonical(folder, ec).string();
        }
    }
    return {};
}

struct NoHostCheck {
    GtkShell* shell;
    Lang lang;
    guint source = 0;
};

gboolean onNoHostCheck(gpointer data) {
    auto* check = static_cast<NoHostCheck*>(data);
    check->source = 0;
    DesktopBus::noticeIfNoTrayHost(check->lang, check->shell->iconPath());
    return G_SOURCE_REMOVE;
}

class TrayLoop final : public ShellLoop {
public:
    explicit TrayLoop(const Environment& env) : env_(env) {}

    std::unique_ptr<Shell> openShell() override {
        auto shell = std::make_unique<GtkShell>(env_, findIconFolder());
        shell_ = shell.get();
        return shell;
    }

    void run(AppController& controller) override {
        shell_->attach(controller);
        controller_ = &controller;
        controller.launch();
        // A second start opens the chart here instead of showing nothing.
        const AppBusName name([&controller] { controller.openChart(); });

        // Some desktops show no indicators at all; say once how to see the figures there.
        NoHostCheck check{shell_, controller.units().lang};
        check.source = g_timeout_add_seconds(noHostCheckS, onNoHostCheck, &check);

        shell_->run();
        if (check.source != 0) g_source_remove(check.source);
        // Replies still queued (the host's "Quit" click itself) go out before the process does.
        if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
            g_dbus_connection_flush_sync(bus, nullptr, nullptr);
            g_object_unref(bus);
        }
    }

    void close() override { controller_ = nullptr; }

    // Started again from the desktop's menu: the running instance shows its chart, so the
    // user sees an answer (with no tray host, the only one there is).
    int alreadyRunning(std::ostream&) override {
        return DesktopBus::openChartInRunningInstance() ? 0 : 1;
    }

    // A stop request: the run's controller ends the loop, if there is one yet.
    static gboolean onStopSignal(gpointer self) {
        if (auto* controller = static_cast<TrayLoop*>(self)->controller_) controller->quit();
        return G_SOURCE_CONTINUE;
    }

private:
    const Environment& env_;
    GtkShell* shell_ = nullptr;
    AppController* controller_ = nullptr;
};

// The application as a tray indicator: runApp with the GTK shell on GLib's main loop, which also
// takes the stop signals. Absent (having said so in one line on `err`) when the display cannot be
// opened, before anything else was done.
std::optional<int> runTrayApp(Seam& seam, const std::string& appPath, std::ostream& err) {
    // Blocked while GTK starts: helper threads it may start inherit the mask, so a stop
    // request never lands on one of them with its default action. Should the terminal view
    // take over, it reads them from its own descriptor; otherwise GLib's handler gets them.
    sigset_t stops;
    sigemptyset(&stops);
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&stops, signo);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    // GDK would otherwise set up OpenGL at start (loading the driver stack, about 50 MB on a
    // software renderer) for a tray item that draws nothing itself. Unset again at once, so
    // programs started from here do not inherit it.
    const bool glChosen = seam.env.get("GDK_GL").has_value();
    if (!glChosen) g_setenv("GDK_GL", "disable", TRUE);
    const bool opened = gtk_init_check(nullptr, nullptr);
    if (!glChosen) g_unsetenv("GDK_GL");
    if (!opened) {
        err << "Sapwell: cannot open the display; running the terminal view.\n";
        return std::nullopt;
    }
    // Taken before the lock and the history: a stop request during start-up then waits for the
    // loop and ends the run cleanly instead of killing the process half-way.
    TrayLoop tray(seam.env);
    guint signalSources[3] = {};
    int n = 0;
    for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
        signalSources[n++] = g_unix_signal_add(signo, TrayLoop::onStopSignal, &tray);
    }
    pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
    // A reader that goes away must not kill the process before the last flush.
    signal(SIGPIPE, SIG_IGN);

    const int status = runApp(seam, appPath, err, tray);
    for (guint id : signalSources) g_source_remove(id);
    return status;
}

}  // namespace

}  // namespace sapwell

extern "C" __attribute__((visibility("default"))) int sapwell_tray_run(
    sapwell::Seam& seam, const char* appPath, std::ostream& err) noexcept {
    try {
        const auto status = sapwell::runTrayApp(seam, appPath, err);
        return status ? *status : sapwell::trayNotStarted;
    } catch (const std::exception& e) {
        err << "Sapwell: the tray shell failed: " << e.what() << "\n";
    } catch (...) {
        err << "Sapwell: the tray shell failed.\n";
    }
    return 1;
}
static_assert(std::is_same_v<decltype(sapwell_tray_run), sapwell::TrayEntry>);
