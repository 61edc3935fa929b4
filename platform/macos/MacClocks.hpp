#pragma once

#include "Seam.hpp"

namespace sapwell::platform {

// CLOCK_MONOTONIC keeps counting while a Mac sleeps and CLOCK_UPTIME_RAW stops; on Linux the
// names mean the opposite.
class MacClocks final : public Clocks {
public:
    double continuousSeconds() override;
    double awakeSeconds() override;
    double wallSeconds() override;
};

}  // namespace sapwell::platform
