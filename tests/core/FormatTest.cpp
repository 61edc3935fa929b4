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

Units onBattery(Lang lang = Lang::en) {
    return Units(Metric::energy, capacity, ChargeState::discharging, lang);
}
Units charging(Lang lang = Lang::en) {
    return Units(Metric::energy, capacity, ChargeState::charging, lang);
}
Units cpu(Lang lang = Lang::en) {
    return Units(Metric::cpuTime, capacity, ChargeState::discharging, lang);
}

TEST(Units, PercentFiguresNeedBatteryEnergyAndDischarging) {
    struct Case {
        Units units;
        double awakeS;
        std::optional<double> pct;
    } cases[] = {
        {onBattery(), 3600, 5.0},
        {Units(Metric::energy, capacity, std::nullopt, Lang::en), 3600, 5.0},  // state unknown
        {onBattery(), 0.5, std::nullopt},
        {onBattery(), std::nan(""), std::nullopt},
        {charging(), 3600, std::nullopt},
        {Units(Metric::energy, capacity, ChargeState::acPower, Lang::en), 3600, std::nullopt},
        {Units(Metric::energy, Lang::en), 3600, std::nullopt},
        {Units(Metric::energy, 0.0, ChargeState::discharging, Lang::en), 3600, std::nullopt},
        {Units(Metric::energy, -5.0, ChargeState::discharging, Lang::en), 3600, std::nullopt},
        {cpu(), 3600, std::nullopt},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto p = cases[i].units.percentPerHour(9'000'000, cases[i].awakeS);
        ASSERT_EQ(p.has_value(), cases[i].pct.has_value()) << i;
        if (p) {
            EXPECT_DOUBLE_EQ(*p, *cases[i].pct) << i;
        }
    }
}

TEST(Format, FixedRoundsLikePrintf) {
    struct Case {
        double x;
        int decimals;
        std::string text;
    } cases[] = {
        {2.5, 1, "2.5"},    {2.5, 0, "2"},
        {3.5, 0, "4"},      {0.125, 2, "0.12"},
        {2.675, 2, "2.67"}, {0.0, 2, "0.00"},
        {999.6, 0, "1000"}, {1e20, 0, "100000000000000000000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fixed(c.x, c.decimals), c.text) << c.x;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*f", c.decimals, c.x);
        EXPECT_EQ(fixed(c.x, c.decimals), buf) << c.x;
    }
}

TEST(Format, NumbersIgnoreTheHostLocale) {
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/setup.sh generates it)";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 2.5);
    const std::string printed = buf;
    const std::string formatted = fixed(2.5, 1);
    const std::string rated = rate(9'000'000, 3600, charging(Lang::de));
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(printed, "2,5");  // the locale really is active
    EXPECT_EQ(formatted, "2.5");
    EXPECT_EQ(rated, "2.50 W");
}

TEST(Format, TrimChoosesDecimalsByMagnitude) {
    struct Case {
        double x;
        std::string text;
    } cases[] = {{12.3, "12"}, {10, "10"},      {9.94, "9.9"},  {9.96, "10.0"},
                 {0.1, "0.1"}, {0.099, "0.10"}, {0.05, "0.05"}, {0, "0.00"}};
    for (const auto& c : cases) EXPECT_EQ(trim(c.x), c.text) << c.x;
}

struct RateCase {
    std::uint64_t value;
    double awakeS;
    Units units;
    std::string rate, compact;
};

