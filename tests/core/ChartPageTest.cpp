#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Chart.hpp"
#include "I18n.hpp"
#include "WebAssets.hpp"

namespace sapwell {
namespace {

std::string page(Metric metric, double toPercent, Lang lang, const std::string& name = "Mail") {
    return render({60, 120}, {{name, {1, 2}}}, std::vector<Bucket>(2), metric, toPercent, true,
                  1764958560, 1234, {{"Mail", "/Applications/Mail.app"}}, lang);
}

void expectInOrder(const std::string& text, const std::vector<std::string>& pieces) {
    std::size_t at = 0;
    for (const auto& piece : pieces) EXPECT_NE(at = text.find(piece, at), text.npos) << piece;
}

TEST(ChartPage, DataConstantsWithTheShortestRoundTripFactor) {
    for (const auto& [factor, text] : std::vector<std::pair<double, std::string>>{
             {0.0, "0.0"}, {100.0 / 216000000.0, "4.6296296296296297e-07"}, {0.5, "0.5"},
             {1e-5, "1e-05"}, {100.0 / 3.0, "33.333333333333336"}}) {
        expectInOrder(page(Metric::energy, factor, Lang::en),
                      {"<script>\nconst LABELS = [60,120];\nconst SERIES = [{\"name\":\"Mail\","
                       "\"v\":[1,2]}];\nconst BAT = [null,null];\nconst TO_PCT = " +
                           text + ";\nconst HAS_BATTERY = true;\nconst IS_CPU = false;\n"
                           "const SHOW_BATTERY = HAS_BATTERY && !IS_CPU;\nconst BUNDLES = "
                           "{\"Mail\":\"/Applications/Mail.app\"};\nconst LOCALE = \"en-US\";\n"
                           "const L = {\n  noData: \"No data\",\n",
                       "  stateA: " + jsonString(t(Lang::en, S::stateACPower)) + ",\n"});
    }
}

TEST(ChartPage, MarkupInEveryLanguageFetchesNothingAndNoNameEndsTheScript) {
    for (const Lang lang : Lang::all) {
        const auto text = page(Metric::energy, 0.5, lang, "</script><script>alert(1)</script>\"");
        const std::string html(lang.htmlCode()), h1(t(lang, S::chartTitle));
        expectInOrder(text, {"<!DOCTYPE html>\n<html lang=\"" + html + "\">",
            "<meta charset=\"utf-8\">", std::string(web::asset("chart.css")), "<h1>" + h1 + "</h1>",
            "tbtn active\" id=\"btnP1d\" data-min=\"1440\">", "id=\"btnPAll\" data-min=\"0\">" +
            std::string(t(lang, S::periodAll)) + "<", "tbtn active\" id=\"btnStack\">",
            "tbtn active\" id=\"btnS5\">", "id=\"unitGroup\" style=\"display:none\">",
            "tbtn active\" id=\"btnPct\">", "id=\"bat-legend\" style=\"display:none;",
            "\nconst LOCALE = \"" + std::string(lang.jsLocale()) + "\";\n"});
        for (const std::string bad : {"http", "src=", "url(", "@import", "<link", "@font-face",
                                      "<script>alert", "</script><"})
            EXPECT_EQ(text.find(bad), std::string::npos) << bad;
    }
}

TEST(ChartPage, SubtitleSitsBetweenTheFunctionsAndTheWiring) {
    expectInOrder(page(Metric::energy, 0.5, Lang::en),
                  {"function draw()",
                   "\ndocument.getElementById(\"sub\").textContent = \"Minutes collected\" + \": "
                   "1234 \u00b7 \" + \"updated\" + \" \" + new Date(1764958560 * 1000)"
                   ".toLocaleString(LOCALE);",
                   "buildLegend();\nbuildTable();\ndraw();"});
    const std::string title(t(Lang::en, S::chartTitleCPU)), inCpu(t(Lang::en, S::chartInCPU));
    expectInOrder(page(Metric::cpuTime, 0.5, Lang::en),
                  {"<title>" + title + "</title>", "<h1>" + title + "</h1>", "const IS_CPU = true;",
                   "toLocaleString(LOCALE) + \" \u00b7 \" + " + jsonString(inCpu) + ";"});
}

}  // namespace
}  // namespace sapwell
