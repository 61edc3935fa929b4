#include "SysfsBattery.hpp"

// Placeholder until the sysfs reader lands: no battery.
namespace sapwell::platform {

SysfsBattery::SysfsBattery(std::filesystem::path root) : root_(std::move(root)) {}
std::optional<PropertyMap> SysfsBattery::properties() { return std::nullopt; }

}  // namespace sapwell::platform
