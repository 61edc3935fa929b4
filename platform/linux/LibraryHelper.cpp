#include "LibraryHelper.hpp"

#include <vector>

#include "Tokens.hpp"

namespace sapwell::platform {

namespace {

// WebKitGTK's and WPE's WebKitWebProcess, WebKitNetworkProcess, WPEWebProcess...
bool isWebKitProcess(std::string_view file) {
    return (file.starts_with("WebKit") || file.starts_with("WPE")) && file.ends_with("Process");
}

}  // namespace

bool isLibraryHelper(std::string_view exePath) {
    if (!exePath.starts_with('/')) return false;
    std::vector<std::string_view> parts;
    for (std::string_view part = nextToken(exePath, '/'); !part.empty(); part = nextToken(exePath, '/'))
        parts.push_back(part);
    // Below one of the prefixes the system installs into ("/", "/usr", "/usr/local"), a library
    // folder: "lib", "lib64", "libexec"... with the file somewhere inside.
    std::size_t top = 0;
    if (top < parts.size() && parts[top] == "usr") ++top;
    if (top == 1 && top < parts.size() && parts[top] == "local") ++top;
    if (top + 1 >= parts.size() || !parts[top].starts_with("lib")) return false;
    for (std::size_t i = top; i + 1 < parts.size(); ++i)
        if (parts[i].starts_with("libexec")) return true;
    return isWebKitProcess(parts.back());
}

}  // namespace sapwell::platform
