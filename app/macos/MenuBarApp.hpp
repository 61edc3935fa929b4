#pragma once

#include "Seam.hpp"

namespace sapwell {

// The menu-bar application on macOS: an accessory NSApplication (no Dock icon, no main window)
// whose delegate owns the controller, the status item, its menu, the timers and the chart
// window. Runs the event loop. Returns 1 when another instance holds the history; otherwise the
// process ends from within the loop, with status 1 when the last minutes could not be written.
int runMenuBarApp(Seam& seam, int argc, char** argv);

}  // namespace sapwell
