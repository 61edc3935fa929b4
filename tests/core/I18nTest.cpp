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

// The override, then the POSIX order of non-empty locale variables, then English; other programs'
// texts are read in the language ours are shown in.
TEST(Lang, DetectsTheShownLanguageAndTheLocaleToReadOtherProgramsIn) {
    const std::tuple<std::string, Lang, std::string> cases[] = {{"LANG=fr_FR", en, "en_US"},
        {"SAPWELL_LANG= LANG=de", de, "de"}, {"", en, "en_US"}, {"LANG=C.UTF-8", en, "en_US"},
        {"SAPWELL_LANG=fr LANG=de_DE", de, "de_DE"}, {"LC_ALL=POSIX LANG=de_DE", en, "en_US"}, {"LANG=ru@latin", ru, "ru@latin"},
        {"LC_ALL= LC_MESSAGES=ru LANG=de", ru, "ru"}, {"LANG=de.UTF-8", de, "de.UTF-8"}, {"SAPWELL_LANG=de LANG=ru_RU", de, "de_DE"},
        {"LC_ALL=zh_CN LC_MESSAGES=ru LANG=de", zh, "zh_CN"}, {"LANG=de_AT.UTF-8@euro", de, "de_AT.UTF-8@euro"},
        {"LC_ALL=zh_TW.UTF-8 LANG=de", zh, "zh_TW.UTF-8"}, {"SAPWELL_LANG=ru LANG=de_DE", ru, "ru_RU"},
        {"SAPWELL_LANG=zh LANG=zh_SG", zh, "zh_SG"}};
    for (const auto& [vars, lang, locale] : cases) {
        testing::FakeEnvironment env;  // "K=v K2=v2"
        std::istringstream in(vars);
        for (std::string k, v; getline(in, k, '=') && getline(in, v, ' ');) env.vars[k] = v;
        EXPECT_EQ(std::pair(Lang::detect(env), readingLocale(env)), std::pair(lang, locale)) << vars;
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

}  // namespace
}  // namespace sapwell