TEST(Format, RateAndCompact) {
    const RateCase cases[] = {
        {9'000'000, 0.5, onBattery(), "\xe2\x80\x94", "\xe2\x80\xa6"},
        {9'000'000, 0.0, charging(), "\xe2\x80\x94", "\xe2\x80\xa6"},
        {9'000'000, 3600, onBattery(), "5.0%/h", "5.0%/h"},
        {9'000'000, 3600, onBattery(Lang::ru), "5.0%/\xd1\x87", "5.0%/\xd1\x87"},
        {9'000'000, 3600, charging(), "2.50 W", "2.5 W"},
        {9'000'000, 3600, charging(Lang::zh), "2.50 \xe7\x93\xa6", "2.5 \xe7\x93\xa6"},
        {9'000'000, 3600, Units(Metric::energy, Lang::en), "2.50 W", "2.5 W"},
        {9996, 10, charging(), "1000 mW", "1.0 W"},  // 999.6 mW
        {10'000, 10, charging(), "1.00 W", "1.0 W"},
        {3400, 10, charging(Lang::ru), "340 \xd0\xbc\xd0\x92\xd1\x82", "0.3 \xd0\x92\xd1\x82"},
        {1, 0.51, charging(), "2 mW", "0.0 W"},
        {25'000, 10, cpu(), "250% CPU", "250% CPU"},
        {25'000, 10, cpu(Lang::de), "250% CPU", "250% CPU"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(rate(c.value, c.awakeS, c.units), c.rate) << i;
        EXPECT_EQ(compact(c.value, c.awakeS, c.units), c.compact) << i;
    }
}

TEST(Format, TotalStepsBetweenUnitsAtTheExactQuantity) {
    const Units pct(Metric::energy, 100'000.0, ChargeState::discharging, Lang::en);
    struct Case {
        std::uint64_t value;
        Units units;
        std::string text;
    } cases[] = {
        {49, pct, "<0.1% of battery"},
        {50, pct, "0.05% of battery"},
        {99, pct, "0.10% of battery"},
        {12'300, pct, "12% of battery"},
        {49, Units(Metric::energy, 100'000.0, std::nullopt, Lang::de), "<0.1% des Akkus"},
        {9'000'000, charging(), "2.5 Wh"},
        {3'599'999, charging(), "3600 J"},
        {3'600'000, charging(), "1.0 Wh"},
        {3'600'000, charging(Lang::ru), "1.0 \xd0\x92\xd1\x82\xc2\xb7\xd1\x87"},
        {0, Units(Metric::energy, Lang::en), "0 J"},
        {59'900, cpu(), "60 CPU s"},
        {60'000, cpu(), "1 CPU min"},
        {3'599'999, cpu(), "60 CPU min"},
        {3'600'000, cpu(), "1.0 CPU hours"},
        {5'400'000, cpu(Lang::de), "1.5 CPU-Std."},
    };
    for (const auto& c : cases) EXPECT_EQ(total(c.value, c.units), c.text) << c.value;
}

TEST(Format, RuntimeEstimate) {
    const Units small(Metric::energy, 100'000.0, ChargeState::discharging, Lang::en);
    const Units edge(Metric::energy, 2'400'000.0, ChargeState::discharging, Lang::en);
    struct Case {
        std::uint64_t value;
        Units units;
        std::optional<std::string> text;
    } cases[] = {
        {9'000'000, onBattery(), "at most 20 h 00 min on processes alone (screen excluded)"},
        {9'000'000, charging(), std::nullopt},
        {9'000'000, cpu(), std::nullopt},
        {1990, small, std::nullopt},    // 1.99 %/h
        {2000, small, std::nullopt},    // 2 %/h, 50 hours
        {100'000, edge, std::nullopt},  // 100/24 %/h: 24 hours
        {100'001, edge, "at most 23 h 59 min on processes alone (screen excluded)"},
        {150'000, small, "at most 40 min on processes alone (screen excluded)"},
        {12'300, small, "at most 8 h 07 min on processes alone (screen excluded)"},
        {150'000, Units(Metric::energy, 100'000.0, std::nullopt, Lang::de),
         "h\xc3\xb6"
         "chstens 40 Min. allein durch Prozesse (ohne Display)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(runtimeEstimate(c.value, 3600, c.units), c.text) << c.value;
    EXPECT_EQ(runtimeEstimate(9'000'000, 0.5, onBattery()), std::nullopt);
    // These figures give exactly 24 hours.
    EXPECT_EQ(runtimeEstimate(100, 360, Units(Metric::energy, 24'000.0, std::nullopt, Lang::en)),
              std::nullopt);
    // Every language fills its placeholder.
    for (Lang lang : Lang::all) {
        const auto text = runtimeEstimate(9'000'000, 3600, onBattery(lang));
        ASSERT_TRUE(text);
        EXPECT_EQ(text->find("{t}"), std::string::npos);
        EXPECT_NE(text->find("20 "), std::string::npos);
    }
}

TEST(Format, Duration) {
    struct Case {
        double seconds;
        Lang lang;
        std::string text;
    } cases[] = {
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
        {86'400, Lang::de, "1 Tage 00 Std."},
    };
    for (const auto& c : cases) EXPECT_EQ(duration(c.seconds, c.lang), c.text) << c.seconds;
    EXPECT_TRUE(duration(std::numeric_limits<double>::infinity(), Lang::en).ends_with(" h"));
    EXPECT_TRUE(duration(1e300, Lang::en).ends_with(" h"));
}

TEST(Format, ShortNameCutsBetweenWholeCharacters) {
    const std::string accented = "e\xcc\x81";                      // e + combining acute
    const std::string flag = "\xf0\x9f\x87\xa9\xf0\x9f\x87\xaa";   // two regional indicators
    const std::string thumb = "\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbd";  // emoji + skin tone
    const std::string ellipsis = "\xe2\x80\xa6";
    auto repeat = [](const std::string& s, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) out += s;
        return out;
    };
    struct Case {
        std::string name;
        int max;
        std::string text;
    } cases[] = {
        {repeat("a", 28), 28, repeat("a", 28)},
        {repeat("a", 29), 28, repeat("a", 27) + ellipsis},
        {repeat("\xd0\xaf", 28), 28, repeat("\xd0\xaf", 28)},  // more bytes than max, still fits
        {repeat(accented, 29), 28, repeat(accented, 27) + ellipsis},
        {repeat(flag, 5), 4, repeat(flag, 3) + ellipsis},
        {"ab" + thumb + "cd", 4, "ab" + thumb + ellipsis},
        {"abc", 1, ellipsis},
        {"a", 1, "a"},
        {"", 1, ""},
    };
    for (const auto& c : cases) {
        const std::string out = shortName(c.name, c.max);
        EXPECT_EQ(out, c.text) << c.name;
        EXPECT_LE(text::graphemeCount(out), static_cast<std::size_t>(c.max));
    }
}

}  // namespace
}  // namespace sapwell
