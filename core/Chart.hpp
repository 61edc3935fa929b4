#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "History.hpp"
#include "I18n.hpp"
#include "Metric.hpp"
#include "SleepRecord.hpp"

namespace sapwell {

// One curve: a name and one amount per stored minute.
struct Series {
    std::string name;
    std::vector<std::uint64_t> values;
    bool operator==(const Series&) const = default;
};

using BundleMap = std::map<std::string, std::string>;

// The battery's measured drain shared out among the curves (DrainEstimate), in mJ per stored
// minute. A minute whose drain was not measured has 0 seconds, and its entries mean nothing.
struct DrainSeries {
    std::vector<Series> apps;     // the metric's curves: the same names, in the same order
    Series idle;                  // what the machine drew whatever ran
    std::vector<double> seconds;  // the measured part of each minute
    bool operator==(const DrainSeries&) const = default;
};

namespace Chart {
// The complete chart page for everything the history stores, its sleeps included.
std::string build(const History& history, Metric metric, std::optional<double> capacityMJ,
                  std::int64_t now, const BundleMap& bundles, Lang lang);
// The same for stored minutes, in ascending order, and sleeps.
std::string build(const std::vector<Bucket>& buckets, Metric metric,
                  std::optional<double> capacityMJ, std::int64_t now, const BundleMap& bundles,
                  Lang lang, std::span<const SleepRecord> sleeps = {});
// The `count` heaviest names over all the buckets (sums saturate), heaviest first.
std::vector<std::string> topNames(const std::vector<Bucket>& buckets, std::size_t count);
std::vector<Series> buildSeries(const std::vector<Bucket>& buckets,
                                const std::vector<std::string>& top,
                                const std::string& otherLabel);
// Absent when no minute has a measured drain. `withRest` gives the rest curve, as buildSeries
// did; per measured minute the idle entry and those of the curves add up to the drain.
std::optional<DrainSeries> buildDrain(const std::vector<Bucket>& buckets,
                                      const std::vector<std::string>& top, bool withRest,
                                      const std::string& otherLabel, const std::string& idleLabel);
}  // namespace Chart

std::string jsonString(std::string_view text);
std::string jsonSeries(const std::vector<Series>& series);
std::string jsonBundles(const BundleMap& map);
std::string jsonBat(const std::vector<Bucket>& buckets);
// The same texts appended to a page in the making, which then holds the only copy.
void appendJsonSeries(std::string& out, const std::vector<Series>& series);
void appendJsonBat(std::string& out, const std::vector<Bucket>& buckets);

// Writes the whole document. Without a drain and without sleeps the page has neither's parts.
std::string render(const std::vector<std::int64_t>& labels, const std::vector<Series>& series,
                   const std::vector<Bucket>& buckets, Metric metric, double toPercent,
                   bool hasBattery, std::int64_t now, int minutes, const BundleMap& bundles,
                   Lang lang, const std::optional<DrainSeries>& drain = std::nullopt,
                   std::span<const SleepRecord> sleeps = {});

}  // namespace sapwell
