#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>

#include "Format.hpp"

namespace sapwell {
namespace {

const auto discharging = ChargeState::discharging, charging = ChargeState::charging;
// 180,000,000 mJ is a 50 Wh battery.
Units energy(std::optional<ChargeState> s, Lang l = Lang::en, double mJ = 180e6) { return {Metric::energy, mJ, s, l}; }
Units cpu() { return Units(Metric::cpuTime, 180e6, discharging, Lang::en); }

TEST(Format, PercentFiguresNeedBatteryEnergyAndDischarging) {  // an unknown state counts as on battery
    const std::pair<Units, bool> cases[] = {{energy(discharging), true}, {energy(std::nullopt), true},
        {energy(charging), false}, {energy(ChargeState::acPower), false}, {cpu(), false},
        {Units(Metric::energy, Lang::en), false}, {energy(discharging, Lang::en, 0), false}};
    for (const auto& [units, pct] : cases)
        EXPECT_EQ(std::pair(units.percentPerHour(9'000'000, 3600), rate(9'000'000, 3600, units).ends_with("%/h")),
                  std::pair(pct ? std::optional(5.0) : std::nullopt, pct));
}

TEST(Format, NumbersIgnoreTheHostLocale) {
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is missing";
    char printed[16];  // printf shows that the locale really was active
    std::snprintf(printed, sizeof printed, "%.1f", 2.5);
    const std::string formatted = fixed(2.5, 1), rated = rate(9'000'000, 3600, energy(charging));
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(std::string(printed) + " " + formatted + " " + rated, "2,5 2.5 2.50 W");
}

TEST(Format, FixedAndTrimRoundLikePrintf) {  // ties to even on the exact binary value
    EXPECT_EQ(fixed(2.5, 0) + " " + fixed(2.675, 2) + " " + fixed(1e20, 0), "2 2.67 100000000000000000000");
    for (const auto& [x, text] : std::vector<std::pair<double, std::string>>{{12.3, "12"}, {10, "10"}, {9.94, "9.9"},
             {9.96, "10.0"}, {0.1, "0.1"}, {0.099, "0.10"}, {0.05, "0.05"}, {0, "0.00"}})
        EXPECT_EQ(trim(x), text) << x;
}

TEST(Format, RateAndCompact) {
    const Units onBattery = energy(discharging), mains = energy(charging);
    const std::tuple<std::uint64_t, double, Units, std::string, std::string> cases[] = {
        {9'000'000, 0.5, onBattery, "—", "…"}, {9'000'000, NAN, mains, "—", "…"},  // too short
        {5'100, 0.51, mains, "10.00 W", "10.0 W"}, {9'000'000, 3600, onBattery, "5.0%/h", "5.0%/h"},
        {9996, 10, mains, "1000 mW", "1.0 W"}, {10'000, 10, mains, "1.00 W", "1.0 W"},  // 999.6 mW
        {3400, 10, energy(charging, Lang::ru), "340 мВт", "0.3 Вт"}, {25'000, 10, cpu(), "250% CPU", "250% CPU"}};
    for (const auto& [v, awake, units, rated, compacted] : cases)
        EXPECT_EQ(rate(v, awake, units) + "|" + compact(v, awake, units), rated + "|" + compacted);
}

TEST(Format, TotalStepsAtTheExactQuantity) {
    const Units pct = energy(discharging, Lang::en, 100'000), mains = energy(charging), c = cpu();
    const std::tuple<std::uint64_t, Units, std::string> cases[] = {
        {49, pct, "<0.1% of battery"}, {50, pct, "0.05% of battery"}, {99, pct, "0.10% of battery"},
        {12'300, pct, "12% of battery"}, {3'599'999, mains, "3600 J"}, {3'600'000, mains, "1.0 Wh"},
        {59'900, c, "60 CPU s"}, {60'000, c, "1 CPU min"}, {3'599'999, c, "60 CPU min"}, {3'600'000, c, "1.0 CPU hours"}};
    for (const auto& [value, units, text] : cases) EXPECT_EQ(total(value, units), text) << value;
}

TEST(Format, RuntimeEstimate) {  // 1000 mJ per hour is 1 %/h of `small`; "": no estimate
    const Units small = energy(discharging, Lang::en, 100'000), edge = energy(discharging, Lang::en, 2'400'000);
    const std::tuple<std::uint64_t, double, Units, std::string> cases[] = {
        {9'000'000, 3600, energy(discharging), "20 h 00 min"}, {9'000'000, 3600, energy(charging), ""},
        {9'000'000, 0.5, energy(discharging), ""}, {1990, 3600, small, ""},  // 1.99 %/h
        {100'000, 3600, edge, ""}, {100'001, 3600, edge, "23 h 59 min"},  // either side of 24 h
        {125'000, 60, energy(discharging), ""},  // 100/24 %/h: exactly 24 h is no estimate
        {12'300, 3600, small, "8 h 07 min"}, {150'000, 3600, small, "40 min"}};
    for (const auto& [v, awake, units, time] : cases)
        EXPECT_EQ(runtimeEstimate(v, awake, units).value_or(""),
                  time.empty() ? "" : "at most " + time + " on processes alone (screen excluded)");
}

TEST(Format, MeasuredRuntimeAndPlaceholders) {  // 3.6e6 mJ at 1000 mW is one hour
    const std::tuple<double, double, Lang, std::string> cases[] = {{3.6e6, 1000, Lang::en, "about 1 h 00 min left at this rate"},
        {54e6, 3600, Lang::en, "about 4 h 10 min left at this rate"}, {1.8e6, 1000, Lang::de, "noch etwa 30 Min. bei diesem Verbrauch"},
        {3.6e6, 0, Lang::en, ""}, {0, 1000, Lang::en, ""}, {3.6e6, NAN, Lang::en, ""}, {1e300, 1, Lang::en, ""}};
    for (const auto& [mJ, mW, lang, text] : cases) EXPECT_EQ(measuredRuntime(mJ, mW, lang).value_or(""), text) << mJ;
    // Every occurrence, in any order; a value is never searched for placeholders itself.
    EXPECT_EQ(fillIn("{t}: {p} ({t}) {x}", {{"{p}", "{t}"}, {"{t}", "1 h"}}), "1 h: {t} (1 h) {x}");
}

TEST(Format, Duration) {
    const std::tuple<double, Lang, std::string> cases[] = {{-5, Lang::en, "0 s"}, {NAN, Lang::en, "0 s"},
        {59.9, Lang::en, "59 s"}, {60, Lang::en, "1 min"}, {3599, Lang::en, "59 min"}, {3600, Lang::en, "1 h 00 min"},
        {86'399, Lang::en, "23 h 59 min"}, {86'400, Lang::en, "1 days 00 h"}, {5400, Lang::de, "1 Std. 30 Min."}};
    for (const auto& [seconds, lang, text] : cases) EXPECT_EQ(duration(seconds, lang), text);
    EXPECT_TRUE(duration(INFINITY, Lang::en).ends_with(" h"));
}

TEST(Format, ShortNameCutsBetweenWholeCharacters) {
    const auto times = [](std::string s, int n) { std::string o; while (n--) o += s; return o; };
    const std::string accent = "e\u0301", flag = "🇩🇪", thumb = "👍🏽";
    const std::tuple<std::string, int, std::string> cases[] = {  // Я: more bytes than max, still fits
        {times("a", 28), 28, times("a", 28)}, {times("a", 29), 28, times("a", 27) + "…"}, {times("Я", 28), 28, times("Я", 28)},
        {times(accent, 29), 28, times(accent, 27) + "…"}, {times(flag, 5), 4, times(flag, 3) + "…"},
        {"ab" + thumb + "cd", 4, "ab" + thumb + "…"}, {"abc", 1, "…"}, {"", 1, ""}};
    for (const auto& [name, max, text] : cases) EXPECT_EQ(shortName(name, max), text) << name;
}

}  // namespace
}  // namespace sapwell
