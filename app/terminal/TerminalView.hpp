#pragma once

#include <iosfwd>
#include <string>

#include "Seam.hpp"

namespace sapwell {

// The running application with the terminal view (TerminalShell) on its own event loop, which
// also takes the stop, resize and suspend signals. Returns the exit status.
int runTerminalView(Seam& seam, const std::string& appPath, std::ostream& err);

}  // namespace sapwell
