#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace sapwell {

class Lang;

// What a run measures, fixed at start. The tag is stored in the history file and never changes.
class Metric {
public:
    enum Value : std::uint8_t { energy, cpuTime };

    constexpr Metric(Value v) : value_(v) {}
    constexpr operator Value() const { return value_; }

    // "energy_mj" (amounts in millijoules) or "cpu_ms" (milliseconds of CPU time).
    std::string_view tag() const;
    // Exact, case-sensitive inverse of tag().
    static std::optional<Metric> from(std::string_view tag);
    // Display name in a UI language (defined with the string table).
    std::string_view title(Lang lang) const;

private:
    Value value_;
};

}  // namespace sapwell
