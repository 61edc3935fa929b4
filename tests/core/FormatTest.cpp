#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "Format.hpp"
#include "Text.hpp"

namespace sapwell {
namespace {

constexpr double capacity = 180'000'000;  // mJ, a 50 Wh battery
const std::string dash = "\xe2\x80\x94", ellipsis = "\xe2\x80\xa6";

Units energy(std::optional<ChargeState> state, Lang lang = Lang::en, double mJ = capacity) {
    return Units(Metric::energy, mJ, state, lang);
}
Units cpu(Lang lang = Lang::en) {
    return Units(Metric::cpuTime, capacity, ChargeState::discharging, lang);
}
const auto discharging = ChargeState::discharging;
const auto charging = ChargeState::charging;

TEST(Format, PercentFiguresNeedBatteryEnergyAndDischarging) {
    const std::pair<Units, bool> cases[] = {
        {energy(discharging), true},
        {energy(std::nullopt), true},  // an unknown state counts as on battery
        {energy(charging), false},
        {energy(ChargeState::acPower), false},
        {Units(Metric::energy, Lang::en), false},
        {energy(discharging, Lang::en, 0), false},
        {cpu(), false},
    };
    for (const auto& [units, percent] : cases) {
        EXPECT_EQ(units.percentPerHour(9'000'000, 3600),
                  percent ? std::optional(5.0) : std::nullopt);
        EXPECT_EQ(rate(9'000'000, 3600, units).ends_with("%/h"), percent);
    }
    EXPECT_EQ(energy(discharging).percentPerHour(9'000'000, 0.5), std::nullopt);
}

TEST(Format, NumbersIgnoreTheHostLocale) {
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/setup.sh generates it)";
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 2.5);
    const std::string formatted = fixed(2.5, 1), rated = rate(9'000'000, 3600, energy(charging));
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_STREQ(printed, "2,5");  // the locale really was active
    EXPECT_EQ(formatted, "2.5");
    EXPECT_EQ(rated, "2.50 W");
}

TEST(Format, FixedAndTrimRoundLikePrintf) {
    EXPECT_EQ(fixed(2.5, 0), "2");  // ties to even on the exact binary value
    EXPECT_EQ(fixed(2.675, 2), "2.67");
    EXPECT_EQ(fixed(1e20, 0), "100000000000000000000");
    const std::pair<double, std::string> trims[] = {{12.3, "12"},   {10, "10"},   {9.94, "9.9"},
                                                    {9.96, "10.0"}, {0.1, "0.1"}, {0.099, "0.10"},
                                                    {0.05, "0.05"}, {0, "0.00"}};
    for (const auto& [x, text] : trims) EXPECT_EQ(trim(x), text) << x;
}

