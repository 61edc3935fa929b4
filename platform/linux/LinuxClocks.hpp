#pragma once

#include "Seam.hpp"

namespace sapwell::platform {

// CLOCK_BOOTTIME counts suspend, CLOCK_MONOTONIC does not: on Linux the names are the other way
// round from macOS.
class LinuxClocks final : public Clocks {
public:
    double continuousSeconds() override;
    double awakeSeconds() override;
    double wallSeconds() override;
};

}  // namespace sapwell::platform
