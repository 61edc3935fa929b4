#include "HistoryCompaction.hpp"

#include <algorithm>

#include "Bucket.hpp"
#include "HistoryLine.hpp"
#include "Metric.hpp"
#include "Text.hpp"

namespace sapwell {

void CompactionPlan::add(std::string_view line, Kind kind, std::optional<std::int64_t> minute) {
    if (!wanted_) return;
    bool keep = kind == live;
    if (kind != live && minute) {
        const std::size_t tab = line.find('\t');
        const std::string_view tag = tab == std::string_view::npos ? std::string_view()
                                                                   : firstField(line.substr(tab + 1));
        // A tag this version does not know is a later version's line: kept whatever it holds.
        keep = !tag.empty() && !Metric::from(tag) && tag != sleepTag && text::isValidUtf8(line);
    }
    lines_.push_back({line, minute.value_or(0), kind, keep});
    if (kind == live) {
        ++live_;
        newest_ = std::max(newest_, *minute);
    }
}

std::optional<std::string> CompactionPlan::compacted(std::int64_t now, std::size_t size) {
    if (live_ == 0) return std::nullopt;
    // Measured from the newest minute when that is earlier than now, so a clock set ahead
    // expires nothing the file's own last minute does not.
    const std::int64_t cutoff = windowCutoff(std::min(now, newest_), retentionMinutes);
    std::size_t kept = 0;
    for (Line& l : lines_) {
        if (!l.keep && l.kind == older) l.keep = l.minute >= cutoff && (parseLine(l.text) || parseSleepLine(l.text));
        kept += l.keep;
    }
    if (lines_.size() - kept <= kept) return std::nullopt;
    std::string out;
    out.reserve(size);
    for (const Line& l : lines_) {
        if (!l.keep) continue;
        out += l.text;
        out += '\n';
    }
    return out;
}

}  // namespace sapwell
