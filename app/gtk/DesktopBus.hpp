#pragma once

#include <gio/gio.h>

#include <functional>
#include <string>

#include "I18n.hpp"

namespace sapwell {

// What the shell asks of the desktop over the session bus. Every call is asynchronous and its
// outcome is not reported: a desktop without these services simply shows less.
namespace DesktopBus {

// Shows the file in the file manager (org.freedesktop.FileManager1.ShowItems); when no file
// manager answers, opens the folder that holds it with the default handler. The file itself is
// never opened.
void reveal(const std::string& path);

// When no StatusNotifier host is registered (or no watcher runs at all), sends one desktop
// notification saying that Sapwell runs and how to see its figures without a tray.
void noticeIfNoTrayHost(Lang lang, const std::string& iconPath);

// Asks the running instance, through its name on the session bus, to open its chart window.
// False when none answers (none runs, or it runs without the tray: the terminal view).
bool openChartInRunningInstance();

}  // namespace DesktopBus

// The running tray on the session bus: the name "io.github.sapwell.Sapwell" with one method,
// OpenChart, which a second start calls instead of showing nothing. Held from construction to
// destruction; a request runs `openChart` on the main loop.
class AppBusName {
public:
    explicit AppBusName(std::function<void()> openChart);
    ~AppBusName();
    AppBusName(const AppBusName&) = delete;
    AppBusName& operator=(const AppBusName&) = delete;

private:
    static void onBusAcquired(GDBusConnection* bus, const gchar*, gpointer self);
    static void onCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                       const gchar* method, GVariant*, GDBusMethodInvocation* invocation,
                       gpointer self);

    std::function<void()> openChart_;
    guint owner_ = 0;
    GDBusConnection* bus_ = nullptr;
    guint object_ = 0;
};

// The notification's words in a language.
struct NoTrayNotice {
    std::string summary;
    std::string body;
};
NoTrayNotice noTrayNotice(Lang lang);

}  // namespace sapwell
