#include "Format.hpp"

#include <cmath>
#include <limits>

#include "Decimal.hpp"
#include "Text.hpp"

namespace sapwell {

namespace {

std::string integer(std::int64_t n, int width = 0) {
    std::string digits;
    appendInt(digits, n);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return digits;
}

std::string withUnit(std::string number, Lang lang, S unit) {
    number += ' ';
    number += t(lang, unit);
    return number;
}

// "%d %@ %02d %@": a major count and a zero-padded minor count, each with its unit word.
std::string twoPart(std::int64_t major, S majorUnit, std::int64_t minor, S minorUnit, Lang lang) {
    std::string out = withUnit(integer(major), lang, majorUnit);
    out += ' ';
    out += withUnit(integer(minor, 2), lang, minorUnit);
    return out;
}

// "7 h 05 min", or "40 min" under an hour; both counts truncated.
std::string hoursAndMinutes(double hours, Lang lang) {
    const auto h = static_cast<std::int64_t>(hours);
    const auto m = static_cast<std::int64_t>((hours - static_cast<double>(h)) * 60);
    return h > 0 ? twoPart(h, S::hour, m, S::minute, lang) : withUnit(integer(m), lang, S::minute);
}

// "%.0f%% CPU": CPU milliseconds per awake second as percent of one core.
std::string cpuPercent(std::uint64_t value, double awakeS) {
    return fixed(static_cast<double>(value) / awakeS / 10, 0) + "% CPU";
}

// Too little awake time leaves a rate undefined; NaN counts as too little.
bool tooShort(double awakeS) {
    return !(awakeS > 0.5);
}

}  // namespace

bool Units::onBattery() const {
    return !(chargeState == ChargeState::charging || chargeState == ChargeState::acPower);
}

std::optional<double> Units::percentPerHour(std::uint64_t value, double awakeS) const {
    if (tooShort(awakeS)) return std::nullopt;
    if (!onBattery() || !batteryMJ || !(*batteryMJ > 0) || metric != Metric::energy)
        return std::nullopt;
    return static_cast<double>(value) / *batteryMJ * 100 / awakeS * 3600;
}

std::string fixed(double x, int decimals) {
    std::string out;
    if (!appendFixed(out, x, decimals)) return "—";
    return out;
}

std::string trim(double x) {
    if (x >= 10) return fixed(x, 0);
    if (x >= 0.1) return fixed(x, 1);
    return fixed(x, 2);
}

std::string rate(std::uint64_t value, double awakeS, const Units& units) {
    if (tooShort(awakeS)) return "—";
    if (auto p = units.percentPerHour(value, awakeS))
        return trim(*p) + std::string(t(units.lang, S::percentPerHour));
    if (units.metric == Metric::cpuTime) return cpuPercent(value, awakeS);
    const double mW = static_cast<double>(value) / awakeS;
    if (mW >= 1000) return withUnit(fixed(mW / 1000, 2), units.lang, S::watt);
    return withUnit(fixed(mW, 0), units.lang, S::milliwatt);
}

std::string compact(std::uint64_t value, double awakeS, const Units& units) {
    if (tooShort(awakeS)) return "…";
    if (auto p = units.percentPerHour(value, awakeS))
        return trim(*p) + std::string(t(units.lang, S::percentPerHour));
    if (units.metric == Metric::cpuTime) return cpuPercent(value, awakeS);
    return withUnit(fixed(static_cast<double>(value) / awakeS / 1000, 1), units.lang, S::watt);
}

std::string total(std::uint64_t value, const Units& units) {
    const double v = static_cast<double>(value);
    if (units.onBattery() && units.batteryMJ && *units.batteryMJ > 0 &&
        units.metric == Metric::energy) {
        const double p = v / *units.batteryMJ * 100;
        if (p < 0.05) return std::string(t(units.lang, S::lessThanTenth));
        return trim(p) + std::string(t(units.lang, S::percentOfBattery));
    }
    if (units.metric == Metric::energy) {
        if (v >= 3'600'000) return withUnit(fixed(v / 3'600'000, 1), units.lang, S::wattHour);
        return withUnit(fixed(v / 1000, 0), units.lang, S::joule);
    }
    const double s = v / 1000;
    if (s >= 3600) return withUnit(fixed(s / 3600, 1), units.lang, S::cpuHours);
    if (s >= 60) return withUnit(fixed(s / 60, 0), units.lang, S::cpuMinutes);
    return withUnit(fixed(s, 0), units.lang, S::cpuSeconds);
}

std::optional<std::string> runtimeEstimate(std::uint64_t value, double awakeS, const Units& units) {
    const auto p = units.percentPerHour(value, awakeS);
    if (!p || !(*p >= 2.0)) return std::nullopt;
    const double hours = 100 / *p;
    if (!(hours < 24)) return std::nullopt;
    return fillIn(t(units.lang, S::runtimeEstimate), {{"{t}", hoursAndMinutes(hours, units.lang)}});
}

std::optional<std::string> measuredRuntime(double remainingMJ, double powerMW, Lang lang) {
    if (!(remainingMJ > 0) || !(powerMW > 0)) return std::nullopt;
    const double hours = remainingMJ / powerMW / 3600;
    // Beyond a year the figure says nothing a user could act on (and would overflow the count).
    if (!(hours < 24 * 366)) return std::nullopt;
    return fillIn(t(lang, S::runtimeMeasured), {{"{t}", hoursAndMinutes(hours, lang)}});
}

std::string duration(double seconds, Lang lang) {
    // NaN and negatives count as zero; absurdly large values stop at the largest count.
    constexpr double limit = 9.0e18;
    const std::int64_t n = !(seconds > 0)     ? 0
                           : seconds >= limit ? static_cast<std::int64_t>(limit)
                                              : static_cast<std::int64_t>(seconds);
    if (n >= 86'400) return twoPart(n / 86'400, S::day, n % 86'400 / 3600, S::hour, lang);
    if (n >= 3600) return twoPart(n / 3600, S::hour, n % 3600 / 60, S::minute, lang);
    if (n >= 60) return withUnit(integer(n / 60), lang, S::minute);
    return withUnit(integer(n), lang, S::second);
}

std::string shortName(std::string_view name, int max) {
    const std::size_t limit = max < 1 ? 1 : static_cast<std::size_t>(max);
    // A cluster is at least one byte, so a short byte string needs no counting.
    if (name.size() <= limit) return std::string(name);
    return text::cutWithEllipsis(name, limit, [](std::string_view) -> std::size_t { return 1; });
}

std::string fillIn(std::string_view pattern, std::initializer_list<Placeholder> values) {
    std::string out;
    std::size_t from = 0;
    while (from < pattern.size()) {
        // The earliest placeholder next; a value's own text is never searched again.
        std::size_t at = std::string_view::npos;
        const Placeholder* found = nullptr;
        for (const Placeholder& p : values) {
            const std::size_t pos = p.key.empty() ? std::string_view::npos : pattern.find(p.key, from);
            if (pos < at) at = pos, found = &p;
        }
        if (!found) break;
        out.append(pattern.substr(from, at - from));
        out.append(found->value);
        from = at + found->key.size();
    }
    if (from < pattern.size()) out.append(pattern.substr(from));
    return out;
}

}  // namespace sapwell
