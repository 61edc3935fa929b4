#include <gtest/gtest.h>

#include "AppController.hpp"
#include "MenuText.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using namespace std::string_literals;

constexpr std::int64_t T = 1733400000;  // a minute start; every menu below is built at T
using Minutes = std::vector<std::tuple<std::int64_t, double, NamedAmounts>>;  // ago, awake s

MenuEntries menuOf(const Units& units, const Minutes& minutes, const BundleMap& bundles = {}) {
    testing::TempDir dir;
    History h(units.metric, T - 86400, dir / "history.tsv");
    for (const auto& [ago, awake, items] : minutes) h.add(T - ago, awake, items), h.closeMinute();
    return buildMenu(h, units, bundles, T);
}

// Lines as a submenu shows them in the text.
std::string nested(const std::string& lines) {
    std::string out;
    for (std::size_t at = 0, end; (end = lines.find('\n', at)) != lines.npos; at = end + 1)
        out += "    " + lines.substr(at, end + 1 - at);
    return out;
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
              "Now \u2014 \u2014\n     % of one core; 200% = 2 cores busy\n     no activity\n"
              "\n15 minutes \u2014 2 CPU min \u00B7 active 1 min\n" +
                  nested("     1. A \u2014 67% CPU \u00B7 40%\n     2. B \u2014 33% CPU \u00B7 20%\n"
                         "     3. C \u2014 17% CPU \u00B7 10%\n     4. D \u2014 17% CPU \u00B7 10%\n"
                         "     5. E \u2014 13% CPU \u00B7 8%\n"));
    EXPECT_TRUE(text.ends_with("\n\nCPU time proxy: this computer does not expose per-app energy "
                               "data\nCollected: 1 min\n\n"));  // and no runtime estimate
}

TEST(Menu, EnergyWithoutBatteryInWattsAndJoules) {
    const Minutes minutes = {{7200, 60, {{"Mail", 3'600'000}}}, {600, 30, {}},
                             {60, 60, {{"Mail", 60'000}, {"Notes", 30'000}}}};
    EXPECT_EQ(menuText(menuOf(Units(Metric::energy, Lang::en), minutes)),
              "Now \u2014 1.50 W\n     1. Mail \u2014 1.00 W \u00B7 67%\n     2. Notes \u2014 500 "
              "mW \u00B7 33%\n" +
                  windows("90 J \u00B7 active 1 min\n" +
                              nested("     1. Mail \u2014 667 mW \u00B7 67%\n"
                                     "     2. Notes \u2014 333 mW \u00B7 33%\n"),
                          {"15 minutes", "30 minutes", "1 hour"}) +
                  "\n24 hours \u2014 1.0 Wh \u00B7 active 2 min\n" +
                  nested("     1. Mail \u2014 24.40 W \u00B7 99%\n     2. Notes \u2014 200 mW \u00B7 1%\n") +
                  "\nno battery, metric: energy\nCollected: 3 min\n\n");
}

// Kinds in order, a nested entry in capitals: "Now" with its lines, then each window's header
// with its own lines in its submenu (none without data), then the notes and commands.
TEST(Menu, EachWindowOpensItsLinesFromItsHeaderAndOnlyCpuSaysWhatItsPercentMeans) {
    const auto shape = [](const MenuEntries& menu) {
        std::string out;
        for (const auto& e : menu) {
            const char c = "-hnrec"[static_cast<int>(e.kind)];
            out += e.nested ? static_cast<char>(c - 'a' + 'A') : c;
        }
        return out;
    };
    const Minutes quiet = {{1200, 30, {}}};  // 20 minutes ago, awake but nothing ran
    const Minutes busy = {{120, 60, {{"A", 600}, {"B", 300}}}};
    const std::tuple<Metric, Minutes, std::string> cases[] = {
        {Metric::cpuTime, quiet, "hne-h-hE-hE-hE-nn-cc"},
        {Metric::energy, quiet, "he-h-hE-hE-hE-nn-cc"},
        {Metric::cpuTime, busy, "hnrr-hRR-hRR-hRR-hRR-nn-cc"}};
    for (const auto& [metric, minutes, expected] : cases) {
        const MenuEntries menu = menuOf(Units(metric, Lang::en), minutes);
        EXPECT_EQ(shape(menu), expected);
        EXPECT_EQ(menu[1].text == "     % of one core; 200% = 2 cores busy", metric == Metric::cpuTime);
    }
}

