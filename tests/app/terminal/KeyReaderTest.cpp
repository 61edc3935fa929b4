#include <gtest/gtest.h>

#include "KeyReader.hpp"

namespace sapwell {
namespace {

using K = Key::Kind;

Key ch(char c) { return {K::character, c}; }

// Each case is fed in the pieces given, as reads from the terminal may cut it.
TEST(KeyReader, ReadsCursorAndPageKeysInEitherModeWhereverAReadEnds) {
    const std::pair<std::vector<std::string_view>, std::vector<Key>> cases[] = {
        {{"q"}, {ch('q')}},
        {{"\x1b[A\x1b[B"}, {{K::up}, {K::down}}},
        {{"\x1bOA\x1bOB"}, {{K::up}, {K::down}}},  // application cursor mode
        {{"\x1b[5~\x1b[6~"}, {{K::pageUp}, {K::pageDown}}},
        {{"\x1b[H\x1b[F"}, {{K::home}, {K::end}}},
        {{"\x1bOH\x1bOF"}, {{K::home}, {K::end}}},
        {{"\x1b[1~\x1b[4~"}, {{K::home}, {K::end}}},  // VT220, as screen and tmux send
        {{"\x1b[7~\x1b[8~"}, {{K::home}, {K::end}}},  // rxvt
        {{"\x1b[1;5A", "\x1b[5;2~"}, {{K::up}, {K::pageUp}}},  // with modifiers
        {{"\x1b[C\x1b[2~\x1b[15~\x1bOP"}, {{}, {}, {}, {}}},  // right, Insert, F5, F1: not ours
        {{"\x1b", "[", "6", "~g"}, {{K::pageDown}, ch('g')}},
        {{"\x1bO", "B"}, {{K::down}}},
        {{"\x1b", "q"}, {{}, ch('q')}},  // Escape alone, then a key that still counts
        {{"\x1b[12\x1b[A"}, {{}, {K::up}}},  // broken off by a new sequence
        {{"\x1b[", std::string_view("0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0"), "q"}, {{}, ch('q')}},
    };
    for (const auto& [reads, want] : cases) {
        KeyReader reader;
        std::vector<Key> got;
        for (const auto piece : reads) {
            const auto keys = reader.feed(piece);
            got.insert(got.end(), keys.begin(), keys.end());
        }
        EXPECT_EQ(got, want) << ::testing::PrintToString(reads);
    }
}

}  // namespace
}  // namespace sapwell
