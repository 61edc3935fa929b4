#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace sapwell {

// One application's amount in the metric's stored unit (millijoules or milliseconds).
using NamedAmount = std::pair<std::string, std::uint64_t>;
using NamedAmounts = std::vector<NamedAmount>;

// Sums never wrap: a counter that would overflow stays at the largest value.
constexpr std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    return a > max - b ? max : a + b;
}

// Heaviest-first order: value descending, equal values by name ascending, names compared by
// the Unicode scalar values of their NFC forms. Total, so the result never depends on input order.
bool heavierFirst(const NamedAmount& a, const NamedAmount& b);
void sortHeaviestFirst(NamedAmounts& items);

}  // namespace sapwell
