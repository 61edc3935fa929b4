#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "Seam.hpp"

namespace sapwell {

// The tray shell (GTK, AppIndicator, D-Bus) lives in the module sapwell-tray.so, so that the
// text modes and the terminal view never load GTK's libraries. Its one entry point runs the
// application as a tray indicator with its menu and the chart window (lock, signals, sampling
// loop, termination) over `seam`, and returns the exit status, or `trayNotStarted` (having said
// so in one line on `err`) when the display cannot be opened, before anything else was done.
// Nothing is thrown across it.
using TrayEntry = int(Seam& seam, const char* appPath, std::ostream& err) noexcept;
inline constexpr const char* trayEntryName = "sapwell_tray_run";
inline constexpr int trayNotStarted = -1;

// Loads the module (beside the program in the build tree, in its library folder once installed)
// and runs its entry point. Absent when the terminal view should run instead: the module cannot
// be loaded (not installed, GTK's libraries missing), said in one line on `err`, or the display
// cannot be opened.
std::optional<int> runTrayModule(Seam& seam, const std::string& appPath, std::ostream& err);

// The chart window's process (ChartModule.hpp): `fdText` is the value of chartFdVariable. Loads
// the chart module and runs it; returns the exit status (2 for a descriptor that is none, 1,
// said in one line on `err`, when the module cannot be loaded).
int runChartWindow(const Environment& env, std::string_view fdText, std::ostream& err);

}  // namespace sapwell
