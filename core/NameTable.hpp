#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sapwell {

// Every distinct application name in use, stored once and numbered. Eight days of minutes repeat
// a few dozen names a quarter of a million times; the minutes keep the numbers and this keeps the
// text. A name lives while something holds a reference to its number: a machine that keeps
// starting programs of new names (build trees, test runners) meets an unbounded set of them, and
// a name that no retained minute holds any longer is dropped and its number given out again.
class NameTable {
public:
    // The number of `name`, adding it when it is new, with one more reference to it.
    static std::uint32_t intern(std::string_view name);
    // Another reference to a number that is in use.
    static void retain(std::uint32_t id);
    // Gives up one reference; the name goes with its last one.
    static void release(std::uint32_t id);
    // The number of `name` if it is in use; never adds.
    static std::optional<std::uint32_t> find(std::string_view name);
    // The text of a number in use; the reference stays valid while the number is held.
    static const std::string& text(std::uint32_t id);
    // One past the highest number in use so far: every number is below it.
    static std::size_t size();
    // How many names are in use.
    static std::size_t count();
};

}  // namespace sapwell
