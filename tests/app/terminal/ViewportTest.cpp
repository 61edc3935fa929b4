#include <gtest/gtest.h>

#include "Viewport.hpp"

namespace sapwell {
namespace {

// A menu of three blocks: "a" (3 lines), "b" (2), "c" (1), separated by empty lines.
std::vector<ViewLine> menu() {
    std::vector<ViewLine> lines;
    for (const char* text : {"a1", "a2", "a3", "", "b1", "b2", "", "c1"}) lines.push_back({ViewLine::Style::plain, text});
    return lines;
}

TEST(Viewport, ShowsTheRowsFromTheOffsetKeptWithinTheMenu) {
    struct Case {
        int width, height, offset;
        std::vector<std::string> lines;
        int shownOffset, maxOffset;
    };
    const std::string gap(4, ' ');
    const Case cases[] = {
        {80, 20, 0, {"a1", "a2", "a3", "", "b1", "b2", "", "c1"}, 0, 0},
        {80, 3, 0, {"a1", "a2", "a3"}, 0, 5},
        {80, 3, 2, {"a3", "", "b1"}, 2, 5},
        {80, 3, 99, {"b2", "", "c1"}, 5, 5},  // past the end: the last screenful
        {80, 3, -4, {"a1", "a2", "a3"}, 0, 5},
        {80, 0, 3, {}, 3, 8},  // no room: nothing shown, the place kept
        {2, 2, 0, {"a1", "a2"}, 0, 6},
        {1, 1, 0, {"\u2026"}, 0, 7},
        // Two columns past 160: "a" alone on the left (3 rows), "b" and "c" on the right (4).
        {161, 20, 0, {"a1" + std::string(76, ' ') + gap + "b1", "a2" + std::string(76, ' ') + gap + "b2", "a3",
                      std::string(78, ' ') + gap + "c1"}, 0, 0},
        {161, 2, 1, {"a2" + std::string(76, ' ') + gap + "b2", "a3"}, 1, 2},
        {160, 3, 0, {"a1", "a2", "a3"}, 0, 5},  // 160 itself is one column
    };
    const auto lines = menu();
    for (const auto& c : cases) {
        const Viewport view = layOut(lines, c.width, c.height, c.offset);
        EXPECT_EQ(view.lines, c.lines) << c.width << "x" << c.height << "+" << c.offset;
        EXPECT_EQ(view.maxOffset, c.maxOffset) << c.width << "x" << c.height;
        EXPECT_EQ(view.offset, c.shownOffset) << c.width << "x" << c.height;
    }
}

// The menu of the application: the present, four windows of six lines, the notes. The right
// column starts with a window, every line is cut to its column, wide characters counted twice.
TEST(Viewport, TwoColumnsSplitWhereTheTallerIsShortestAndCutEachSide) {
    std::vector<ViewLine> lines;
    const auto block = [&](const std::string& name, int rows) {
        if (!lines.empty()) lines.push_back({});
        lines.push_back({ViewLine::Style::bold, name});
        for (int i = 1; i < rows; ++i) lines.push_back({ViewLine::Style::plain, name + " row"});
    };
    block("Now", 7);
    for (const std::string w : {"15 min", "30 min", "1 hour"}) block(w, 6);
    block("\u5FAE\u4FE1 24 hours " + std::string(90, 'x'), 6);
    block("Notes", 3);
    const Viewport view = layOut(lines, 170, 100, 0);
    ASSERT_EQ(view.lines.size(), 21u);  // 7 + 6 + 6 and two gaps on the left, 6 + 6 + 3 right
    EXPECT_EQ(view.lines[0], "\x1b[1mNow\x1b[0m" + std::string(84, ' ') + "\x1b[1m1 hour\x1b[0m");
    EXPECT_EQ(view.lines[7], std::string(87, ' ') + "\x1b[1m\u5FAE\u4FE1 24 hours " + std::string(68, 'x') + "\u2026\x1b[0m");
    EXPECT_EQ(view.lines[20], "30 min row");
}

}  // namespace
}  // namespace sapwell
