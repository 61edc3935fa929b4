#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Battery.hpp"
#include "I18n.hpp"
#include "Metric.hpp"

namespace sapwell {

// Presentation context handed to every formatting call.
struct Units {
    Metric metric;
    std::optional<double> batteryMJ;
    std::optional<ChargeState> chargeState;
    Lang lang;

    Units(Metric metric, std::optional<double> batteryMJ, std::optional<ChargeState> chargeState,
          Lang lang)
        : metric(metric), batteryMJ(batteryMJ), chargeState(chargeState), lang(lang) {}
    Units(Metric metric, Lang lang) : metric(metric), lang(lang) {}

    bool onBattery() const;
    // Share of a full battery drained per awake hour at this rate; absent without percent figures.
    std::optional<double> percentPerHour(std::uint64_t value, double awakeS) const;
};

// Locale-independent "%.Nf".
std::string fixed(double x, int decimals);

std::string trim(double x);
std::string rate(std::uint64_t value, double awakeS, const Units& units);
std::string compact(std::uint64_t value, double awakeS, const Units& units);
std::string total(std::uint64_t value, const Units& units);
std::optional<std::string> runtimeEstimate(std::uint64_t value, double awakeS, const Units& units);
std::string duration(double seconds, Lang lang);
std::string shortName(std::string_view name, int max);

}  // namespace sapwell
