#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sapwell {

// Every distinct application name, stored once for the life of the process and numbered in the
// order it was first seen. Eight days of minutes repeat a few dozen names a quarter of a million
// times; the minutes keep the numbers and this keeps the text. Numbers are never reused or
// removed, so every copy of a minute stays readable; a machine runs a bounded set of
// applications, so the table stays small.
class NameTable {
public:
    // The number of `name`, adding it when it is new.
    static std::uint32_t intern(std::string_view name);
    // The number of `name` if it has one; never adds.
    static std::optional<std::uint32_t> find(std::string_view name);
    // The text of a number that intern() gave; the reference stays valid for the process.
    static const std::string& text(std::uint32_t id);
    // How many names there are: every number is below it.
    static std::size_t size();
};

}  // namespace sapwell
