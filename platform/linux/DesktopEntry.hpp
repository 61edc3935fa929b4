#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sapwell::platform {

// The name of the "[Desktop Entry]" group of a desktop file in the language of a POSIX locale
// ("de_AT.UTF-8@euro"): the first non-empty of "Name[de_AT@euro]", "Name[de_AT]", "Name[de@euro]",
// "Name[de]" and "Name", its escapes undone and invalid UTF-8 repaired. Absent when the group has
// none of them or only empty ones.
std::optional<std::string> desktopEntryName(std::string_view content, std::string_view locale = {});

// Finds "<appid>.desktop" in a list of applications folders, first folder first, and
// remembers every answer, found or not, for the life of the object.
class DesktopEntries {
public:
    struct Entry {
        std::string path;                 // the desktop file
        std::optional<std::string> name;  // its Name=, when it has one
    };

    // Names are read in the language of `locale`, as desktopEntryName does.
    explicit DesktopEntries(std::vector<std::filesystem::path> applicationFolders,
                            std::string locale = {});

    // The entry for an application id, or null when no folder holds one.
    const Entry* find(const std::string& appId);

private:
    std::vector<std::filesystem::path> folders_;
    std::string locale_;
    std::unordered_map<std::string, std::optional<Entry>> cache_;
};

}  // namespace sapwell::platform
