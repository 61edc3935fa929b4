#include "DesktopEntry.hpp"

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

}  // namespace

std::optional<std::string> desktopEntryName(std::string_view content) {
    bool inEntry = false;
    while (!content.empty()) {
        const std::string_view line = trim(nextLine(content));
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            if (inEntry) break;  // the group has ended
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry) continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos || trim(line.substr(0, eq)) != "Name") continue;
        std::string name = text::repairUtf8(unescapeValue(trim(line.substr(eq + 1))));
        if (name.empty()) return std::nullopt;
        return name;
    }
    return std::nullopt;
}

DesktopEntries::DesktopEntries(std::vector<std::filesystem::path> applicationFolders)
    : folders_(std::move(applicationFolders)) {}

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
        found = Entry{text::repairUtf8(file.string()), desktopEntryName(content)};
        break;
    }
    const auto [it, _] = cache_.emplace(appId, std::move(found));
    return it->second ? &*it->second : nullptr;
}

}  // namespace sapwell::platform
