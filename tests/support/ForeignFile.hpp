#pragma once

#include <unistd.h>

#include <filesystem>

#include "TempDir.hpp"

namespace sapwell::testing {

// A regular file of another user's: made in `dir` and given to nobody when running as root,
// else the system's own account list.
inline std::filesystem::path foreignFile(const TempDir& dir) {
    if (geteuid() != 0) return "/etc/passwd";
    const auto path = dir.write("foreign.txt", "someone else's\nlast line");
    return chown(path.c_str(), 65534, 65534) == 0 ? path : std::filesystem::path();
}

}  // namespace sapwell::testing
