#include <gtest/gtest.h>

#include <string>

#include "Fakes.hpp"
#include "I18n.hpp"
#include "Metric.hpp"
#include "Text.hpp"

namespace sapwell {
namespace {

TEST(Lang, ParsesLanguageAndLocaleCodes) {
    const std::pair<std::string, std::optional<Lang>> cases[] = {
        {"de_CH", Lang::de},     {"de-AT", Lang::de},   {"zh-Hans-CN", Lang::zh},
        {"zh_TW", Lang::zh},     {"zh-Hant", Lang::zh}, {"-ru", Lang::ru},
        {"__en--US", Lang::en},  {"", std::nullopt},    {"-", std::nullopt},
        {"_", std::nullopt},     {"EN", std::nullopt},  {"Ru", std::nullopt},
        {"pt-BR", std::nullopt}, {"eng", std::nullopt}, {"C", std::nullopt},
    };
    for (const auto& [code, lang] : cases) EXPECT_EQ(Lang::from(code), lang) << '"' << code << '"';
    for (Lang lang : Lang::all) EXPECT_EQ(Lang::from(lang.htmlCode()), lang);
}

TEST(Lang, DetectsOverrideThenLocaleThenEnglish) {
    using Vars = std::map<std::string, std::string, std::less<>>;
    const std::pair<Vars, Lang> cases[] = {
        {{}, Lang::en},
        {{{"SAPWELL_LANG", "de"}, {"LANG", "ru_RU.UTF-8"}}, Lang::de},
        // An override that names no supported language falls through to the locale.
        {{{"SAPWELL_LANG", "fr"}, {"LANG", "de_DE.UTF-8"}}, Lang::de},
        {{{"SAPWELL_LANG", ""}, {"LANG", "de_DE.UTF-8"}}, Lang::de},
        // POSIX order: LC_ALL, LC_MESSAGES, LANG; empty values do not count.
        {{{"LC_ALL", "zh_CN.UTF-8"}, {"LC_MESSAGES", "ru_RU"}, {"LANG", "de_DE"}}, Lang::zh},
        {{{"LC_ALL", ""}, {"LC_MESSAGES", "ru_RU"}, {"LANG", "de_DE"}}, Lang::ru},
        {{{"LC_ALL", "POSIX"}, {"LANG", "de_DE.UTF-8"}}, Lang::en},
        {{{"LANG", "C.UTF-8"}}, Lang::en},
        {{{"LANG", "de.UTF-8"}}, Lang::de},  // codeset and modifier are not part of the language
        {{{"LANG", "ru@latin"}}, Lang::ru},
        {{{"LANG", "EN_US"}}, Lang::en},
        {{{"LANG", "fr_FR.UTF-8"}}, Lang::en},
    };
    for (const auto& [vars, lang] : cases) {
        testing::FakeEnvironment env;
        env.vars = vars;
        std::string label;
        for (const auto& [k, v] : vars) label += k + "=" + v + " ";
        EXPECT_EQ(Lang::detect(env), lang) << label;
    }
}

TEST(StringTable, EveryTextIsPresentWellFormedAndComposed) {
    for (S key : allKeys()) {
        for (std::size_t col = 0; col < 4; ++col) {
            const std::string_view text = table(key)[col];
            SCOPED_TRACE(::testing::Message() << "key " << int(key) << " column " << col);
            EXPECT_FALSE(text.empty());
            EXPECT_EQ(text::nfc(text), text);        // also fails on invalid UTF-8
            EXPECT_EQ(text.find("..."), text.npos);  // the ellipsis is one character
            EXPECT_EQ(t(Lang::all[col], key), text);
            // Only the runtime estimate carries a placeholder, and exactly once.
            const auto at = text.find("{t}");
            EXPECT_EQ(at != text.npos, key == S::runtimeEstimate);
            EXPECT_EQ(text.find('{', at == text.npos ? 0 : at + 1), text.npos);
        }
    }
}

TEST(StringTable, SpecialCharactersAreTheExactCodePoints) {
    struct Case {
        Lang lang;
        S key;
        std::string text;
    } cases[] = {
        {Lang::ru, S::wattHour, "\xd0\x92\xd1\x82\xc2\xb7\xd1\x87"},            // U+00B7
        {Lang::en, S::openChart, "Open Chart\xe2\x80\xa6"},                     // U+2026
        {Lang::en, S::chartWindowTitle, "Sapwell \xe2\x80\x94 Battery Usage"},  // U+2014
        {Lang::en, S::unitMicrowatt, "\xc2\xb5W"},                              // U+00B5
        {Lang::ru, S::batteryCapacity,                                          // U+0401
         "\xd0\x81\xd0\xbc\xd0\xba\xd0\xbe\xd1\x81\xd1\x82\xd1\x8c \xd0\xb1\xd0\xb0\xd1\x82\xd0"
         "\xb0\xd1\x80\xd0\xb5\xd0\xb8"},
        {Lang::zh, S::noBattery,  // U+FF0C
         "\xe6\x97\xa0\xe7\x94\xb5\xe6\xb1\xa0\xef\xbc\x8c\xe6\x8c\x87\xe6\xa0\x87"},
        {Lang::zh, S::runtimeEstimate,  // U+FF08, U+FF09
         "\xe4\xbb\x85\xe8\xbf\x9b\xe7\xa8\x8b\xe6\x9c\x80\xe5\xa4\x9a\xe5\x8f\xaf\xe7\x94\xa8 "
         "{t}\xef\xbc\x88\xe4\xb8\x8d\xe5\x90\xab\xe5\xb1\x8f\xe5\xb9\x95\xef\xbc\x89"},
    };
    for (const auto& c : cases) EXPECT_EQ(t(c.lang, c.key), c.text);
    // U+FF1A after the Chinese "CPU time proxy".
    EXPECT_TRUE(t(Lang::zh, S::cpuProxy)
                    .starts_with("CPU \xe6\x97\xb6\xe9\x97\xb4\xe6\x9b\xbf\xe4\xbb\xa3\xe5\x80\xbc"
                                 "\xef\xbc\x9a"));
}

TEST(StringTable, TwinKeysShareTexts) {
    const std::pair<S, S> twins[] = {{S::watt, S::unitWatt},
                                     {S::milliwatt, S::unitMilliwatt},
                                     {S::wattHour, S::unitWattHour},
                                     {S::percentPerHour, S::unitPctPerHourShort},
                                     {S::clickToReveal, S::tooltipReveal}};
    for (const auto& [a, b] : twins) EXPECT_EQ(table(a), table(b));
}

#if !defined(__APPLE__)
TEST(StringTable, LinuxBuildNamesItsOwnPlatform) {
    EXPECT_EQ(t(Lang::en, S::clickToReveal), "Click to show in the file manager");
    EXPECT_EQ(t(Lang::en, S::systemProcess), "Linux system process \xe2\x80\x94 no separate app");
    for (S key : allKeys()) {
        for (std::string_view text : table(key)) {
            for (std::string_view word : {"Finder", "macOS", "Mac ", "\xe8\xae\xbf\xe8\xbe\xbe"})
                EXPECT_EQ(text.find(word), text.npos) << text;
        }
    }
}
#endif

TEST(Metric, TitleFollowsTheLanguage) {
    EXPECT_EQ(Metric(Metric::cpuTime).title(Lang::de), "CPU-Zeit");
    EXPECT_EQ(Metric(Metric::energy).title(Lang::zh), "\xe8\x83\xbd\xe8\x80\x97");  // 能耗
}

}  // namespace
}  // namespace sapwell
