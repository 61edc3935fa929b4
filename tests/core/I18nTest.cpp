#include <algorithm>
#include <gtest/gtest.h>

#include <sstream>

#include "Fakes.hpp"
#include "I18n.hpp"
#include "Text.hpp"

namespace sapwell {
namespace {

constexpr Lang en = Lang::en, de = Lang::de, ru = Lang::ru, zh = Lang::zh;

TEST(Lang, ParsesLanguageAndLocaleCodes) {
    const std::pair<std::string, std::optional<Lang>> cases[] = {{"de_CH", de}, {"zh-Hans-CN", zh}, {"zh_TW", zh},
        {"zh-Hant", zh}, {"-ru", ru}, {"__en--US", en}, {"", {}}, {"_", {}}, {"EN", {}}, {"pt-BR", {}}, {"eng", {}}, {"C", {}}};
    for (const auto& [code, lang] : cases) EXPECT_EQ(Lang::from(code), lang) << '"' << code << '"';
}

TEST(Lang, DetectsOverrideThenPosixOrderOfNonEmptyLocaleVariablesThenEnglish) {
    const std::pair<std::string, Lang> cases[] = {{"LANG=fr_FR", en}, {"SAPWELL_LANG= LANG=de", de}, {"", en},
        {"LANG=C.UTF-8", en}, {"SAPWELL_LANG=fr LANG=de_DE", de}, {"LC_ALL=POSIX LANG=de_DE", en}, {"LANG=ru@latin", ru},
        {"LC_ALL= LC_MESSAGES=ru LANG=de", ru}, {"LANG=de.UTF-8", de}, {"SAPWELL_LANG=de LANG=ru_RU", de},
        {"LC_ALL=zh_CN LC_MESSAGES=ru LANG=de", zh}};
    for (const auto& [vars, lang] : cases) {
        testing::FakeEnvironment env;  // "K=v K2=v2"
        std::istringstream in(vars);
        for (std::string k, v; getline(in, k, '=') && getline(in, v, ' ');) env.vars[k] = v;
        EXPECT_EQ(Lang::detect(env), lang) << vars;
    }
}

// Other programs' texts are read in the language ours are shown in.
TEST(Lang, ReadingLocaleFollowsTheShownLanguage) {
    const std::pair<std::string, std::string> cases[] = {{"LANG=de_AT.UTF-8@euro", "de_AT.UTF-8@euro"},
        {"LC_ALL=zh_TW.UTF-8 LANG=de", "zh_TW.UTF-8"}, {"SAPWELL_LANG=ru LANG=de_DE", "ru_RU"}, {"LANG=fr_FR", "en_US"},
        {"", "en_US"}, {"SAPWELL_LANG=zh LANG=zh_SG", "zh_SG"}};
    for (const auto& [vars, locale] : cases) {
        testing::FakeEnvironment env;  // "K=v K2=v2"
        std::istringstream in(vars);
        for (std::string k, v; getline(in, k, '=') && getline(in, v, ' ');) env.vars[k] = v;
        EXPECT_EQ(readingLocale(env), locale) << vars;
    }
}

TEST(StringTable, EveryTextIsPresentWellFormedAndComposed) {
    const auto placeholders = [](std::string_view text) {  // the "{x}" in a text, sorted
        std::string found;
        for (std::size_t at = text.find('{'); at != text.npos; at = text.find('{', at + 1))
            if (at + 2 < text.size() && text[at + 2] == '}') found += text[at + 1];
        std::ranges::sort(found);
        return found;
    };
    for (S key : allKeys())
        for (std::size_t col = 0; const std::string_view text : table(key)) {
            EXPECT_FALSE(text.empty()) << int(key);
            EXPECT_EQ(text::nfc(text), text) << int(key);
            EXPECT_EQ(text.find("..."), text.npos) << int(key);
            EXPECT_EQ(t(Lang::all[col++], key), text) << int(key);
            EXPECT_EQ(placeholders(text), placeholders(t(Lang::en, key))) << int(key) << " " << text;
#if !defined(__APPLE__)  // the Linux build names its own platform
            for (std::string_view word : {"Finder", "macOS", "Mac ", "\u8bbf\u8fbe"}) EXPECT_EQ(text.find(word), text.npos) << text;
#endif
        }
}

TEST(StringTable, SpecialCharactersAreTheExactCodePointsEscapedHere) {
    using enum S;
    const std::tuple<Lang, S, std::string> cases[] = {
#if !defined(__APPLE__)
        {en, clickToReveal, "Click to show in the file manager"}, {en, systemProcess, "Linux system services \u2014 no separate app"},
        {de, commandLineProgram, "Kommandozeilen- oder Hintergrundprogramm \u2014 kein Desktop-Eintrag gefunden"},
        {zh, cpuProxy, "CPU 时间替代值\uff1a此计算机不提供按应用的能耗数据"},
#endif
        {ru, wattHour, "Вт\u00b7ч"}, {en, openChart, "Open Chart\u2026"}, {en, unitMicrowatt, "\u00b5W"},
        {en, chartWindowTitle, "Sapwell \u2014 Battery Usage"}, {ru, batteryCapacity, "\u0401мкость батареи"},
        {zh, noBattery, "无电池\uff0c指标"}, {zh, runtimeEstimate, "仅进程最多可用 {t}\uff08不含屏幕\uff09"}};
    for (const auto& [lang, key, text] : cases) EXPECT_EQ(t(lang, key), text);
}

}  // namespace
}  // namespace sapwell
