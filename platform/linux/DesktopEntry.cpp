#include "DesktopEntry.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "Text.hpp"
#include "Tokens.hpp"

namespace sapwell::platform {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The string escapes of desktop files: \s \n \t \r \\.
std::string unescapeValue(std::string_view v) {
    std::string out;
    out.reserve(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 == v.size()) {
            out.push_back(v[i]);
            continue;
        }
        static constexpr std::string_view from = "sntr\\", to = " \n\t\r\\";
        const char c = v[++i];
        if (const auto k = from.find(c); k != std::string_view::npos) {
            out.push_back(to[k]);
        } else {
            out.push_back('\\');
            out.push_back(c);
        }
    }
    return out;
}

// Desktop files are small; anything larger than this is not one.
constexpr std::uintmax_t maxDesktopFileSize = 1 << 20;

// The keys a locale's name is looked for under, most exact first: "Name[ll_CC@MOD]",
// "Name[ll_CC]", "Name[ll@MOD]", "Name[ll]"; the encoding plays no part.
std::vector<std::string> localizedKeys(std::string_view locale) {
    const auto at = locale.find('@');
    const std::string_view modifier = at == std::string_view::npos ? "" : locale.substr(at + 1);
    const std::string_view rest = locale.substr(0, std::min(locale.find('.'), at));
    const auto underscore = rest.find('_');
    const std::string_view lang = rest.substr(0, underscore);
    const std::string_view country =
        underscore == std::string_view::npos ? "" : rest.substr(underscore + 1);
    std::vector<std::string> keys;
    if (lang.empty()) return keys;
    const auto key = [&](std::string_view c, std::string_view m) {
        std::string k = "Name[";
        k.append(lang);
        if (!c.empty()) k.append("_").append(c);
        if (!m.empty()) k.append("@").append(m);
        keys.push_back(k.append("]"));
    };
    if (!country.empty() && !modifier.empty()) key(country, modifier);
    if (!country.empty()) key(country, "");
    if (!modifier.empty()) key("", modifier);
    key("", "");
    return keys;
}

}  // namespace

std::optional<std::string> desktopEntryName(std::string_view content, std::string_view locale) {
    const std::vector<std::string> keys = localizedKeys(locale);
    // The best found so far: its rank among the keys, the plain "Name" ranking last.
    std::optional<std::string> best;
    std::size_t bestRank = keys.size() + 1;
    bool inEntry = false;
    while (!content.empty() && bestRank > 0) {
        const std::string_view line = trim(nextLine(content));
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            if (inEntry) break;  // the group has ended
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry) continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = trim(line.substr(0, eq));
        std::size_t rank = 0;
        if (key == "Name") {
            rank = keys.size();
        } else {
            while (rank < keys.size() && key != keys[rank]) ++rank;
            if (rank == keys.size()) continue;
        }
        if (rank >= bestRank) continue;
        std::string name = text::repairUtf8(unescapeValue(trim(line.substr(eq + 1))));
        if (name.empty()) continue;
        best = std::move(name);
        bestRank = rank;
    }
    return best;
}

DesktopEntries::DesktopEntries(std::vector<std::filesystem::path> applicationFolders,
                               std::string locale)
    : folders_(std::move(applicationFolders)), locale_(std::move(locale)) {}

const DesktopEntries::Entry* DesktopEntries::find(const std::string& appId) {
    if (auto it = cache_.find(appId); it != cache_.end())
        return it->second ? &*it->second : nullptr;
    std::optional<Entry> found;
    for (const auto& folder : folders_) {
        const auto file = folder / (appId + ".desktop");
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) continue;
        const auto size = std::filesystem::file_size(file, ec);
        if (ec || size > maxDesktopFileSize) continue;
        std::ifstream in(file, std::ios::binary);
        if (!in) continue;
        const std::string content{std::istreambuf_iterator<char>(in), {}};
        found = Entry{text::repairUtf8(file.string()), desktopEntryName(content, locale_)};
        break;
    }
    const auto [it, _] = cache_.emplace(appId, std::move(found));
    return it->second ? &*it->second : nullptr;
}

}  // namespace sapwell::platform
