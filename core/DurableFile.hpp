#pragma once

#include <filesystem>
#include <string_view>

#include "FileFault.hpp"

namespace sapwell {

// Writing files so that a crash or a full disk never leaves a torn or glued line behind.

// Creates a folder and any missing parents, for the user alone; false when it still is not there.
bool makeFolders(const std::filesystem::path& folder);

// Makes a new or renamed entry of `folder` durable.
void syncFolder(const std::filesystem::path& folder);

// Appends whole lines to `path`, creating it (and its folder, should that have been removed) when
// missing, but never through a link. Only a regular file of this user is written to (directly or
// through a link). A partial last line left by an earlier failure is cut off first; a failed write
// is taken back. With `sync`, the lines are on disk when this returns FileFault::none; otherwise
// it says why none were appended.
FileFault appendLines(const std::filesystem::path& path, std::string_view bytes, bool sync);

// Replaces `path` by `bytes` in one rename, keeping the permissions of the user's own file
// (others get `mode`); a reader or a crash sees the old file or the new one, never a mix. Safe
// in a folder others can write to: a link planted at `path` is replaced, never followed. With
// `sync`, the new file is on disk when this returns true; on false, errno says why.
bool replaceFile(const std::filesystem::path& path, std::string_view bytes, bool sync,
                 unsigned mode = 0644);

}  // namespace sapwell
