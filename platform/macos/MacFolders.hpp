#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace sapwell::platform {

// The data folder from what Foundation reports: the user's Application Support folder when it
// is an absolute path, else the home folder followed by "Library/Application Support", else
// absent (the history then writes nothing rather than into the working directory).
std::optional<std::filesystem::path> supportFolder(const std::optional<std::string>& applicationSupport,
                                                   const std::optional<std::string>& home);

// NSTemporaryDirectory() when it is an absolute path, else /tmp.
std::filesystem::path temporaryFolder(const std::optional<std::string>& reported);

}  // namespace sapwell::platform
