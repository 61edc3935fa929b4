// The chart page: markup, style sheet, data constants and script in one self-contained document.
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "Chart.hpp"
#include "I18n.hpp"
#include "WebAssets.hpp"

namespace sapwell {

namespace {

// The page script carries this line where the subtitle statement goes: the statement needs the
// functions above it and must run before the wiring below it.
constexpr std::string_view subtitleMarker = "/* @subtitle */";

template <typename Int>
void appendInt(std::string& out, Int v) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec;
    out.append(buf, end);
}

// Shortest text that reads back as the same double; "0.0" for zero. A non-finite factor (only
// reachable with a degenerate capacity) would not even parse as a script number, so it is 0.
std::string shortestDouble(double v) {
    if (v == 0 || !std::isfinite(v)) return "0.0";
    char buf[40];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    if (ec != std::errc()) return "0.0";
    return std::string(buf, end);
}

struct Page {
    std::string out;
    Lang lang;

    Page& operator<<(std::string_view s) {
        out.append(s);
        return *this;
    }
    Page& operator<<(S key) {
        out.append(t(lang, key));
        return *this;
    }
};

void button(Page& p, std::string_view id, bool active, S text, std::string_view dataMin = {}) {
    p << "<button class=\"" << (active ? "tbtn active" : "tbtn") << "\" id=\"" << id << "\"";
    if (!dataMin.empty()) p << " data-min=\"" << dataMin << "\"";
    p << ">" << text << "</button>";
}

void batEntry(Page& p, std::string_view colour, S text) {
    p << "<span style=\"display:flex;align-items:center;gap:5px\">"
         "<span style=\"display:inline-block;width:16px;height:3px;border-radius:2px;background:"
      << colour << "\"></span>" << text << "</span>";
}

void member(Page& p, std::string_view name, S key) {
    p << "  " << name << ": " << jsonString(t(p.lang, key)) << ",\n";
}

}  // namespace

