#include "History.hpp"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_map>

#include "Decimal.hpp"
#include "FileBytes.hpp"
#include "HistoryCompaction.hpp"

namespace sapwell {

namespace fs = std::filesystem;

namespace {

// Heaviest first, and distinct names with the same composed form in byte order, so the
// result is the same whatever order the names arrive in.
bool before(const NamedAmount& a, const NamedAmount& b) {
    if (heavierFirst(a, b)) return true;
    if (heavierFirst(b, a)) return false;
    return a.first < b.first;
}

}  // namespace

fs::path History::dataFile(const Environment& env) {
    // Without a data folder there is nowhere sensible to keep it: an empty path writes nothing.
    const auto base = env.dataFolder();
    if (!base) return {};
    return *base / "Sapwell" / "history.tsv";
}

History::History(Metric metric, std::int64_t now, fs::path path, Access access)
    : path_(std::move(path)), metric_(metric), access_(access), curMinute_(minuteOf(now)) {
    load(now);
}

void History::load(std::int64_t now) {
    if (path_.empty()) return;
    if (access_ == Access::readWrite) makeFolders(path_.parent_path());
    FileBytes bytes;
    if (!bytes.read(path_)) return;
    buckets_.reserve(bytes.lineCount());

    const std::int64_t cutoff = windowCutoff(now, retentionMinutes);
    // Every whole line with what loading made of it, for compaction to decide on afterwards.
    CompactionPlan plan(access_ == Access::readWrite);
    const std::string_view text(bytes);
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) break;  // torn: possibly a value cut in half, so never read
        const std::string_view line = text.substr(pos, nl - pos);
        pos = nl + 1;
        if (line.empty()) continue;
        // Expired lines are the bulk of an old file; their first field is enough to set them aside.
        const auto minute = parseWhole<std::int64_t>(firstField(line));
        if (!minute || *minute < cutoff) {
            plan.add(line, minute ? CompactionPlan::older : CompactionPlan::unreadable, minute);
            continue;
        }
        // One bad byte costs its own line, not the file: parseLine checks each line.
        auto parsed = parseLine(line);
        if (!parsed) {
            auto sleep = parseSleepLine(line);
            plan.add(line, sleep ? CompactionPlan::live : CompactionPlan::unreadable, minute);
            if (sleep) sleeps_.push_back(*sleep);
            continue;
        }
        plan.add(line, CompactionPlan::live, *minute);
        if (parsed->second == metric_) buckets_.push_back(std::move(parsed->first));
    }

    // A file is normally in order already; sorting it anyway would move every bucket.
    auto byMinute = [](const Bucket& a, const Bucket& b) { return a.minute < b.minute; };
    if (!std::is_sorted(buckets_.begin(), buckets_.end(), byMinute))
        std::stable_sort(buckets_.begin(), buckets_.end(), byMinute);
    persisted_ = static_cast<int>(buckets_.size());
    auto sleepOrder = [](const SleepRecord& a, const SleepRecord& b) { return a.minute < b.minute; };
    if (!std::is_sorted(sleeps_.begin(), sleeps_.end(), sleepOrder))
        std::stable_sort(sleeps_.begin(), sleeps_.end(), sleepOrder);
    sleepsPersisted_ = sleeps_.size();

    if (auto out = plan.compacted(now, bytes.size())) replaceFile(path_, *out, true);
}

void History::add(std::int64_t now, double awakeDelta, const NamedAmounts& deltas) {
    const std::int64_t m = minuteOf(now);
    if (m != curMinute_) {
        closeMinute();
        curMinute_ = m;
    }
    curAwake_ += awakeDelta;
    for (const auto& [name, value] : deltas) {
        auto& sum = curItems_[name];
        sum = saturatingAdd(sum, value);
    }
}

void History::closeMinute() {
    if (auto bucket = openMinute()) {
        buckets_.push_back(std::move(*bucket));
        ++closedCount_;
    }
    curItems_.clear();
    curAwake_ = 0;
    curDrain_.reset();
}

std::optional<Bucket> History::openMinute() const {
    if (openIsEmpty()) return std::nullopt;
    NamedAmounts items(curItems_.begin(), curItems_.end());
    const auto keep = std::min<std::size_t>(items.size(), topPerMinute);
    std::partial_sort(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(keep), items.end(), before);
    items.resize(keep);
    return Bucket{curMinute_, curAwake_, std::move(items), curBatPct_, curBatState_, curDrain_};
}

