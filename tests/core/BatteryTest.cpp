#include "Battery.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace sapwell {
namespace {

using S = ChargeState;
constexpr double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();

TEST(Battery, SnapshotAndCapacityOfAReading) {
    const struct { const char* label; BatteryReading reading; BatterySnapshot snap; std::optional<double> mj; } cases[] = {
        {"Plain", {.levelPct = 50.0, .state = S::charging, .fullMJ = 216e6}, {50.0, S::charging}, 216e6},
        {"ClampedHigh", {.levelPct = 105.0, .state = S::acPower}, {100.0, S::acPower}, std::nullopt},
        {"ClampedLow", {.levelPct = -5.0, .fullMJ = 0.0}, {0.0, S::discharging}, std::nullopt},  // no state reads as on battery
        {"NaNLevel", {.levelPct = nan, .state = S::charging, .fullMJ = -1.0}, BatterySnapshot::none, std::nullopt},
        {"StateWithoutLevel", {.state = S::charging, .fullMJ = inf}, BatterySnapshot::none, std::nullopt},
        {"NoBattery", {}, BatterySnapshot::none, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::pair(Battery::snapshot(c.reading), Battery::capacityMJ(c.reading)), std::pair(c.snap, c.mj)) << c.label;
}

}  // namespace
}  // namespace sapwell
