#include "History.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>

#include "FileBytes.hpp"
#include "Text.hpp"

namespace sapwell {

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t int64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();

std::int64_t minuteOf(std::int64_t now) { return now / 60 * 60; }

// now - minutes * 60 without overflowing for absurd arguments.
std::int64_t cutoffFor(std::int64_t now, std::int64_t minutes) {
    std::int64_t span = 0;
    if (__builtin_mul_overflow(minutes, std::int64_t{60}, &span)) return minutes > 0 ? int64Min : int64Max;
    std::int64_t cutoff = 0;
    if (__builtin_sub_overflow(now, span, &cutoff)) return span > 0 ? int64Min : int64Max;
    return cutoff;
}

// "%.1f" without the C locale.
void appendFixed1(std::string& out, double x) {
    char buf[400];  // the widest double in fixed notation has 309 integer digits
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, 1);
    if (ec == std::errc()) out.append(buf, end);
}

template <typename Int>
void appendInt(std::string& out, Int n) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, n);
    if (ec == std::errc()) out.append(buf, end);
}

// An optional leading "+" the way the reader has always accepted it; a second sign is not.
bool stripPlus(std::string_view& s) {
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && (s.front() == '-' || s.front() == '+')) return false;
    }
    return !s.empty();
}

template <typename Num>
std::optional<Num> parseWhole(std::string_view s) {
    if (!stripPlus(s)) return std::nullopt;
    Num n{};
    const char* end = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(s.data(), end, n);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return n;
}

std::optional<std::int64_t> parseInt64(std::string_view s) { return parseWhole<std::int64_t>(s); }
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
// The shape the writer produces ("58.3", "-1.0"), converted exactly: at most 15 digits make an
// integer below 2^53 and a power of ten up to 10^15, both exact in a double, so the one division
// rounds once, as strtod does. Anything else is left to the general reader.
std::optional<double> parseShortDecimal(std::string_view s) {
    static constexpr double powersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const bool negative = s.front() == '-';
    if (negative) s.remove_prefix(1);
    std::uint64_t digits = 0;
    int count = 0;
    int fraction = -1;  // digits after the point; -1 without a point
    for (const char c : s) {
        if (c == '.' && fraction < 0 && count > 0) {
            fraction = 0;
            continue;
        }
        if (c < '0' || c > '9' || ++count > 15) return std::nullopt;
        digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
        if (fraction >= 0) ++fraction;
    }
    if (count == 0 || fraction == 0) return std::nullopt;
    const double d = static_cast<double>(digits) / powersOfTen[fraction < 0 ? 0 : fraction];
    return negative ? -d : d;
}

// Only finite numbers: a NaN would poison every window sum it enters. The general reader goes
// through the classic locale, so the process's C locale cannot change the decimal point; not
// through from_chars, which the C++ library of Apple's toolchains lacks for floating point.
std::optional<double> parseFinite(std::string_view s) {
    if (!stripPlus(s)) return std::nullopt;
    if (auto d = parseShortDecimal(s)) return d;
    std::istringstream in{std::string(s)};
    in.imbue(std::locale::classic());
    double d = 0;
    in >> std::noskipws >> d;
    if (in.fail() || in.peek() != std::char_traits<char>::eof() || !std::isfinite(d)) return std::nullopt;
    return d;
}

// Heaviest first, and distinct names with the same composed form in byte order, so the
// result is the same whatever order the names arrive in.
bool before(const NamedAmount& a, const NamedAmount& b) {
    if (heavierFirst(a, b)) return true;
    if (heavierFirst(b, a)) return false;
    return a.first < b.first;
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

std::string_view firstField(std::string_view line) { return line.substr(0, line.find('\t')); }

bool writeAll(int fd, std::string_view bytes, off_t offset) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return true;
}

// The offset just after the file's last line feed (0 when it has none).
std::optional<off_t> endOfLastLine(int fd, off_t size) {
    char buf[4096];
    off_t pos = size;
    while (pos > 0) {
        const off_t start = pos > static_cast<off_t>(sizeof buf) ? pos - static_cast<off_t>(sizeof buf) : 0;
        const auto len = static_cast<std::size_t>(pos - start);
        ssize_t n;
        do n = ::pread(fd, buf, len, start);
        while (n < 0 && errno == EINTR);
        if (n != static_cast<ssize_t>(len)) return std::nullopt;
        for (std::size_t i = len; i-- > 0;)
            if (buf[i] == '\n') return start + static_cast<off_t>(i) + 1;
        pos = start;
    }
    return 0;
}

// Makes a new or renamed directory entry durable.
void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Decides whether loading rewrites the file without its dead lines, and with which. Expiry is
// judged cautiously here: a clock that runs days ahead must not delete minutes that a start with
// the right time would load again, and a line of a later version is not this one's to remove.
class CompactionPlan {
public:
    enum Kind { live, older, unreadable };

