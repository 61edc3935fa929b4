#pragma once

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace sapwell {

// Numbers in text the same way in every locale: "." as the decimal point, no grouping. The C
// locale is never consulted, since a desktop toolkit may set it to the user's.

// Appends a whole number.
template <typename Int>
void appendInt(std::string& out, Int n) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, n);
    if (ec == std::errc()) out.append(buf, end);
}

// Appends x with `decimals` digits after the point, rounded as printf's "%.Nf" rounds.
// False (nothing appended) when it cannot be written, which only a NaN-sized request can cause.
bool appendFixed(std::string& out, double x, int decimals);

// Appends the shortest text that reads back as the same double; false (nothing appended) when
// it cannot be written.
bool appendShortest(std::string& out, double x);

// Drops one leading "+" the way the history reader has always accepted it; false when nothing
// is left or a second sign follows.
bool stripPlus(std::string_view& s);

// The whole of `s` as a whole number, with an optional leading "+"; absent otherwise.
template <typename Num>
std::optional<Num> parseWhole(std::string_view s) {
    if (!stripPlus(s)) return std::nullopt;
    Num n{};
    const char* end = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(s.data(), end, n);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return n;
}

// The whole of `s` as a finite decimal number, with an optional leading "+"; absent otherwise.
// Only finite numbers: a NaN would poison every sum it enters.
std::optional<double> parseFinite(std::string_view s);

}  // namespace sapwell
