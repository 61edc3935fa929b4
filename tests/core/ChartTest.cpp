#include "Chart.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "TempDir.hpp"

namespace sapwell {
namespace {

constexpr std::uint64_t maxU64 = std::numeric_limits<std::uint64_t>::max();
constexpr std::int64_t t0 = 1733400000 / 60 * 60;

Bucket minute(std::int64_t index, NamedAmounts items, std::optional<double> pct = std::nullopt,
              std::optional<ChargeState> state = std::nullopt) {
    Bucket b;
    b.minute = t0 + index * 60;
    b.awakeS = 60;
    b.items = std::move(items);
    b.batPct = pct;
    b.batState = state;
    return b;
}

// --- jsonString ------------------------------------------------------------------------------

TEST(JsonString, EscapesExactly) {
    struct Case {
        std::string in, out;
    };
    const std::vector<Case> cases = {
        {"", R"("")"},
        {"Mail", R"("Mail")"},
        {"a\"b\\c\td<b>", R"("a\"b\\c\td\u003cb\u003e")"},
        {"\n\r", R"("\n\r")"},
        {"\x07", R"("\u0007")"},
        {"\x1b[0m", R"("\u001b[0m")"},
        {std::string("a\0b", 3), R"("a\u0000b")"},
        {"\x1f\x7f", "\"\\u001f\x7f\""},
        {"Tom & Jerry", R"("Tom \u0026 Jerry")"},
        {"</script><script>alert(1)</script>",
         R"("\u003c/script\u003e\u003cscript\u003ealert(1)\u003c/script\u003e")"},
        {"<img src=x onerror=alert(1)>", R"("\u003cimg src=x onerror=alert(1)\u003e")"},
        {"it's", R"("it's")"},
        {"C:\\Apps\\x.exe", R"("C:\\Apps\\x.exe")"},
        // Characters outside ASCII go through unchanged, the line separators included: modern
        // script engines accept them inside string literals, as JSON does.
        {"a\u2028b\u2029c", "\"a\u2028b\u2029c\""},
        {"Почта", "\"Почта\""},
        {"微信", "\"微信\""},
        {"bad\uFFFDname", "\"bad\uFFFDname\""},
        {"😀", "\"😀\""},
    };
    for (const auto& c : cases) EXPECT_EQ(jsonString(c.in), c.out) << c.in;
}

TEST(JsonString, RepairsInvalidUtf8SoThePageStaysValid) {
    EXPECT_EQ(jsonString("a\xff" "b"), "\"a\uFFFDb\"");
    EXPECT_EQ(jsonString("\xc3"), "\"\uFFFD\"");
}

TEST(JsonString, NoAsciiByteEscapesTheLiteral) {
    std::string all;
    for (int c = 1; c < 128; ++c) all.push_back(static_cast<char>(c));
    const std::string out = jsonString(all);
    ASSERT_GE(out.size(), 2u);
    const std::string body = out.substr(1, out.size() - 2);
    EXPECT_EQ(body.find_first_of("<>&"), std::string::npos);
    for (std::size_t i = 0; i < body.size(); ++i) {
        EXPECT_GE(static_cast<unsigned char>(body[i]), 0x20) << i;
        // Every quote inside is escaped: preceded by an odd run of backslashes.
        if (body[i] == '"') {
            std::size_t run = 0;
            while (run < i && body[i - 1 - run] == '\\') ++run;
            EXPECT_EQ(run % 2, 1u) << i;
        }
    }
}

// --- jsonSeries, jsonBundles, jsonBat --------------------------------------------------------

TEST(JsonSeries, WritesCompactArrays) {
    EXPECT_EQ(jsonSeries({}), "[]");
    EXPECT_EQ(jsonSeries({{"Mail", {0, 1520, 37}}, {"other", {4, 0, 0}}}),
              R"([{"name":"Mail","v":[0,1520,37]},{"name":"other","v":[4,0,0]}])");
    EXPECT_EQ(jsonSeries({{"x", {}}}), R"([{"name":"x","v":[]}])");
    EXPECT_EQ(jsonSeries({{"<a>", {maxU64}}}),
              R"([{"name":"\u003ca\u003e","v":[18446744073709551615]}])");
}

TEST(JsonBundles, OrdersByScalarValueAndEscapes) {
    EXPECT_EQ(jsonBundles({}), "{}");
    const BundleMap map = {
        {"微信", "/Applications/WeChat.app"},
        {"apple", "/a"},
        {"Zed", "/Applications/Zed & Co.app"},
        {"Ärger", "/opt/\"q\"/<x>"},
    };
    EXPECT_EQ(jsonBundles(map),
              "{\"Zed\":\"/Applications/Zed \\u0026 Co.app\",\"apple\":\"/a\","
              "\"Ärger\":\"/opt/\\\"q\\\"/\\u003cx\\u003e\",\"微信\":\"/Applications/WeChat.app\"}");
}

TEST(JsonBat, OneEntryPerMinute) {
    EXPECT_EQ(jsonBat({}), "[]");
    const std::vector<Bucket> buckets = {
        minute(0, {}),
        minute(1, {}, 87.5, ChargeState::discharging),
        minute(2, {}, 87.4, ChargeState::charging),
    };
    EXPECT_EQ(jsonBat(buckets), R"([null,{"p":87.5,"s":"d"},{"p":87.4,"s":"c"}])");

    struct Case {
        std::optional<double> pct;
        std::optional<ChargeState> state;
        std::string out;
    };
    const std::vector<Case> cases = {
        {87.46, ChargeState::discharging, R"([{"p":87.5,"s":"d"}])"},
        {100.0, ChargeState::acPower, R"([{"p":100.0,"s":"a"}])"},
        {0.0, ChargeState::discharging, R"([{"p":0.0,"s":"d"}])"},
        {0.04, ChargeState::charging, R"([{"p":0.0,"s":"c"}])"},
        {55.0, std::nullopt, "[null]"},                         // percent without a state
        {std::nullopt, ChargeState::charging, "[null]"},        // state without a percent
        {std::nan(""), ChargeState::discharging, "[null]"},     // would not be a JSON number
        {INFINITY, ChargeState::discharging, "[null]"},
    };
    for (const auto& c : cases) EXPECT_EQ(jsonBat({minute(0, {}, c.pct, c.state)}), c.out);
}

// --- choosing curves and building series ------------------------------------------------------

TEST(TopNames, HeaviestEightOverTheWholeHistory) {
    std::vector<Bucket> buckets;
    // Ten applications; app0 was busy long ago only, and still ranks first.
    buckets.push_back(minute(0, {{"app0", 1000}}));
    for (int m = 1; m <= 3; ++m) {
        NamedAmounts items;
        for (int a = 1; a < 10; ++a) items.push_back({"app" + std::to_string(a), 100 - a * 10});
        buckets.push_back(minute(m, items));
    }
    EXPECT_EQ(Chart::topNames(buckets, 8),
              (std::vector<std::string>{"app0", "app1", "app2", "app3", "app4", "app5", "app6",
                                        "app7"}));
    EXPECT_TRUE(Chart::topNames({}, 8).empty());
    EXPECT_EQ(Chart::topNames({minute(0, {{"solo", 5}})}, 8), std::vector<std::string>{"solo"});
}

TEST(TopNames, EqualTotalsGoToTheNameThatSortsFirst) {
    NamedAmounts items;
    for (int a = 0; a < 7; ++a) items.push_back({"big" + std::to_string(a), 1000});
    // "Beta" and "alpha" tie for eighth place; uppercase sorts before lowercase.
    items.push_back({"alpha", 50});
    items.push_back({"Beta", 30});
    const std::vector<Bucket> buckets = {minute(0, items), minute(1, {{"Beta", 20}})};
    const auto top = Chart::topNames(buckets, 8);
    ASSERT_EQ(top.size(), 8u);
    EXPECT_EQ(top.back(), "Beta");
}

TEST(TopNames, TotalsSaturateInsteadOfWrapping) {
    const std::vector<Bucket> buckets = {minute(0, {{"huge", maxU64}, {"small", 10}}),
                                         minute(1, {{"huge", 5}})};
    EXPECT_EQ(Chart::topNames(buckets, 8), (std::vector<std::string>{"huge", "small"}));
}

TEST(BuildSeries, AlignsEveryCurveToTheStoredMinutes) {
    const std::vector<Bucket> buckets = {
        minute(0, {{"Mail", 0}, {"Finder", 4}}),
        minute(1, {{"Mail", 1520}}),
        minute(5, {{"Mail", 37}}),  // a gap in the minutes leaves no position
    };
    EXPECT_EQ(Chart::buildSeries(buckets, {"Mail"}, "other"),
              (std::vector<Series>{{"Mail", {0, 1520, 37}}, {"other", {4, 0, 0}}}));
    // The curve order is the order given, even when a later name is heavier.
    EXPECT_EQ(Chart::buildSeries(buckets, {"Finder", "Mail"}, "other"),
              (std::vector<Series>{{"Finder", {4, 0, 0}}, {"Mail", {0, 1520, 37}}}));
    EXPECT_TRUE(Chart::buildSeries({}, {}, "other").empty());
    // A top name without items anywhere still gets its row of zeros.
    EXPECT_EQ(Chart::buildSeries({minute(0, {})}, {"Idle"}, "other"),
              (std::vector<Series>{{"Idle", {0}}}));
}

TEST(BuildSeries, RestSumsPerMinuteAndDisappearsWhenAllZero) {
    const std::vector<Bucket> buckets = {
        minute(0, {{"A", 9}, {"x", 2}, {"y", 3}}),
        minute(1, {{"A", 9}, {"x", 0}}),
        minute(2, {{"y", maxU64}, {"x", 7}}),
    };
    EXPECT_EQ(Chart::buildSeries(buckets, {"A"}, "другие"),
              (std::vector<Series>{{"A", {9, 9, 0}}, {"другие", {5, 0, maxU64}}}));

    const std::vector<Bucket> idleRest = {minute(0, {{"A", 9}, {"x", 0}}), minute(1, {{"y", 0}})};
    EXPECT_EQ(Chart::buildSeries(idleRest, {"A"}, "other"),
              (std::vector<Series>{{"A", {9, 0}}}));
}

// --- the whole build, through a history file --------------------------------------------------

// The text of one data constant of the page ("const NAME = value;" on its own line).
std::string constant(const std::string& page, const std::string& name) {
    const std::string start = "\nconst " + name + " = ";
    const auto at = page.find(start);
    if (at == std::string::npos) return "<missing>";
    const auto from = at + start.size();
    const auto end = page.find(";\n", from);
    return page.substr(from, end - from);
}

struct Built {
    std::string page;
    std::vector<Bucket> buckets;
};

Built buildFrom(const std::vector<Bucket>& buckets, std::optional<double> capacity,
                Metric metric = Metric::energy, Lang lang = Lang::en) {
    testing::TempDir dir;
    std::string file;
    for (const auto& b : buckets) file += serialize(b, metric);
    const auto path = dir.write("history.tsv", file);
    const std::int64_t now = t0 + 3600;
    const History history(metric, now, path, History::Access::readOnly);
    return {Chart::build(history, metric, capacity, now, {{"Mail", "/Applications/Mail.app"}},
                         lang),
            history.allBuckets()};
}

TEST(ChartBuild, EmptyHistoryGivesEmptyData) {
    const auto built = buildFrom({}, std::nullopt);
    EXPECT_EQ(constant(built.page, "LABELS"), "[]");
    EXPECT_EQ(constant(built.page, "SERIES"), "[]");
    EXPECT_EQ(constant(built.page, "BAT"), "[]");
    EXPECT_EQ(constant(built.page, "TO_PCT"), "0.0");
    EXPECT_EQ(constant(built.page, "HAS_BATTERY"), "false");
}

TEST(ChartBuild, TenAppsGiveEightCurvesAndTheRest) {
    std::vector<Bucket> buckets;
    for (int m = 0; m < 3; ++m) {
        NamedAmounts items;
        for (int a = 0; a < 10; ++a) items.push_back({"app" + std::to_string(a), 1000 - a * 10 + m});
        buckets.push_back(minute(m, items, 80.0 - m, ChargeState::discharging));
    }
    const auto built = buildFrom(buckets, 216000000.0);
    ASSERT_EQ(built.buckets.size(), 3u);

    std::vector<Series> expected;
    for (int a = 0; a < 8; ++a) {
        const std::uint64_t base = 1000 - a * 10;
        expected.push_back({"app" + std::to_string(a), {base, base + 1, base + 2}});
    }
    expected.push_back({"other", {920 + 910, 921 + 911, 922 + 912}});
    EXPECT_EQ(constant(built.page, "SERIES"), jsonSeries(expected));
    EXPECT_EQ(constant(built.page, "LABELS"), "[" + std::to_string(t0) + "," +
                                                  std::to_string(t0 + 60) + "," +
                                                  std::to_string(t0 + 120) + "]");
    EXPECT_EQ(constant(built.page, "BAT"), jsonBat(built.buckets));
    EXPECT_EQ(constant(built.page, "HAS_BATTERY"), "true");
    EXPECT_EQ(constant(built.page, "TO_PCT"), "4.6296296296296297e-07");
    EXPECT_EQ(constant(built.page, "BUNDLES"), R"({"Mail":"/Applications/Mail.app"})");
}

TEST(ChartBuild, UnusableCapacityMeansNoBattery) {
    for (const double capacity : {0.0, -5.0, std::nan(""), HUGE_VAL}) {
        const auto built = buildFrom({minute(0, {{"A", 1}}, 50.0, ChargeState::discharging)},
                                     capacity);
        EXPECT_EQ(constant(built.page, "HAS_BATTERY"), "false") << capacity;
        EXPECT_EQ(constant(built.page, "TO_PCT"), "0.0") << capacity;
    }
}

}  // namespace
}  // namespace sapwell