    // A plan that is not `wanted` (a reader's) notes nothing and never compacts.
    explicit CompactionPlan(bool wanted) : wanted_(wanted) {}

    // `minute` is absent when the first field is not one.
    void add(std::string_view line, Kind kind, std::optional<std::int64_t> minute) {
        if (!wanted_) return;
        bool keep = kind == live;
        if (kind != live && minute) {
            const std::size_t tab = line.find('\t');
            const std::string_view tag = tab == std::string_view::npos ? std::string_view()
                                                                       : firstField(line.substr(tab + 1));
            // A tag this version does not know is a later version's line: kept whatever it holds.
            keep = !tag.empty() && !Metric::from(tag) && text::isValidUtf8(line);
        }
        lines_.push_back({line, minute.value_or(0), kind, keep});
        if (kind == live) {
            ++live_;
            newest_ = std::max(newest_, *minute);
        }
    }

    // The file's new contents; absent when it stays as it is: nothing in it is within retention
    // (the clock may be wrong), or the dead lines do not outnumber the others yet.
    std::optional<std::string> compacted(std::int64_t now, std::size_t size) {
        if (live_ == 0) return std::nullopt;
        // Measured from the newest minute when that is earlier than now, so a clock set ahead
        // expires nothing the file's own last minute does not.
        const std::int64_t cutoff = cutoffFor(std::min(now, newest_), retentionMinutes);
        std::size_t kept = 0;
        for (Line& l : lines_) {
            if (!l.keep && l.kind == older) l.keep = l.minute >= cutoff && parseLine(l.text).has_value();
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

private:
    struct Line {
        std::string_view text;
        std::int64_t minute;
        Kind kind;
        bool keep;
    };
    std::vector<Line> lines_;
    bool wanted_;
    std::size_t live_ = 0;
    std::int64_t newest_ = int64Min;
};

}  // namespace

std::string serialize(const Bucket& bucket, Metric metric) {
    std::string line;
    line.reserve(48 + bucket.items.size() * 24);
    appendInt(line, bucket.minute);
    line += '\t';
    line += metric.tag();
    line += '\t';
    appendFixed1(line, bucket.awakeS);
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
        appendFixed1(line, *bucket.batPct);
        line += ':';
        line += bucket.batState->tag();
    } else {
        line += '-';
    }
    line += '\n';
    return line;
}

std::optional<std::pair<Bucket, Metric>> parseLine(std::string_view line) {
    // The file is UTF-8; a line that is not stands alone and is skipped alone.
    if (!text::isValidUtf8(line)) return std::nullopt;
    // Fields after the fifth are ignored, so only five are cut out.
    std::string_view fields[5];
    int count = 0;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields[count++] = line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
        if (tab == std::string_view::npos || count == 5) break;
        start = tab + 1;
    }
    if (count < 3) return std::nullopt;

    Bucket bucket;
    auto minute = parseInt64(fields[0]);
    if (!minute) return std::nullopt;
    bucket.minute = *minute;
    auto metric = Metric::from(fields[1]);
    if (!metric) return std::nullopt;
    auto awake = parseFinite(fields[2]);
    if (!awake) return std::nullopt;
    bucket.awakeS = *awake;

    if (count >= 4) {
        std::string_view items = fields[3];
        // Collected as views first: only a line that reads whole becomes a minute.
        std::vector<MinuteItems::Item> parsed;
        parsed.reserve(topPerMinute);
        while (!items.empty()) {
            const std::size_t comma = items.find(',');
            const std::string_view piece(items.data(), comma == std::string_view::npos ? items.size() : comma);
            items.remove_prefix(comma == std::string_view::npos ? items.size() : comma + 1);
            if (piece.empty()) continue;
            const auto item = parseItem(piece);
            if (!item) return std::nullopt;
            parsed.push_back(*item);
        }
        bucket.items = MinuteItems(parsed);
    }

    if (count == 5 && fields[4] != "-" && !fields[4].empty()) {
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
        if (n == 2) {
            bucket.batPct = parseFinite(pieces[0]);
            bucket.batState = ChargeState::from(pieces[1]);
        }
    }
    return std::pair{std::move(bucket), *metric};
}

fs::path History::dataFile(const Environment& env) {
    // Without a data folder there is nowhere sensible to keep it: an empty path writes nothing.
    const auto base = env.dataFolder();
    if (!base) return {};
    return *base / "Sapwell" / "history.tsv";
}

