// The chart page: web/chart.html with its slots filled. The markup, style sheet and script are
// files under web/; this writes only the words of the user's language and the data.
#include <charconv>
#include <cmath>
#include <iterator>
#include <string>
#include <string_view>

#include "Chart.hpp"
#include "ChartTemplate.hpp"
#include "I18n.hpp"

namespace sapwell {

namespace {

using web::chart::Slot;

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

// The page script's word table L: the name the script uses, and the text.
struct Word {
    std::string_view name;
    S key;
};
constexpr Word words[] = {
    {"noData", S::noData},
    {"appNotFound", S::appNotFound},
    {"reveal", S::tooltipReveal},
    {"hideAll", S::hideAll},
    {"showAll", S::showAll},
    {"unitPct", S::unitPctPerHourShort},
    {"unitJ", S::joule},
    {"unitW", S::unitWatt},
    {"unitMW", S::unitMilliwatt},
    {"unitUW", S::unitMicrowatt},
    {"unitWh", S::unitWattHour},
    {"unitMWh", S::unitMilliwattHour},
    {"unitUWh", S::unitMicrowattHour},
    {"unitCPU", S::unitCPUSecondsPerMinute},
    {"cpuS", S::cpuSeconds},
    {"cpuMin", S::cpuMinutes},
    {"cpuH", S::cpuHours},
    {"stateD", S::stateDischarging},
    {"stateC", S::stateCharging},
    {"stateA", S::stateACPower},
};

struct Page {
    std::string out;
    Lang lang;
    const std::vector<std::int64_t>& labels;
    const std::vector<Series>& series;
    const std::vector<Bucket>& buckets;
    Metric metric;
    double toPercent;
    bool hasBattery;
    std::int64_t now;
    int minutes;
    const BundleMap& bundles;

    bool cpu() const { return metric == Metric::cpuTime; }
    void text(S key) { out.append(t(lang, key)); }
    void flag(bool b) { out.append(b ? "true" : "false"); }
};

// Every slot of the template, and none that is not there: the build stops at a slot added to the
// template and not filled here, and at one filled here and gone from the template.
#pragma GCC diagnostic push
#pragma GCC diagnostic error "-Wswitch"
void fill(Page& p, Slot slot) {
    switch (slot) {
        case Slot::htmlLang: p.out.append(p.lang.htmlCode()); return;
        case Slot::title: return p.text(p.cpu() ? S::chartTitleCPU : S::chartTitle);
        case Slot::style: p.out.append(web::chart::style); return;
        case Slot::collected: return p.text(S::chartCollected);
        case Slot::minutes: return appendInt(p.out, p.minutes);
        case Slot::updated: return p.text(S::chartUpdated);
        case Slot::now: return appendInt(p.out, p.now);
        case Slot::cpuNote:
            if (p.cpu()) p.out.append(" \u00b7 ").append(t(p.lang, S::chartInCPU));
            return;
        case Slot::period: return p.text(S::period);
        case Slot::period1h: return p.text(S::period1h);
        case Slot::period6h: return p.text(S::period6h);
        case Slot::period1d: return p.text(S::period1d);
        case Slot::period1w: return p.text(S::period1w);
        case Slot::periodAll: return p.text(S::periodAll);
        case Slot::view: return p.text(S::viewMode);
        case Slot::stacked: return p.text(S::viewStacked);
        case Slot::lines: return p.text(S::viewLines);
        case Slot::smoothing: return p.text(S::smoothing);
        case Slot::min1: return p.text(S::min1);
        case Slot::min5: return p.text(S::min5);
        case Slot::min15: return p.text(S::min15);
        case Slot::unitPct: return p.text(S::unitPctPerHourShort);
        case Slot::unitWatt: return p.text(S::unitWatt);
        case Slot::hideAll: return p.text(S::hideAll);
        case Slot::batteryLevel: return p.text(S::batteryLevel);
        case Slot::colApp: return p.text(S::colApp);
        case Slot::colTotal: return p.text(S::colTotal);
        case Slot::colAvgRate: return p.text(S::colAvgRate);
        case Slot::colPeak: return p.text(S::colPeak);
        case Slot::colShare: return p.text(S::colShare);
        case Slot::labels:
            for (std::size_t i = 0; i < p.labels.size(); ++i) {
                if (i) p.out.push_back(',');
                appendInt(p.out, p.labels[i]);
            }
            return;
        case Slot::series: return appendJsonSeries(p.out, p.series);
        case Slot::bat: return appendJsonBat(p.out, p.buckets);
        case Slot::toPct: p.out.append(shortestDouble(p.toPercent)); return;
        case Slot::hasBattery: return p.flag(p.hasBattery);
        case Slot::isCpu: return p.flag(p.cpu());
        case Slot::bundles: p.out.append(jsonBundles(p.bundles)); return;
        case Slot::locale: p.out.append(p.lang.jsLocale()); return;
        case Slot::strings:
            for (const auto& w : words)
                p.out.append("  ").append(w.name).append(": ").append(jsonString(t(p.lang, w.key))).append(",\n");
            return;
        case Slot::script: p.out.append(web::chart::script); return;
    }
}
#pragma GCC diagnostic pop

}  // namespace

std::string render(const std::vector<std::int64_t>& labels, const std::vector<Series>& series,
                   const std::vector<Bucket>& buckets, Metric metric, double toPercent,
                   bool hasBattery, std::int64_t now, int minutes, const BundleMap& bundles,
                   Lang lang) {
    Page p{{}, lang, labels, series, buckets, metric, toPercent, hasBattery, now, minutes, bundles};
    // Room for the whole page, so a week's page (a megabyte) is not copied as it grows: what it
    // takes from web/, per minute a label and a battery entry, per value a number and its comma,
    // and the words, none of which is near 64 bytes in any language.
    std::size_t dataBytes = labels.size() * 32;
    for (const auto& s : series) dataBytes += s.values.size() * 7;
    const std::size_t wordBytes = (std::size(web::chart::pieces) + std::size(words)) * 64;
    p.out.reserve(web::chart::fixedBytes + wordBytes + dataBytes);
    for (const auto& piece : web::chart::pieces) {
        p.out.append(piece.text);
        fill(p, piece.slot);
    }
    p.out.append(web::chart::ending);
    return std::move(p.out);
}

}  // namespace sapwell
