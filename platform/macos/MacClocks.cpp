#include "MacClocks.hpp"

#include "ClockSeconds.hpp"

namespace sapwell::platform {

double MacClocks::continuousSeconds() { return clockSeconds(CLOCK_MONOTONIC); }
double MacClocks::awakeSeconds() { return clockSeconds(CLOCK_UPTIME_RAW); }
double MacClocks::wallSeconds() { return clockSeconds(CLOCK_REALTIME); }

}  // namespace sapwell::platform