bool makeFolders(const fs::path& folder) {
    fs::path p;
    for (const auto& part : folder) {
        p /= part;
        if (::mkdir(p.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
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

    const std::int64_t cutoff = cutoffFor(now, retentionMinutes);
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
        const auto minute = parseInt64(firstField(line));
        if (!minute || *minute < cutoff) {
            plan.add(line, minute ? CompactionPlan::older : CompactionPlan::unreadable, minute);
            continue;
        }
        // One bad byte costs its own line, not the file: parseLine checks each line.
        auto parsed = parseLine(line);
        if (!parsed) {
            plan.add(line, CompactionPlan::unreadable, minute);
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

    if (auto out = plan.compacted(now, bytes.size())) rewrite(*out);
}

bool History::rewrite(const std::string& bytes) {
    if (access_ != Access::readWrite || path_.empty()) return false;
    fs::path tmp = path_;
    tmp += ".tmp";
    // The compacted file keeps the permissions the user gave the old one.
    mode_t mode = 0644;
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) mode = st.st_mode & 0777;
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) return false;
    ::fchmod(fd, mode);  // a leftover temporary file keeps its own mode otherwise
    bool ok = writeAll(fd, bytes, 0) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    // The replacement is one rename: a reader or a crash sees the old file or the new one.
    if (ok) ok = ::rename(tmp.c_str(), path_.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    syncFolder(path_.parent_path());
    return true;
}

bool History::append(const std::string& bytes) {
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    // The folder was removed while running: make it again rather than lose every minute until
    // the next start.
    const fs::path folder = path_.parent_path();
    if (fd < 0 && errno == ENOENT && !folder.empty() && makeFolders(folder)) {
        if (syncWrites_) syncFolder(folder.parent_path());
        fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    }
    if (fd < 0) return false;
    bool ok = false;
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        off_t size = st.st_size;
        const bool fresh = size == 0;
        ok = true;
        // An earlier append cut short leaves a partial last line; appending after it would glue
        // a good line onto a broken one. Cut back to the last whole line first.
        if (size > 0) {
            char last = 0;
            if (::pread(fd, &last, 1, size - 1) != 1) {
                ok = false;
            } else if (last != '\n') {
                auto keep = endOfLastLine(fd, size);
                ok = keep && ::ftruncate(fd, *keep) == 0;
                if (ok) size = *keep;
            }
        }
        if (ok) {
            // fsync, not fdatasync: an append changes the size, which fdatasync flushes as well,
            // and macOS declares no fdatasync.
            ok = writeAll(fd, bytes, size) && (!syncWrites_ || ::fsync(fd) == 0);
            // Take back a partial write so the retry does not store some minutes twice.
            if (!ok) ::ftruncate(fd, size);
        }
        if (ok && fresh && syncWrites_) syncFolder(path_.parent_path());
    }
    ::close(fd);
    return ok;
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
    if (curItems_.empty() && !(curAwake_ > 0)) {
        curAwake_ = 0;
        return;
    }
    NamedAmounts items(curItems_.begin(), curItems_.end());
    const auto keep = std::min<std::size_t>(items.size(), topPerMinute);
    std::partial_sort(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(keep), items.end(), before);
    items.resize(keep);
    buckets_.push_back(Bucket{curMinute_, curAwake_, std::move(items), curBatPct_, curBatState_});
    curItems_.clear();
    curAwake_ = 0;
}

void History::setBattery(std::optional<double> pct, std::optional<ChargeState> state) {
    curBatPct_ = pct;
    curBatState_ = state;
}

Aggregate History::window(std::int64_t now, std::int64_t minutes) const {
    const std::int64_t cutoff = cutoffFor(now, minutes);
    NameSums sums;
    double awake = 0;
    for (auto it = buckets_.rbegin(); it != buckets_.rend() && it->minute >= cutoff; ++it) {
        awake += it->awakeS;
        sums.add(it->items);
    }
    if (curMinute_ >= cutoff) {
        awake += curAwake_;
        for (const auto& [name, value] : curItems_) sums.add(NameTable::intern(name), value);
    }
    Aggregate agg;
    agg.awakeS = awake;
    agg.totals = sums.list();
    for (const auto& [name, sum] : agg.totals) agg.grandTotal = saturatingAdd(agg.grandTotal, sum);
    std::sort(agg.totals.begin(), agg.totals.end(), before);
    return agg;
}

void History::trim(std::int64_t now) {
    const std::int64_t cutoff = cutoffFor(now, retentionMinutes);
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
}

void History::flush(std::int64_t now) {
    trim(now);
    if (access_ != Access::readWrite || path_.empty()) return;
    const std::size_t n = buckets_.size();
    const auto p = static_cast<std::size_t>(persisted_);
    if (p >= n) return;
    std::string text;
    for (std::size_t i = p; i < n; ++i) text += serialize(buckets_[i], metric_);
    if (append(text)) persisted_ = static_cast<int>(n);
}

}  // namespace sapwell
