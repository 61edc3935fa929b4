#pragma once

#include "Seam.hpp"

namespace sapwell::platform {

// The running system's implementation of the seam; lives for the whole process.
Seam& system();

}  // namespace sapwell::platform
