#pragma once

#include <time.h>

namespace sapwell::platform {

// A POSIX clock in seconds as a double; 0.0 when the clock cannot be read.
inline double clockSeconds(clockid_t id) {
    timespec ts{};
    if (clock_gettime(id, &ts) != 0) return 0.0;
    return static_cast<double>(ts.tv_nsec) / 1e9 + static_cast<double>(ts.tv_sec);
}

}  // namespace sapwell::platform
