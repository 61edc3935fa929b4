#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

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

}  // namespace sapwell
