// The drain measured from power-supply readings as real laptops report them: ten minutes of
// 15-second passes over a gauge with the quirk of each case.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "DrainMeter.hpp"
#include "PowerSupply.hpp"

namespace sapwell::platform {
namespace {

constexpr double passS = 15, spanS = 600;
constexpr double startMJ = 40 * 3.6e6;  // 40 Wh

// The battery's true energy at `t` seconds when it delivers `watts`.
double trueMJ(double watts, double t) { return startMJ - watts * 1000 * t; }
std::string n(double v) { return std::to_string(static_cast<long long>(std::floor(v))); }
double heldAt(double t, double every) { return std::floor(t / every) * every; }

TEST(BatteryDrain, QuirksOfRealGauges) {
    const struct {
        const char* label;
        std::function<std::string(double)> uevent;  // the battery's lines at a time
        double mJ, seconds, tolerance;
    } cases[] = {
        // 10 mWh steps every 10 s, beside a power reading far off: the steps add up to the fall.
        {"EnergyIn10mWhStepsEvery10s", [](double t) {
             return "STATUS=Discharging\nPOWER_SUPPLY_POWER_NOW=40000000\nPOWER_SUPPLY_ENERGY_NOW=" +
                    n(std::floor(trueMJ(12, heldAt(t, 10)) / 3.6 / 10'000) * 10'000); }, 7.2e6, spanS, 36'000},
        // No energy counter; a power that alternates 6 W and 18 W every half minute, reported as a
        // 30 s moving average updated every 8 s.
        {"PowerSmoothedEvery8s", [](double t) {
             const double at = heldAt(t, 8);
             double uJ = 0;  // energy over the 30 s before `at`
             for (double s = at - 30; s < at; s += 0.5) uJ += (std::fmod(std::floor(std::max(s, 0.0) / 30), 2) ? 18e6 : 6e6) * 0.5;
             return "STATUS=Discharging\nPOWER_SUPPLY_CAPACITY=80\nPOWER_SUPPLY_POWER_NOW=" + n(uJ / 30); }, 7.2e6, spanS, 0.01 * 7.2e6},
        // Held for three minutes at a time at 20 W: the catch-up is 240 W for one pass, yet real.
        {"SameReadingForMinutes", [](double t) {
             return "STATUS=Discharging\nPOWER_SUPPLY_ENERGY_NOW=" + n(trueMJ(20, heldAt(t, 180)) / 3.6); }, 20.0 * 540 * 1000, spanS, 1},
        {"ChargeAndCurrentOnly", [](double t) {
             return "STATUS=Discharging\nPOWER_SUPPLY_VOLTAGE_NOW=11500000\nPOWER_SUPPLY_CURRENT_NOW=1043478\n"
                    "POWER_SUPPLY_CHARGE_NOW=" + n(trueMJ(12, t) / 3.6 / 11.5); }, 7.2e6, spanS, 100},
        {"NegativeCurrent", [](double) {
             return "STATUS=Discharging\nPOWER_SUPPLY_CAPACITY=80\nPOWER_SUPPLY_VOLTAGE_NOW=12000000\n"
                    "POWER_SUPPLY_CURRENT_NOW=-1000000"; }, 7.2e6, spanS, 1},
        // Held at a charge threshold on mains: the battery delivers nothing and nothing is measured.
        {"NotChargingAtAThreshold", [](double) {
             return "STATUS=Not charging\nPOWER_SUPPLY_POWER_NOW=0\nPOWER_SUPPLY_ENERGY_NOW=45000000"; }, 0, 0, 0},
        // 5 Wh vanish in one pass at 5 minutes: that pass is dropped, the others count.
        {"GlitchAbove150W", [](double t) {
             return "STATUS=Discharging\nPOWER_SUPPLY_ENERGY_NOW=" + n(trueMJ(12, t) / 3.6 - (t >= 300 ? 5e6 : 0)); },
         7.2e6 - 12 * 15 * 1000, spanS - passS, 2},
    };
    for (const auto& c : cases) {
        DrainMeter meter;
        double mJ = 0, seconds = 0;
        for (double t = 0; t <= spanS; t += passS) {
            const Uevent ev = parseUevent("POWER_SUPPLY_TYPE=Battery\nPOWER_SUPPLY_" + c.uevent(t) + "\n");
            const bool mainsOnline = ev.at("STATUS") == "Not charging";
            if (auto d = meter.measure(combinedReading({ev}, mainsOnline), t == 0 ? 0 : passS, false))
                mJ += static_cast<double>(d->mJ), seconds += d->seconds;
        }
        EXPECT_NEAR(mJ, c.mJ, c.tolerance) << c.label;
        EXPECT_EQ(seconds, c.seconds) << c.label;
    }
}

}  // namespace
}  // namespace sapwell::platform