TEST(Format, RateAndCompact) {
    struct Case {
        std::uint64_t value;
        double awakeS;
        Units units;
        std::string rate, compact;
    } cases[] = {
        {9'000'000, 0.5, energy(discharging), dash, ellipsis},
        {9'000'000, std::nan(""), energy(charging), dash, ellipsis},
        {5'100, 0.51, energy(charging), "10.00 W", "10.0 W"},
        {9'000'000, 3600, energy(discharging), "5.0%/h", "5.0%/h"},
        {9'000'000, 3600, energy(discharging, Lang::ru), "5.0%/\xd1\x87", "5.0%/\xd1\x87"},
        {9'000'000, 3600, energy(charging), "2.50 W", "2.5 W"},
        {9'000'000, 3600, energy(charging, Lang::zh), "2.50 \xe7\x93\xa6", "2.5 \xe7\x93\xa6"},
        {9996, 10, energy(charging), "1000 mW", "1.0 W"},  // 999.6 mW
        {10'000, 10, energy(charging), "1.00 W", "1.0 W"},
        {3400, 10, energy(charging, Lang::ru), "340 \xd0\xbc\xd0\x92\xd1\x82",
         "0.3 \xd0\x92\xd1\x82"},
        {25'000, 10, cpu(Lang::de), "250% CPU", "250% CPU"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rate(c.value, c.awakeS, c.units), c.rate) << c.value << " " << c.awakeS;
        EXPECT_EQ(compact(c.value, c.awakeS, c.units), c.compact) << c.value << " " << c.awakeS;
    }
}

TEST(Format, TotalStepsAtTheExactQuantity) {
    const Units pct = energy(discharging, Lang::en, 100'000);
    const std::tuple<std::uint64_t, Units, std::string> cases[] = {
        {49, pct, "<0.1% of battery"},
        {50, pct, "0.05% of battery"},
        {99, pct, "0.10% of battery"},
        {12'300, pct, "12% of battery"},
        {49, energy(std::nullopt, Lang::de, 100'000), "<0.1% des Akkus"},
        {3'599'999, energy(charging), "3600 J"},
        {3'600'000, energy(charging), "1.0 Wh"},
        {9'000'000, energy(charging, Lang::ru), "2.5 \xd0\x92\xd1\x82\xc2\xb7\xd1\x87"},
        {59'900, cpu(), "60 CPU s"},
        {60'000, cpu(), "1 CPU min"},
        {3'599'999, cpu(), "60 CPU min"},
        {3'600'000, cpu(), "1.0 CPU hours"},
        {5'400'000, cpu(Lang::de), "1.5 CPU-Std."},
    };
    for (const auto& [value, units, text] : cases) EXPECT_EQ(total(value, units), text) << value;
}

TEST(Format, RuntimeEstimate) {
    const Units small = energy(discharging, Lang::en, 100'000);  // 1000 mJ per hour is 1 %/h
    const Units edge = energy(discharging, Lang::en, 2'400'000);
    const auto en = [](std::string time) {
        return "at most " + time + " on processes alone (screen excluded)";
    };
    const std::tuple<std::uint64_t, double, Units, std::optional<std::string>> cases[] = {
        {9'000'000, 3600, energy(discharging), en("20 h 00 min")},
        {9'000'000, 3600, energy(charging), std::nullopt},
        {9'000'000, 0.5, energy(discharging), std::nullopt},
        {1990, 3600, small, std::nullopt},                                 // 1.99 %/h
        {100, 360, energy(std::nullopt, Lang::en, 24'000), std::nullopt},  // exactly 24 hours
        {100'000, 3600, edge, std::nullopt},                               // a hair over 24 hours
        {100'001, 3600, edge, en("23 h 59 min")},
        {12'300, 3600, small, en("8 h 07 min")},
        {150'000, 3600, small, en("40 min")},
        {150'000, 3600, energy(std::nullopt, Lang::de, 100'000),
         "h\xc3\xb6"
         "chstens 40 Min. allein durch Prozesse (ohne Display)"},
    };
    for (const auto& [value, awakeS, units, text] : cases)
        EXPECT_EQ(runtimeEstimate(value, awakeS, units), text) << value;
}

TEST(Format, Duration) {
    const std::tuple<double, Lang, std::string> cases[] = {
        {-5, Lang::en, "0 s"},
        {std::nan(""), Lang::en, "0 s"},
        {59.9, Lang::en, "59 s"},
        {60, Lang::en, "1 min"},
        {3599, Lang::en, "59 min"},
        {3600, Lang::en, "1 h 00 min"},
        {11'220, Lang::en, "3 h 07 min"},
        {86'399, Lang::en, "23 h 59 min"},
        {86'400, Lang::en, "1 days 00 h"},
        {190'800, Lang::en, "2 days 05 h"},
        {5400, Lang::de, "1 Std. 30 Min."},
    };
    for (const auto& [seconds, lang, text] : cases) EXPECT_EQ(duration(seconds, lang), text);
    EXPECT_TRUE(duration(std::numeric_limits<double>::infinity(), Lang::en).ends_with(" h"));
}

TEST(Format, ShortNameCutsBetweenWholeCharacters) {
    const std::string accented = "e\xcc\x81";                      // e + combining acute
    const std::string flag = "\xf0\x9f\x87\xa9\xf0\x9f\x87\xaa";   // two regional indicators
    const std::string thumb = "\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd";  // emoji + skin tone
    const auto repeat = [](const std::string& s, int n) {
        std::string out;
        while (n-- > 0) out += s;
        return out;
    };
    const std::tuple<std::string, int, std::string> cases[] = {
        {repeat("a", 28), 28, repeat("a", 28)},
        {repeat("a", 29), 28, repeat("a", 27) + ellipsis},
        {repeat("\xd0\xaf", 28), 28, repeat("\xd0\xaf", 28)},  // more bytes than max, still fits
        {repeat(accented, 29), 28, repeat(accented, 27) + ellipsis},
        {repeat(flag, 5), 4, repeat(flag, 3) + ellipsis},
        {"ab" + thumb + "cd", 4, "ab" + thumb + ellipsis},
        {"abc", 1, ellipsis},
        {"", 1, ""},
    };
    for (const auto& [name, max, text] : cases) EXPECT_EQ(shortName(name, max), text) << name;
}

}  // namespace
}  // namespace sapwell
