#include "PowerSupply.hpp"

#include <charconv>
#include <cmath>
#include <string>

#include "Battery.hpp"

namespace sapwell::platform {

namespace {

constexpr std::string_view prefix = "POWER_SUPPLY_";

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::optional<std::string_view> text(const Uevent& ev, std::string_view key) {
    auto it = ev.find(key);
    if (it == ev.end()) return std::nullopt;
    return std::string_view(it->second);
}

std::optional<std::int64_t> positive(const Uevent& ev, std::string_view key) {
    auto v = integerValue(ev, key);
    if (!v || *v <= 0) return std::nullopt;
    return v;
}

std::optional<std::int64_t> firstOf(std::optional<std::int64_t> a, std::optional<std::int64_t> b) { return a ? a : b; }

// One µWh is 3.6 mJ; one µAh at one µV is a millionth of that.
double fromMicroWh(std::int64_t uWh) { return static_cast<double>(uWh) * 3.6; }
double fromMicroAh(std::int64_t uAh, std::int64_t uV) {
    return static_cast<double>(uAh) * static_cast<double>(uV) * 3.6e-6;
}

// The energy one of the battery's counters ("NOW", "FULL", "FULL_DESIGN") holds: the energy
// counter, else the charge counter at `uV`; absent when it is a charge and there is no voltage.
std::optional<double> counterMJ(const Uevent& ev, const std::string& which, std::optional<std::int64_t> uV) {
    if (auto energy = integerValue(ev, "ENERGY_" + which)) return fromMicroWh(*energy);
    auto charge = integerValue(ev, "CHARGE_" + which);
    if (!charge || !uV) return std::nullopt;
    return fromMicroAh(*charge, *uV);
}

bool hasCounter(const Uevent& ev, const std::string& which) {
    return integerValue(ev, "ENERGY_" + which) || integerValue(ev, "CHARGE_" + which);
}

// The level from the counters when the battery gives no percentage: now over full in the same
// kind, energy or charge, so no voltage is needed.
std::optional<double> counterLevel(const Uevent& ev) {
    for (const std::string kind : {"ENERGY_", "CHARGE_"}) {
        auto now = integerValue(ev, kind + "NOW");
        if (!now) continue;
        auto full = firstOf(integerValue(ev, kind + "FULL"), integerValue(ev, kind + "FULL_DESIGN"));
        if (!full || *full <= 0) return std::nullopt;
        return static_cast<double>(*now) / static_cast<double>(*full) * 100.0;
    }
    return std::nullopt;
}

}  // namespace

Uevent parseUevent(std::string_view text) {
    Uevent ev;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        line = trimmed(line);
        if (!line.starts_with(prefix)) continue;
        line.remove_prefix(prefix.size());
        const auto eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0) continue;
        ev.insert_or_assign(std::string(line.substr(0, eq)), std::string(trimmed(line.substr(eq + 1))));
    }
    return ev;
}

std::optional<std::int64_t> integerValue(const Uevent& ev, std::string_view key) {
    auto value = text(ev, key);
    if (!value || value->empty()) return std::nullopt;
    std::int64_t n = 0;
    const char* end = value->data() + value->size();
    auto [ptr, ec] = std::from_chars(value->data(), end, n);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return n;
}

bool externalPower(const std::vector<Uevent>& batteries, std::optional<bool> supplyOnline) {
    bool charging = false, discharging = false, held = false;
    for (const Uevent& ev : batteries) {
        const std::string_view status = text(ev, "STATUS").value_or("");
        charging = charging || status == "Charging";
        discharging = discharging || status == "Discharging";
        held = held || status == "Full" || status == "Not charging";
    }
    if (charging) return true;
    return supplyOnline.value_or(held && !discharging);
}

BatteryReading batteryReading(const Uevent& battery, bool external) {
    BatteryReading r;
    if (auto capacity = integerValue(battery, "CAPACITY")) r.levelPct = static_cast<double>(*capacity);
    else r.levelPct = counterLevel(battery);

    const std::string_view status = text(battery, "STATUS").value_or("");
    r.state = !external ? ChargeState::discharging
              : status == "Charging" ? ChargeState::charging
                                     : ChargeState::acPower;

    const auto designUV = positive(battery, "VOLTAGE_MIN_DESIGN"), nowUV = positive(battery, "VOLTAGE_NOW");
    // The capacity is a property of the battery, so the design voltage; what is left now is
    // better told by the present one, which falls as the battery empties.
    r.fullMJ = counterMJ(battery, hasCounter(battery, "FULL") ? "FULL" : "FULL_DESIGN", firstOf(designUV, nowUV));
    if (auto now = counterMJ(battery, "NOW", firstOf(nowUV, designUV)); now && *now >= 0) r.remainingMJ = now;

    if (auto uW = integerValue(battery, "POWER_NOW")) {
        r.powerMW = std::fabs(static_cast<double>(*uW)) / 1000.0;
    } else if (auto uA = integerValue(battery, "CURRENT_NOW"); uA && nowUV) {
        // µA x µV = pW.
        r.powerMW = std::fabs(static_cast<double>(*uA)) * static_cast<double>(*nowUV) * 1e-9;
    }
    return r;
}

BatteryReading combinedReading(const std::vector<Uevent>& batteries, std::optional<bool> supplyOnline) {
    if (batteries.empty()) return {};
    const bool external = externalPower(batteries, supplyOnline);
    if (batteries.size() == 1) return batteryReading(batteries.front(), external);

    // The level summed in energy, the one unit every battery can be put in; a battery that
    // cannot tell both its full energy and its level is left out of those sums.
    double fullMJ = 0, nowMJ = 0;
    std::optional<double> remainingMJ = 0.0, powerMW = 0.0;
    bool charging = false;
    // A sum that misses one battery would read as a step when that battery is counted again.
    const auto sum = [](std::optional<double>& total, std::optional<double> part) {
        total = total && part ? std::optional(*total + *part) : std::nullopt;
    };
    for (const Uevent& ev : batteries) {
        const BatteryReading one = batteryReading(ev, external);
        charging = charging || one.state == ChargeState::charging;
        sum(remainingMJ, one.remainingMJ);
        sum(powerMW, one.powerMW);
        const auto full = Battery::capacityMJ(one);
        const auto pct = Battery::snapshot(one).pct;
        if (!full || !pct) continue;
        fullMJ += *full;
        nowMJ += *full * *pct / 100;
    }
    BatteryReading r;
    if (fullMJ > 0) {
        r.levelPct = nowMJ / fullMJ * 100;
        r.fullMJ = fullMJ;
    } else {
        r = batteryReading(batteries.front(), external);
    }
    r.state = !external ? ChargeState::discharging : charging ? ChargeState::charging : ChargeState::acPower;
    r.remainingMJ = remainingMJ;
    r.powerMW = powerMW;
    return r;
}

}  // namespace sapwell::platform
