#include "SysfsBattery.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Battery.hpp"
#include "PowerSupply.hpp"
#include "TempDir.hpp"

namespace sapwell::platform {
namespace {

using testing::TempDir;

struct Node {
    std::string name;
    std::string uevent;
    std::string typeFile;  // written as the `type` attribute when not empty
};

struct TreeCase {
    const char* label;
    std::vector<Node> nodes;
    std::optional<double> pct;
    std::optional<ChargeState> state;
    std::optional<double> mj;
};

const std::string chargeBattery =
    "POWER_SUPPLY_NAME=BAT0\nPOWER_SUPPLY_TYPE=Battery\nPOWER_SUPPLY_STATUS=Discharging\n"
    "POWER_SUPPLY_PRESENT=1\nPOWER_SUPPLY_VOLTAGE_MIN_DESIGN=11400000\n"
    "POWER_SUPPLY_VOLTAGE_NOW=12100000\nPOWER_SUPPLY_CHARGE_FULL_DESIGN=5000000\n"
    "POWER_SUPPLY_CHARGE_FULL=4000000\nPOWER_SUPPLY_CHARGE_NOW=3000000\nPOWER_SUPPLY_CAPACITY=75\n";
// 57 Wh full at a design voltage of 11.4 V.
const std::string energyBattery =
    "POWER_SUPPLY_NAME=BAT1\nPOWER_SUPPLY_TYPE=Battery\nPOWER_SUPPLY_STATUS=Charging\n"
    "POWER_SUPPLY_VOLTAGE_MIN_DESIGN=11400000\nPOWER_SUPPLY_ENERGY_FULL_DESIGN=60000000\n"
    "POWER_SUPPLY_ENERGY_FULL=57000000\nPOWER_SUPPLY_ENERGY_NOW=28500000\nPOWER_SUPPLY_CAPACITY=50\n";
const std::string mouse =
    "POWER_SUPPLY_NAME=hidpp_battery_0\nPOWER_SUPPLY_TYPE=Battery\nPOWER_SUPPLY_SCOPE=Device\n"
    "POWER_SUPPLY_STATUS=Discharging\nPOWER_SUPPLY_CAPACITY=12\n";
const std::string adapterOnline = "POWER_SUPPLY_NAME=AC\nPOWER_SUPPLY_TYPE=Mains\nPOWER_SUPPLY_ONLINE=1\n";
const std::string adapterOffline = "POWER_SUPPLY_NAME=AC\nPOWER_SUPPLY_TYPE=Mains\nPOWER_SUPPLY_ONLINE=0\n";
const std::string usbOnline = "POWER_SUPPLY_NAME=ucsi\nPOWER_SUPPLY_TYPE=USB\nPOWER_SUPPLY_ONLINE=1\n";

std::string withStatus(std::string uevent, const std::string& status) {
    const auto at = uevent.find("STATUS=") + 7;
    return uevent.replace(at, uevent.find('\n', at) - at, status);
}

// 4 Ah at 11.4 V: 4000 * 11400 * 3.6 mJ.
constexpr double chargeMJ = 4000.0 * 11400.0 * 3.6;
constexpr double energyMJ = 57'000'000.0 * 3.6;  // 57 Wh = 205.2 kJ

class SysfsTreeTest : public ::testing::TestWithParam<TreeCase> {};

TEST_P(SysfsTreeTest, PropertiesDriveTheGauge) {
    const auto& c = GetParam();
    TempDir root;
    for (const auto& n : c.nodes) {
        root.write(n.name + "/uevent", n.uevent);
        if (!n.typeFile.empty()) root.write(n.name + "/type", n.typeFile);
    }
    SysfsBattery source(root.path());
    const BatterySnapshot snap = Battery::snapshot(source);
    EXPECT_EQ(snap.pct, c.pct);
    EXPECT_EQ(snap.state, c.state);
    const auto mj = Battery::capacityMJ(source);
    ASSERT_EQ(mj.has_value(), c.mj.has_value());
    if (mj) {
        EXPECT_NEAR(*mj, *c.mj, 1e-3 * *c.mj);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sysfs, SysfsTreeTest,
    ::testing::Values(
        TreeCase{"ChargeBasedOnBattery", {{"AC", adapterOffline, ""}, {"BAT0", chargeBattery, ""}},
                 75.0, ChargeState::discharging, chargeMJ},
        TreeCase{"EnergyBasedCharging", {{"AC", adapterOnline, ""}, {"BAT1", energyBattery, ""}},
                 50.0, ChargeState::charging, energyMJ},
        TreeCase{"NoBattery", {{"AC", adapterOnline, ""}}, std::nullopt, std::nullopt, std::nullopt},
        TreeCase{"EmptyTree", {}, std::nullopt, std::nullopt, std::nullopt},
        TreeCase{"PeripheralBeforeRealBatteryIsSkipped",
                 {{"AC", adapterOffline, ""}, {"BAT0", chargeBattery, ""}, {"a_mouse", mouse, ""}},
                 75.0, ChargeState::discharging, chargeMJ},
        TreeCase{"OnlyAPeripheral", {{"hid", mouse, ""}}, std::nullopt, std::nullopt, std::nullopt},
        TreeCase{"NotChargingBehindOnlineAdapter",
                 {{"AC", adapterOnline, ""}, {"BAT0", withStatus(chargeBattery, "Not charging"), ""}},
                 75.0, ChargeState::acPower, chargeMJ},
        TreeCase{"OnlineUsbCountsAsExternal", {{"AC", adapterOffline, ""}, {"BAT0", chargeBattery, ""},
                                               {"ucsi", usbOnline, ""}},
                 75.0, ChargeState::acPower, chargeMJ},
        TreeCase{"AdapterOfflineOverridesChargingStatus",
                 {{"AC", adapterOffline, ""}, {"BAT0", withStatus(chargeBattery, "Charging"), ""}},
                 75.0, ChargeState::discharging, chargeMJ},
        TreeCase{"NoAdapterNodeFullMeansExternal", {{"BAT0", withStatus(chargeBattery, "Full"), ""}},
                 75.0, ChargeState::acPower, chargeMJ},
        TreeCase{"NoAdapterNodeCharging", {{"BAT0", withStatus(chargeBattery, "Charging"), ""}},
                 75.0, ChargeState::charging, chargeMJ},
        TreeCase{"NoAdapterNodeDischarging", {{"BAT0", chargeBattery, ""}}, 75.0, ChargeState::discharging,
                 chargeMJ},
        TreeCase{"TypeFromAttributeFileOnOldKernels",
                 {{"BAT0", "POWER_SUPPLY_CAPACITY=40\nPOWER_SUPPLY_STATUS=Discharging\n", "Battery\n"}},
                 40.0, ChargeState::discharging, std::nullopt},
        TreeCase{"EmptyBayBeforeRealBattery",
                 {{"BAT0", "POWER_SUPPLY_TYPE=Battery\nPOWER_SUPPLY_PRESENT=0\n", ""},
                  {"BAT1", energyBattery, ""}},
                 50.0, ChargeState::charging, energyMJ}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(SysfsBattery, MissingRootIsNoBattery) {
    SysfsBattery source("/nonexistent/power_supply");
    EXPECT_EQ(source.properties(), std::nullopt);
}

TEST(PowerSupply, UeventParsingAndUnits) {
    const Uevent ev = parseUevent(
        "POWER_SUPPLY_NAME=BAT0\r\nPOWER_SUPPLY_MODEL_NAME=5B10W=13930\nnot a key\n=x\n"
        "POWER_SUPPLY_CAPACITY=abc\nPOWER_SUPPLY_CHARGE_FULL=4000000\nPOWER_SUPPLY_VOLTAGE_NOW=12000000");
    EXPECT_EQ(ev.at("NAME"), "BAT0");
    EXPECT_EQ(ev.at("MODEL_NAME"), "5B10W=13930");
    EXPECT_EQ(integerValue(ev, "CAPACITY"), std::nullopt);
    EXPECT_EQ(integerValue(ev, "VOLTAGE_NOW"), 12'000'000);

    const PropertyMap props = batteryProperties(ev, std::nullopt);
    EXPECT_FALSE(props.count("CurrentCapacity"));  // not a number: no primary level
    EXPECT_EQ(std::get<double>(props.at("NominalChargeCapacity")), 4000.0);
    // No design voltage: the present voltage stands in.
    EXPECT_EQ(std::get<double>(props.at("Voltage")), 12000.0);
    EXPECT_EQ(std::get<bool>(props.at("ExternalConnected")), false);
    EXPECT_EQ(std::get<bool>(props.at("IsCharging")), false);
}

TEST(PowerSupply, ChargeNowIsTheFallbackLevel) {
    const Uevent ev = parseUevent("POWER_SUPPLY_CHARGE_NOW=1000000\nPOWER_SUPPLY_CHARGE_FULL=4000000\n");
    EXPECT_EQ(Battery::snapshot(batteryProperties(ev, false)).pct, 25.0);
}

TEST(PowerSupply, EnergyWithoutAnyVoltageGivesNoCapacity) {
    const Uevent ev = parseUevent("POWER_SUPPLY_ENERGY_FULL=57000000\nPOWER_SUPPLY_VOLTAGE_MIN_DESIGN=0\n");
    const PropertyMap props = batteryProperties(ev, false);
    EXPECT_FALSE(props.count("NominalChargeCapacity"));
    EXPECT_EQ(Battery::capacityMJ(props), std::nullopt);
}

}  // namespace
}  // namespace sapwell::platform
