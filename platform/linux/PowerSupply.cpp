#include "PowerSupply.hpp"

#include <charconv>

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

PropertyMap batteryProperties(const Uevent& battery, std::optional<bool> externalOnline) {
    PropertyMap props;
    if (auto capacity = integerValue(battery, "CAPACITY")) {
        props["CurrentCapacity"] = static_cast<double>(*capacity);
        props["MaxCapacity"] = 100.0;
    }

    std::optional<std::int64_t> microVolt = integerValue(battery, "VOLTAGE_MIN_DESIGN");
    if (!microVolt || *microVolt <= 0) microVolt = integerValue(battery, "VOLTAGE_NOW");
    if (microVolt && *microVolt > 0) props["Voltage"] = milli(*microVolt);

    if (auto mah = fullMAh(battery, "CHARGE_FULL", "ENERGY_FULL", microVolt))
        props["NominalChargeCapacity"] = *mah;
    if (auto mah = fullMAh(battery, "CHARGE_FULL_DESIGN", "ENERGY_FULL_DESIGN", microVolt))
        props["DesignCapacity"] = *mah;
    // The level's fallback when the battery reports no percentage.
    if (auto mah = fullMAh(battery, "CHARGE_NOW", "ENERGY_NOW", microVolt))
        props["AppleRawCurrentCapacity"] = *mah;

    const std::string_view status = text(battery, "STATUS").value_or("");
    const bool external = externalOnline.value_or(status == "Charging" || status == "Full" ||
                                                  status == "Not charging");
    props["ExternalConnected"] = external;
    props["IsCharging"] = status == "Charging";
    return props;
}

}  // namespace sapwell::platform
