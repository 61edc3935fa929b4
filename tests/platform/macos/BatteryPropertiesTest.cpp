#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Battery.hpp"
#include "macos/BatteryProperties.hpp"

namespace sapwell::platform {
namespace {

using Kind = CFScalar::Kind;
using S = ChargeState;

CFScalar integer(std::int64_t v) { return {Kind::integer, v, 0.0, false}; }
CFScalar real(double v) { return {Kind::real, 0, v, false}; }
CFScalar boolean(bool v) { return {Kind::boolean, 0, 0.0, v}; }
CFScalar other() { return {}; }

TEST(CFProperties, NumbersAndBooleansKeptEverythingElseLeftOut) {
    const std::pair<CFScalar, std::optional<PropertyValue>> cases[] = {
        {integer(4500), 4500.0}, {integer(-1200), -1200.0}, {real(12.25), 12.25},
        {boolean(true), true}, {boolean(false), false},
        {real(std::nan("")), std::nullopt}, {real(std::numeric_limits<double>::infinity()), std::nullopt},
        {other(), std::nullopt}};
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(propertyValue(value), expected) << int(value.kind) << " " << value.integer << " " << value.real;
}

TEST(CFProperties, KeysThatAreNotTextAreSkipped) {
    PropertyMap map;
    addProperty(map, std::nullopt, integer(1));
    addProperty(map, "", integer(2));
    addProperty(map, "Name", other());  // a string value
    addProperty(map, "Voltage", integer(12600));
    EXPECT_EQ(map, (PropertyMap{{"Voltage", 12600.0}}));
}

const std::string Cur = "CurrentCapacity", Max = "MaxCapacity", RawCur = "AppleRawCurrentCapacity",
                  RawMax = "AppleRawMaxCapacity", Nom = "NominalChargeCapacity", Des = "DesignCapacity",
                  V = "Voltage", Ext = "ExternalConnected", Chg = "IsCharging", Amp = "Amperage";

// The registry's keys as the gauge reads them.
TEST(CFProperties, SnapshotOfTheRegistryKeys) {
    const BatterySnapshot none = BatterySnapshot::none;
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
        {"ExternalFalseChargingTrue", {{Cur, 50.0}, {Ext, false}, {Chg, true}}, {50.0, S::discharging}},
        {"ExternalAndCharging", {{Cur, 50.0}, {Ext, true}, {Chg, true}}, {50.0, S::charging}},
        {"ExternalChargingMissing", {{Cur, 50.0}, {Ext, true}}, {50.0, S::acPower}},
        {"ExternalAsString", {{Cur, 50.0}, {Ext, std::string("true")}}, {50.0, S::discharging}},
        {"ExternalAsNumber", {{Cur, 50.0}, {Ext, 1.0}}, {50.0, S::discharging}},  // a flag must be a boolean
    };
    for (const auto& c : cases) EXPECT_EQ(Battery::snapshot(batteryReading(c.props)), c.expected) << c.label;
}

TEST(CFProperties, EnergiesAndPowerOfTheRegistryKeys) {
    using O = std::optional<double>;
    const struct { const char* label; PropertyMap props; O full, remaining, power; } cases[] = {
        {"RawMax", {{RawMax, 5000.0}, {V, 12000.0}}, 216'000'000.0, {}, {}},
        {"FirstKeyWinsAtZero", {{RawMax, 0.0}, {Nom, 5000.0}, {V, 12000.0}}, {}, {}, {}},
        {"NominalBeforeDesign", {{Nom, 1000.0}, {Des, 2000.0}, {V, 10000.0}}, 36'000'000.0, {}, {}},
        {"WrongKindSkipped", {{RawMax, std::string("5000")}, {Des, 2000.0}, {V, 10000.0}}, 72'000'000.0, {}, {}},
        {"VoltageMissing", {{RawMax, 5000.0}, {RawCur, 100.0}, {Amp, -900.0}}, {}, {}, {}},
        {"VoltageZero", {{RawMax, 5000.0}, {V, 0.0}}, {}, {}, {}},
        {"Overflow", {{RawMax, 1e300}, {V, 1e300}}, {}, {}, {}},
        // Amperage is negative while discharging: the power is its magnitude, 0.9 A at 12 V.
        {"RemainingAndPower", {{RawCur, 2500.0}, {V, 12000.0}, {Amp, -900.0}}, {}, 108'000'000.0, 10'800.0},
        {"EmptyBattery", {{RawCur, 0.0}, {V, 12000.0}, {Amp, 0.0}}, {}, 0.0, 0.0},
    };
    for (const auto& c : cases) {
        const BatteryReading r = batteryReading(c.props);
        EXPECT_EQ(std::tuple(Battery::capacityMJ(r), r.remainingMJ, r.powerMW), std::tuple(c.full, c.remaining, c.power)) << c.label;
    }
}

}  // namespace
}  // namespace sapwell::platform
