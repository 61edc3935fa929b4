#include "Decimal.hpp"

#include <cmath>
#include <cstdint>
#include <locale>
#include <sstream>

namespace sapwell {

namespace {

// The shape our writers produce ("58.3", "-1.0"), converted exactly: at most 15 digits make an
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

}  // namespace

bool appendFixed(std::string& out, double x, int decimals) {
    char buf[400];  // the widest double in fixed notation has 309 integer digits
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed,
                                   decimals < 0 ? 0 : decimals);
    if (ec != std::errc()) return false;
    out.append(buf, end);
    return true;
}

bool appendShortest(std::string& out, double x) {
    char buf[40];  // the shortest round-trip form of any double fits
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x);
    if (ec != std::errc()) return false;
    out.append(buf, end);
    return true;
}

bool stripPlus(std::string_view& s) {
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && (s.front() == '-' || s.front() == '+')) return false;
    }
    return !s.empty();
}

std::optional<double> parseFinite(std::string_view s) {
    if (!stripPlus(s)) return std::nullopt;
    if (auto d = parseShortDecimal(s)) return d;
    // The general reader goes through the classic locale, not from_chars, which the C++ library
    // of Apple's toolchains lacks for floating point.
    std::istringstream in{std::string(s)};
    in.imbue(std::locale::classic());
    double d = 0;
    in >> std::noskipws >> d;
    if (in.fail() || in.peek() != std::char_traits<char>::eof() || !std::isfinite(d)) return std::nullopt;
    return d;
}

}  // namespace sapwell
