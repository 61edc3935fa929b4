#include "SysfsBattery.hpp"

#include <gtest/gtest.h>

#include <numeric>

#include "Battery.hpp"
#include "PowerSupply.hpp"
#include "TempDir.hpp"

namespace sapwell::platform {
namespace {

using S = ChargeState;

std::string uevent(std::initializer_list<std::string> lines) {
    return std::accumulate(lines.begin(), lines.end(), std::string(), [](auto a, auto& l) { return a + "POWER_SUPPLY_" + l + "\n"; });
}

std::string battery(const std::string& status) {  // 4 Ah full, design voltage 11.4 V
    return uevent({"TYPE=Battery", "STATUS=" + status, "VOLTAGE_MIN_DESIGN=11400000", "VOLTAGE_NOW=12100000",
                   "CHARGE_FULL_DESIGN=5000000", "CHARGE_FULL=4000000", "CAPACITY=75"});
}

// 60 Wh batteries that count energy, as UPower's own test scenarios describe them.
std::string battery60Wh(const std::string& status, int pct, bool voltage = true) {
    return uevent({"TYPE=Battery", "PRESENT=1", "STATUS=" + status, "ENERGY_FULL=60000000", "ENERGY_FULL_DESIGN=80000000",
                   "ENERGY_NOW=" + std::to_string(pct * 600000), voltage ? "VOLTAGE_NOW=12000000" : "VOLTAGE_NOW=0"});
}

TEST(SysfsBattery, FixtureTrees) {
    const std::string bat = battery("Discharging"), mouse = uevent({"TYPE=Battery", "SCOPE=Device", "CAPACITY=12"});
    const std::string energyBattery = uevent({"TYPE=Battery", "STATUS=Charging", "CAPACITY=50",
        "VOLTAGE_MIN_DESIGN=11400000", "ENERGY_FULL_DESIGN=60000000", "ENERGY_FULL=57000000"});
    const std::string acOn = uevent({"TYPE=Mains", "ONLINE=1"}), acOff = uevent({"TYPE=Mains", "ONLINE=0"});
    const double chargeMJ = 4000.0 * 11400.0 * 3.6, energyMJ = 57'000'000.0 * 3.6;  // 57 Wh
    const struct { const char* label; std::vector<std::pair<std::string, std::string>> uevents; BatterySnapshot snap;
                   std::optional<double> mj; } cases[] = {
        {"ChargeBased", {{"AC", acOff}, {"BAT0", bat}}, {75.0, S::discharging}, chargeMJ},
        {"EnergyBased", {{"AC", acOn}, {"BAT1", energyBattery}}, {50.0, S::charging}, energyMJ},
        {"NoBattery", {{"AC", acOn}}, BatterySnapshot::none, std::nullopt},
        {"PeripheralListedFirst", {{"AC", acOff}, {"BAT0", mouse}, {"BAT1", bat}}, {75.0, S::discharging}, chargeMJ},
        {"NotChargingOnAC", {{"AC", acOn}, {"BAT0", battery("Not charging")}}, {75.0, S::acPower}, chargeMJ},
        {"ChargingWhileMainsOffline", {{"AC", acOff}, {"BAT0", battery("Charging")}}, {75.0, S::charging}, chargeMJ},
        {"UsbPdOnline", {{"AC", acOff}, {"BAT0", battery("Discharging")}, {"ucsi-source-psy-USBC000:001",
                         uevent({"TYPE=USB_PD", "ONLINE=1"})}}, {75.0, S::acPower}, chargeMJ},
        {"OlderKernelUsbType", {{"AC", acOff}, {"BAT0", battery("Not charging")}, {"usb", uevent({"TYPE=USB_C", "ONLINE=1"})}},
         {75.0, S::acPower}, chargeMJ},
        {"SupplyNotTellingOnline", {{"BAT0", battery("Full")}, {"pd", uevent({"TYPE=USB_PD"})}}, {75.0, S::acPower}, chargeMJ},
        {"UpsIsNoAdapter", {{"BAT0", battery("Discharging")}, {"ups", uevent({"TYPE=UPS", "ONLINE=1"})}},
         {75.0, S::discharging}, chargeMJ},
        // Two batteries read as one: 80 % and 30 % of 60 Wh each are 55 % of 120 Wh.
        {"TwoBatteries", {{"AC", acOff}, {"BAT0", battery60Wh("Discharging", 80)}, {"BAT1", battery60Wh("Discharging", 30)}},
         {55.0, S::discharging}, 2 * 216e6},
        {"SecondBatteryCharging", {{"AC", acOn}, {"BAT0", battery60Wh("Full", 100)}, {"BAT1", battery60Wh("Charging", 30)}},
         {65.0, S::charging}, 2 * 216e6},
        {"OneDischargingWithoutAdapters", {{"BAT0", battery60Wh("Full", 100)}, {"BAT1", battery60Wh("Discharging", 50)}},
         {75.0, S::discharging}, 2 * 216e6},
        // UPower's scenario: Mains offline, one of two batteries charging through USB-PD.
        {"TwoBatteriesChargingThroughUsbPd", {{"AC", acOff}, {"BAT0", battery60Wh("Discharging", 80, false)},
         {"BAT1", battery60Wh("Charging", 30, false)}, {"ucsi-source-psy-USBC000:001", uevent({"TYPE=USB_PD", "ONLINE=1"})}},
         {55.0, S::charging}, 2 * 216e6},
        {"EnergyWithoutVoltage", {{"AC", acOff}, {"BAT0", battery60Wh("Discharging", 80, false)}}, {80.0, S::discharging}, 216e6},
        {"NoAdapterFull", {{"BAT0", battery("Full")}}, {75.0, S::acPower}, chargeMJ},
        {"EmptyBay", {{"BAT0", uevent({"TYPE=Battery", "PRESENT=0"})}, {"BAT1", energyBattery}}, {50.0, S::charging}, energyMJ},
    };
    for (const auto& c : cases) {
        testing::TempDir root;
        for (const auto& [name, text] : c.uevents) root.write(name + "/uevent", text);
        const BatteryReading reading = SysfsBattery(root.path()).read();
        const BatterySnapshot snap = Battery::snapshot(reading);
        EXPECT_EQ(snap.state, c.snap.state) << c.label;
        EXPECT_NEAR(snap.pct.value_or(-1), c.snap.pct.value_or(-1), 1e-9) << c.label;
        EXPECT_NEAR(Battery::capacityMJ(reading).value_or(-1), c.mj.value_or(-1), c.mj.value_or(1) * 1e-3) << c.label;
    }
    EXPECT_EQ(SysfsBattery("/nonexistent/power_supply").read(), BatteryReading{});
}

TEST(PowerSupply, UeventParsingAndUnits) {
    const Uevent ev = parseUevent(
        "POWER_SUPPLY_NAME=BAT0\r\nPOWER_SUPPLY_MODEL_NAME=5B10W=13930\nnot a key\n=x\n"
        "POWER_SUPPLY_CAPACITY=abc\nPOWER_SUPPLY_CHARGE_FULL=4000000\nPOWER_SUPPLY_VOLTAGE_NOW=12000000");
    EXPECT_EQ(std::pair(ev.at("NAME"), ev.at("MODEL_NAME")), std::pair(std::string("BAT0"), std::string("5B10W=13930")));
    const BatteryReading reading = batteryReading(ev, false);
    // Not a number and no charge now: no level. No design voltage: the present one, 4 Ah at 12 V.
    EXPECT_FALSE(reading.levelPct);
    EXPECT_NEAR(reading.fullMJ.value_or(0), 172.8e6, 1);
    auto of = [](std::initializer_list<std::string> l) { return batteryReading(parseUevent(uevent(l)), false); };
    EXPECT_EQ(Battery::snapshot(of({"CHARGE_NOW=1000000", "CHARGE_FULL=4000000"})).pct, 25.0);
    // An energy counter needs no voltage; a charge counter does.
    EXPECT_NEAR(Battery::capacityMJ(of({"ENERGY_FULL=57000000", "VOLTAGE_MIN_DESIGN=0"})).value_or(0), 57e6 * 3.6, 1);
    EXPECT_FALSE(Battery::capacityMJ(of({"CHARGE_FULL=4000000", "VOLTAGE_NOW=0"})));
}

// Remaining energy and power in mJ and mW from whichever counters the battery keeps.
TEST(PowerSupply, RemainingEnergyAndPower) {
    using O = std::optional<double>;
    const struct { const char* label; std::vector<std::string> batteries; O remainingMJ, powerMW; } cases[] = {
        {"EnergyAndPower", {uevent({"ENERGY_NOW=30000000", "POWER_NOW=9500000", "VOLTAGE_NOW=11000000"})}, 108e6, 9500.0},
        {"ChargeAtThePresentVoltage", {uevent({"CHARGE_NOW=2000000", "CURRENT_NOW=800000", "VOLTAGE_NOW=12000000",
                                               "VOLTAGE_MIN_DESIGN=11400000"})}, 86.4e6, 9600.0},
        {"ChargeAtTheDesignVoltageWithoutAPresentOne", {uevent({"CHARGE_NOW=2000000", "CURRENT_NOW=800000",
                                                                "VOLTAGE_MIN_DESIGN=11400000"})}, 82.08e6, {}},
        {"SignedDrivers", {uevent({"CHARGE_NOW=1000000", "CURRENT_NOW=-500000", "VOLTAGE_NOW=8000000"}),
                           uevent({"ENERGY_NOW=1000000", "POWER_NOW=-2000000"})}, 28.8e6 + 3.6e6, 4000.0 + 2000.0},
        {"OneBatteryWithoutCounters", {uevent({"ENERGY_NOW=1000000", "POWER_NOW=0"}), uevent({"CAPACITY=50"})}, {}, {}},
    };
    for (const auto& c : cases) {
        std::vector<Uevent> evs;
        for (const auto& text : c.batteries) evs.push_back(parseUevent(uevent({"TYPE=Battery", "STATUS=Discharging"}) + text));
        const BatteryReading r = combinedReading(evs, false);
        EXPECT_EQ(r.state, ChargeState::discharging) << c.label;
        EXPECT_NEAR(r.remainingMJ.value_or(-1), c.remainingMJ.value_or(-1), 1e-3) << c.label;
        EXPECT_NEAR(r.powerMW.value_or(-1), c.powerMW.value_or(-1), 1e-6) << c.label;
    }
}

}  // namespace
}  // namespace sapwell::platform
