#include "Battery.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "Fakes.hpp"

namespace sapwell {
namespace {

using S = ChargeState;
const BatterySnapshot none = BatterySnapshot::none;
const std::string Cur = "CurrentCapacity", Max = "MaxCapacity", RawCur = "AppleRawCurrentCapacity",
                  RawMax = "AppleRawMaxCapacity", Nom = "NominalChargeCapacity", Des = "DesignCapacity",
                  V = "Voltage", Ext = "ExternalConnected", Chg = "IsCharging";

TEST(Battery, SnapshotOfMap) {
    const struct { const char* label; PropertyMap props; BatterySnapshot expected; } cases[] = {
        {"FullDefaultsTo100", {{Cur, 80.0}}, {80.0, S::discharging}},
        {"ScaledGauge", {{Cur, 30.0}, {Max, 60.0}}, {50.0, S::discharging}},
        {"ClampedHigh", {{Cur, 105.0}, {Max, 100.0}}, {100.0, S::discharging}},
        {"ClampedLow", {{Cur, -5.0}}, {0.0, S::discharging}},
        {"MaxZeroUsesRaw", {{Cur, 50.0}, {Max, 0.0}, {RawCur, 2000.0}, {RawMax, 4000.0}}, {50.0, S::discharging}},
        {"MaxZeroWithoutRawIsNone", {{Cur, 50.0}, {Max, 0.0}}, none},
        {"RawFullFromNominal", {{RawCur, 1000.0}, {Nom, 4000.0}, {Des, 5000.0}}, {25.0, S::discharging}},
        {"RawFirstFullKeyWinsEvenWhenZero", {{RawCur, 1000.0}, {RawMax, 0.0}, {Nom, 4000.0}}, none},
        {"WrongKindLevelIsNoneEvenWithState", {{Cur, std::string("80")}, {Ext, true}}, none},
        {"NaNLevelIsNone", {{Cur, std::numeric_limits<double>::quiet_NaN()}}, none},
        {"ExternalFalseChargingTrue", {{Cur, 50.0}, {Ext, false}, {Chg, true}}, {50.0, S::discharging}},
        {"ExternalAndCharging", {{Cur, 50.0}, {Ext, true}, {Chg, true}}, {50.0, S::charging}},
        {"ExternalChargingMissing", {{Cur, 50.0}, {Ext, true}}, {50.0, S::acPower}},
        {"ExternalAsString", {{Cur, 50.0}, {Ext, std::string("true")}}, {50.0, S::discharging}},
    };
    for (const auto& c : cases) EXPECT_EQ(Battery::snapshot(c.props), c.expected) << c.label;
}

TEST(Battery, CapacityOfMap) {
    const struct { const char* label; PropertyMap props; std::optional<double> mj; } cases[] = {
        {"RawMax", {{RawMax, 5000.0}, {V, 12000.0}}, 216'000'000.0},
        {"FirstKeyWinsAtZero", {{RawMax, 0.0}, {Nom, 5000.0}, {V, 12000.0}}, std::nullopt},
        {"NominalBeforeDesign", {{Nom, 1000.0}, {Des, 2000.0}, {V, 10000.0}}, 36'000'000.0},
        {"WrongKindSkipped", {{RawMax, std::string("5000")}, {Des, 2000.0}, {V, 10000.0}}, 72'000'000.0},
        {"VoltageMissing", {{RawMax, 5000.0}, {Nom, 5000.0}, {Des, 5000.0}}, std::nullopt},
        {"VoltageZero", {{RawMax, 5000.0}, {V, 0.0}}, std::nullopt},
        {"Overflow", {{RawMax, 1e300}, {V, 1e300}}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(Battery::capacityMJ(c.props), c.mj) << c.label;
    testing::FakeBattery noBattery;
    EXPECT_EQ(std::pair(Battery::snapshot(noBattery), Battery::capacityMJ(noBattery)), std::pair(none, std::optional<double>()));
}

}  // namespace
}  // namespace sapwell
