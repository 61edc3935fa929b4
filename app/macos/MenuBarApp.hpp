#pragma once

#include "Seam.hpp"

namespace sapwell {

// The menu-bar application on macOS: an accessory NSApplication (no Dock icon, no main window)
// whose delegate owns the controller, the status item, its menu, the timers and the chart
// window. Runs the event loop; returns the exit status (1 when another instance holds the
// history).
int runMenuBarApp(Seam& seam, int argc, char** argv);

}  // namespace sapwell
