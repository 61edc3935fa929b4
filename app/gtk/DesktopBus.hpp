#pragma once

#include <gio/gio.h>

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

}  // namespace DesktopBus

// The notification's words in a language.
struct NoTrayNotice {
    std::string summary;
    std::string body;
};
NoTrayNotice noTrayNotice(Lang lang);

}  // namespace sapwell
