#include <gtest/gtest.h>

#include "ProcStat.hpp"

namespace sapwell::platform {
namespace {

TEST(ProcStat, ParsesFieldsAfterTheLastParenthesis) {
    using Fields = std::optional<std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>>;
    const std::pair<const char*, Fields> cases[] = {
        {"12 (a) b (c) S 1 1 1 0 -1 2097216 0 0 0 0 11 22 0 0\n", {{2097216, 11, 22}}},  // hostile
        {"12 (x) S 1 1 1 0 -1 64 0 0 0 0 5", std::nullopt},     // stime missing
        {"12 (x) S 1 1 1 0 -1 -64 0 0 0 0 5 6", std::nullopt},  // negative flags
        {"12 (x) S 1 1 1 0 -1 64 0 0 0 0 5x 6", std::nullopt},  // junk in utime
        {"12 x S 1 1 1 0 -1 64 0 0 0 0 5 6", std::nullopt},     // no ")"
    };
    for (const auto& [content, expected] : cases) {
        const auto s = parseProcStat(content);
        EXPECT_EQ((s ? Fields{{s->flags, s->utimeTicks, s->stimeTicks}} : std::nullopt), expected);
    }
}

TEST(ProcStat, TicksToNanosecondsSaturatesAndRefusesABadRate) {
    EXPECT_EQ(ticksToNS(1, 300), 3'333'333u);
    EXPECT_EQ(ticksToNS(~0ull, 100), ~0ull);
    EXPECT_EQ(ticksToNS(5, 0), 0u);
}

}  // namespace
}  // namespace sapwell::platform
