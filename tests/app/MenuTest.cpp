#include <gtest/gtest.h>

#include <sstream>

#include "AppController.hpp"
#include "MenuText.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using testing::TempDir;

constexpr std::int64_t T = 1733400000;  // a minute start; every menu below is built at T

struct Minute {
    std::int64_t ago;  // seconds before T
    double awake;
    NamedAmounts items;
};

// A history holding exactly these closed minutes.
std::unique_ptr<History> historyOf(const TempDir& dir, Metric metric,
                                   const std::vector<Minute>& minutes) {
    auto h = std::make_unique<History>(metric, T - 86400, dir / "history.tsv");
    for (const auto& m : minutes) {
        h->add(T - m.ago, m.awake, m.items);
        h->closeMinute();
    }
    return h;
}

std::vector<std::string> lines(const MenuEntries& entries) {
    std::vector<std::string> out;
    std::istringstream in(menuText(entries));
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

const std::string sep;

TEST(Menu, EmptyHistoryInEnglishAndGerman) {
    TempDir dir;
    auto h = historyOf(dir, Metric::energy, {});
    const MenuEntries en = buildMenu(*h, Units(Metric::energy, Lang::en), {}, T);
    EXPECT_EQ(lines(en), (std::vector<std::string>{
                             "Now \u2014 \u2014", "     no activity", sep,
                             "15 minutes \u2014 no data yet", sep, "30 minutes \u2014 no data yet",
                             sep, "1 hour \u2014 no data yet", sep, "24 hours \u2014 no data yet", sep,
                             "no battery, metric: energy", "Collected: 0 s", sep}));

    using K = MenuEntry::Kind;
    using St = MenuEntry::Style;
    const std::vector<std::pair<K, St>> kinds = {
        {K::header, St::header}, {K::emptyWindow, St::dimRow}, {K::separator, St::standard},
        {K::header, St::header}, {K::separator, St::standard}, {K::header, St::header},
        {K::separator, St::standard}, {K::header, St::header}, {K::separator, St::standard},
        {K::header, St::header}, {K::separator, St::standard}, {K::note, St::note},
        {K::note, St::note}, {K::separator, St::standard}, {K::command, St::standard},
        {K::command, St::standard}};
    ASSERT_EQ(en.size(), kinds.size());
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        EXPECT_EQ(en[i].kind, kinds[i].first) << i;
        EXPECT_EQ(en[i].style, kinds[i].second) << i;
        EXPECT_TRUE(en[i].enabled);
        if (en[i].kind != K::command) {
            EXPECT_EQ(en[i].action, MenuEntry::Action::none) << i;
        }
    }
    EXPECT_EQ(en[14].text, "Open Chart\u2026");
    EXPECT_EQ(en[14].action, MenuEntry::Action::showChart);
    EXPECT_EQ(en[14].keyEquivalent, "g");
    EXPECT_EQ(en[15].text, "Quit");
    EXPECT_EQ(en[15].action, MenuEntry::Action::quit);
    EXPECT_EQ(en[15].keyEquivalent, "q");

    const MenuEntries de =
        buildMenu(*h, Units(Metric::energy, 180'000'000.0, ChargeState::discharging, Lang::de), {}, T);
    EXPECT_EQ(lines(de), (std::vector<std::string>{
                             "Jetzt \u2014 \u2014", "     keine Aktivit\u00E4t", sep,
                             "15 Minuten \u2014 noch keine Daten", sep,
                             "30 Minuten \u2014 noch keine Daten", sep,
                             "1 Stunde \u2014 noch keine Daten", sep,
                             "24 Stunden \u2014 noch keine Daten", sep, "Akkukapazit\u00E4t: 50 Wh",
                             "Erfasst: 0 Sek.", sep}));
    EXPECT_EQ(de[14].text, "Diagramm \u00F6ffnen\u2026");
    EXPECT_EQ(de[15].text, "Beenden");
}

TEST(Menu, OnBatteryWithEstimateCapacityAndCollected) {
    TempDir dir;
    std::vector<Minute> minutes;
    for (int i = 5; i >= 1; --i) minutes.push_back({i * 60, 60, {{"Mail", 287'000}, {"Xcode", 192'000}}});
    auto h = historyOf(dir, Metric::energy, minutes);
    const Units units(Metric::energy, 180'000'000.0, std::nullopt, Lang::en);
    const std::vector<std::string> rows = {"     1. Mail \u2014 9.6%/h \u00B7 60%",
                                           "     2. Xcode \u2014 6.4%/h \u00B7 40%"};
    std::vector<std::string> want = {"Now \u2014 16%/h",
                                     "     at most 6 h 15 min on processes alone (screen excluded)"};
    want.insert(want.end(), rows.begin(), rows.end());
    for (const char* label : {"15 minutes", "30 minutes", "1 hour", "24 hours"}) {
        want.push_back(sep);
        want.push_back(std::string(label) + " \u2014 1.3% of battery \u00B7 active 5 min");
        want.insert(want.end(), rows.begin(), rows.end());
    }
    want.insert(want.end(), {sep, "Battery capacity: 50 Wh", "Collected: 5 min", sep});
    EXPECT_EQ(lines(buildMenu(*h, units, {}, T)), want);
}

