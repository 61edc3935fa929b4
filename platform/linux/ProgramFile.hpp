#pragma once

#include <filesystem>
#include <optional>

namespace sapwell::platform {

// The running program's own file, as the kernel knows it; absent when it cannot say. The
// modules and the icon are looked for beside it, and the start-at-login entry names it.
std::optional<std::filesystem::path> programFile();

}  // namespace sapwell::platform