void History::addDrain(const Drain& drain) { curDrain_ = curDrain_ ? *curDrain_ + drain : drain; }

void History::setBattery(std::optional<double> pct, std::optional<ChargeState> state) {
    curBatPct_ = pct;
    curBatState_ = state;
}

void History::addSleep(const SleepRecord& sleep) { sleeps_.push_back(sleep); }

std::span<const Bucket> History::closedIn(std::int64_t now, std::int64_t minutes) const {
    const std::int64_t cutoff = windowCutoff(now, minutes);
    // From the newest back, as far as the minutes stay within the window.
    std::size_t first = buckets_.size();
    while (first > 0 && buckets_[first - 1].minute >= cutoff) --first;
    return std::span(buckets_).subspan(first);
}

Aggregate History::window(std::int64_t now, std::int64_t minutes) const {
    const std::int64_t cutoff = windowCutoff(now, minutes);
    NameSums sums;
    double awake = 0;
    std::optional<Drain> drain;
    const auto addDrain = [&drain](const std::optional<Drain>& d) {
        if (d) drain = drain ? *drain + *d : *d;
    };
    const auto closed = closedIn(now, minutes);
    for (auto it = closed.rbegin(); it != closed.rend(); ++it) {
        awake += it->awakeS;
        sums.add(it->items);
        addDrain(it->drain);
    }
    // A name of the open minute that no minute holds is in no closed minute of the window
    // either: listed apart, it stays out of the name table, where the open minute's many names
    // (a stream of programs of new names) would only pass through.
    NamedAmounts openOnly;
    if (curMinute_ >= cutoff) {
        awake += curAwake_;
        for (const auto& [name, value] : curItems_) {
            if (const auto id = NameTable::find(name)) sums.add(*id, value);
            else openOnly.emplace_back(name, value);
        }
        addDrain(curDrain_);
    }
    Aggregate agg;
    agg.drain = drain;
    agg.awakeS = awake;
    agg.totals = sums.list();
    agg.totals.insert(agg.totals.end(), std::make_move_iterator(openOnly.begin()), std::make_move_iterator(openOnly.end()));
    for (const auto& [name, sum] : agg.totals) agg.grandTotal = saturatingAdd(agg.grandTotal, sum);
    std::sort(agg.totals.begin(), agg.totals.end(), before);
    return agg;
}

void History::trim(std::int64_t now) {
    const std::int64_t cutoff = windowCutoff(now, retentionMinutes);
    std::size_t write = 0;
    int removedPersisted = 0;
    for (std::size_t read = 0; read < buckets_.size(); ++read) {
        if (buckets_[read].minute < cutoff) {
            // Only removals among the written buckets move the written count; an unwritten
            // bucket that expires was never in the file.
            if (read < static_cast<std::size_t>(persisted_)) ++removedPersisted;
            continue;
        }
        if (write != read) buckets_[write] = std::move(buckets_[read]);
        ++write;
    }
    buckets_.resize(write);
    persisted_ = std::max(0, persisted_ - removedPersisted);

    // The written sleeps come first, as the written buckets do.
    std::size_t kept = 0, keptWritten = 0;
    for (std::size_t read = 0; read < sleeps_.size(); ++read) {
        if (sleeps_[read].minute < cutoff) continue;
        if (read < sleepsPersisted_) ++keptWritten;
        sleeps_[kept++] = sleeps_[read];
    }
    sleeps_.resize(kept);
    sleepsPersisted_ = keptWritten;
}

void History::flush(std::int64_t now) {
    trim(now);
    if (access_ != Access::readWrite || path_.empty()) return;
    const std::size_t n = buckets_.size(), sleeps = sleeps_.size();
    std::size_t i = static_cast<std::size_t>(persisted_), s = sleepsPersisted_;
    if (i >= n && s >= sleeps) return;
    // In order of their minutes: a sleep before the minute it ended in.
    std::string text;
    while (i < n || s < sleeps) {
        if (s < sleeps && (i >= n || sleeps_[s].minute <= buckets_[i].minute)) text += serialize(sleeps_[s++]);
        else text += serialize(buckets_[i++], metric_);
    }
    if (appendLines(path_, text, syncWrites_)) {
        persisted_ = static_cast<int>(n);
        sleepsPersisted_ = sleeps;
    }
}

}  // namespace sapwell
