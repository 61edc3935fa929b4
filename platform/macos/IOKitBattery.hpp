#pragma once

#include "Seam.hpp"

namespace sapwell::platform {

// The property map of the "AppleSmartBattery" registry entry, read afresh on every call;
// absent on a Mac without a battery or when the registry cannot be read.
class IOKitBattery final : public BatterySource {
public:
    std::optional<PropertyMap> properties() override;
};

}  // namespace sapwell::platform
