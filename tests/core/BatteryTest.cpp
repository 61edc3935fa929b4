#include "Battery.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Fakes.hpp"

namespace sapwell {
namespace {

using S = ChargeState;

struct SnapshotCase {
    const char* label;
    PropertyMap props;
    std::optional<double> pct;
    std::optional<ChargeState> state;
};

class SnapshotTest : public ::testing::TestWithParam<SnapshotCase> {};

TEST_P(SnapshotTest, LevelAndState) {
    const auto& c = GetParam();
    const BatterySnapshot snap = Battery::snapshot(c.props);
    EXPECT_EQ(snap.pct, c.pct);
    EXPECT_EQ(snap.state, c.state);
}

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Battery, SnapshotTest,
    ::testing::Values(
        SnapshotCase{"FullDefaultsTo100", {{"CurrentCapacity", 80.0}}, 80.0, S::discharging},
        SnapshotCase{"ScaledGauge", {{"CurrentCapacity", 30.0}, {"MaxCapacity", 60.0}}, 50.0, S::discharging},
        SnapshotCase{"ClampedHigh", {{"CurrentCapacity", 105.0}, {"MaxCapacity", 100.0}}, 100.0, S::discharging},
        SnapshotCase{"Zero", {{"CurrentCapacity", 0.0}}, 0.0, S::discharging},
        SnapshotCase{"ClampedLow", {{"CurrentCapacity", -5.0}}, 0.0, S::discharging},
        SnapshotCase{"MaxZeroFallsBackToRaw",
                     {{"CurrentCapacity", 50.0}, {"MaxCapacity", 0.0},
                      {"AppleRawCurrentCapacity", 2000.0}, {"AppleRawMaxCapacity", 4000.0}},
                     50.0, S::discharging},
        SnapshotCase{"MaxZeroWithoutRawIsNone", {{"CurrentCapacity", 50.0}, {"MaxCapacity", 0.0}},
                     std::nullopt, std::nullopt},
        SnapshotCase{"RawFullFromNominal",
                     {{"AppleRawCurrentCapacity", 1000.0}, {"NominalChargeCapacity", 4000.0},
                      {"DesignCapacity", 5000.0}},
                     25.0, S::discharging},
        SnapshotCase{"RawFirstFullKeyWinsEvenWhenZero",
                     {{"AppleRawCurrentCapacity", 1000.0}, {"AppleRawMaxCapacity", 0.0},
                      {"NominalChargeCapacity", 4000.0}},
                     std::nullopt, std::nullopt},
        SnapshotCase{"WrongKindCurrentCountsAsMissing",
                     {{"CurrentCapacity", std::string("80")}, {"ExternalConnected", true}},
                     std::nullopt, std::nullopt},
        SnapshotCase{"NaNLevelIsNone", {{"CurrentCapacity", nan}}, std::nullopt, std::nullopt},
        SnapshotCase{"InfiniteOverInfiniteIsNone", {{"CurrentCapacity", inf}, {"MaxCapacity", inf}},
                     std::nullopt, std::nullopt},
        SnapshotCase{"ExternalFalseChargingTrue",
                     {{"CurrentCapacity", 50.0}, {"ExternalConnected", false}, {"IsCharging", true}},
                     50.0, S::discharging},
        SnapshotCase{"ExternalAndCharging",
                     {{"CurrentCapacity", 50.0}, {"ExternalConnected", true}, {"IsCharging", true}},
                     50.0, S::charging},
        SnapshotCase{"ExternalChargingMissing", {{"CurrentCapacity", 50.0}, {"ExternalConnected", true}},
                     50.0, S::acPower},
        SnapshotCase{"ExternalNotCharging",
                     {{"CurrentCapacity", 50.0}, {"ExternalConnected", true}, {"IsCharging", false}},
                     50.0, S::acPower},
        SnapshotCase{"ExternalAsStringCountsAsMissing",
                     {{"CurrentCapacity", 50.0}, {"ExternalConnected", std::string("true")}},
                     50.0, S::discharging},
        SnapshotCase{"ExternalAsNumberCountsAsMissing",
                     {{"CurrentCapacity", 50.0}, {"ExternalConnected", 1.0}}, 50.0, S::discharging},
        SnapshotCase{"Empty", {}, std::nullopt, std::nullopt}),
    [](const auto& info) { return std::string(info.param.label); });

struct CapacityCase {
    const char* label;
    PropertyMap props;
    std::optional<double> mj;
};

class CapacityTest : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(CapacityTest, MilliJoules) {
    EXPECT_EQ(Battery::capacityMJ(GetParam().props), GetParam().mj);
}

INSTANTIATE_TEST_SUITE_P(
    Battery, CapacityTest,
    ::testing::Values(
        CapacityCase{"RawMax", {{"AppleRawMaxCapacity", 5000.0}, {"Voltage", 12000.0}}, 216'000'000.0},
        CapacityCase{"FirstKeyWinsEvenWhenZero",
                     {{"AppleRawMaxCapacity", 0.0}, {"NominalChargeCapacity", 5000.0}, {"Voltage", 12000.0}},
                     std::nullopt},
        CapacityCase{"NominalThenDesign",
                     {{"NominalChargeCapacity", 1000.0}, {"DesignCapacity", 2000.0}, {"Voltage", 10000.0}},
                     36'000'000.0},
        CapacityCase{"DesignOnly", {{"DesignCapacity", 2000.0}, {"Voltage", 10000.0}}, 72'000'000.0},
        CapacityCase{"WrongKindSkipsToNext",
                     {{"AppleRawMaxCapacity", std::string("5000")}, {"DesignCapacity", 2000.0}, {"Voltage", 10000.0}},
                     72'000'000.0},
        CapacityCase{"VoltageMissing", {{"AppleRawMaxCapacity", 5000.0}, {"NominalChargeCapacity", 5000.0},
                                        {"DesignCapacity", 5000.0}}, std::nullopt},
        CapacityCase{"VoltageZero", {{"AppleRawMaxCapacity", 5000.0}, {"Voltage", 0.0}}, std::nullopt},
        CapacityCase{"VoltageNegative", {{"AppleRawMaxCapacity", 5000.0}, {"Voltage", -1.0}}, std::nullopt},
        CapacityCase{"Overflow", {{"AppleRawMaxCapacity", 1e300}, {"Voltage", 1e300}}, std::nullopt},
        CapacityCase{"NoCapacity", {{"Voltage", 12000.0}}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(BatterySource, NoBatteryIsNoneAndAbsent) {
    testing::FakeBattery source;
    EXPECT_EQ(Battery::snapshot(source), BatterySnapshot::none);
    EXPECT_EQ(Battery::capacityMJ(source), std::nullopt);
    source.props = PropertyMap{{"CurrentCapacity", 42.0}, {"AppleRawMaxCapacity", 5000.0}, {"Voltage", 12000.0}};
    EXPECT_EQ(Battery::snapshot(source), (BatterySnapshot{42.0, S::discharging}));
    EXPECT_EQ(Battery::capacityMJ(source), 216'000'000.0);
}

TEST(ChargeStateTags, ExactCaseSensitiveRoundTrip) {
    for (ChargeState s : {S::discharging, S::charging, S::acPower}) EXPECT_EQ(ChargeState::from(s.tag()), s);
    EXPECT_EQ(S(S::acPower).tag(), "a");
    EXPECT_EQ(ChargeState::from("c"), S::charging);
    for (const char* bad : {"C", "", "charging", "c ", "dd"}) EXPECT_EQ(ChargeState::from(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace sapwell
