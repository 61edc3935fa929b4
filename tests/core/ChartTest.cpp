#include "Chart.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "Numbered.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using testing::numbered;

constexpr std::uint64_t maxU64 = std::numeric_limits<std::uint64_t>::max();
constexpr std::int64_t t0 = 1733400000 / 60 * 60;
using Names = std::vector<std::string>;

void expectInOrder(const std::string& text, const std::vector<std::string>& pieces) {
    std::size_t at = 0;
    for (const auto& piece : pieces) EXPECT_NE(at = text.find(piece, at), text.npos) << piece;
}

Bucket minute(std::int64_t i, NamedAmounts items, std::optional<double> pct = {}, std::optional<ChargeState> s = {}) {
    return {t0 + i * 60, 60, std::move(items), pct, s, {}};
}

// The script stays valid UTF-8, and no ASCII byte can end the literal or the script.
TEST(JsonString, EscapesMarkupAndControlsAndRepairsInvalidUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"", R"("")"}, {"a\"b\\c\td<b>", R"("a\"b\\c\td\u003cb\u003e")"}, {"&</x>", R"("\u0026\u003c/x\u003e")"},
        {"\n\r\x07\x1b\x1f\x7f", "\"\\n\\r\\u0007\\u001b\\u001f\x7f\""}, {std::string("a\0b", 3), R"("a\u0000b")"},
        {"a\u2028b Почта 微信 bad\uFFFDname", "\"a\u2028b Почта 微信 bad\uFFFDname\""},
        {"a\xff" "b", "\"a\uFFFDb\""}, {"\xc3", "\"\uFFFD\""}};
    for (const auto& [in, out] : cases) EXPECT_EQ(jsonString(in), out) << in;
    for (int c = 1; c < 128; ++c) {  // a raw byte is harmless, anything else is escaped
        const std::string one = jsonString(std::string(1, char(c)));
        EXPECT_TRUE(one.size() == 3 ? c >= 0x20 && !strchr("\"\\<>&", c) : one[1] == '\\') << c;
    }
}

TEST(JsonEncoders, SeriesBundlesAndBattery) {
    EXPECT_EQ(jsonSeries({}) + jsonBundles({}) + jsonBat({}), "[]{}[]");
    EXPECT_EQ(jsonSeries({{"Mail", {0, 1520, 37}}, {"<a>", {}}, {"x", {maxU64}}}),
              R"([{"name":"Mail","v":[0,1520,37]},{"name":"\u003ca\u003e","v":[]},)"
              R"({"name":"x","v":[18446744073709551615]}])");
    EXPECT_EQ(jsonBundles({{"微信", "/W"}, {"apple", "/a"}, {"Zed", "/Z&"}, {"Ärger", "/\"<x>"}}),
              R"({"Zed":"/Z\u0026","apple":"/a","Ärger":"/\"\u003cx\u003e","微信":"/W"})");
    using C = ChargeState;  // a point needs both parts, and finite
    const std::tuple<std::optional<double>, std::optional<C>, std::string> bats[] = {
        {87.46, C::discharging, R"({"p":87.5,"s":"d"})"}, {100.0, C::acPower, R"({"p":100.0,"s":"a"})"},
        {0.04, C::charging, R"({"p":0.0,"s":"c"})"}, {55.0, {}, "null"}, {{}, C::charging, "null"},
        {std::nan(""), C::discharging, "null"}, {INFINITY, C::discharging, "null"}};
    for (const auto& [pct, state, out] : bats)
        EXPECT_EQ(jsonBat({minute(0, {}), minute(1, {}, pct, state)}), "[null," + out + "]");
}

// "old" was busy long ago only and still ranks first; "Beta" and "alpha" tie for eighth place
// and uppercase sorts first; totals saturate instead of wrapping.
TEST(TopNames, HeaviestOverTheWholeHistoryTiesByNameSumsSaturate) {
    NamedAmounts items = {{"alpha", 50}, {"Beta", 30}};
    for (int a = 1; a < 7; ++a) items.push_back({numbered("a", a), 100u - a});
    EXPECT_EQ(Chart::topNames({minute(0, {{"old", 999}}), minute(1, items), minute(2, {{"Beta", 20}})}, 8),
              (Names{"old", "a1", "a2", "a3", "a4", "a5", "a6", "Beta"}));
    EXPECT_EQ(Chart::topNames({minute(0, {{"huge", maxU64}, {"b", 9}}), minute(1, {{"huge", 5}})}, 8),
              (Names{"huge", "b"}));
}