// Each name stands isolated, so its direction cannot move the figures, and is cut for display but
// looks up its bundle in full; a terminal shows no isolate, and what could reorder the line as U+FFFD.
TEST(Menu, RowsIsolateTheirNameCutForDisplayAndLookUpItsBundleInFull) {
    const std::string name = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn", rlo = "\u202Eevil";  // 40 characters
    const MenuEntries menu = menuOf(Units(Metric::cpuTime, Lang::en),  // equal: by full name
                                    {{60, 60, {{name, 6000}, {name.substr(0, 27), 6000}, {rlo, 3000}}}},
                                    {{name, "/opt/Long Name.app"}});
    EXPECT_EQ(menu[2].text, "     1. \u2068ABCDEFGHIJKLMNOPQRSTUVWXYZa\u2069 \u2014 10% CPU \u00B7 40%");
    EXPECT_EQ(menu[3].text, "     2. \u2068ABCDEFGHIJKLMNOPQRSTUVWXYZa\u2026\u2069 \u2014 10% CPU \u00B7 40%");
    EXPECT_EQ(menu[3].tooltip, name + "\n/opt/Long Name.app\nClick to show in the file manager");
    EXPECT_EQ(menu[4].text, std::string("     3. \u2068").append(rlo) + "\u2069 \u2014 5% CPU \u00B7 20%");
    EXPECT_EQ(menuText({menu[4]}), "     3. \uFFFDevil \u2014 5% CPU \u00B7 20%\n");
}

// The system's services, programs without a desktop entry and applications are told apart.
TEST(Menu, RowTooltipTellsWhatKindOfProgramItIs) {
    const MenuEntries menu = menuOf(Units(Metric::cpuTime, Lang::de),
                                    {{60, 60, {{"Linux", 4000}, {"bash", 3000}, {"Mail", 2000}, {"cc1plus", 1000}}}},
                                    {{"Mail", "/usr/share/applications/mail.desktop"}});
    const S tips[] = {S::systemProcess, S::commandLineProgram, S::clickToReveal, S::commandLineProgram};
    for (std::size_t i = 0; i < std::size(tips); ++i)
        EXPECT_TRUE(menu.at(i + 2).tooltip.ends_with(t(Lang::de, tips[i]))) << menu.at(i + 2).text;
}

// ---- the battery's measured drain --------------------------------------------------------------

const auto discharging = ChargeState::discharging;
constexpr double fullMJ = 360e6;  // 100 Wh: 1 %/h is 1 W

struct Minute {
    std::int64_t ago;
    NamedAmounts items;
    std::optional<Drain> drain = {};
    std::optional<double> pct = {};
    std::optional<ChargeState> state = discharging;
};

// Forty minutes two days back whose drain follows 2 W + 8 W per busy core exactly, so the fitted
// idle power is 2 W; they fall in no window.
std::vector<Minute> background() {
    std::vector<Minute> out;
    for (int i = 0; i < 40; ++i) {
        const std::uint64_t cpuMs = 1500 * static_cast<std::uint64_t>(i);  // 25 ms/s apart
        out.push_back({2 * 86400 + 60 * i, {{"Build", cpuMs}}, Drain{(2000 + 8 * cpuMs / 60) * 60, 60}, 90, ChargeState::charging});
    }
    return out;
}

