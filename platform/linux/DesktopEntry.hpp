#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sapwell::platform {

// The "Name=" of the "[Desktop Entry]" group of a desktop file, its escapes undone and invalid
// UTF-8 repaired. Absent when the group or key is missing or the name is empty.
std::optional<std::string> desktopEntryName(std::string_view content);

// Finds "<appid>.desktop" in a list of applications folders, first folder first, and
// remembers every answer, found or not, for the life of the object.
class DesktopEntries {
public:
    struct Entry {
        std::string path;                 // the desktop file
        std::optional<std::string> name;  // its Name=, when it has one
    };

    explicit DesktopEntries(std::vector<std::filesystem::path> applicationFolders);

    // The entry for an application id, or null when no folder holds one.
    const Entry* find(const std::string& appId);

private:
    std::vector<std::filesystem::path> folders_;
    std::unordered_map<std::string, std::optional<Entry>> cache_;
};

}  // namespace sapwell::platform
