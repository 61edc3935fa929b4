#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "I18n.hpp"

namespace sapwell {

// Why the history file cannot be read whole or written, in the user's terms rather than errno's.
enum class FileFault : std::uint8_t {
    none,
    notRegular,     // a folder, a pipe, a device, or a link to nowhere
    notOwned,       // another user's file, or a link to one
    diskFull,
    readOnly,
    denied,
    failed,         // any other error of the system
    otherInstance,  // another running Sapwell writes it
    notLocked,      // the instance lock cannot be taken
    noFolder,       // there is no data folder to keep it in
};

// The fault an errno value means; `failed` for one without a closer meaning, 0 included (a
// failure that set none).
FileFault faultOf(int errnum);

// "History not saved: disk full" in `lang`; empty for none.
std::string notSavedText(FileFault fault, Lang lang);

// Opens `path` (with O_CLOEXEC and O_NONBLOCK added to `flags`, so a pipe or a device can never
// hold the program) when it is a regular file; through a link only to a file of this user, and
// with `ownedOnly` only to a file of this user at all. Returns -1 otherwise, with the reason in
// `fault`, which stays `none` when nothing is there.
int openRegular(const std::filesystem::path& path, int flags, bool ownedOnly, FileFault& fault);

// True when `path` itself, not a link, is a regular file of this user: one that may be replaced.
bool ownRegularFile(const std::filesystem::path& path);

}  // namespace sapwell
