#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "History.hpp"
#include "I18n.hpp"
#include "Metric.hpp"

namespace sapwell {

// One curve: a name and one amount per stored minute.
struct Series {
    std::string name;
    std::vector<std::uint64_t> values;
    bool operator==(const Series&) const = default;
};

using BundleMap = std::map<std::string, std::string>;

namespace Chart {
// The complete chart page for everything the history stores.
std::string build(const History& history, Metric metric, std::optional<double> capacityMJ,
                  std::int64_t now, const BundleMap& bundles, Lang lang);
// The `count` heaviest names over all the buckets (sums saturate), heaviest first.
std::vector<std::string> topNames(const std::vector<Bucket>& buckets, std::size_t count);
std::vector<Series> buildSeries(const std::vector<Bucket>& buckets,
                                const std::vector<std::string>& top,
                                const std::string& otherLabel);
}  // namespace Chart

std::string jsonString(std::string_view text);
std::string jsonSeries(const std::vector<Series>& series);
std::string jsonBundles(const BundleMap& map);
std::string jsonBat(const std::vector<Bucket>& buckets);
// The same texts appended to a page in the making, which then holds the only copy.
void appendJsonSeries(std::string& out, const std::vector<Series>& series);
void appendJsonBat(std::string& out, const std::vector<Bucket>& buckets);

// Writes the whole document.
std::string render(const std::vector<std::int64_t>& labels, const std::vector<Series>& series,
                   const std::vector<Bucket>& buckets, Metric metric, double toPercent,
                   bool hasBattery, std::int64_t now, int minutes, const BundleMap& bundles,
                   Lang lang);

}  // namespace sapwell