std::string render(const std::vector<std::int64_t>& labels, const std::vector<Series>& series,
                   const std::vector<Bucket>& buckets, Metric metric, double toPercent,
                   bool hasBattery, std::int64_t now, int minutes, const BundleMap& bundles,
                   Lang lang) {
    Page p{{}, lang};
    // Room for the data constants as well, so a week's page (a megabyte) is not copied as it grows:
    // per minute a label and a battery entry, and per value a number and its comma.
    std::size_t dataBytes = labels.size() * 32;
    for (const auto& s : series) dataBytes += s.values.size() * 7;
    p.out.reserve(34932 + dataBytes);
    const bool cpu = metric == Metric::cpuTime;
    const S title = cpu ? S::chartTitleCPU : S::chartTitle;

    p << "<!DOCTYPE html>\n<html lang=\"" << lang.htmlCode() << "\">\n<head>\n"
      << "<meta charset=\"utf-8\">\n<title>" << title << "</title>\n<style>\n"
      << web::asset("chart.css") << "</style>\n</head>\n<body>\n";
    p << "<h1>" << title << "</h1>\n<div class=\"sub\" id=\"sub\"></div>\n";

    p << "<div class=\"card\">\n<div class=\"controls\">\n";
    p << "<span class=\"ctrl-label\">" << S::period << "</span>\n";
    p << "<div class=\"btn-group\" id=\"periodGroup\">";
    button(p, "btnP1h", false, S::period1h, "60");
    button(p, "btnP6h", false, S::period6h, "360");
    button(p, "btnP1d", true, S::period1d, "1440");
    button(p, "btnP1w", false, S::period1w, "10080");
    button(p, "btnPAll", false, S::periodAll, "0");
    p << "</div>\n<span class=\"ctrl-label\">" << S::viewMode << "</span>\n";
    p << "<div class=\"btn-group\" id=\"modeGroup\">";
    button(p, "btnStack", true, S::viewStacked);
    button(p, "btnLine", false, S::viewLines);
    p << "</div>\n<span class=\"ctrl-label\">" << S::smoothing << "</span>\n";
    p << "<div class=\"btn-group\" id=\"smoothGroup\">";
    button(p, "btnS1", false, S::min1);
    button(p, "btnS5", true, S::min5);
    button(p, "btnS15", false, S::min15);
    p << "</div>\n<div class=\"btn-group\" id=\"unitGroup\" style=\"display:none\">";
    button(p, "btnPct", true, S::unitPctPerHourShort);
    button(p, "btnWatt", false, S::unitWatt);
    p << "</div>\n<button class=\"solo\" id=\"toggleAll\">" << S::hideAll << "</button>\n";
    p << "</div>\n<canvas id=\"c\"></canvas>\n<div class=\"legend\" id=\"legend\"></div>\n";
    p << "<div id=\"bat-legend\" style=\"display:none;gap:16px;margin-top:10px;padding-top:10px;"
         "border-top:1px solid var(--line);flex-wrap:wrap;font-size:12px;color:var(--muted)\">"
         "<span style=\"font-weight:600\">"
      << S::batteryLevel << ":</span>";
    batEntry(p, "#ef4444", S::stateDischarging);
    batEntry(p, "#22c55e", S::stateCharging);
    batEntry(p, "#3b82f6", S::stateACPower);
    p << "</div>\n</div>\n";

    p << "<div class=\"card\">\n<table>\n<thead><tr>"
      << "<th data-i=\"0\">" << S::colApp << "</th>"
      << "<th data-i=\"1\" class=\"num\">" << S::colTotal << "</th>"
      << "<th data-i=\"2\" class=\"num\">" << S::colAvgRate << "</th>"
      << "<th data-i=\"3\" class=\"num\">" << S::colPeak << "</th>"
      << "<th data-i=\"4\" class=\"num\">" << S::colShare << "</th>"
      << "</tr></thead>\n<tbody id=\"tb\"></tbody>\n</table>\n</div>\n";
    p << "<div class=\"tip\" id=\"tip\"></div>\n";

    p << "<script>\nconst LABELS = [";
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (i) p << ",";
        appendInt(p.out, labels[i]);
    }
    p << "];\nconst SERIES = ";
    appendJsonSeries(p.out, series);
    p << ";\nconst BAT = ";
    appendJsonBat(p.out, buckets);
    p << ";\n";
    p << "const TO_PCT = " << shortestDouble(toPercent) << ";\n";
    p << "const HAS_BATTERY = " << (hasBattery ? "true" : "false") << ";\n";
    p << "const IS_CPU = " << (cpu ? "true" : "false") << ";\n";
    p << "const SHOW_BATTERY = HAS_BATTERY && !IS_CPU;\n";
    p << "const BUNDLES = " << jsonBundles(bundles) << ";\n";
    p << "const LOCALE = \"" << lang.jsLocale() << "\";\n";
    p << "const L = {\n";
    member(p, "noData", S::noData);
    member(p, "appNotFound", S::appNotFound);
    member(p, "reveal", S::tooltipReveal);
    member(p, "hideAll", S::hideAll);
    member(p, "showAll", S::showAll);
    member(p, "unitPct", S::unitPctPerHourShort);
    member(p, "unitJ", S::joule);
    member(p, "unitW", S::unitWatt);
    member(p, "unitMW", S::unitMilliwatt);
    member(p, "unitUW", S::unitMicrowatt);
    member(p, "unitWh", S::unitWattHour);
    member(p, "unitMWh", S::unitMilliwattHour);
    member(p, "unitUWh", S::unitMicrowattHour);
    member(p, "unitCPU", S::unitCPUSecondsPerMinute);
    member(p, "cpuS", S::cpuSeconds);
    member(p, "cpuMin", S::cpuMinutes);
    member(p, "cpuH", S::cpuHours);
    member(p, "stateD", S::stateDischarging);
    member(p, "stateC", S::stateCharging);
    member(p, "stateA", S::stateACPower);
    p << "};\n";

    // The script's state and functions, the subtitle, then its wiring and start-up.
    const std::string_view script = web::asset("chart.js");
    const std::size_t cut = script.find(subtitleMarker);
    const std::string_view head = script.substr(0, cut);
    const std::string_view tail =
        cut == std::string_view::npos ? std::string_view{} : script.substr(cut + subtitleMarker.size());
    p << head;
    p << "document.getElementById(\"sub\").textContent = " << jsonString(t(lang, S::chartCollected))
      << " + \": ";
    appendInt(p.out, minutes);
    p << " \u00b7 \" + " << jsonString(t(lang, S::chartUpdated)) << " + \" \" + new Date(";
    appendInt(p.out, now);
    p << " * 1000).toLocaleString(LOCALE)";
    if (cpu) p << " + \" \u00b7 \" + " << jsonString(t(lang, S::chartInCPU));
    p << ";";
    p << tail;
    p << "</script>\n</body>\n</html>\n";
    return std::move(p.out);
}

}  // namespace sapwell
