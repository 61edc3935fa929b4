#include "Metric.hpp"

namespace sapwell {

std::string_view Metric::tag() const {
    return value_ == energy ? "energy_mj" : "cpu_ms";
}

std::optional<Metric> Metric::from(std::string_view tag) {
    if (tag == "energy_mj") return Metric(energy);
    if (tag == "cpu_ms") return Metric(cpuTime);
    return std::nullopt;
}

}  // namespace sapwell