TEST(BuildSeries, AlignsCurvesToStoredMinutesAndSumsTheRest) {  // a gap has no position
    const std::vector<Bucket> buckets = {minute(0, {{"Mail", 0}, {"x", 4}, {"y", 1}}),
        minute(1, {{"Mail", 1520}, {"z", 0}}), minute(5, {{"Mail", 37}, {"y", maxU64}})};
    EXPECT_EQ(Chart::buildSeries(buckets, {"Mail"}, "другие"),
              (std::vector<Series>{{"Mail", {0, 1520, 37}}, {"другие", {5, 0, maxU64}}}));
    // The order given; a name never seen gets zeros; a rest of zeros only is no curve.
    EXPECT_EQ(Chart::buildSeries(buckets, {"Idle", "x", "Mail", "y"}, "other"),
              (std::vector<Series>{{"Idle", {0, 0, 0}}, {"x", {4, 0, 0}}, {"Mail", {0, 1520, 37}},
                                   {"y", {1, 0, maxU64}}}));
}

// The data constants of a page built through a real history file, joined by spaces.
std::string build(const std::vector<Bucket>& buckets, std::optional<double> capacity) {
    testing::TempDir dir;
    std::string file, out;
    for (const auto& b : buckets) file += serialize(b, Metric::energy);
    const History history(Metric::energy, t0 + 3600, dir.write("history.tsv", file), History::Access::readOnly);
    const auto page = Chart::build(history, Metric::energy, capacity, t0 + 3600, {{"M", "/M"}}, Lang::en);
    for (const std::string name : {"LABELS", "SERIES", "BAT", "TO_PCT", "HAS_BATTERY", "BUNDLES"}) {
        const auto from = page.find("\nconst " + name + " = ") + name.size() + 10;
        if (!out.empty()) out += ' ';
        out += page.substr(from, page.find(";\n", from) - from);
    }
    return out;
}

TEST(ChartBuild, EmptyHistoryAndUnusableCapacityGiveNoDataAndNoBattery) {
    EXPECT_EQ(build({}, std::nullopt), R"([] [] [] 0.0 false {"M":"/M"})");
    for (const double capacity : {0.0, -5.0, std::nan(""), HUGE_VAL})
        EXPECT_TRUE(build({minute(0, {{"A", 1}}, 50.0, ChargeState::discharging)}, capacity)
                        .ends_with(" 0.0 false {\"M\":\"/M\"}")) << capacity;
}

TEST(ChartBuild, TenAppsGiveEightCurvesAndTheRest) {
    std::vector<Bucket> buckets;
    for (std::uint64_t m = 0; m < 2; ++m) {
        NamedAmounts items;
        for (std::uint64_t a = 0; a < 10; ++a) items.push_back({numbered("a", a), 90 - a * 10 + m});
        buckets.push_back(minute(m, items, 80.0 - m, ChargeState::discharging));
    }
    EXPECT_EQ(build(buckets, 216000000.0), numbered("[", t0) + "," + std::to_string(t0 + 60) + R"(] [{"name":"a0","v":[90,91]},)"
        R"({"name":"a1","v":[80,81]},{"name":"a2","v":[70,71]},{"name":"a3","v":[60,61]},{"name":"a4","v":[50,51]},)"
        R"({"name":"a5","v":[40,41]},{"name":"a6","v":[30,31]},{"name":"a7","v":[20,21]},{"name":"other","v":[10,12]}])"
        R"( [{"p":80.0,"s":"d"},{"p":79.0,"s":"d"}] 4.6296296296296297e-07 true {"M":"/M"})");
}

