#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Amounts.hpp"
#include "Battery.hpp"
#include "Bucket.hpp"
#include "DurableFile.hpp"
#include "HistoryLine.hpp"
#include "Metric.hpp"
#include "MinuteItems.hpp"
#include "Seam.hpp"
#include "SleepRecord.hpp"

namespace sapwell {

// The minute history: the open minute, closed minutes for eight days, and the file behind them.
class History {
public:
    // `appendOnly` writes minutes but never rewrites the file: for a writer that may not be the
    // only one yet.
    enum class Access { readWrite, appendOnly, readOnly };

    // "<data folder>/Sapwell/history.tsv" (Environment::dataFolder); empty without a data folder.
    static std::filesystem::path dataFile(const Environment& env);

    // Loads the retained minutes of `metric` from `path`. A read-only history never creates,
    // compacts or writes the file; nor is a file compacted that was not read whole, or that is
    // not a regular file of this user's own (a link, say).
    History(Metric metric, std::int64_t now, std::filesystem::path path,
            Access access = Access::readWrite);

    void add(std::int64_t now, double awakeDelta, const NamedAmounts& deltas);
    void closeMinute();
    // Adds drain measured by this pass to the open minute; after add() for the same pass, which
    // opens the pass's minute.
    void addDrain(const Drain& drain);
    void setBattery(std::optional<double> pct, std::optional<ChargeState> state);
    // Keeps a sleep, retained and written like the minutes.
    void addSleep(const SleepRecord& sleep);
    // The sleeps within retention, oldest first.
    const std::vector<SleepRecord>& sleeps() const { return sleeps_; }
    Aggregate window(std::int64_t now, std::int64_t minutes) const;
    // The closed minutes of that window (window() adds the open minute to them).
    std::span<const Bucket> closedIn(std::int64_t now, std::int64_t minutes) const;
    // Whether the open minute falls into that window.
    bool openIn(std::int64_t now, std::int64_t minutes) const { return inWindow(curMinute_, now, minutes); }
    // The minute in progress as closing it now would make it; absent while it holds nothing.
    std::optional<Bucket> openMinute() const;
    // Minutes closed by this object so far, for readers that redo work only when one closes.
    std::uint64_t closedCount() const { return closedCount_; }
    // Every closed minute, one bucket per minute in ascending order; those ahead of the clock too.
    const std::vector<Bucket>& buckets() const { return buckets_; }
    // The closed minutes not after the minute of `now`; the ones after it are kept and written
    // but shown nowhere until the clock reaches them.
    std::span<const Bucket> closedUpTo(std::int64_t now) const;
    // Those up to the open minute.
    std::span<const Bucket> past() const { return closedUpTo(curMinute_); }
    int depthMinutes() const { return static_cast<int>(past().size()); }
    const std::filesystem::path& path() const { return path_; }
    Metric metric() const { return metric_; }
    // Closed parts of minutes not yet in the file.
    std::size_t unwritten() const { return unwritten_.size(); }
    // Why loading could not read the file (none when it did, or there was none); and false when
    // it read only the end of a file too large to read whole.
    FileFault readFault() const { return readFault_; }
    bool readWhole() const { return readWhole_; }

    // Trims to the retention period and appends the unwritten minutes; durable when it returns
    // none, else they stay unwritten for the next flush and the result says why.
    FileFault flush(std::int64_t now);
    // Drops what is older than the retention period, written or not.
    void trim(std::int64_t now);

private:
    friend struct HistoryBenchAccess;  // lets the benchmark time a flush without the disk sync

    void load(std::int64_t now);
    // Puts a closed part into its minute's place, merging it with what the minute already holds.
    void insert(Bucket part);
    // Sorts the buckets by minute and merges the parts of each minute, in their order.
    void settle();
    bool openIsEmpty() const { return curItems_.empty() && !(curAwake_ > 0); }

    std::filesystem::path path_;
    Metric metric_;
    Access access_;
    std::vector<Bucket> buckets_;
    std::int64_t curMinute_ = 0;
    std::unordered_map<std::string, std::uint64_t> curItems_;
    double curAwake_ = 0;
    std::optional<Drain> curDrain_;
    std::optional<double> curBatPct_;
    std::optional<ChargeState> curBatState_;
    // Each closed part, as it closed, until written: the file holds a minute's parts as separate
    // lines, which loading merges again.
    std::vector<Bucket> unwritten_;
    std::uint64_t closedCount_ = 0;
    std::vector<SleepRecord> sleeps_;
    std::size_t sleepsPersisted_ = 0;
    bool syncWrites_ = true;
    FileFault readFault_ = FileFault::none;
    bool readWhole_ = true;
};

}  // namespace sapwell
