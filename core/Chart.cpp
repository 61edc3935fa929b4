#include "Chart.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "Amounts.hpp"
#include "Decimal.hpp"
#include "DrainEstimate.hpp"
#include "MinuteItems.hpp"
#include "NameTable.hpp"
#include "Text.hpp"

namespace sapwell {

namespace {

constexpr std::size_t topCount = 8;

// Appends the escaped body of a string literal, without the quotes. The input must be valid
// UTF-8: every byte of a multi-byte sequence is >= 0x80 and passes through unchanged.
void appendEscaped(std::string& out, std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    std::size_t plain = 0;  // start of the current run of bytes written as they are
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const char* escape = nullptr;
        switch (c) {
            case '\t': escape = "\\t"; break;
            case '\n': escape = "\\n"; break;
            case '\r': escape = "\\r"; break;
            case '"': escape = "\\\""; break;
            case '\\': escape = "\\\\"; break;
            // Never let a name close the script element or start markup inside it.
            case '&': escape = "\\u0026"; break;
            case '<': escape = "\\u003c"; break;
            case '>': escape = "\\u003e"; break;
            default:
                if (c >= 0x20) continue;
        }
        out.append(text.data() + plain, i - plain);
        plain = i + 1;
        if (escape != nullptr) {
            out.append(escape);
        } else {
            const char code[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xf]};
            out.append(code, sizeof code);
        }
    }
    out.append(text.data() + plain, text.size() - plain);
}

void appendString(std::string& out, std::string_view text) {
    out.push_back('"');
    // A page with broken UTF-8 in it would not parse as JSON; names from the history are
    // normally valid already, so repair only when needed.
    if (text::isValidUtf8(text)) {
        appendEscaped(out, text);
    } else {
        appendEscaped(out, text::repairUtf8(text));
    }
    out.push_back('"');
}

constexpr std::size_t noSlot = static_cast<std::size_t>(-1);

// The curve of each name number, for the names of `top`; noSlot for every other name.
std::vector<std::size_t> slotsOf(const std::vector<std::string>& top) {
    std::vector<std::size_t> slot;
    for (std::size_t i = 0; i < top.size(); ++i) {
        const auto id = NameTable::find(top[i]);
        if (!id) continue;  // in no minute at all
        if (*id >= slot.size()) slot.resize(std::size_t{*id} + 1, noSlot);
        if (slot[*id] == noSlot) slot[*id] = i;
    }
    return slot;
}

std::size_t slotOf(const std::vector<std::size_t>& slots, std::uint32_t id) {
    return id < slots.size() ? slots[id] : noSlot;
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    appendString(out, text);
    return out;
}

std::string jsonSeries(const std::vector<Series>& series) {
    std::size_t size = 2;
    for (const auto& s : series) size += s.name.size() + 20 + s.values.size() * 6;
    std::string out;
    out.reserve(size);
    appendJsonSeries(out, series);
    return out;
}

void appendJsonSeries(std::string& out, const std::vector<Series>& series) {
    out.push_back('[');
    for (std::size_t i = 0; i < series.size(); ++i) {
        if (i > 0) out.push_back(',');
        out.append("{\"name\":");
        appendString(out, series[i].name);
        out.append(",\"v\":[");
        const auto& values = series[i].values;
        for (std::size_t k = 0; k < values.size(); ++k) {
            if (k > 0) out.push_back(',');
            appendInt(out, values[k]);
        }
        out.append("]}");
    }
    out.push_back(']');
}

std::string jsonBundles(const BundleMap& map) {
    // std::map orders std::string keys bytewise as unsigned char, which for UTF-8 is the order
    // of the Unicode scalar values: the same input always gives the same text.
    std::string out;
    out.push_back('{');
    bool first = true;
    for (const auto& [name, path] : map) {
        if (!first) out.push_back(',');
        first = false;
        appendString(out, name);
        out.push_back(':');
        appendString(out, path);
    }
    out.push_back('}');
    return out;
}

std::string jsonBat(const std::vector<Bucket>& buckets) {
    std::string out;
    out.reserve(2 + buckets.size() * 20);
    appendJsonBat(out, buckets);
    return out;
}

void appendJsonBat(std::string& out, const std::vector<Bucket>& buckets) {
    out.push_back('[');
    for (std::size_t i = 0; i < buckets.size(); ++i) {
        if (i > 0) out.push_back(',');
        const auto& b = buckets[i];
        // A percentage without a state cannot be coloured; a non-finite one cannot be written
        // as a JSON number.
        if (!b.batPct || !b.batState || !std::isfinite(*b.batPct)) {
            out.append("null");
            continue;
        }
        out.append("{\"p\":");
        appendFixed(out, *b.batPct, 1);
        out.append(",\"s\":\"");
        out.append(b.batState->tag());
        out.append("\"}");
    }
    out.push_back(']');
}