// Two recent minutes of 10 W: each 120 J idle (2 W), the other 480 J shared 5:1.
std::vector<Minute> recent(double seconds = 60) {
    std::vector<Minute> out = background();
    out.push_back({3 * 3600, {{"Mail", 60000}}, {}, 60});  // CPU only: in no share
    for (const std::int64_t ago : {120, 60})
        out.push_back({ago, {{"Firefox", 30000}, {"bash", 6000}}, Drain{static_cast<std::uint64_t>(10'000 * seconds), seconds},
                       ago == 120 ? 51 : 50});
    return out;
}

History historyOf(const testing::TempDir& dir, const std::vector<Minute>& minutes, std::vector<SleepRecord> sleeps = {}) {
    History h(Metric::cpuTime, T - 86400, dir / "history.tsv");
    for (const Minute& m : minutes) {
        h.add(T - m.ago, 60, m.items);
        if (m.drain) h.addDrain(*m.drain);
        h.setBattery(m.pct, m.state);
        h.closeMinute();
    }
    for (const auto& s : sleeps) h.addSleep(s);
    return h;
}

Units cpuUnits(std::optional<ChargeState> state = discharging, Lang lang = Lang::en) {
    return Units(Metric::cpuTime, fullMJ, state, lang);
}

std::string textOf(const std::vector<Minute>& minutes, const Units& units, std::vector<SleepRecord> sleeps = {},
                   BatteryNow now = {fullMJ / 2, 50}) {
    testing::TempDir dir;
    return menuText(buildMenu(historyOf(dir, minutes, std::move(sleeps)), units, {}, T, now));
}

TEST(BatteryMenu, WindowsWithDrainSpeakBatteryWithTheIdleShareRankedAmongTheApplications) {
    const std::string rows = "     1. Firefox \u2014 6.7%/h \u00B7 67%\n     2. Idle and screen \u2014 2.0%/h \u00B7 20%\n"
                             "     3. bash \u2014 1.3%/h \u00B7 13%\n";  // 100 within rounding
    EXPECT_EQ(textOf(recent(), cpuUnits()),
              "Now \u2014 10%/h\n     about 5 h 00 min left at this rate\n" + rows +
                  windows("10%/h \u00B7 0.3% of battery \u00B7 active 2 min\n" + nested(rows), {"15 minutes", "30 minutes", "1 hour"}) +
                  "\n24 hours \u2014 10%/h \u00B7 0.3% of battery \u00B7 active 3 min\n" + nested(rows) +
                  "\nEstimate: the battery's measured drain, shared out by each app's CPU time\n"
                  "On battery 3 h 00 min: 10% used\nCollected: 43 min\n\n");
    const std::string de = textOf(recent(), cpuUnits(discharging, Lang::de));
    EXPECT_NE(de.find("     2. Leerlauf und Bildschirm \u2014 2.0%/h \u00B7 20%\n"), de.npos) << de;

    testing::TempDir dir;
    const MenuEntries menu =
        buildMenu(historyOf(dir, recent()), cpuUnits(), {{"Firefox", "/usr/share/applications/firefox.desktop"}}, T);
    EXPECT_EQ(menu[1].action, MenuEntry::Action::revealApp);  // no runtime line without the energy left
    EXPECT_EQ(std::tuple(menu[2].action, menu[2].tooltip),
              std::tuple(MenuEntry::Action::none, "Estimate: the battery's measured drain, shared out by each app's CPU time"s));
}

// Whenever the figures do not speak of the battery, a history's drain changes nothing at all.
TEST(BatteryMenu, TodaysTextWithoutDrainEnoughOfItOrABatteryDischargingNow) {
    std::vector<Minute> plain = recent();
    for (Minute& m : plain) m.drain.reset();
    const std::tuple<std::vector<Minute>, Units> cases[] = {
        {recent(), cpuUnits(ChargeState::charging)}, {recent(), cpuUnits(ChargeState::acPower)},
        {recent(), cpuUnits(std::nullopt)}, {recent(), Units(Metric::cpuTime, Lang::en)},  // no battery
        {recent(29.5), cpuUnits()},                                                         // 59 s
        {recent(), Units(Metric::energy, fullMJ, discharging, Lang::en)}};  // per-process energy
    for (const auto& [minutes, units] : cases) {
        std::vector<Minute> without = minutes;
        for (Minute& m : without) m.drain.reset();
        const std::string today = textOf(without, units, {{T - 600, 3600, 60, 55}});
        EXPECT_EQ(textOf(minutes, units, {{T - 600, 3600, 60, 55}}), today);
        EXPECT_EQ(today.find("Idle and screen"), today.npos) << today;
    }
}

TEST(BatteryMenu, StatusFigureIsTheMeasuredDrainFromAMinuteOfItWhileDischarging) {
    const std::tuple<double, Units, std::string> cases[] = {
        {30, cpuUnits(), "10%/h"}, {29.5, cpuUnits(), "60% CPU"},  // 60 s of drain, 59 s
        {30, cpuUnits(ChargeState::charging), "60% CPU"}, {30, cpuUnits(std::nullopt), "60% CPU"},
        {30, Units(Metric::cpuTime, std::nullopt, discharging, Lang::en), "10.0 W"}};  // capacity unknown
    for (const auto& [seconds, units, figure] : cases) {
        testing::TempDir dir;
        EXPECT_EQ(statusFigure(historyOf(dir, recent(seconds)), units, T), figure) << seconds;
    }
}

TEST(BatteryMenu, OnBatteryRunAndLastSleep) {
    const auto notes = [](std::vector<Minute> minutes, std::vector<SleepRecord> sleeps, std::optional<double> level = 50) {
        const std::string text = textOf(minutes, cpuUnits(), std::move(sleeps), {fullMJ / 2, level});
        const auto from = text.find("CPU time\n") + 9;
        return text.substr(from, text.find("Collected") - from);
    };
    const std::string run = "On battery 3 h 00 min: 10% used\n";
    EXPECT_EQ(notes(recent(), {}, std::nullopt), run);  // the newest minute's level stands in
    // The run goes on across a gap and minutes without a state; a level that rose ends it.
    std::vector<Minute> gap = recent();
    gap.insert(gap.end() - 3, {{6 * 3600, {}, {}, 70}, {5 * 3600, {}, {}, std::nullopt, std::nullopt}});
    EXPECT_EQ(notes(gap, {}), "On battery 6 h 00 min: 20% used\n");
    gap[gap.size() - 5].pct = 55;  // 55 % six hours ago, 60 % three hours ago: charged in between
    EXPECT_EQ(notes(gap, {}), run);

    const SleepRecord night{T - 3600, 29520, 55, 52.9}, nap{T - 120, 240, 52, 52};
    const std::tuple<std::vector<SleepRecord>, std::string> sleeps[] = {
        {{night}, "Last sleep 8 h 12 min: 2.1% used, 0.26%/h\n"},
        {{night, nap}, "Last sleep 8 h 12 min: 2.1% used, 0.26%/h\n"},  // under 5 minutes: passed over
        {{{T - 7200, 3600, 80, 62}}, "Last sleep 1 h 00 min: 18% used, 18%/h\n"},
        {{{T - 86400 - 60, 29520, 55, 50}}, ""},  // woke over a day ago
        {{{T - 600, 3600, 50, 51}}, ""},           // charged meanwhile
        {{{T - 600, 3600, std::nullopt, 51}}, ""}};
    for (const auto& [records, line] : sleeps) EXPECT_EQ(notes(recent(), records), run + line);
}

}  // namespace
}  // namespace sapwell
