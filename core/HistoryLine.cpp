#include "HistoryLine.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Decimal.hpp"
#include "Text.hpp"

namespace sapwell {

namespace {

// One piece "name=value" of the items field, split at its last "=" (a name may contain one).
// Only digits, after an optional "+", may follow that "=", so the value is found by walking back
// from the end: the first byte that is neither must be the "=". Every item of every line comes
// through here at start, hence by hand rather than with searches and from_chars.
std::optional<std::pair<std::string_view, std::uint64_t>> parseItem(std::string_view piece) {
    const char* const begin = piece.data();
    const char* const end = begin + piece.size();
    const char* digits = end;
    while (digits != begin && static_cast<unsigned char>(digits[-1] - '0') <= 9) --digits;
    const char* sign = digits;
    if (sign != begin && sign[-1] == '+') --sign;
    if (digits == end || sign == begin || sign[-1] != '=') return std::nullopt;
    std::uint64_t value = 0;
    for (const char* p = digits; p != end; ++p) {
        if (__builtin_mul_overflow(value, std::uint64_t{10}, &value) ||
            __builtin_add_overflow(value, static_cast<std::uint64_t>(*p - '0'), &value))
            return std::nullopt;
    }
    return std::pair{std::string_view(begin, static_cast<std::size_t>(sign - 1 - begin)), value};
}

// Names arrive cleaned by the sampler; should one slip through with a character that would split
// its item, field or line, or with bytes that would make its line unreadable, only that name
// is altered rather than the minute being lost.
void appendName(std::string& out, std::string_view name) {
    if (name.find_first_of("\t\n,") == std::string_view::npos && text::isValidUtf8(name)) {
        out += name;
        return;
    }
    std::string clean = text::repairUtf8(name);
    std::replace_if(clean.begin(), clean.end(), [](char c) { return c == '\t' || c == '\n' || c == ','; }, '_');
    out += clean;
}

// "<mJ>:<seconds>"; absent when it is not that, so the minute still loads without it.
std::optional<Drain> parseDrain(std::string_view field) {
    const std::size_t colon = field.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto mJ = parseWhole<std::uint64_t>(field.substr(0, colon));
    const auto seconds = parseFinite(field.substr(colon + 1));
    if (!mJ || !seconds || *seconds < 0) return std::nullopt;
    if (*mJ > maxMinuteAmount(Metric::energy) || *seconds > maxLineAwakeS) return std::nullopt;
    return Drain{*mJ, *seconds};
}

// Cuts the first N tab-separated fields out of a line, leaving any further ones; how many it had.
template <std::size_t N>
int cutFields(std::string_view line, std::string_view (&fields)[N]) {
    int count = 0;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields[count++] = line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
        if (tab == std::string_view::npos || count == static_cast<int>(N)) return count;
        start = tab + 1;
    }
}

void appendLevel(std::string& out, const std::optional<double>& pct) {
    if (!pct || !appendFixed(out, *pct, 1)) out += '-';
}

std::optional<std::optional<double>> parseLevel(std::string_view s) {
    if (s == "-") return std::optional<double>();
    if (auto pct = parseFinite(s)) return pct;
    return std::nullopt;
}

}  // namespace

std::uint64_t maxMinuteAmount(Metric metric) {
    // 1,024 cores busy for the whole minute; for energy, each drawing 100 W, ten times what a
    // server core draws, so that no real minute comes near.
    constexpr std::uint64_t cores = 1024, ms = 60'000, mW = 100'000;
    return metric == Metric::cpuTime ? cores * ms : cores * mW * ms / 1000;
}

std::string serialize(const SleepRecord& sleep) {
    std::string line;
    appendInt(line, sleep.minute);
    line += '\t';
    line += sleepTag;
    line += '\t';
    appendFixed(line, sleep.seconds, 1);
    line += "\t\t";
    appendLevel(line, sleep.pctBefore);
    line += ':';
    appendLevel(line, sleep.pctAfter);
    line += '\n';
    return line;
}

