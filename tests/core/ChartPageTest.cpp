#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Chart.hpp"
#include "I18n.hpp"
#include "WebAssets.hpp"

namespace sapwell {
namespace {

constexpr std::int64_t now = 1764958560;

std::string page(Metric metric = Metric::energy, double toPercent = 0.0, bool battery = false,
                 Lang lang = Lang::en, const std::vector<Series>& series = {},
                 const std::vector<std::int64_t>& labels = {}, const std::vector<Bucket>& buckets = {},
                 const BundleMap& bundles = {}) {
    return render(labels, series, buckets, metric, toPercent, battery, now, 1234, bundles, lang);
}

std::string between(const std::string& text, const std::string& from, const std::string& to) {
    const auto a = text.find(from);
    if (a == std::string::npos) return "<missing>";
    const auto b = text.find(to, a + from.size());
    return text.substr(a + from.size(), b - a - from.size());
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(ChartPage, ShortestRoundTripFactor) {
    struct Case {
        double in;
        std::string out;
    };
    const std::vector<Case> cases = {
        {0.0, "0.0"},
        {100.0 / 216000000.0, "4.6296296296296297e-07"},
        {0.5, "0.5"},
        {1e-5, "1e-05"},
        {100.0 / 3.0, "33.333333333333336"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(between(page(Metric::energy, c.in, true), "\nconst TO_PCT = ", ";\n"), c.out) << c.in;
    }
}

TEST(ChartPage, ConstantsInOrderOnTheirOwnLines) {
    const std::vector<Bucket> buckets(2);
    const auto text = page(Metric::energy, 0.5, true, Lang::en, {{"Mail", {1, 2}}}, {60, 120}, buckets,
                           {{"Mail", "/Applications/Mail.app"}});
    const std::vector<std::string> lines = {
        "\nconst LABELS = [60,120];\n",
        "\nconst SERIES = [{\"name\":\"Mail\",\"v\":[1,2]}];\n",
        "\nconst BAT = [null,null];\n",
        "\nconst TO_PCT = 0.5;\n",
        "\nconst HAS_BATTERY = true;\n",
        "\nconst IS_CPU = false;\n",
        "\nconst SHOW_BATTERY = HAS_BATTERY && !IS_CPU;\n",
        "\nconst BUNDLES = {\"Mail\":\"/Applications/Mail.app\"};\n",
        "\nconst LOCALE = \"en-US\";\n",
        "\nconst L = {\n  noData: \"No data\",\n",
    };
    std::size_t last = 0;
    for (const auto& l : lines) {
        const auto at = text.find(l);
        ASSERT_NE(at, std::string::npos) << l;
        EXPECT_GT(at, last) << l;
        last = at;
    }
    // Twenty members, each followed by a comma, the last one too.
    const auto members = between(text, "\nconst L = {\n", "};\n");
    EXPECT_EQ(count(members, ",\n"), 20u);
    EXPECT_NE(members.find("  stateA: " + jsonString(t(Lang::en, S::stateACPower)) + ",\n"), std::string::npos);
    EXPECT_EQ(page(Metric::energy, 0.5, true, Lang::en, {{"Mail", {1, 2}}}, {60, 120}, buckets,
                   {{"Mail", "/Applications/Mail.app"}}),
              text);
}

TEST(ChartPage, ControlsAndMarkup) {
    const auto text = page();
    for (const std::string piece : {
             "<!DOCTYPE html>\n<html lang=\"en\">",
             "<meta charset=\"utf-8\">",
             "<div class=\"sub\" id=\"sub\"></div>",
             "<button class=\"tbtn\" id=\"btnP1h\" data-min=\"60\">",
             "<button class=\"tbtn\" id=\"btnP6h\" data-min=\"360\">",
             "<button class=\"tbtn active\" id=\"btnP1d\" data-min=\"1440\">",
             "<button class=\"tbtn\" id=\"btnP1w\" data-min=\"10080\">",
             "<button class=\"tbtn\" id=\"btnPAll\" data-min=\"0\">",
             "<button class=\"tbtn active\" id=\"btnStack\">",
             "<button class=\"tbtn\" id=\"btnLine\">",
             "<button class=\"tbtn active\" id=\"btnS5\">",
             "<div class=\"btn-group\" id=\"unitGroup\" style=\"display:none\">",
             "<button class=\"tbtn active\" id=\"btnPct\">",
             "<button class=\"solo\" id=\"toggleAll\">Hide all</button>",
             "<canvas id=\"c\"></canvas>",
             "<div class=\"legend\" id=\"legend\"></div>",
             "<div id=\"bat-legend\" style=\"display:none;gap:16px;margin-top:10px;padding-top:10px;"
             "border-top:1px solid var(--line);flex-wrap:wrap;font-size:12px;color:var(--muted)\">",
             "background:#ef4444\"></span>",
             "<th data-i=\"4\" class=\"num\">",
             "<tbody id=\"tb\"></tbody>",
             "<div class=\"tip\" id=\"tip\"></div>",
         }) {
        EXPECT_NE(text.find(piece), std::string::npos) << piece;
    }
    // Self-contained: nothing to fetch, and the style sheet and script are both inside.
    for (const std::string outside : {"http", "src=", "url(", "@import", "<link", "@font-face"}) {
        EXPECT_EQ(text.find(outside), std::string::npos) << outside;
    }
    EXPECT_NE(text.find(std::string(web::asset("chart.css"))), std::string::npos);
    EXPECT_EQ(count(text, "</script"), 1u);
    EXPECT_EQ(count(text, "<script"), 1u);
}

TEST(ChartPage, SubtitleBetweenFunctionsAndWiring) {
    const auto energy = page();
    const std::string statement =
        "document.getElementById(\"sub\").textContent = \"Minutes collected\" + \": 1234 \u00b7 \" + "
        "\"updated\" + \" \" + new Date(1764958560 * 1000).toLocaleString(LOCALE);";
    const auto at = energy.find(statement);
    ASSERT_NE(at, std::string::npos);
    EXPECT_LT(energy.find("function draw()"), at);
    EXPECT_GT(energy.find("buildLegend();\nbuildTable();\ndraw();"), at);
    EXPECT_EQ(energy.find("@subtitle"), std::string::npos);

    const auto cpu = page(Metric::cpuTime, 0.5, true);
    EXPECT_NE(cpu.find("toLocaleString(LOCALE) + \" \u00b7 \" + " + jsonString(t(Lang::en, S::chartInCPU)) + ";"),
              std::string::npos);
    EXPECT_NE(cpu.find("\nconst IS_CPU = true;\n"), std::string::npos);
    const std::string cpuTitle(t(Lang::en, S::chartTitleCPU));
    EXPECT_NE(cpu.find("<title>" + cpuTitle + "</title>"), std::string::npos);
    EXPECT_NE(cpu.find("<h1>" + cpuTitle + "</h1>"), std::string::npos);
}

TEST(ChartPage, EveryLanguageLabelsItsPage) {
    for (const Lang lang : Lang::all) {
        const auto text = page(Metric::energy, 0, false, lang);
        EXPECT_NE(text.find("<html lang=\"" + std::string(lang.htmlCode()) + "\">"), std::string::npos);
        EXPECT_NE(text.find("\nconst LOCALE = \"" + std::string(lang.jsLocale()) + "\";\n"), std::string::npos);
        EXPECT_NE(text.find("id=\"btnPAll\" data-min=\"0\">" + std::string(t(lang, S::periodAll)) + "<"),
                  std::string::npos);
        EXPECT_NE(text.find("<h1>" + std::string(t(lang, S::chartTitle)) + "</h1>"), std::string::npos);
    }
    const auto de = page(Metric::energy, 0, false, Lang::de);
    EXPECT_NE(de.find("data-min=\"60\">1 Std.</button>"), std::string::npos);
    EXPECT_NE(de.find("data-min=\"10080\">1 Wo.</button>"), std::string::npos);
}

TEST(ChartPage, NamesCannotEndTheScript) {
    const std::string hostile = "</script><script>alert(1)</script>\"";
    const auto text = page(Metric::energy, 0, false, Lang::en, {{hostile, {1}}}, {60}, std::vector<Bucket>(1),
                           {{hostile, "/x/</script>.app"}});
    EXPECT_EQ(count(text, "</script"), 1u);
    EXPECT_EQ(count(text, "<script"), 1u);
}

}  // namespace
}  // namespace sapwell
