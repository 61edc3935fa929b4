#include "ProcStat.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

namespace sapwell::platform {

std::optional<ProcStat> parseProcStat(std::string_view content) {
    const auto close = content.rfind(')');
    if (close == std::string_view::npos) return std::nullopt;
    std::string_view rest = content.substr(close + 1);

    // Fields after the command name, counted from field 3 (state). The start time comes last and
    // may be missing without spoiling the rest.
    constexpr std::array<std::size_t, 5> at = {4 - 3, 9 - 3, 14 - 3, 15 - 3, 22 - 3};
    std::array<std::uint64_t, at.size()> wanted{};
    std::size_t field = 0, found = 0;
    while (found < wanted.size()) {
        const auto start = rest.find_first_not_of(" \n");
        if (start == std::string_view::npos) break;
        rest.remove_prefix(start);
        const auto end = std::min(rest.find_first_of(" \n"), rest.size());
        const std::string_view token = rest.substr(0, end);
        if (field == at[found]) {
            std::uint64_t value = 0;
            const auto [p, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
            if (ec != std::errc{} || p != token.data() + token.size()) break;
            wanted[found++] = value;
        }
        rest.remove_prefix(end);
        ++field;
    }
    if (found < 4) return std::nullopt;
    ProcStat stat{wanted[1], wanted[2], wanted[3], std::nullopt, wanted[0]};
    if (found == 5) stat.startTicks = wanted[4];
    return stat;
}

std::uint64_t ticksToNS(std::uint64_t ticks, long ticksPerSecond) {
    if (ticksPerSecond <= 0) return 0;
    const auto hz = static_cast<std::uint64_t>(ticksPerSecond);
    constexpr std::uint64_t nsPerSecond = 1'000'000'000;
    constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    const std::uint64_t whole = ticks / hz;
    if (whole > max / nsPerSecond) return max;
    const std::uint64_t part = (ticks % hz) * nsPerSecond / hz;  // (hz-1)*1e9 fits for any sane hz
    const std::uint64_t base = whole * nsPerSecond;
    return base > max - part ? max : base + part;
}

}  // namespace sapwell::platform