TEST(Menu, SevenApplicationsGiveFiveRowsWithSharesOfTheWholeCpuTime) {
    TempDir dir;
    auto h = historyOf(dir, Metric::cpuTime,
                       {{600, 60,
                         {{"G", 5000}, {"A", 40000}, {"D", 10000}, {"B", 20000}, {"C", 10000},
                          {"E", 8000}, {"F", 7000}}}});
    const auto got = lines(buildMenu(*h, Units(Metric::cpuTime, Lang::en), {}, T));
    const std::vector<std::string> want = {
        "Now \u2014 \u2014",
        "     no activity",
        sep,
        "15 minutes \u2014 2 CPU min \u00B7 active 1 min",
        "     1. A \u2014 67% CPU \u00B7 40%",
        "     2. B \u2014 33% CPU \u00B7 20%",
        "     3. C \u2014 17% CPU \u00B7 10%",
        "     4. D \u2014 17% CPU \u00B7 10%",
        "     5. E \u2014 13% CPU \u00B7 8%",
        sep};
    ASSERT_GE(got.size(), want.size());
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + want.size()), want);
    // No runtime estimate in CPU time; the note says why the figures are CPU time.
    EXPECT_EQ(got[got.size() - 3],
              "CPU time proxy: this computer does not expose per-app energy data");
}

TEST(Menu, EnergyWithoutBatteryInWattsAndJoules) {
    TempDir dir;
    auto h = historyOf(dir, Metric::energy,
                       {{7200, 60, {{"Mail", 3'600'000}}},
                        {600, 30, {}},
                        {60, 60, {{"Mail", 60'000}, {"Notes", 30'000}}}});
    const auto got = lines(buildMenu(*h, Units(Metric::energy, Lang::en), {}, T));
    const std::vector<std::string> want = {
        "Now \u2014 1.50 W",
        "     1. Mail \u2014 1.00 W \u00B7 67%",
        "     2. Notes \u2014 500 mW \u00B7 33%",
        sep,
        "15 minutes \u2014 90 J \u00B7 active 1 min",
        "     1. Mail \u2014 667 mW \u00B7 67%",
        "     2. Notes \u2014 333 mW \u00B7 33%",
        sep,
        "30 minutes \u2014 90 J \u00B7 active 1 min",
        "     1. Mail \u2014 667 mW \u00B7 67%",
        "     2. Notes \u2014 333 mW \u00B7 33%",
        sep,
        "1 hour \u2014 90 J \u00B7 active 1 min",
        "     1. Mail \u2014 667 mW \u00B7 67%",
        "     2. Notes \u2014 333 mW \u00B7 33%",
        sep,
        "24 hours \u2014 1.0 Wh \u00B7 active 2 min",
        "     1. Mail \u2014 24.40 W \u00B7 99%",
        "     2. Notes \u2014 200 mW \u00B7 1%",
        sep,
        "no battery, metric: energy",
        "Collected: 3 min",
        sep};
    EXPECT_EQ(got, want);
}

TEST(Menu, AwakeWindowWithoutApplicationsShowsTotalAndEmptyLine) {
    TempDir dir;
    auto h = historyOf(dir, Metric::energy, {{600, 30, {}}});
    const auto got = lines(buildMenu(*h, Units(Metric::energy, Lang::en), {}, T));
    EXPECT_EQ(got[3], "15 minutes \u2014 0 J \u00B7 active 30 s");
    EXPECT_EQ(got[4], "     no activity");
}

TEST(Menu, LongNameIsCutForDisplayButLooksUpItsBundleInFull) {
    TempDir dir;
    const std::string name = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";  // 40 characters
    auto h = historyOf(dir, Metric::cpuTime, {{60, 60, {{name, 6000}, {"ABCDEFGHIJKLMNOPQRSTUVWXYZa", 6000}}}});
    const BundleMap bundles = {{name, "/opt/Long Name.app"}};
    const MenuEntries menu = buildMenu(*h, Units(Metric::cpuTime, Lang::en), bundles, T);
    // Equal values: the names sort by their full text, the cut one second.
    EXPECT_EQ(menu[1].text, "     1. ABCDEFGHIJKLMNOPQRSTUVWXYZa \u2014 10% CPU \u00B7 50%");
    EXPECT_EQ(menu[1].action, MenuEntry::Action::none);
    EXPECT_EQ(menu[2].text, "     2. ABCDEFGHIJKLMNOPQRSTUVWXYZa\u2026 \u2014 10% CPU \u00B7 50%");
    EXPECT_EQ(menu[2].action, MenuEntry::Action::revealApp);
    EXPECT_EQ(menu[2].bundlePath, "/opt/Long Name.app");
    EXPECT_EQ(menu[2].tooltip, name + "\n/opt/Long Name.app\nClick to show in the file manager");
}

}  // namespace
}  // namespace sapwell
