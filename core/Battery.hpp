#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "Seam.hpp"

namespace sapwell {

// Charge state; the one-letter tags are stored in the history file and read by the chart page.
class ChargeState {
public:
    enum Value : std::uint8_t { discharging, charging, acPower };

    constexpr ChargeState(Value v) : value_(v) {}
    constexpr operator Value() const { return value_; }

    std::string_view tag() const;  // "d", "c", "a"
    static std::optional<ChargeState> from(std::string_view tag);

private:
    Value value_;
};

struct BatterySnapshot {
    std::optional<double> pct;  // 0 to 100 inclusive when present
    std::optional<ChargeState> state;

    static const BatterySnapshot none;
    bool operator==(const BatterySnapshot&) const = default;
};

namespace Battery {
// Pure logic over one property map.
std::optional<double> capacityMJ(const PropertyMap& props);
BatterySnapshot snapshot(const PropertyMap& props);
// Reads the map afresh from the source.
std::optional<double> capacityMJ(BatterySource& source);
BatterySnapshot snapshot(BatterySource& source);
}  // namespace Battery

}  // namespace sapwell
