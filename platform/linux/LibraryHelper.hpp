#pragma once

#include <string_view>

namespace sapwell::platform {

// True for an executable that a program keeps in a library folder to run for itself, never one a
// user starts: anything under a "libexec" folder ("/usr/libexec/…", "/usr/lib/<arch>/libexec/…")
// and WebKit's process executables in a library folder ("/usr/lib/<arch>/webkit2gtk-4.1/
// WebKitWebProcess"). Pure: the decision rests on the text of the path alone.
bool isLibraryHelper(std::string_view exePath);

}  // namespace sapwell::platform
