#include "Amounts.hpp"

#include <algorithm>

#include "Text.hpp"

namespace sapwell {

bool heavierFirst(const NamedAmount& a, const NamedAmount& b) {
    if (a.second != b.second) return a.second > b.second;
    return text::compareNames(a.first, b.first) < 0;
}

void sortHeaviestFirst(NamedAmounts& items) {
    std::sort(items.begin(), items.end(), heavierFirst);
}

}  // namespace sapwell
