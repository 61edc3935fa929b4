#include <gtest/gtest.h>

#include "ProcStat.hpp"

namespace sapwell::platform {
namespace {

TEST(ProcStat, ParsesFieldsAfterTheLastParenthesis) {
    struct Case {
        const char* content;
        std::optional<ProcStat> expected;
    };
    const Case cases[] = {
        {"8832 (cat) R 8825 8825 4909 0 -1 4194304 100 0 0 0 7 3 0 0 20 0 1 0\n",
         ProcStat{4194304, 7, 3}},
        // A hostile command name with spaces and parentheses.
        {"12 (a) b (c) S 1 1 1 0 -1 2097216 0 0 0 0 11 22 0 0", ProcStat{2097216, 11, 22}},
        {"12 (a) 1 2 3 4 5 6 7 8 9 10 11) S 1 1 1 0 -1 64 0 0 0 0 5 6", ProcStat{64, 5, 6}},
        {"12 ()) S 1 1 1 0 -1 64 0 0 0 0 5 6", ProcStat{64, 5, 6}},
        {"12 (x) S 1 1 1 0 -1 64 0 0 0 0 5", std::nullopt},     // stime missing
        {"12 (x) S 1 1 1 0 -1 -64 0 0 0 0 5 6", std::nullopt},  // negative flags
        {"12 (x) S 1 1 1 0 -1 64 0 0 0 0 5x 6", std::nullopt},  // junk in utime
        {"12 x S 1 1 1 0 -1 64 0 0 0 0 5 6", std::nullopt},     // no ")"
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        const auto got = parseProcStat(c.content);
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        if (!got) continue;
        EXPECT_EQ(got->flags, c.expected->flags);
        EXPECT_EQ(got->utimeTicks, c.expected->utimeTicks);
        EXPECT_EQ(got->stimeTicks, c.expected->stimeTicks);
    }
}

TEST(ProcStat, TicksToNanoseconds) {
    EXPECT_EQ(ticksToNS(0, 100), 0u);
    EXPECT_EQ(ticksToNS(123, 100), 1'230'000'000u);
    EXPECT_EQ(ticksToNS(1, 300), 3'333'333u);
    EXPECT_EQ(ticksToNS(~0ull, 100), ~0ull);  // saturates
    EXPECT_EQ(ticksToNS(5, 0), 0u);
}

}  // namespace
}  // namespace sapwell::platform
