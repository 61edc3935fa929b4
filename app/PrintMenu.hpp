#pragma once

#include <iosfwd>

#include "Seam.hpp"

namespace sapwell {

// "--print-menu": the menu built from the history on disk, read only, without sampling or
// lock. Returns the exit status.
int runPrintMenu(Seam& seam, std::ostream& out);

}  // namespace sapwell
