#include "ChargeState.hpp"

namespace sapwell {

std::string_view ChargeState::tag() const {
    switch (value_) {
        case discharging: return "d";
        case charging: return "c";
        case acPower: return "a";
    }
    return "d";
}

std::optional<ChargeState> ChargeState::from(std::string_view tag) {
    if (tag == "d") return ChargeState(discharging);
    if (tag == "c") return ChargeState(charging);
    if (tag == "a") return ChargeState(acPower);
    return std::nullopt;
}

}  // namespace sapwell
