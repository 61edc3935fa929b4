#include "PowerSupply.hpp"

#include <charconv>

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

// Micro-units to milli-units.
double milli(std::int64_t micro) { return static_cast<double>(micro) / 1000.0; }

// A full charge in mAh: the charge counter if the battery keeps one, else its energy counter
// divided by the voltage that capacityMJ() multiplies back, so the product is the energy itself.
std::optional<double> fullMAh(const Uevent& ev, std::string_view chargeKey,
                              std::string_view energyKey, std::optional<std::int64_t> microVolt) {
    if (auto charge = integerValue(ev, chargeKey)) return milli(*charge);
    auto energy = integerValue(ev, energyKey);
    if (!energy || !microVolt || *microVolt <= 0) return std::nullopt;
    // µWh ÷ µV = Ah.
    return static_cast<double>(*energy) / static_cast<double>(*microVolt) * 1000.0;
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

PropertyMap batteryProperties(const Uevent& battery, bool external) {
    PropertyMap props;
    if (auto capacity = integerValue(battery, "CAPACITY")) {
        props["CurrentCapacity"] = static_cast<double>(*capacity);
        props["MaxCapacity"] = 100.0;
    }

    std::optional<std::int64_t> microVolt = integerValue(battery, "VOLTAGE_MIN_DESIGN");
    if (!microVolt || *microVolt <= 0) microVolt = integerValue(battery, "VOLTAGE_NOW");
    // A battery that counts energy needs no voltage: it divides the energy into charge here and
    // capacityMJ() multiplies it back, so any positive one serves. One volt keeps the figures.
    const bool countsCharge = integerValue(battery, "CHARGE_FULL") || integerValue(battery, "CHARGE_NOW") ||
                              integerValue(battery, "CHARGE_FULL_DESIGN");
    if ((!microVolt || *microVolt <= 0) && !countsCharge) microVolt = 1'000'000;
    if (microVolt && *microVolt > 0) props["Voltage"] = milli(*microVolt);

    if (auto mah = fullMAh(battery, "CHARGE_FULL", "ENERGY_FULL", microVolt))
        props["NominalChargeCapacity"] = *mah;
    if (auto mah = fullMAh(battery, "CHARGE_FULL_DESIGN", "ENERGY_FULL_DESIGN", microVolt))
        props["DesignCapacity"] = *mah;
    // The level's fallback when the battery reports no percentage.
    if (auto mah = fullMAh(battery, "CHARGE_NOW", "ENERGY_NOW", microVolt))
        props["AppleRawCurrentCapacity"] = *mah;

    props["ExternalConnected"] = external;
    props["IsCharging"] = text(battery, "STATUS") == "Charging";
    return props;
}

std::optional<PropertyMap> combinedProperties(const std::vector<Uevent>& batteries,
                                              std::optional<bool> supplyOnline) {
    if (batteries.empty()) return std::nullopt;
    const bool external = externalPower(batteries, supplyOnline);
    if (batteries.size() == 1) return batteryProperties(batteries.front(), external);

    // Summed in energy, the one unit every battery can be put in; a battery that cannot tell
    // both its full energy and its level is left out of the sums.
    double fullMJ = 0, nowMJ = 0;
    bool charging = false;
    for (const Uevent& ev : batteries) {
        const PropertyMap one = batteryProperties(ev, external);
        charging = charging || std::get<bool>(one.at("IsCharging"));
        const auto full = Battery::capacityMJ(one);
        const auto pct = Battery::snapshot(one).pct;
        if (!full || !pct) continue;
        fullMJ += *full;
        nowMJ += *full * *pct / 100;
    }
    if (!(fullMJ > 0)) {
        PropertyMap first = batteryProperties(batteries.front(), external);
        first["IsCharging"] = charging;
        return first;
    }
    PropertyMap props;
    props["CurrentCapacity"] = nowMJ / fullMJ * 100;
    props["MaxCapacity"] = 100.0;
    props["Voltage"] = 1000.0;                       // mV: one volt, so that
    props["NominalChargeCapacity"] = fullMJ / 3600;  // mAh x mV x 3.6 is the energy in mJ
    props["ExternalConnected"] = external;
    props["IsCharging"] = charging;
    return props;
}

}  // namespace sapwell::platform
