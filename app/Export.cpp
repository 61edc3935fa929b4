#include "Export.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <ostream>
#include <string_view>

#include "Chart.hpp"
#include "Decimal.hpp"
#include "Sampler.hpp"
#include "Text.hpp"

namespace sapwell {

namespace {

// Rows are gathered in a buffer and written in pieces of this size: an eight-day history is
// hundreds of thousands of rows, which should neither sit in memory at once nor go out one by one.
constexpr std::size_t flushAt = 1 << 16;

void flushIfFull(std::ostream& out, std::string& buffer) {
    if (buffer.size() < flushAt) return;
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    buffer.clear();
}

void appendPadded(std::string& out, std::int64_t n, int width) {
    std::string digits;
    appendInt(digits, n);
    if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
    out += digits;
}

std::string_view stateWord(ChargeState state) {
    switch (state) {
        case ChargeState::discharging: return "discharging";
        case ChargeState::charging: return "charging";
        case ChargeState::acPower: return "ac_power";
    }
    return "";
}

// A minute's own figures, as the text of each field (empty when absent).
struct MinuteFields {
    std::string minute, awake, percent, state, drainMJ, drainS;
};

MinuteFields fieldsOf(const Bucket& b) {
    MinuteFields f;
    f.minute = isoMinute(b.minute);
    appendShortest(f.awake, b.awakeS);
    if (b.batPct) appendShortest(f.percent, *b.batPct);
    if (b.batState) f.state = stateWord(*b.batState);
    if (b.drain) {
        appendInt(f.drainMJ, b.drain->mJ);
        appendShortest(f.drainS, b.drain->seconds);
    }
    return f;
}

// RFC 4180: a field holding a comma, a quote or a line break goes in quotes, its quotes doubled.
void appendCsvField(std::string& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// Names are UTF-8 in the history; a damaged one is repaired so that the file stays readable.
std::string cleanName(std::string_view name) {
    return text::isValidUtf8(name) ? std::string(name) : text::repairUtf8(name);
}

// One member of a row's object; an absent value is null.
void appendJsonMember(std::string& out, std::string_view key, std::optional<std::string_view> text,
                      bool quote) {
    out += ",\"";
    out += key;
    out += "\":";
    if (!text) {
        out += "null";
    } else if (quote) {
        out += jsonString(*text);
    } else {
        out += *text;
    }
}

std::optional<std::string_view> present(const std::string& field) {
    return field.empty() ? std::nullopt : std::optional<std::string_view>(field);
}

// The stored minutes that began at `cutoff` or later.
std::span<const Bucket> minutesFrom(const std::vector<Bucket>& buckets, std::int64_t cutoff) {
    const auto first = std::partition_point(buckets.begin(), buckets.end(),
                                            [cutoff](const Bucket& b) { return b.minute < cutoff; });
    return std::span(first, buckets.end());
}

struct Window {
    std::int64_t minutes;
    std::string_view label;
};

constexpr std::array<Window, 5> windows{{{5, "5m"}, {15, "15m"}, {30, "30m"}, {60, "1h"}, {1440, "24h"}}};

// A label value in the text format: backslash, quote and line feed escaped.
void appendLabelValue(std::string& out, std::string_view value) {
    for (const char c : value) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
}

// A family's samples, each "name{labels} value", under its HELP and TYPE lines; nothing at all
// for a family without samples.
class Family {
public:
    Family(std::string_view name, std::string_view help) : name_(name), help_(help) {}

    void add(std::optional<std::string_view> app, std::optional<std::string_view> window, double value) {
        samples_ += name_;
        if (app || window) {
            samples_ += '{';
            if (app) {
                samples_ += "app=\"";
                appendLabelValue(samples_, cleanName(*app));
                samples_ += '"';
            }
            if (window) samples_.append(app ? ",window=\"" : "window=\"").append(*window).append("\"");
            samples_ += '}';
        }
        samples_ += ' ';
        if (!appendShortest(samples_, value)) samples_ += "NaN";
        samples_ += '\n';
    }

    void appendTo(std::string& out) const {
        if (samples_.empty()) return;
        out.append("# HELP ").append(name_).append(" ").append(help_).append("\n");
        out.append("# TYPE ").append(name_).append(" gauge\n").append(samples_);
    }

private:
    std::string_view name_;
    std::string_view help_;
    std::string samples_;
};

}  // namespace

std::string isoMinute(std::int64_t unixSeconds) {
    // Days to a civil date in the proleptic Gregorian calendar (H. Hinnant's days_from_civil
    // inverse), in 64 bits so that no stored value can overflow it.
    const std::int64_t days = unixSeconds / 86400 - (unixSeconds % 86400 < 0 ? 1 : 0);
    const std::int64_t secondsOfDay = unixSeconds - days * 86400;
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    std::string out;
    appendPadded(out, year, 4);
    out += '-';
    appendPadded(out, month, 2);
    out += '-';
    appendPadded(out, day, 2);
    out += 'T';
    appendPadded(out, secondsOfDay / 3600, 2);
    out += ':';
    appendPadded(out, secondsOfDay / 60 % 60, 2);
    out += ':';
    appendPadded(out, secondsOfDay % 60, 2);
    out += 'Z';
    return out;
}

void writeMinutesCsv(std::ostream& out, std::span<const Bucket> minutes, Metric metric) {
    std::string buffer =
        "minute,name,amount,unit,awake_seconds,battery_percent,battery_state,"
        "drain_millijoules,drain_seconds\r\n";
    const auto row = [&](const MinuteFields& f, std::string_view name, const std::string& amount) {
        buffer.append(f.minute).append(",");
        appendCsvField(buffer, name);
        buffer.append(",").append(amount).append(",").append(metric.tag());
        for (const std::string* field : {&f.awake, &f.percent, &f.state, &f.drainMJ, &f.drainS}) {
            buffer.append(",").append(*field);
        }
        buffer += "\r\n";
        flushIfFull(out, buffer);
    };
    std::string amount;
    for (const Bucket& b : minutes) {
        const MinuteFields f = fieldsOf(b);
        if (b.items.empty()) row(f, "", "");
        for (const auto& [name, value] : b.items) {
            amount.clear();
            appendInt(amount, value);
            row(f, cleanName(name), amount);
        }
    }
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
}

void writeMinutesJson(std::ostream& out, std::span<const Bucket> minutes, Metric metric) {
    std::string buffer = "[";
    bool first = true;
    // Name and amount are both absent in the one row of a minute without names.
    const auto row = [&](const MinuteFields& f, std::optional<std::string_view> name,
                         std::optional<std::string_view> amount) {
        buffer += first ? "\n" : ",\n";
        first = false;
        buffer.append("{\"minute\":\"").append(f.minute).append("\"");
        appendJsonMember(buffer, "name", name, true);
        appendJsonMember(buffer, "amount", amount, false);
        appendJsonMember(buffer, "unit", metric.tag(), true);
        appendJsonMember(buffer, "awake_seconds", present(f.awake), false);
        appendJsonMember(buffer, "battery_percent", present(f.percent), false);
        appendJsonMember(buffer, "battery_state", present(f.state), true);
        appendJsonMember(buffer, "drain_millijoules", present(f.drainMJ), false);
        appendJsonMember(buffer, "drain_seconds", present(f.drainS), false);
        buffer += '}';
        flushIfFull(out, buffer);
    };
    std::string amount;
    for (const Bucket& b : minutes) {
        const MinuteFields f = fieldsOf(b);
        if (b.items.empty()) row(f, std::nullopt, std::nullopt);
        for (const auto& [name, value] : b.items) {
            amount.clear();
            appendInt(amount, value);
            row(f, name, amount);
        }
    }
    buffer += first ? "]\n" : "\n]\n";
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
}

void writePrometheus(std::ostream& out, const History& history, std::int64_t now) {
    const bool cpu = history.metric() == Metric::cpuTime;
    Family apps(cpu ? "sapwell_app_cpu_seconds" : "sapwell_app_energy_joules",
                cpu ? "CPU time of each application over the window that ends now."
                    : "Energy of each application over the window that ends now.");
    Family awake("sapwell_awake_seconds",
                 "Time the machine was awake and sampled over the window that ends now.");
    Family drainJ("sapwell_battery_drain_joules",
                  "Energy the battery delivered over the window, where its drain was measured.");
    Family drainS("sapwell_battery_drain_measured_seconds",
                  "Time of the window over which the battery's drain was measured.");
    for (const auto& [minutes, label] : windows) {
        const Aggregate a = history.window(now, minutes);
        // Both stored units are thousandths: milliseconds of CPU time, millijoules.
        for (const auto& [name, value] : a.totals) apps.add(name, label, static_cast<double>(value) / 1000);
        awake.add(std::nullopt, label, a.awakeS);
        if (a.drain) {
            drainJ.add(std::nullopt, label, static_cast<double>(a.drain->mJ) / 1000);
            drainS.add(std::nullopt, label, a.drain->seconds);
        }
    }
    Family newest("sapwell_newest_minute_timestamp_seconds",
                  "Start of the newest stored minute, in seconds since 1970; shows a stale history.");
    // Minutes ahead of the clock would hide a history that stopped growing.
    if (const auto past = history.past(); !past.empty()) {
        newest.add(std::nullopt, std::nullopt, static_cast<double>(past.back().minute));
    }
    std::string text;
    for (const Family* family : {&apps, &awake, &drainJ, &drainS, &newest}) family->appendTo(text);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

int runExport(Seam& seam, CommandLine::Format format, std::optional<std::int64_t> sinceSeconds,
              std::ostream& out) {
    const std::int64_t now = wholeSeconds(seam.clocks.wallSeconds());
    // Read only: the running application may be appending to the same file.
    const History history(detectMetric(seam.processes), now, History::dataFile(seam.env),
                          History::Access::readOnly);
    if (format == CommandLine::Format::prometheus) {
        writePrometheus(out, history, now);
    } else {
        std::int64_t cutoff = std::numeric_limits<std::int64_t>::min();
        if (sinceSeconds && __builtin_sub_overflow(now, *sinceSeconds, &cutoff)) {
            cutoff = std::numeric_limits<std::int64_t>::min();
        }
        const auto minutes = minutesFrom(history.buckets(), cutoff);
        if (format == CommandLine::Format::csv) {
            writeMinutesCsv(out, minutes, history.metric());
        } else {
            writeMinutesJson(out, minutes, history.metric());
        }
    }
    out.flush();
    return out ? 0 : 1;
}

}  // namespace sapwell
