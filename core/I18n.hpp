#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Seam.hpp"

namespace sapwell {

// The four UI languages, in the column order of the string table.
class Lang {
public:
    enum Value : std::uint8_t { en, ru, de, zh };

    constexpr Lang(Value v) : value_(v) {}
    constexpr operator Value() const { return value_; }

    std::string_view htmlCode() const;  // "en", "ru", "de", "zh"
    std::string_view jsLocale() const;  // "en-US", "ru-RU", "de-DE", "zh-CN"
    static const std::array<Lang, 4> all;

    // First piece of a code split at "-" and "_", compared exactly; absent otherwise.
    static std::optional<Lang> from(std::string_view code);
    // SAPWELL_LANG, else the system locale's language (Environment::localeName), else English.
    static Lang detect(const Environment& env);

private:
    Value value_;
};

// The string keys, in table order: the 80 every build shares, then those of battery drain, then
// those of a history that cannot be written.
enum class S : std::uint8_t {
    percentPerHour, percentOfBattery, lessThanTenth, watt, milliwatt, wattHour, joule, cpuHours,
    cpuMinutes, cpuSeconds, day, hour, minute, second, metricEnergy, metricCPUTime, now,
    window15m, window30m, window1h, window24h, noDataYet, noActivity, activeFor, runtimeEstimate,
    batteryCapacity, noBattery, collected, openChart, quit, clickToReveal, systemProcess, unknown,
    chartWindowTitle, chartWindowTitleCPU, chartTitle, chartTitleCPU, chartCollected, chartUpdated,
    chartInPercent, chartInJoules, chartInCPU, cpuProxy, viewMode, viewStacked, viewLines,
    smoothing, min1, min5, min15, hideAll, showAll, colApp, colTotal, colAvgRate, colPeak,
    colShare, other, noData, appNotFound, tooltipReveal, batteryLevel, stateDischarging,
    stateCharging, stateACPower, batNoData, unitWatt, unitPctPerHourShort,
    unitCPUSecondsPerMinute, unitMilliwatt, unitMicrowatt, unitWattHour, unitMilliwattHour,
    unitMicrowattHour, period, period1h, period6h, period1d, period1w, periodAll,
    idleAndScreen, drainShared, runtimeMeasured, onBatteryFor, lastSleep, viewCPU, viewBattery,
    measure, scrollKeys, historyNotSaved, historySavedAgain, historyTooLarge, minutesNotSaved,
    faultNotRegular, faultNotOwned, faultDiskFull, faultReadOnly, faultDenied, faultFailed,
    faultOtherInstance, faultNotLocked, faultNoFolder, cpuPercentMeaning,
    commandLineProgram, noTraySummary, noTrayBody,
};

inline constexpr std::size_t stringKeyCount = 106;

// Every key in declaration order.
const std::array<S, stringKeyCount>& allKeys();
// The four texts of a key: English, Russian, German, Chinese.
const std::array<std::string_view, 4>& table(S key);
// The text of a key in a language.
std::string_view t(Lang lang, S key);

// The POSIX locale ("de_AT.UTF-8") in which texts of other programs, such as the names in desktop
// entries, are read to go with ours: the system locale when its language is the one shown, else
// the shown language's own ("ru_RU").
std::string readingLocale(const Environment& env);

}  // namespace sapwell
