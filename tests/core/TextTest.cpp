#include "Text.hpp"

#include <gtest/gtest.h>

#include "Amounts.hpp"

namespace sapwell {
namespace {

TEST(Text, RepairsInvalidUtf8WithReplacementCharacters) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"plain", "plain"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
        {"a\xff" "b", "a\xef\xbf\xbd" "b"},
        {"\xc3", "\xef\xbf\xbd"},                      // truncated sequence
        {"\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},  // surrogate: one mark per byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text::repairUtf8(c.in), c.out) << c.in;
        EXPECT_EQ(text::isValidUtf8(c.in), c.in == c.out) << c.in;
    }
}

TEST(Text, NamesCompareByNfcScalarValues) {
    const std::string composed = "\xc3\xa9";     // é
    const std::string decomposed = "e\xcc\x81";  // e + combining acute
    EXPECT_EQ(text::nfc(decomposed), composed);
    // NFC forms are equal, raw bytes decide so the order stays total.
    EXPECT_NE(text::compareNames(composed, decomposed), 0);
    EXPECT_LT(text::compareNames("Mail", "Safari"), 0);
    EXPECT_LT(text::compareNames("Zed", "a"), 0);  // scalar order, not alphabetical case folding
    // "e\u0301x" composes to "éx", which sorts after "f" by scalar value.
    EXPECT_GT(text::compareNames(decomposed + "x", "f"), 0);
}

TEST(Text, CountsAndCutsGraphemeClusters) {
    const std::string family = "\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7";
    const std::string flag = "\xf0\x9f\x87\xa9\xf0\x9f\x87\xaa";  // DE
    const std::string accented = "e\xcc\x81";
    EXPECT_EQ(text::graphemeCount(family + flag + accented + "x"), 4u);
    EXPECT_EQ(text::graphemePrefix(family + flag + accented, 2), family + flag);
    EXPECT_EQ(text::graphemePrefix(accented + accented, 1), accented);
    EXPECT_EQ(text::graphemePrefix("abc", 0), "");
    EXPECT_EQ(text::graphemePrefix("abc", 5), "abc");
}

TEST(Amounts, HeaviestFirstIsIndependentOfInputOrderAndSaturates) {
    NamedAmounts a = {{"b", 5}, {"a", 5}, {"c", 9}, {"Z", 5}};
    NamedAmounts b = {{"Z", 5}, {"c", 9}, {"a", 5}, {"b", 5}};
    sortHeaviestFirst(a);
    sortHeaviestFirst(b);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, (NamedAmounts{{"c", 9}, {"Z", 5}, {"a", 5}, {"b", 5}}));
    EXPECT_EQ(saturatingAdd(UINT64_MAX - 1, 5), UINT64_MAX);
    EXPECT_EQ(saturatingAdd(2, 3), 5u);
}

}  // namespace
}  // namespace sapwell
