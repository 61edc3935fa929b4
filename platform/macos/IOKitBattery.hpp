#pragma once

#include "Seam.hpp"

namespace sapwell::platform {

// The reading of the "AppleSmartBattery" registry entry, read afresh on every call; empty on a
// Mac without a battery or when the registry cannot be read.
class IOKitBattery final : public BatterySource {
public:
    BatteryReading read() override;
};

}  // namespace sapwell::platform
