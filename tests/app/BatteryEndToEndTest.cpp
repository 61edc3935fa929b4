#include <gtest/gtest.h>

#include <charconv>
#include <map>

#include "ChildProcess.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using namespace testing;  // ChildProcess, TempDir, eventually

// Power supply trees after scenarios of UPower's own tests, read by the real program: the
// capacity as the chart page carries it, the level and state as the history file stores them.
using Tree = std::map<std::string, std::vector<std::string>>;  // supply -> its uevent lines

std::string uevent(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += "POWER_SUPPLY_" + l + "\n";
    return out;
}

std::vector<std::string> battery(const std::string& status, int pct, bool voltage = true) {  // 60 Wh
    std::vector<std::string> lines = {"NAME=BAT", "TYPE=Battery", "PRESENT=1", "STATUS=" + status,
                                      "ENERGY_FULL=60000000", "ENERGY_FULL_DESIGN=80000000",
                                      "ENERGY_NOW=" + std::to_string(pct * 600'000)};
    if (voltage) lines.push_back("VOLTAGE_NOW=12000000");
    return lines;
}

struct Reading {
    double wattHours = 0;
    std::string batteryField;  // the last history line's
};

Reading readWith(const Tree& tree) {
    TempDir dir;
    for (const auto& [supply, lines] : tree) dir.write("power_supply/" + supply + "/uevent", uevent(lines));
    const std::vector<std::string> env = {
        "XDG_DATA_HOME=" + (dir / "data").string(), "TMPDIR=" + dir.path().string(), "PATH=/usr/bin:/bin",
        "SAPWELL_TICK_SECONDS=0.1", "SAPWELL_POWER_SUPPLY_DIR=" + (dir / "power_supply").string()};
    Reading r;
    ChildProcess dump({SAPWELL_BINARY, "--dump-chart"}, env);
    EXPECT_EQ(dump.wait(), 0) << dump.err();
    const std::string page = TempDir::read(dir / "sapwell-chart.html"), key = "const TO_PCT = ";
    if (const auto at = page.find(key); at != std::string::npos) {
        double toPercent = 0;
        std::from_chars(page.data() + at + key.size(), page.data() + page.size(), toPercent);
        if (toPercent > 0) r.wattHours = 100 / toPercent / 3.6e6;
    }
    ChildProcess run({SAPWELL_BINARY, "--terminal"}, env);
    EXPECT_TRUE(eventually([&] { return run.out().find("Collected") != run.out().rfind("Collected"); }));
    run.signal(SIGTERM);
    EXPECT_EQ(run.wait(), 0) << run.err();
    const std::string history = TempDir::read(dir / "data/Sapwell/history.tsv");
    const auto end = history.empty() ? 0 : history.size() - 1;
    r.batteryField = history.substr(history.rfind('\t', end) + 1, end - history.rfind('\t', end) - 1);
    return r;
}

TEST(BatteryEndToEnd, PowerSupplyTreesReadByTheProgram) {
    const std::vector<std::string> acOff = {"NAME=AC", "TYPE=Mains", "ONLINE=0"};
    const struct { const char* label; Tree tree; double wattHours; std::string batteryField; } cases[] = {
        // Business laptops: both batteries count, as one of twice the size.
        {"TwoBatteries", {{"AC", acOff}, {"BAT0", battery("Discharging", 80)}, {"BAT1", battery("Discharging", 30)}},
         120, "55.0:d"},
        // Energy counters without a voltage, and no percentage file.
        {"EnergyWithoutVoltage", {{"AC", acOff}, {"BAT0", battery("Discharging", 80, false)}}, 60, "80.0:d"},
        // Charging through USB power delivery while the Mains supply reads offline.
        {"UsbPdCharging", {{"AC", acOff}, {"BAT0", battery("Charging", 50)},
                           {"ucsi-source-psy-USBC000:001", {"TYPE=USB_PD", "ONLINE=1", "USB_TYPE=C [PD] PD_PPS"}}},
         60, "50.0:c"},
    };
    for (const auto& c : cases) {
        const Reading r = readWith(c.tree);
        EXPECT_NEAR(r.wattHours, c.wattHours, 1e-6) << c.label;
        EXPECT_EQ(r.batteryField, c.batteryField) << c.label;
    }
}

}  // namespace
}  // namespace sapwell
