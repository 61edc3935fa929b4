#pragma once

#include <cstdint>
#include <initializer_list>
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
// "about 4 h 10 min left at this rate": the energy left over a measured power; absent unless both
// are positive and finite.
std::optional<std::string> measuredRuntime(double remainingMJ, double powerMW, Lang lang);
std::string duration(double seconds, Lang lang);
std::string shortName(std::string_view name, int max);

// A translated text with each placeholder ("{t}") replaced by its value wherever it occurs.
struct Placeholder {
    std::string_view key;
    std::string_view value;
};
std::string fillIn(std::string_view pattern, std::initializer_list<Placeholder> values);

}  // namespace sapwell
