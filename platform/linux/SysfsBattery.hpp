#pragma once

#include <filesystem>

#include "Seam.hpp"

namespace sapwell::platform {

// The battery's reading from /sys/class/power_supply (a fixture tree in tests): every
// present system battery taken together (peripherals such as mice report batteries too and are
// skipped), with the external power state taken from the other supplies beside them.
class SysfsBattery final : public BatterySource {
public:
    explicit SysfsBattery(std::filesystem::path root = "/sys/class/power_supply");
    BatteryReading read() override;

private:
    std::filesystem::path root_;
};

}  // namespace sapwell::platform
