#pragma once

#include <string_view>

namespace sapwell::platform {

// The next token of `rest` up to `separator`, consumed from its front; runs of separators count
// as one, so empty tokens never come back (a path's "//", mountinfo's single spaces alike).
inline std::string_view nextToken(std::string_view& rest, char separator) {
    while (!rest.empty() && rest.front() == separator) rest.remove_prefix(1);
    const auto end = rest.find(separator);
    const std::string_view token = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    return token;
}

// The next line of `rest`, without its line feed, consumed from its front; empty lines are
// passed over as no reader of kernel or desktop files has a use for them.
inline std::string_view nextLine(std::string_view& rest) { return nextToken(rest, '\n'); }

}  // namespace sapwell::platform
