#include <gtest/gtest.h>

#include "Chart.hpp"
#include "I18n.hpp"
#include "ChartTemplate.hpp"

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
    expectInOrder(page(Metric::energy, 0.5, Lang::en), {"<script>\nconst LABELS = [60,120];\nconst SERIES = [{\"name\":"
        "\"Mail\",\"v\":[1,2]}];\nconst BAT = [null,null];\nconst TO_PCT = 0.5;\nconst HAS_BATTERY = true;\n"
        "const IS_CPU = false;\nconst SHOW_BATTERY = HAS_BATTERY && !IS_CPU;\nconst BUNDLES = {\"Mail\":"
        "\"/Applications/Mail.app\"};\nconst LOCALE = \"en-US\";\nconst L = {\n  noData: \"No data\",\n",
        "  stateA: " + jsonString(t(Lang::en, S::stateACPower)) + ",\n"});
    for (const auto& [factor, text] : std::vector<std::pair<double, std::string>>{{0.0, "0.0"}, {1e-5, "1e-05"},
             {100.0 / 216000000.0, "4.6296296296296297e-07"}, {100.0 / 3.0, "33.333333333333336"}})
        EXPECT_NE(page(Metric::energy, factor, Lang::en).find("\nconst TO_PCT = " + text + ";\n"), std::string::npos);
}

TEST(ChartPage, MarkupInEveryLanguageFetchesNothingNoNameEndsTheScriptAndCpuSaysSo) {
    for (const Lang lang : Lang::all) {
        const auto text = page(Metric::energy, 0.5, lang, "</script><script>alert(1)</script>\"");
        expectInOrder(text, {"<!DOCTYPE html>\n<html lang=\"" + std::string(lang.htmlCode()) + "\">",
            "<meta charset=\"utf-8\">", std::string(web::chart::style), "<h1>" + std::string(t(lang, S::chartTitle)) + "</h1>",
            "id=\"btnPAll\">" + std::string(t(lang, S::periodAll)) + "<",
            "\nconst LOCALE = \"" + std::string(lang.jsLocale()) + "\";\n", std::string(web::chart::script),
            "</script>\n</body>\n</html>\n"});
        for (const std::string bad : {"http", "src=", "url(", "@import", "<link", "@font-face", "<script>alert", "</script><"})
            EXPECT_EQ(text.find(bad), std::string::npos) << bad;
    }
    const std::string title(t(Lang::en, S::chartTitleCPU)), inCpu(t(Lang::en, S::chartInCPU));
    expectInOrder(page(Metric::cpuTime, 0.5, Lang::en), {"<title>" + title + "</title>", "<h1>" + title + "</h1>",
        " data-t=\"1764958560\"></span> \u00b7 " + inCpu + "</div>", "const IS_CPU = true;"});
}

}  // namespace
}  // namespace sapwell
