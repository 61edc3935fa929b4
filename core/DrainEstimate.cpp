#include "DrainEstimate.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>

#include "MinuteItems.hpp"

namespace sapwell {

namespace {

// Products of a drain and a CPU time overflow 64 bits long before real figures get near either.
__extension__ typedef unsigned __int128 Wide;

// The drain of a minute when it was measured over a real stretch of time; one without a
// positive, finite time gives no power and no idle share, so it counts as unmeasured.
const Drain* measured(const Bucket& minute) {
    if (!minute.drain) return nullptr;
    const double s = minute.drain->seconds;
    return std::isfinite(s) && s > 0 ? &*minute.drain : nullptr;
}

// ms of CPU per second. The items' CPU time accrued while awake, so awake time is its natural
// denominator and the one the windows use; a minute without awake time still burned that CPU
// within the measured stretch, so that stands in.
double cpuRate(const Bucket& minute, double drainSeconds) {
    double ms = 0;
    for (auto it = minute.items.begin(); it != minute.items.end(); ++it) ms += static_cast<double>(it.value());
    const double over = std::isfinite(minute.awakeS) && minute.awakeS > 0 ? minute.awakeS : drainSeconds;
    return ms / over;
}

struct Point {
    double rate;   // ms/s
    double power;  // mW
};

struct Line {
    double intercept = 0;
    double slope = 0;
};

// Least squares over points[ids], centred so large rates lose no precision; absent when the rates
// are all the same.
std::optional<Line> leastSquares(const std::vector<Point>& points, std::span<const std::uint32_t> ids) {
    double mx = 0, my = 0;
    for (const auto i : ids) mx += points[i].rate, my += points[i].power;
    mx /= static_cast<double>(ids.size());
    my /= static_cast<double>(ids.size());
    double sxx = 0, sxy = 0;
    for (const auto i : ids) {
        const double dx = points[i].rate - mx;
        sxx += dx * dx;
        sxy += dx * (points[i].power - my);
    }
    if (!(sxx > 0)) return std::nullopt;
    const double slope = sxy / sxx;
    return Line{my - slope * mx, slope};
}

// Nearest rank: the lowest power that at least a tenth of the minutes do not exceed.
double tenthPercentile(std::vector<Point>& points) {
    const auto rank = points.begin() + static_cast<std::ptrdiff_t>((points.size() + 9) / 10 - 1);
    std::nth_element(points.begin(), rank, points.end(),
                     [](const Point& a, const Point& b) { return a.power < b.power; });
    return rank->power;
}

// The middle value (the upper one of an even count); reorders `values`.
double median(std::vector<double>& values) {
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

// Tukey's resistant line: the slope through the medians of the lowest and highest third of CPU
// rates, the intercept the median of what that slope leaves. Medians ignore a minute whose rate
// is off the scale (a sliver of awake time), which drags least squares wherever it likes.
std::optional<Line> resistantLine(const std::vector<Point>& points) {
    std::vector<Point> byRate = points;
    const std::ptrdiff_t third = static_cast<std::ptrdiff_t>(byRate.size() / 3);
    const auto rateBelow = [](const Point& a, const Point& b) { return a.rate < b.rate; };
    std::nth_element(byRate.begin(), byRate.begin() + third, byRate.end(), rateBelow);
    std::nth_element(byRate.begin() + third, byRate.end() - third, byRate.end(), rateBelow);
    std::vector<double> scratch;
    const auto middle = [&](auto first, auto last, double Point::*field) {
        scratch.clear();
        for (auto it = first; it != last; ++it) scratch.push_back((*it).*field);
        return median(scratch);
    };
    const double lowRate = middle(byRate.begin(), byRate.begin() + third, &Point::rate);
    const double highRate = middle(byRate.end() - third, byRate.end(), &Point::rate);
    if (!(highRate > lowRate)) return std::nullopt;
    const double slope = (middle(byRate.end() - third, byRate.end(), &Point::power) -
                          middle(byRate.begin(), byRate.begin() + third, &Point::power)) /
                         (highRate - lowRate);
    scratch.clear();
    for (const Point& p : points) scratch.push_back(p.power - slope * p.rate);
    return Line{median(scratch), slope};
}

// Puts the `keep` minutes nearest `line` first in `ids` (ties by position, so the same minutes
// give the same answer); returns the sum of their squared residuals.
double keepNearest(const std::vector<Point>& points, const Line& line, std::vector<std::uint32_t>& ids,
                   std::vector<double>& residual, std::size_t keep) {
    for (std::size_t i = 0; i < points.size(); ++i)
        residual[i] = std::abs(points[i].power - line.intercept - line.slope * points[i].rate);
    std::nth_element(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(keep - 1), ids.end(),
                     [&](std::uint32_t a, std::uint32_t b) {
                         return residual[a] != residual[b] ? residual[a] < residual[b] : a < b;
                     });
    double sum = 0;
    for (std::size_t k = 0; k < keep; ++k) sum += residual[ids[k]] * residual[ids[k]];
    return sum;
}

// Refits on the minutes nearest the line until their squared residuals stop falling (each round
// can only lower them); returns that sum.
double refine(const std::vector<Point>& points, Line& line, std::vector<std::uint32_t>& ids,
              std::vector<double>& residual, std::size_t keep) {
    double last = std::numeric_limits<double>::infinity();
    for (int round = 0; round < 50; ++round) {
        const double sum = keepNearest(points, line, ids, residual, keep);
        // Each round lowers the sum; past a relative billionth the line no longer moves.
        if (!(sum < last * (1 - 1e-9))) break;
        last = sum;
        const auto refit = leastSquares(points, std::span(ids).first(keep));
        if (!refit) break;
        line = *refit;
    }
    return last;
}

// Least squares without the worst tenth of residuals, refined from two starts (the resistant
// line and plain least squares), the better one kept.
std::optional<double> fittedIntercept(const std::vector<Point>& points) {
    const std::size_t n = points.size();
    const std::size_t keep = n - n / 10;
    std::vector<std::uint32_t> ids(n);
    std::iota(ids.begin(), ids.end(), 0u);
    std::vector<double> residual(n);
    std::optional<Line> best;
    double bestSum = std::numeric_limits<double>::infinity();
    for (auto start : {resistantLine(points), leastSquares(points, ids)}) {
        if (!start) continue;
        const double sum = refine(points, *start, ids, residual, keep);
        if (sum < bestSum || !best) best = start, bestSum = sum;
    }
    if (!best) return std::nullopt;
    keepNearest(points, *best, ids, residual, keep);
    const auto kept = std::span(ids).first(keep);
    const auto byRate = [&](std::uint32_t a, std::uint32_t b) { return points[a].rate < points[b].rate; };
    const auto [lo, hi] = std::minmax_element(kept.begin(), kept.end(), byRate);
    // The minutes the line rests on must span the rates, or the intercept is a guess.
    if (!(points[*hi].rate - points[*lo].rate >= idleFitMinCpuSpan)) return std::nullopt;
    // Idle power cannot be negative, nor above what the least busy minutes drew. Their median,
    // not the lowest of them: minute powers scatter, and the lowest of thousands lies far below
    // the line, so it would pull idle power down the more minutes there are.
    const auto leastBusy = kept.begin() + static_cast<std::ptrdiff_t>(std::max<std::size_t>(1, keep / 10));
    std::nth_element(kept.begin(), leastBusy - 1, kept.end(), byRate);
    std::vector<double> powers;
    for (auto it = kept.begin(); it != leastBusy; ++it) powers.push_back(points[*it].power);
    return std::clamp(best->intercept, 0.0, median(powers));
}

// The idle share of a drain, rounded to the nearest mJ: NaN or negative idle power sets nothing
// aside, an infinite one all of it.
std::uint64_t idleShare(std::uint64_t drainMJ, double idleMJ) {
    if (!(idleMJ > 0)) return 0;
    if (idleMJ >= static_cast<double>(drainMJ)) return drainMJ;
    return std::min(drainMJ, static_cast<std::uint64_t>(idleMJ + 0.5));
}

// Each item its floor of rest × cpu / total, then the leftover mJ one by one to the largest
// remainders (the earlier item on a tie). `Int` holds rest × cpu, and a remainder shifted up by
// 32 bits, without overflow.
template <typename Int>
void shareExactly(const MinuteItems& items, std::uint64_t rest, Int total, std::vector<std::uint64_t>& out) {
    // A minute holds at most topPerMinute items, so the keys fit on the stack.
    constexpr std::size_t onStack = 32;
    std::array<Int, onStack> stack;
    std::vector<Int> heap;
    Int* keys = stack.data();
    if (items.size() > onStack) {
        heap.resize(items.size());
        keys = heap.data();
    }
    // One number per item orders by remainder and then by position, so choosing the largest
    // takes single comparisons.
    constexpr Int low = 0xffffffffu;
    std::uint64_t given = 0;
    std::uint32_t i = 0;
    for (auto it = items.begin(); it != items.end(); ++it, ++i) {
        const Int product = static_cast<Int>(rest) * static_cast<Int>(it.value());
        out[i] = static_cast<std::uint64_t>(product / total);
        given += out[i];
        keys[i] = (product % total) << 32 | (low - i);
    }
    // Fewer than one mJ per item is left over.
    const auto leftover = static_cast<std::ptrdiff_t>(rest - given);
    if (leftover == 0) return;
    if (i <= onStack) {
        // For a real minute's few items counting each one's rank, without branches, beats
        // selecting them.
        for (std::uint32_t a = 0; a < i; ++a) {
            std::ptrdiff_t above = 0;
            for (std::uint32_t b = 0; b < i; ++b) above += keys[b] > keys[a];
            out[a] += above < leftover;
        }
        return;
    }
    std::nth_element(keys, keys + leftover - 1, keys + i, std::greater<Int>());
    for (std::ptrdiff_t k = 0; k < leftover; ++k) ++out[static_cast<std::uint32_t>(low - (keys[k] & low))];
}

// Shares `rest` among the items by CPU time so the shares add up to it exactly; false when there
// is no CPU time to share by.
bool shareByCpu(const MinuteItems& items, std::uint64_t rest, std::vector<std::uint64_t>& out) {
    Wide total = 0;
    for (auto it = items.begin(); it != items.end(); ++it) total += it.value();
    if (total == 0) return false;
    // Real minutes stay within 32 bits a factor, where 64-bit arithmetic is several times faster.
    constexpr std::uint64_t narrow = 0xffffffffu;
    if (rest <= narrow && total <= narrow)
        shareExactly<std::uint64_t>(items, rest, static_cast<std::uint64_t>(total), out);
    else
        shareExactly<Wide>(items, rest, total, out);
    return true;
}

}  // namespace

IdlePower idlePower(std::span<const Bucket> minutes) {
    std::vector<Point> points;
    points.reserve(minutes.size());
    for (const Bucket& minute : minutes) {
        const Drain* drain = measured(minute);
        if (!drain) continue;
        const Point p{cpuRate(minute, drain->seconds), static_cast<double>(drain->mJ) / drain->seconds};
        if (std::isfinite(p.rate) && std::isfinite(p.power)) points.push_back(p);
    }
    IdlePower idle;
    idle.minutes = points.size();
    if (points.empty()) return idle;
    if (points.size() >= idleFitMinMinutes) {
        if (const auto intercept = fittedIntercept(points)) {
            idle.mW = *intercept;
            idle.fitted = true;
            return idle;
        }
    }
    idle.mW = tenthPercentile(points);
    return idle;
}

bool shareMinute(const Bucket& minute, double idleMW, MinuteShare& out) {
    out.drainMJ = out.idleMJ = 0;
    out.seconds = 0;
    out.appMJ.clear();
    const Drain* drain = measured(minute);
    if (!drain) return false;
    out.drainMJ = drain->mJ;
    out.seconds = drain->seconds;
    out.idleMJ = idleShare(drain->mJ, idleMW * drain->seconds);
    out.appMJ.resize(minute.items.size(), 0);
    // Without CPU time to go by, the whole drain is the machine's own.
    if (!shareByCpu(minute.items, drain->mJ - out.idleMJ, out.appMJ)) out.idleMJ = drain->mJ;
    return true;
}

std::optional<MinuteShare> shareMinute(const Bucket& minute, double idleMW) {
    MinuteShare share;
    if (!shareMinute(minute, idleMW, share)) return std::nullopt;
    return share;
}

namespace {

// Sums minutes' shares by name number.
class ShareSum {
public:
    explicit ShareSum(double idleMW) : idleMW_(idleMW) {}
    void add(const Bucket& minute) {
        if (!shareMinute(minute, idleMW_, share_)) return;
        total_.drainMJ = saturatingAdd(total_.drainMJ, share_.drainMJ);
        total_.seconds += share_.seconds;
        total_.idleMJ = saturatingAdd(total_.idleMJ, share_.idleMJ);
        std::size_t i = 0;
        for (auto it = minute.items.begin(); it != minute.items.end(); ++it, ++i)
            if (share_.appMJ[i] > 0) sums_.add(it.nameId(), share_.appMJ[i]);
    }
    BatteryShare take() {
        total_.apps = sums_.list();
        sortHeaviestFirst(total_.apps);
        return std::move(total_);
    }

private:
    double idleMW_;
    BatteryShare total_;
    NameSums sums_;
    MinuteShare share_;  // reused across minutes
};

}  // namespace

BatteryShare shareOut(std::span<const Bucket> minutes, double idleMW) {
    ShareSum sum(idleMW);
    for (const Bucket& minute : minutes) sum.add(minute);
    return sum.take();
}

BatteryShare shareWindow(const History& history, std::int64_t now, std::int64_t minutes, double idleMW) {
    ShareSum sum(idleMW);
    for (const Bucket& minute : history.closedIn(now, minutes)) sum.add(minute);
    if (auto open = history.openMinute(); open && history.openIn(now, minutes)) sum.add(*open);
    return sum.take();
}

const IdlePower& IdlePowerCache::of(const History& history) {
    if (fittedAt_ != history.closedCount()) {
        idle_ = idlePower(history.past());
        fittedAt_ = history.closedCount();
    }
    return idle_;
}

}  // namespace sapwell
