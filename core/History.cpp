#include "History.hpp"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_map>

#include "Decimal.hpp"
#include "FileBytes.hpp"
#include "HistoryCompaction.hpp"
#include "NameTable.hpp"
#include "Text.hpp"

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

bool earlier(const Bucket& a, const Bucket& b) { return a.minute < b.minute; }

// Adds a later part of the same minute to what it holds: amounts summed by name and cut to the
// heaviest again in the order closing keeps, awake time as mergedAwake() allows, drains summed,
// and the later battery reading when the later part has one.
void absorb(Bucket& into, const Bucket& later) {
    std::vector<std::pair<std::uint32_t, std::uint64_t>> sums;
    sums.reserve(into.items.size() + later.items.size());
    for (const MinuteItems* items : {&std::as_const(into.items), &later.items}) {
        for (auto it = items->begin(); it != items->end(); ++it) {
            auto same = std::find_if(sums.begin(), sums.end(), [&](const auto& s) { return s.first == it.nameId(); });
            if (same == sums.end()) sums.emplace_back(it.nameId(), it.value());
            else same->second = saturatingAdd(same->second, it.value());
        }
    }
    const auto heavier = [](const auto& a, const auto& b) {
        if (a.second != b.second) return a.second > b.second;
        const std::string &x = NameTable::text(a.first), &y = NameTable::text(b.first);
        const int order = text::compareNames(x, y);
        return order != 0 ? order < 0 : x < y;
    };
    const auto keep = std::min<std::size_t>(sums.size(), topPerMinute);
    std::partial_sort(sums.begin(), sums.begin() + static_cast<std::ptrdiff_t>(keep), sums.end(), heavier);
    std::vector<MinuteItems::Item> items;
    items.reserve(keep);
    for (std::size_t i = 0; i < keep; ++i) items.emplace_back(NameTable::text(sums[i].first), sums[i].second);
    into.items = MinuteItems(items);
    into.awakeS = mergedAwake(into.awakeS, later.awakeS);
    if (later.drain) into.drain = into.drain ? *into.drain + *later.drain : *later.drain;
    if (later.batPct || later.batState) {
        into.batPct = later.batPct;
        into.batState = later.batState;
    }
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
    if (access_ != Access::readOnly) makeFolders(path_.parent_path());
    FileBytes bytes;
    const bool read = bytes.read(path_);
    readFault_ = bytes.fault();
    readWhole_ = bytes.whole();
    if (!read) return;
    buckets_.reserve(std::min<std::size_t>(bytes.lineCount(), retentionMinutes));

    const std::int64_t cutoff = windowCutoff(now, retentionMinutes);
    bool ordered = true;
    std::size_t settleAt = 2 * retentionMinutes;
    // Every whole line with what loading made of it, for compaction to decide on afterwards.
    // Rewriting keeps only what was read, so only a file read whole is rewritten, and one that is
    // the user's own regular file: a link would be replaced by a copy of its target.
    CompactionPlan plan(access_ == Access::readWrite && readWhole_ && ownRegularFile(path_));
    const std::string_view text(bytes);
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) break;  // torn: possibly a value cut in half, so never read
        std::string_view line = text.substr(pos, nl - pos);
        pos = nl + 1;
        // A file that passed through a tool with CRLF line ends reads as the same lines.
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
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
        if (parsed->second != metric_) continue;
        Bucket& part = parsed->first;
        // A file is normally in order, with a minute's parts together: those merge as they come.
        if (!buckets_.empty() && part.minute == buckets_.back().minute) {
            absorb(buckets_.back(), part);
            continue;
        }
        ordered = ordered && (buckets_.empty() || part.minute > buckets_.back().minute);
        buckets_.push_back(std::move(part));
        // Out of order, parts of one minute may lie far apart (a clock set back and forth): put
        // in order now and then, so memory follows the distinct minutes and not the lines.
        if (!ordered && buckets_.size() >= settleAt) {
            settle();
            ordered = true;
            settleAt = std::max(settleAt, 2 * buckets_.size());
        }
    }
    if (!ordered) settle();
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
        unwritten_.push_back(*bucket);
        insert(std::move(*bucket));
        ++closedCount_;
    }
    curItems_.clear();
    curAwake_ = 0;
    curDrain_.reset();
}

void History::insert(Bucket part) {
    if (buckets_.empty() || buckets_.back().minute < part.minute) {
        buckets_.push_back(std::move(part));
        return;
    }
    // The clock went back, or a minute closed early goes on.
    const auto at = std::lower_bound(buckets_.begin(), buckets_.end(), part, earlier);
    if (at != buckets_.end() && at->minute == part.minute) absorb(*at, part);
    else buckets_.insert(at, std::move(part));
}

