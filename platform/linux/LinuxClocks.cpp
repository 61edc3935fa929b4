#include "LinuxClocks.hpp"

#include "ClockSeconds.hpp"

namespace sapwell::platform {

double LinuxClocks::continuousSeconds() { return clockSeconds(CLOCK_BOOTTIME); }
double LinuxClocks::awakeSeconds() { return clockSeconds(CLOCK_MONOTONIC); }
double LinuxClocks::wallSeconds() { return clockSeconds(CLOCK_REALTIME); }

}  // namespace sapwell::platform
