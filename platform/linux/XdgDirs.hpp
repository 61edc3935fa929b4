#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "Seam.hpp"

namespace sapwell::platform {

// The user's data folders by the XDG base directory rules.
struct XdgDataFolders {
    std::optional<std::filesystem::path> home;  // Environment::dataFolder()
    std::vector<std::filesystem::path> dirs;    // $XDG_DATA_DIRS, else /usr/local/share:/usr/share
};

// Unset or empty variables take their defaults; relative paths are ignored, as the rules say.
XdgDataFolders xdgDataFolders(const Environment& env);

// "<folder>/applications" for the data home, then for each data folder in order.
std::vector<std::filesystem::path> applicationFolders(const XdgDataFolders& folders);

}  // namespace sapwell::platform
