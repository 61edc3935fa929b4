#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>

#include "Bucket.hpp"
#include "CommandLine.hpp"
#include "History.hpp"
#include "Metric.hpp"
#include "Seam.hpp"

namespace sapwell {

// Tidy minutes: one row per stored minute and name, with the minute's own figures (awake time,
// battery level and state, measured drain) repeated on each of its rows; a minute without names
// gives one row with neither name nor amount, so its awake time and battery are not lost.
// Columns: minute (its start, ISO 8601 UTC), name, amount, unit (the metric's tag: cpu_ms or
// energy_mj), awake_seconds, battery_percent, battery_state (discharging, charging, ac_power),
// drain_millijoules, drain_seconds; an absent value is an empty field or null.
// CSV after RFC 4180 (a header line, CRLF line ends, quoted where needed); JSON an array of
// one object per row.
void writeMinutesCsv(std::ostream& out, std::span<const Bucket> minutes, Metric metric);
void writeMinutesJson(std::ostream& out, std::span<const Bucket> minutes, Metric metric);

// The windows of the menu (5 min to 24 h) ending at `now`, in Prometheus' text format as node
// exporter's textfile collector reads it: each application's amount per window, awake time and
// measured battery drain per window, and when the newest stored minute began. Gauges, since a
// total over a sliding window falls as well as rises.
void writePrometheus(std::ostream& out, const History& history, std::int64_t now);

// "2024-05-01T12:34:00Z".
std::string isoMinute(std::int64_t unixSeconds);

// "--export": the stored history, read only like --print-menu (no sampling, no lock, nothing
// written), to `out`; `sinceSeconds` keeps the minutes that began that long ago or later.
// Returns the exit status.
int runExport(Seam& seam, CommandLine::Format format, std::optional<std::int64_t> sinceSeconds,
              std::ostream& out);

}  // namespace sapwell
