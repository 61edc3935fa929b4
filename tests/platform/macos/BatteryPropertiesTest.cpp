#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Battery.hpp"
#include "macos/BatteryProperties.hpp"

namespace sapwell::platform {
namespace {

using Kind = CFScalar::Kind;

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

// The map drives the shared gauge: a flag that arrived as a number is no flag.
TEST(CFProperties, ConvertedMapFeedsTheGauge) {
    const auto mapOf = [](CFScalar external) {
        PropertyMap map;
        addProperty(map, "CurrentCapacity", integer(45));
        addProperty(map, "MaxCapacity", integer(90));
        addProperty(map, "ExternalConnected", external);
        addProperty(map, "IsCharging", boolean(false));
        addProperty(map, "AppleRawMaxCapacity", integer(4000));
        addProperty(map, "Voltage", integer(12000));
        return map;
    };
    EXPECT_EQ(Battery::snapshot(mapOf(boolean(true))), (BatterySnapshot{50.0, ChargeState::acPower}));
    EXPECT_EQ(Battery::snapshot(mapOf(integer(1))), (BatterySnapshot{50.0, ChargeState::discharging}));
    EXPECT_EQ(Battery::capacityMJ(mapOf(boolean(true))), 4000.0 * 12000.0 * 3.6);
}

}  // namespace
}  // namespace sapwell::platform
