#include "Text.hpp"

#include <gtest/gtest.h>

namespace sapwell {
namespace {

TEST(Text, RepairsInvalidUtf8WithReplacementCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"caf\xc3\xa9", "caf\xc3\xa9"}, {"a\xff" "b", "a\xef\xbf\xbd" "b"}, {"\xc3", "\xef\xbf\xbd"},  // truncated
        {"\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},  // a surrogate: one mark per byte
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(std::pair(text::repairUtf8(in), text::isValidUtf8(in)), std::pair(out, in == out)) << in;
}

TEST(Text, NamesCompareByNfcScalarValues) {
    const std::string composed = "\xc3\xa9", decomposed = "e\xcc\x81";  // é, and e + combining acute
    EXPECT_NE(text::compareNames(composed, decomposed), 0);  // equal NFC forms: bytes keep the order total
    EXPECT_LT(text::compareNames("Zed", "a"), 0);  // scalar order, not case folding
    EXPECT_GT(text::compareNames(decomposed + "x", "f"), 0);  // "éx" after "f"
}

TEST(Text, CountsAndCutsGraphemeClusters) {
    const std::string family = "\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7";
    const std::string flag = "\xf0\x9f\x87\xa9\xf0\x9f\x87\xaa", accented = "e\xcc\x81";  // DE
    EXPECT_EQ(text::graphemeCount(family + flag + accented + "x"), 4u);
    EXPECT_EQ(text::graphemePrefix(family + flag + accented, 2), family + flag);
    EXPECT_EQ(text::graphemePrefix(accented + accented, 1), accented);
    EXPECT_EQ(text::graphemePrefix("abc", 5), "abc");
}

// A name's own isolates are balanced, so the closing mark closes the wrapping and nothing else.
TEST(Text, IsolateWrapsTextSoItsDirectionStaysInside) {
    const std::pair<std::string, std::string> cases[] = {
        {"Mail", "\u2068Mail\u2069"}, {"", "\u2068\u2069"}, {"\u202Eevil", "\u2068\u202Eevil\u2069"},
        {"a\u2069\u202Eb", "\u2068a\u202Eb\u2069"},                      // a PDI of no isolate of its own
        {"\u2067open", "\u2068\u2067open\u2069\u2069"},                     // an isolate left open
        {"\u2066x\u2069\u2069", "\u2068\u2066x\u2069\u2069"}, {"bad\xff", "\u2068bad\uFFFD\u2069"}};
    for (const auto& [in, out] : cases) EXPECT_EQ(text::isolate(in), out) << in;
    for (const char32_t c : {0x202A, 0x202E, 0x2066, 0x2069, 0x200E, 0x200F, 0x061C})
        EXPECT_TRUE(text::isBidiControl(c)) << static_cast<unsigned>(c);
    for (const char32_t c : {0x2029, 0x200D, 0x2065, 0x202F, 0x05D0}) EXPECT_FALSE(text::isBidiControl(c)) << static_cast<unsigned>(c);
}

}  // namespace
}  // namespace sapwell
