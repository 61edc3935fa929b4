#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Amounts.hpp"
#include "Battery.hpp"
#include "Metric.hpp"
#include "MinuteItems.hpp"
#include "Seam.hpp"

namespace sapwell {

inline constexpr int topPerMinute = 24;
inline constexpr std::int64_t retentionMinutes = 11520;
inline constexpr std::int64_t retentionSeconds = retentionMinutes * 60;

// Energy the battery delivered while discharging, over the part of a minute in which its fall
// was measured.
struct Drain {
    std::uint64_t mJ = 0;
    double seconds = 0;
    bool operator==(const Drain&) const = default;
};

// One closed minute.
struct Bucket {
    std::int64_t minute = 0;  // Unix seconds of the minute's start
    double awakeS = 0;
    MinuteItems items;  // heaviest first, at most topPerMinute; names stored once per process
    std::optional<double> batPct;
    std::optional<ChargeState> batState;
    std::optional<Drain> drain;  // absent when the battery's drain was not measured
    bool operator==(const Bucket&) const = default;
};

// Sums over a window.
struct Aggregate {
    NamedAmounts totals;  // every name, heaviest first
    std::uint64_t grandTotal = 0;
    double awakeS = 0;
};

// Creates a folder and any missing parents, for the user alone; false when it still is not there.
bool makeFolders(const std::filesystem::path& folder);

// One history line with its line feed. The format is read back by earlier and later versions.
std::string serialize(const Bucket& bucket, Metric metric);
// One line without its line feed; absent when it does not follow the grammar.
std::optional<std::pair<Bucket, Metric>> parseLine(std::string_view line);

// The minute history: the open minute, closed minutes for eight days, and the file behind them.
class History {
public:
    enum class Access { readWrite, readOnly };

    // "<data folder>/Sapwell/history.tsv" (Environment::dataFolder); empty without a data folder.
    static std::filesystem::path dataFile(const Environment& env);

    // Loads the retained minutes of `metric` from `path`. A read-only history never creates,
    // compacts or writes the file.
    History(Metric metric, std::int64_t now, std::filesystem::path path,
            Access access = Access::readWrite);

    void add(std::int64_t now, double awakeDelta, const NamedAmounts& deltas);
    void closeMinute();
    void setBattery(std::optional<double> pct, std::optional<ChargeState> state);
    Aggregate window(std::int64_t now, std::int64_t minutes) const;
    std::vector<Bucket> allBuckets() const { return buckets_; }
    const std::vector<Bucket>& buckets() const { return buckets_; }
    int depthMinutes() const { return static_cast<int>(buckets_.size()); }
    const std::filesystem::path& path() const { return path_; }
    Metric metric() const { return metric_; }
    int persisted() const { return persisted_; }

    // Trims to the retention period and appends the unwritten minutes; durable on success.
    void flush(std::int64_t now);

private:
    friend struct HistoryBenchAccess;  // lets the benchmark time a flush without the disk sync

    void load(std::int64_t now);
    void trim(std::int64_t now);
    bool append(const std::string& bytes);
    bool rewrite(const std::string& bytes);

    std::filesystem::path path_;
    Metric metric_;
    Access access_;
    std::vector<Bucket> buckets_;
    std::int64_t curMinute_ = 0;
    std::unordered_map<std::string, std::uint64_t> curItems_;
    double curAwake_ = 0;
    std::optional<double> curBatPct_;
    std::optional<ChargeState> curBatState_;
    int persisted_ = 0;
    bool syncWrites_ = true;
};

}  // namespace sapwell
