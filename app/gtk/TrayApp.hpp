#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "Seam.hpp"

namespace sapwell {

// The running application as a tray indicator with its menu and the chart window: lock,
// signals, sampling loop, termination. Returns the exit status, or absent (having said so in
// one line on `err`) when the display cannot be opened, before anything else was done.
std::optional<int> runTrayApp(Seam& seam, const std::string& appPath, std::ostream& err);

}  // namespace sapwell