// Per measured minute the curves and the idle entry share out exactly the drain; the curves are
// the metric's, in its order, the rest included; a minute without a usable measurement is empty.
TEST(BuildDrain, SharesEachMeasuredMinuteAmongTheMetricsCurvesAndIdle) {
    std::vector<Bucket> buckets;
    for (std::int64_t m = 0; m < 6; ++m) {
        NamedAmounts items;
        for (std::uint64_t a = 0; a < 10; ++a) items.push_back({numbered("a", a), 1000 * (10 - a) + 7 * m});
        buckets.push_back(minute(m, items));
        if (m != 2) buckets.back().drain = Drain{20000 + 20011 * std::uint64_t(m), m == 4 ? 0.0 : 60.0 - m};
    }
    const auto top = Chart::topNames(buckets, 8);
    const auto series = Chart::buildSeries(buckets, top, "other");
    const auto drain = Chart::buildDrain(buckets, top, true, "other", "idle");
    ASSERT_TRUE(drain);
    ASSERT_EQ(drain->apps.size(), series.size());
    EXPECT_EQ(drain->idle.name, "idle");
    for (std::size_t m = 0; m < buckets.size(); ++m) {
        const bool measured = m != 2 && m != 4;
        EXPECT_EQ(drain->seconds[m], measured ? 60.0 - double(m) : 0.0) << m;
        if (!measured) continue;
        std::uint64_t sum = drain->idle.values[m];
        for (std::size_t i = 0; i < series.size(); ++i) {
            EXPECT_EQ(drain->apps[i].name, series[i].name);
            sum += drain->apps[i].values[m];
        }
        EXPECT_EQ(sum, buckets[m].drain->mJ) << m;
        // Above the idle level every curve used CPU, so each has a share; the rest too.
        if (m == 5) {
            EXPECT_TRUE(std::all_of(drain->apps.begin(), drain->apps.end(), [&](auto& s) { return s.values[m] > 0; }));
        }
    }
    EXPECT_EQ(Chart::buildDrain(buckets, top, false, "other", "idle")->apps.size(), top.size());
    for (auto& b : buckets) b.drain = b.minute == t0 ? std::optional(Drain{500, 0.0}) : std::nullopt;
    EXPECT_FALSE(Chart::buildDrain(buckets, top, true, "other", "idle"));  // nothing measured
}

// A page gets the battery view's parts with a drain and the sleeps with sleeps, and only then.
TEST(ChartBuild, DrainAndSleepsWriteTheirPartsOnlyWhenThere) {
    std::vector<Bucket> buckets = {minute(0, {{"A", 600}}), minute(1, {{"A", 900}}), minute(2, {{"A", 300}})};
    const auto page = [&](std::vector<SleepRecord> sleeps = {}) {
        return Chart::build(buckets, Metric::cpuTime, 216000000.0, t0 + 600, {}, Lang::de, sleeps);
    };
    const auto constants = [](const std::string& text) {
        std::string out;
        for (std::size_t at = 0; (at = text.find("\nconst ", at)) != text.npos && text.compare(at + 7, 5, "COLOR") != 0; ++at)
            out += text.substr(at + 7, text.find(" = ", at) - at - 7) + " ";
        return out;
    };
    const std::string plain = constants(page());
    EXPECT_EQ(plain, "LABELS SERIES BAT TO_PCT HAS_BATTERY IS_CPU SHOW_BATTERY BUNDLES LOCALE L ");
    for (const char* part : {"id=\"viewGroup\"", "id=\"drainNote\""}) EXPECT_EQ(page().find(part), std::string::npos);

    buckets[0].drain = Drain{60000, 60};
    buckets[2].drain = Drain{15000, 30.5};
    const std::string text = page({{t0 + 180, 10800, 80.0, 77.9}, {t0 + 900, 60, std::nullopt, 50.0}});
    EXPECT_EQ(constants(text), plain + "BAT_SECS BAT_MJ IDLE_MJ IDLE_NAME SLEEPS ");
    expectInOrder(text, {"id=\"viewGroup\"><button class=\"tbtn\" id=\"btnCPU\">CPU</button><button class=\"tbtn\" "
        "id=\"btnBattery\">Akku</button>", "<div class=\"note\" id=\"drainNote\" data-title=\"Akkuverbrauch nach App\">" + std::string(t(Lang::de, S::drainShared)),
        "\nconst BAT_SECS = [60,null,30.5];\nconst BAT_MJ = [[", ",null,", "]];\nconst IDLE_MJ = [", ",null,",
        "];\nconst IDLE_NAME = \"Leerlauf und Bildschirm\";\n", "const SLEEPS = [" + numbered("{\"t\":", t0 + 180) +
        ",\"s\":10800,\"d\":2.1}," + numbered("{\"t\":", t0 + 900) + ",\"s\":60,\"d\":null}];\n(() => {"});
}

}  // namespace
}  // namespace sapwell
