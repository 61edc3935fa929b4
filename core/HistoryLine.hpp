#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "Bucket.hpp"
#include "Metric.hpp"
#include "SleepRecord.hpp"

namespace sapwell {

// What a line's values may be. Beyond them a value was not written by a working clock and sampler,
// and one such value would distort every figure its minute enters: it is a bad field.
// The last minute of the year 9999; sums of minutes stay far from overflowing below it.
inline constexpr std::int64_t latestMinute = 253'402'300'740;
// The most awake time one minute collects: its own 60 s and a pass up to 60 s late, the latest
// a pass is still counted.
inline constexpr double maxLineAwakeS = 120;
// The most one name can use in a minute, in the metric's unit.
std::uint64_t maxMinuteAmount(Metric metric);

// One history line with its line feed. The format is read back by earlier and later versions.
std::string serialize(const Bucket& bucket, Metric metric);
// One line without its line feed; absent when it does not follow the grammar.
std::optional<std::pair<Bucket, Metric>> parseLine(std::string_view line);

// A sleep's line: "<minute>\tsleep\t<seconds>\t\t<pct before>:<pct after>", "-" for a level not
// known. Its own tag, which earlier versions skip and keep.
inline constexpr std::string_view sleepTag = "sleep";
std::string serialize(const SleepRecord& sleep);
std::optional<SleepRecord> parseSleepLine(std::string_view line);

// The first tab-separated field of a line (the whole line without a tab).
inline std::string_view firstField(std::string_view line) { return line.substr(0, line.find('\t')); }

}  // namespace sapwell
