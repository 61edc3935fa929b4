#include "MacClocks.hpp"

#include <time.h>

namespace sapwell::platform {

namespace {
double read(clockid_t id) {
    timespec ts{};
    if (clock_gettime(id, &ts) != 0) return 0.0;
    return static_cast<double>(ts.tv_nsec) / 1e9 + static_cast<double>(ts.tv_sec);
}
}  // namespace

double MacClocks::continuousSeconds() { return read(CLOCK_MONOTONIC); }
double MacClocks::awakeSeconds() { return read(CLOCK_UPTIME_RAW); }
double MacClocks::wallSeconds() { return read(CLOCK_REALTIME); }

}  // namespace sapwell::platform
