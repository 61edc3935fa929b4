#include <gtest/gtest.h>

#include "AppController.hpp"
#include "MenuText.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

constexpr std::int64_t T = 1733400000;  // a minute start; every menu below is built at T
using Minutes = std::vector<std::tuple<std::int64_t, double, NamedAmounts>>;  // ago, awake s

MenuEntries menuOf(const Units& units, const Minutes& minutes, const BundleMap& bundles = {}) {
    testing::TempDir dir;
    History h(units.metric, T - 86400, dir / "history.tsv");
    for (const auto& [ago, awake, items] : minutes) h.add(T - ago, awake, items), h.closeMinute();
    return buildMenu(h, units, bundles, T);
}

std::string windows(const std::string& rest, const std::vector<std::string>& labels) {
    std::string out;
    for (const auto& label : labels) out += "\n" + label + " \u2014 " + rest;
    return out;
}

TEST(Menu, EmptyHistoryInEnglishAndGerman) {
    const MenuEntries en = menuOf(Units(Metric::energy, Lang::en), {});
    EXPECT_EQ(menuText(en), "Now \u2014 \u2014\n     no activity\n" +
                  windows("no data yet\n", {"15 minutes", "30 minutes", "1 hour", "24 hours"}) +
                  "\nno battery, metric: energy\nCollected: 0 s\n\n");
    const MenuEntries de =
        menuOf(Units(Metric::energy, 180'000'000.0, ChargeState::discharging, Lang::de), {});
    EXPECT_EQ(menuText(de), "Jetzt \u2014 \u2014\n     keine Aktivit\u00E4t\n" +
                                windows("noch keine Daten\n",
                                        {"15 Minuten", "30 Minuten", "1 Stunde", "24 Stunden"}) +
                                "\nAkkukapazit\u00E4t: 50 Wh\nErfasst: 0 Sek.\n\n");
    EXPECT_EQ(en.end()[-2].text + "|" + en.back().text + "|" + de.end()[-2].text + "|" +
                  de.back().text,  // commands are not in the text
              "Open Chart\u2026|Quit|Diagramm \u00F6ffnen\u2026|Beenden");
}

TEST(Menu, SevenApplicationsGiveFiveRowsWithSharesOfTheWholeCpuTime) {
    const NamedAmounts seven = {{"G", 5000},  {"A", 40000}, {"D", 10000}, {"B", 20000},
                                {"C", 10000}, {"E", 8000},  {"F", 7000}};
    const std::string text = menuText(menuOf(Units(Metric::cpuTime, Lang::en), {{600, 60, seven}}));
    EXPECT_EQ(text.substr(0, text.find("\n30 minutes")),
              "Now \u2014 \u2014\n     no activity\n\n15 minutes \u2014 2 CPU min \u00B7 active 1 "
              "min\n"
              "     1. A \u2014 67% CPU \u00B7 40%\n     2. B \u2014 33% CPU \u00B7 20%\n"
              "     3. C \u2014 17% CPU \u00B7 10%\n     4. D \u2014 17% CPU \u00B7 10%\n"
              "     5. E \u2014 13% CPU \u00B7 8%\n");
    EXPECT_TRUE(text.ends_with("\n\nCPU time proxy: this computer does not expose per-app energy "
                               "data\nCollected: 1 min\n\n"));  // and no runtime estimate
}

TEST(Menu, EnergyWithoutBatteryInWattsAndJoules) {
    const Minutes minutes = {{7200, 60, {{"Mail", 3'600'000}}}, {600, 30, {}},
                             {60, 60, {{"Mail", 60'000}, {"Notes", 30'000}}}};
    EXPECT_EQ(menuText(menuOf(Units(Metric::energy, Lang::en), minutes)),
              "Now \u2014 1.50 W\n     1. Mail \u2014 1.00 W \u00B7 67%\n     2. Notes \u2014 500 "
              "mW \u00B7 33%\n" +
                  windows("90 J \u00B7 active 1 min\n     1. Mail \u2014 667 mW \u00B7 67%\n"
                          "     2. Notes \u2014 333 mW \u00B7 33%\n",
                          {"15 minutes", "30 minutes", "1 hour"}) +
                  "\n24 hours \u2014 1.0 Wh \u00B7 active 2 min\n"
                  "     1. Mail \u2014 24.40 W \u00B7 99%\n     2. Notes \u2014 200 mW \u00B7 1%\n"
                  "\nno battery, metric: energy\nCollected: 3 min\n\n");
}

TEST(Menu, LongNameIsCutForDisplayButLooksUpItsBundleInFull) {
    const std::string name = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";  // 40 characters
    const MenuEntries menu = menuOf(Units(Metric::cpuTime, Lang::en),  // equal: by full name
                                    {{60, 60, {{name, 6000}, {name.substr(0, 27), 6000}}}},
                                    {{name, "/opt/Long Name.app"}});
    EXPECT_EQ(menu[1].text, "     1. ABCDEFGHIJKLMNOPQRSTUVWXYZa \u2014 10% CPU \u00B7 50%");
    EXPECT_EQ(menu[2].text, "     2. ABCDEFGHIJKLMNOPQRSTUVWXYZa\u2026 \u2014 10% CPU \u00B7 50%");
    EXPECT_EQ(menu[2].tooltip, name + "\n/opt/Long Name.app\nClick to show in the file manager");
}

}  // namespace
}  // namespace sapwell
