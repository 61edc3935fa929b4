#include "MinuteItems.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <stdexcept>
#include <string>


namespace sapwell {
namespace {

constexpr std::uint64_t u64max = std::numeric_limits<std::uint64_t>::max();

NamedAmounts read(const MinuteItems& items) { return NamedAmounts(items.begin(), items.end()); }

// Whatever goes in comes out the same, in the same order: names the short key cannot tell apart
// (same length, first and last eight bytes), bytes that are not text, and amounts at every
// width of the packed form.
TEST(MinuteItems, ReadBackExactlyWhatWasStored) {
    const std::string twinA = "Application-A-helper", twinB = "Application-B-helper";
    const NamedAmounts cases[] = {
        {},
        {{"Safari", 12345}, {"Mail", 678}},
        {{twinA, 1}, {twinB, 2}, {std::string("nul\0byte", 8), 3}, {"", 0}, {"\xFF\xFE", 4}},
        {{"a", 0}, {"b", 127}, {"c", 128}, {"d", 16383}, {"e", 16384}, {"f", 1ull << 32}, {"g", u64max}},
        {{"x", 1}, {"x", 2}},  // a repeated name is kept as it came
    };
    for (const auto& items : cases) {
        const MinuteItems packed(items);
        EXPECT_EQ(read(packed), items);
        EXPECT_EQ(packed.size(), items.size());
        EXPECT_EQ(packed.empty(), items.empty());
        EXPECT_TRUE(packed == items);
        MinuteItems appended;
        for (const auto& [name, value] : items) appended.emplace_back(name, value);
        EXPECT_EQ(appended, packed);
    }
    EXPECT_NE(NameTable::intern(twinA), NameTable::intern(twinB));
    const MinuteItems ab = NamedAmounts{{"alpha", 5}, {"beta", 3}};  // order and every amount count
    EXPECT_NE(ab, (MinuteItems{{"alpha", 5}, {"beta", 4}}));
    EXPECT_NE(ab, (MinuteItems{{"beta", 3}, {"alpha", 5}}));
    EXPECT_FALSE(ab == (NamedAmounts{{"alpha", 5}}));
    EXPECT_EQ(std::pair(ab.at(1).first, ab.at(1).second), std::pair(std::string("beta"), std::uint64_t{3}));
    EXPECT_THROW(ab.at(2), std::out_of_range);
}

TEST(NameTable, OneNumberPerDistinctNameAndFindNeverAdds) {
    const std::uint32_t id = NameTable::intern("Terminal");
    EXPECT_EQ(NameTable::intern(std::string("Terminal")), id);
    EXPECT_EQ(NameTable::text(id), "Terminal");
    EXPECT_EQ(NameTable::find("Terminal"), id);
    const std::size_t before = NameTable::size();
    EXPECT_FALSE(NameTable::find("a name no minute ever held"));
    EXPECT_EQ(NameTable::size(), before);
    // Short names differing in one byte, at every length the key reads differently.
    const std::vector<std::string> near = {"a", "b", "ab", "ba", "abc", "acb", "abcd", "abdd", "abcdefg", "abcxefg",
                                           "abcdefgh", "abcdefgi", std::string(3, '\0'), std::string(2, '\0')};
    std::set<std::uint32_t> distinct;
    for (const auto& n : near) distinct.insert(NameTable::intern(n));
    EXPECT_EQ(distinct.size(), near.size());
    // Enough names to make the table grow several times; each keeps its number and text.
    const auto grow = [](int i) { return "grow " + std::to_string(i); };
    std::vector<std::uint32_t> ids;
    for (int i = 0; i < 3000; ++i) ids.push_back(NameTable::intern(grow(i)));
    for (int i = 0; i < 3000; ++i) {
        EXPECT_EQ(NameTable::intern(grow(i)), ids[i]);
        EXPECT_EQ(NameTable::text(ids[i]), grow(i));
    }
    EXPECT_EQ(NameTable::text(id), "Terminal");
    // Each was taken twice: the second release drops it. Dropping every third leaves the others
    // findable under their numbers, and new names take the numbers given back.
    for (int i = 0; i < 3000; ++i) NameTable::release(ids[i]);
    const std::size_t size = NameTable::size(), count = NameTable::count();
    for (int i = 0; i < 3000; i += 3) NameTable::release(ids[i]);
    EXPECT_EQ(NameTable::count(), count - 1000);
    for (int i = 0; i < 3000; ++i) EXPECT_EQ(NameTable::find(grow(i)), i % 3 ? std::optional(ids[i]) : std::nullopt) << i;
    for (int i = 0; i < 1000; ++i) NameTable::intern("again " + std::to_string(i));
    EXPECT_EQ(NameTable::size(), size);
    for (int i = 0; i < 1000; ++i) NameTable::release(*NameTable::find("again " + std::to_string(i)));
    for (int i = 0; i < 3000; ++i) if (i % 3) NameTable::release(ids[i]);
    EXPECT_EQ(NameTable::count(), count - 3000);
    EXPECT_EQ(NameTable::find("Terminal"), id);
}

TEST(NameSums, EveryNameThatOccursWithItsSaturatedSum) {
    NameSums sums;
    sums.add(MinuteItems{{"a", 2}, {"zero", 0}});
    sums.add(MinuteItems{{"a", u64max}, {"b", 1}});
    EXPECT_EQ(sums.list(), (NamedAmounts{{"a", u64max}, {"zero", 0}, {"b", 1}}));
}

}  // namespace
}  // namespace sapwell
