#pragma once

#include <string>
#include <string_view>

namespace sapwell::testing {

// `prefix` followed by the decimal `n`. Spelled this way rather than "a" + std::to_string(n): g++ 12
// at -O3 takes inserting text in front of a temporary string for an overlapping copy (a known
// false -Wrestrict), and Release builds treat that warning as an error.
inline std::string numbered(std::string_view prefix, auto n) {
    std::string s(prefix);
    s += std::to_string(n);
    return s;
}

}  // namespace sapwell::testing