std::optional<SleepRecord> parseSleepLine(std::string_view line) {
    if (!text::isValidUtf8(line)) return std::nullopt;
    std::string_view fields[5];
    if (cutFields(line, fields) < 5 || fields[1] != sleepTag) return std::nullopt;
    SleepRecord sleep;
    const auto minute = parseWhole<std::int64_t>(fields[0]);
    const auto seconds = parseFinite(fields[2]);
    // A sleep longer than a year or a level off the gauge is a damaged line, not a sleep.
    constexpr double longestSleepS = 366.0 * 86400;
    if (!minute || *minute < 0 || *minute > latestMinute || !seconds || *seconds < 0 || *seconds > longestSleepS)
        return std::nullopt;
    sleep.minute = *minute;
    sleep.seconds = *seconds;
    const std::size_t colon = fields[4].find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto before = parseLevel(fields[4].substr(0, colon)), after = parseLevel(fields[4].substr(colon + 1));
    if (!before || !after) return std::nullopt;
    for (const auto& level : {*before, *after})
        if (level && !(*level >= 0 && *level <= 100)) return std::nullopt;
    sleep.pctBefore = *before;
    sleep.pctAfter = *after;
    return sleep;
}

std::string serialize(const Bucket& bucket, Metric metric) {
    std::string line;
    line.reserve(48 + bucket.items.size() * 24);
    appendInt(line, bucket.minute);
    line += '\t';
    line += metric.tag();
    line += '\t';
    appendFixed(line, bucket.awakeS, 1);
    line += '\t';
    bool first = true;
    for (const auto& [name, value] : bucket.items) {
        if (!first) line += ',';
        first = false;
        appendName(line, name);
        line += '=';
        appendInt(line, value);
    }
    line += '\t';
    if (bucket.batPct && bucket.batState) {
        appendFixed(line, *bucket.batPct, 1);
        line += ':';
        line += bucket.batState->tag();
    } else {
        line += '-';
    }
    // Only a measured minute has a sixth field, which earlier readers ignore.
    if (bucket.drain) {
        line += '\t';
        appendInt(line, bucket.drain->mJ);
        line += ':';
        appendFixed(line, bucket.drain->seconds, 1);
    }
    line += '\n';
    return line;
}

std::optional<std::pair<Bucket, Metric>> parseLine(std::string_view line) {
    // The file is UTF-8; a line that is not stands alone and is skipped alone.
    if (!text::isValidUtf8(line)) return std::nullopt;
    // Fields after the sixth are a later version's, so only six are cut out.
    std::string_view fields[6];
    const int count = cutFields(line, fields);
    if (count < 3) return std::nullopt;

    Bucket bucket;
    auto minute = parseWhole<std::int64_t>(fields[0]);
    if (!minute || *minute < 0 || *minute > latestMinute) return std::nullopt;
    bucket.minute = *minute;
    auto metric = Metric::from(fields[1]);
    if (!metric) return std::nullopt;
    auto awake = parseFinite(fields[2]);
    if (!awake || !(*awake >= 0) || *awake > maxLineAwakeS) return std::nullopt;
    bucket.awakeS = *awake;

    if (count >= 4) {
        std::string_view items = fields[3];
        // Collected as views first: only a line that reads whole becomes a minute.
        std::vector<MinuteItems::Item> parsed;
        parsed.reserve(topPerMinute);
        const std::uint64_t most = maxMinuteAmount(*metric);
        while (!items.empty()) {
            const std::size_t comma = items.find(',');
            const std::string_view piece(items.data(), comma == std::string_view::npos ? items.size() : comma);
            items.remove_prefix(comma == std::string_view::npos ? items.size() : comma + 1);
            if (piece.empty()) continue;
            const auto item = parseItem(piece);
            if (!item || item->second > most) return std::nullopt;
            parsed.push_back(*item);
        }
        bucket.items = MinuteItems(parsed);
    }

    if (count >= 5 && fields[4] != "-" && !fields[4].empty()) {
        std::string_view pieces[2];
        int n = 0;
        std::string_view rest = fields[4];
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            const std::string_view piece = rest.substr(0, colon);
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
            if (piece.empty()) continue;
            if (n < 2) pieces[n] = piece;
            ++n;
        }
        const auto pct = n == 2 ? parseFinite(pieces[0]) : std::nullopt;
        // A level no gauge reports is no battery, not a level to draw or subtract.
        if (n == 2 && (!pct || (*pct >= 0 && *pct <= 100))) {
            bucket.batPct = pct;
            bucket.batState = ChargeState::from(pieces[1]);
        }
    }
    if (count == 6) bucket.drain = parseDrain(fields[5]);
    return std::pair{std::move(bucket), *metric};
}

}  // namespace sapwell