void History::settle() {
    std::stable_sort(buckets_.begin(), buckets_.end(), earlier);
    std::size_t kept = 0;
    for (std::size_t read = 0; read < buckets_.size(); ++read) {
        if (kept > 0 && buckets_[kept - 1].minute == buckets_[read].minute) {
            absorb(buckets_[kept - 1], buckets_[read]);
            continue;
        }
        if (kept != read) buckets_[kept] = std::move(buckets_[read]);
        ++kept;
    }
    buckets_.resize(kept);
}

std::optional<Bucket> History::openMinute() const {
    if (openIsEmpty()) return std::nullopt;
    NamedAmounts items(curItems_.begin(), curItems_.end());
    // Within what the reader takes: a value beyond it would lose the whole minute at the next start.
    const std::uint64_t most = maxMinuteAmount(metric_);
    for (auto& item : items) item.second = std::min(item.second, most);
    const auto keep = std::min<std::size_t>(items.size(), topPerMinute);
    std::partial_sort(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(keep), items.end(), before);
    items.resize(keep);
    return Bucket{curMinute_, std::min(curAwake_, maxLineAwakeS), std::move(items), curBatPct_, curBatState_, curDrain_};
}

void History::addDrain(const Drain& drain) { curDrain_ = curDrain_ ? *curDrain_ + drain : drain; }

void History::setBattery(std::optional<double> pct, std::optional<ChargeState> state) {
    curBatPct_ = pct;
    curBatState_ = state;
}

void History::addSleep(const SleepRecord& sleep) { sleeps_.push_back(sleep); }

std::span<const Bucket> History::closedUpTo(std::int64_t now) const {
    const std::int64_t last = minuteOf(now);
    // Normally none is after it: checked before searching.
    if (buckets_.empty() || buckets_.back().minute <= last) return buckets_;
    const auto end = std::upper_bound(buckets_.begin(), buckets_.end(), last,
                                      [](std::int64_t m, const Bucket& b) { return m < b.minute; });
    return std::span(buckets_.begin(), end);
}

std::span<const Bucket> History::closedIn(std::int64_t now, std::int64_t minutes) const {
    const std::int64_t cutoff = windowCutoff(now, minutes);
    const auto upTo = closedUpTo(now);
    const auto first = std::lower_bound(upTo.begin(), upTo.end(), cutoff,
                                        [](const Bucket& b, std::int64_t m) { return b.minute < m; });
    return std::span(first, upTo.end());
}

Aggregate History::window(std::int64_t now, std::int64_t minutes) const {
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
    if (openIn(now, minutes)) {
        // As much as closing will merge into a closed part of the same minute.
        const double open = std::min(curAwake_, maxLineAwakeS);
        const bool sameMinute = !closed.empty() && closed.back().minute == curMinute_;
        awake += sameMinute ? mergedAwake(closed.back().awakeS, open) - closed.back().awakeS : open;
        const std::uint64_t most = maxMinuteAmount(metric_);
        for (const auto& [name, value] : curItems_) {
            if (const auto id = NameTable::find(name)) sums.add(*id, std::min(value, most));
            else openOnly.emplace_back(name, std::min(value, most));
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
    const auto expired = [cutoff](const Bucket& b) { return b.minute < cutoff; };
    buckets_.erase(buckets_.begin(), std::partition_point(buckets_.begin(), buckets_.end(), expired));
    // An unwritten part that expires need not be written any more.
    std::erase_if(unwritten_, expired);

    // The written sleeps come first.
    std::size_t kept = 0, keptWritten = 0;
    for (std::size_t read = 0; read < sleeps_.size(); ++read) {
        if (sleeps_[read].minute < cutoff) continue;
        if (read < sleepsPersisted_) ++keptWritten;
        sleeps_[kept++] = sleeps_[read];
    }
    sleeps_.resize(kept);
    sleepsPersisted_ = keptWritten;
}

FileFault History::flush(std::int64_t now) {
    trim(now);
    if (access_ == Access::readOnly || path_.empty()) return FileFault::none;
    const std::size_t n = unwritten_.size(), sleeps = sleeps_.size();
    std::size_t i = 0, s = sleepsPersisted_;
    if (i >= n && s >= sleeps) return FileFault::none;
    // In order of their minutes: a sleep before the minute it ended in. A part of a minute
    // already in the file goes in as a line of its own, which loading adds to the others.
    std::string text;
    while (i < n || s < sleeps) {
        if (s < sleeps && (i >= n || sleeps_[s].minute <= unwritten_[i].minute)) text += serialize(sleeps_[s++]);
        else text += serialize(unwritten_[i++], metric_);
    }
    const FileFault fault = appendLines(path_, text, syncWrites_);
    if (fault == FileFault::none) {
        unwritten_.clear();
        sleepsPersisted_ = sleeps;
    }
    return fault;
}

}  // namespace sapwell