namespace Chart {

std::vector<std::string> topNames(const std::vector<Bucket>& buckets, std::size_t count) {
    NameSums totals;
    for (const auto& b : buckets) totals.add(b.items);
    NamedAmounts ordered = totals.list();
    sortHeaviestFirst(ordered);
    if (ordered.size() > count) ordered.resize(count);
    std::vector<std::string> names;
    names.reserve(ordered.size());
    for (auto& [name, value] : ordered) names.push_back(std::move(name));
    return names;
}

std::vector<Series> buildSeries(const std::vector<Bucket>& buckets,
                                const std::vector<std::string>& top,
                                const std::string& otherLabel) {
    const auto slot = slotsOf(top);
    const std::size_t n = buckets.size();
    std::vector<Series> series;
    series.reserve(top.size() + 1);
    for (const auto& name : top) series.push_back(Series{name, std::vector<std::uint64_t>(n, 0)});
    std::vector<std::uint64_t> rest(n, 0);
    bool anyRest = false;

    for (std::size_t m = 0; m < n; ++m) {
        const auto& items = buckets[m].items;
        for (auto it = items.begin(); it != items.end(); ++it) {
            // Adding rather than assigning keeps a (malformed) repeated name from losing data;
            // with one item per name, as minutes are stored, the two are the same.
            const std::size_t s = slotOf(slot, it.nameId());
            auto& cell = s != noSlot ? series[s].values[m] : rest[m];
            cell = saturatingAdd(cell, it.value());
            if (s == noSlot && it.value() > 0) anyRest = true;
        }
    }
    if (anyRest) series.push_back(Series{otherLabel, std::move(rest)});
    return series;
}

std::optional<DrainSeries> buildDrain(const std::vector<Bucket>& buckets,
                                      const std::vector<std::string>& top, bool withRest,
                                      const std::string& otherLabel, const std::string& idleLabel) {
    if (std::none_of(buckets.begin(), buckets.end(), [](const Bucket& b) { return b.drain.has_value(); }))
        return std::nullopt;
    // One idle power for the whole history: the page compares minutes, and a level that moved
    // with the period shown would change every minute's share with it.
    const double idleMW = idlePower(buckets).mW;
    const auto slot = slotsOf(top);
    const std::size_t n = buckets.size();
    DrainSeries drain;
    for (const auto& name : top) drain.apps.push_back(Series{name, std::vector<std::uint64_t>(n, 0)});
    if (withRest) drain.apps.push_back(Series{otherLabel, std::vector<std::uint64_t>(n, 0)});
    drain.idle = Series{idleLabel, std::vector<std::uint64_t>(n, 0)};
    drain.seconds.assign(n, 0);
    const std::size_t rest = withRest ? top.size() : noSlot;

    bool any = false;
    MinuteShare share;
    for (std::size_t m = 0; m < n; ++m) {
        if (!shareMinute(buckets[m], idleMW, share)) continue;
        any = true;
        drain.seconds[m] = share.seconds;
        drain.idle.values[m] = share.idleMJ;
        std::size_t i = 0;
        for (auto it = buckets[m].items.begin(); it != buckets[m].items.end(); ++it, ++i) {
            std::size_t s = slotOf(slot, it.nameId());
            if (s == noSlot) s = rest;
            // Only a name outside the top that used no CPU has no curve, and its share is 0.
            if (s == noSlot) continue;
            auto& cell = drain.apps[s].values[m];
            cell = saturatingAdd(cell, share.appMJ[i]);
        }
    }
    if (!any) return std::nullopt;
    return drain;
}

std::string build(const History& history, Metric metric, std::optional<double> capacityMJ,
                  std::int64_t now, const BundleMap& bundles, Lang lang) {
    // Minutes ahead of the clock are drawn once it reaches them, not before.
    const auto shown = history.closedUpTo(now);
    if (shown.size() == history.buckets().size())
        return build(history.buckets(), metric, capacityMJ, now, bundles, lang, history.sleeps());
    return build(std::vector(shown.begin(), shown.end()), metric, capacityMJ, now, bundles, lang, history.sleeps());
}

std::string build(const std::vector<Bucket>& buckets, Metric metric,
                  std::optional<double> capacityMJ, std::int64_t now, const BundleMap& bundles,
                  Lang lang, std::span<const SleepRecord> sleeps) {
    const auto top = topNames(buckets, topCount);
    const std::string otherLabel(t(lang, S::other));
    const auto series = buildSeries(buckets, top, otherLabel);
    const auto drain = buildDrain(buckets, top, series.size() > top.size(), otherLabel,
                                  std::string(t(lang, S::idleAndScreen)));

    std::vector<std::int64_t> labels;
    labels.reserve(buckets.size());
    for (const auto& b : buckets) labels.push_back(b.minute);

    // A capacity that is not a positive finite number would put inf or NaN into the page's
    // script; treat it as no battery.
    double toPercent = capacityMJ && *capacityMJ > 0 ? 100.0 / *capacityMJ : 0.0;
    if (!std::isfinite(toPercent) || toPercent <= 0) toPercent = 0.0;
    const bool hasBattery = toPercent > 0;

    return render(labels, series, buckets, metric, toPercent, hasBattery, now,
                  static_cast<int>(buckets.size()), bundles, lang, drain, sleeps);
}

}  // namespace Chart

}  // namespace sapwell
