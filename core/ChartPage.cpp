// The chart page: web/chart.html with its slots filled. The markup, style sheet and script are
// files under web/; this writes only the words of the user's language and the data.
#include <cmath>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "Chart.hpp"
#include "ChartTemplate.hpp"
#include "Decimal.hpp"
#include "I18n.hpp"
#include "Owner.hpp"

namespace sapwell {

namespace {

using web::chart::Slot;

// Shortest text that reads back as the same double; "0.0" for zero. A non-finite factor (only
// reachable with a degenerate capacity) would not even parse as a script number, so it is 0.
std::string shortestDouble(double v) {
    std::string out;
    if (v == 0 || !std::isfinite(v) || !appendShortest(out, v)) return "0.0";
    return out;
}

// An array of one entry per minute: the value, or null where the drain was not measured.
void appendMeasured(std::string& out, const std::vector<std::uint64_t>& values,
                    const std::vector<double>& seconds) {
    out.push_back('[');
    for (std::size_t m = 0; m < values.size(); ++m) {
        if (m) out.push_back(',');
        if (m < seconds.size() && seconds[m] > 0) {
            appendInt(out, values[m]);
        } else {
            out.append("null");
        }
    }
    out.push_back(']');
}

// The battery view's data, only on a page that has one: per minute the measured seconds (null
// where not measured), each curve's mJ in the order of SERIES, the idle mJ and the idle row's name.
void appendDrain(std::string& out, const DrainSeries& drain) {
    out.append("const BAT_SECS = [");
    for (std::size_t m = 0; m < drain.seconds.size(); ++m) {
        if (m) out.push_back(',');
        out.append(drain.seconds[m] > 0 ? shortestDouble(drain.seconds[m]) : "null");
    }
    out.append("];\nconst BAT_MJ = [");
    for (std::size_t i = 0; i < drain.apps.size(); ++i) {
        if (i) out.push_back(',');
        appendMeasured(out, drain.apps[i].values, drain.seconds);
    }
    out.append("];\nconst IDLE_MJ = ");
    appendMeasured(out, drain.idle.values, drain.seconds);
    out.append(";\nconst IDLE_NAME = ").append(jsonString(drain.idle.name)).append(";\n");
}

// Each sleep's minute of waking and length in seconds and the battery's fall over it in percent
// (null when a level is unknown), so the page can label the break it falls in.
void appendSleeps(std::string& out, std::span<const SleepRecord> sleeps) {
    out.append("const SLEEPS = [");
    bool first = true;
    for (const auto& s : sleeps) {
        if (!first) out.push_back(',');
        first = false;
        out.append("{\"t\":");
        appendInt(out, s.minute);
        out.append(",\"s\":").append(std::isfinite(s.seconds) && s.seconds > 0 ? shortestDouble(s.seconds) : "0");
        out.append(",\"d\":");
        const double fall = s.pctBefore && s.pctAfter ? *s.pctBefore - *s.pctAfter : NAN;
        if (std::isfinite(fall)) {
            appendFixed(out, fall, 1);
        } else {
            out.append("null");
        }
        out.push_back('}');
    }
    out.append("];\n");
}

// The page script's word table L: the name the script uses, and the text.
struct Word {
    std::string_view name;
    S key;
};
constexpr Word words[] = {
    {"noData", S::noData},
    {"systemService", S::systemProcess},
    {"program", S::commandLineProgram},
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
    {"hour", S::hour},
    {"minute", S::minute},
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
    const std::optional<DrainSeries>& drain;
    std::span<const SleepRecord> sleeps;

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
            if (!p.cpu()) return;
            // With a battery view the remark is its own element, hidden while that view shows.
            if (p.drain) p.out.append("<span id=\"cpuNote\">");
            p.out.append(" \u00b7 ").append(t(p.lang, S::chartInCPU));
            if (p.drain) p.out.append("</span>");
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
            p.out.append("  systemOwner: ").append(jsonString(systemOwner)).append(",\n");
            return;
        case Slot::script: p.out.append(web::chart::script); return;
        // The battery view's parts, only where a drain was measured; a page without is as before.
        case Slot::measure:
            if (!p.drain) return;
            p.out.append("<span class=\"ctrl\"><span class=\"ctrl-label\">").append(t(p.lang, S::measure));
            p.out.append("</span>\n<div class=\"btn-group\" id=\"viewGroup\"><button class=\"tbtn\" id=\"btnCPU\">");
            p.out.append(t(p.lang, S::viewCPU)).append("</button><button class=\"tbtn\" id=\"btnBattery\">");
            p.out.append(t(p.lang, S::viewBattery)).append("</button></div></span>\n");
            return;
        case Slot::drainNote:
            if (p.drain)
                p.out.append("<div class=\"note\" id=\"drainNote\" data-title=\"").append(t(p.lang, S::chartTitle))
                    .append("\">").append(t(p.lang, S::drainShared)).append("</div>\n");
            return;
        case Slot::drain:
            if (p.drain) appendDrain(p.out, *p.drain);
            return;
        case Slot::sleeps:
            if (!p.sleeps.empty()) appendSleeps(p.out, p.sleeps);
            return;
    }
}
#pragma GCC diagnostic pop

}  // namespace

std::string render(const std::vector<std::int64_t>& labels, const std::vector<Series>& series,
                   const std::vector<Bucket>& buckets, Metric metric, double toPercent,
                   bool hasBattery, std::int64_t now, int minutes, const BundleMap& bundles,
                   Lang lang, const std::optional<DrainSeries>& drain,
                   std::span<const SleepRecord> sleeps) {
    Page p{{}, lang, labels, series, buckets, metric, toPercent, hasBattery, now, minutes, bundles,
           drain, sleeps};
    // Room for the whole page, so a week's page (a megabyte) is not copied as it grows: what it
    // takes from web/, per minute a label and a battery entry, per value a number and its comma,
    // and the words, none of which is near 64 bytes in any language.
    std::size_t dataBytes = labels.size() * 32;
    for (const auto& s : series) dataBytes += s.values.size() * 7;
    if (drain) dataBytes += (drain->apps.size() + 2) * labels.size() * 7;
    dataBytes += sleeps.size() * 48;
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
