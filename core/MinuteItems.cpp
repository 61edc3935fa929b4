#include "MinuteItems.hpp"

#include <algorithm>
#include <stdexcept>

namespace sapwell {

namespace {

constexpr std::size_t maxItemBytes = 5 + 10;  // a 32-bit number and a 64-bit amount

std::uint8_t* putVarint(std::uint8_t* out, std::uint64_t n) {
    while (n >= 0x80) {
        *out++ = static_cast<std::uint8_t>(n | 0x80);
        n >>= 7;
    }
    *out++ = static_cast<std::uint8_t>(n);
    return out;
}

std::uint8_t* putItem(std::uint8_t* out, std::string_view name, std::uint64_t value) {
    return putVarint(putVarint(out, NameTable::intern(name)), value);
}

// The pairs encoded into a buffer of exactly their size: a minute's list never grows once built.
template <typename Items>
std::vector<std::uint8_t> encodeExact(const Items& items) {
    constexpr std::size_t onStack = 32;
    std::uint8_t stack[onStack * maxItemBytes];
    std::vector<std::uint8_t> heap;
    std::uint8_t* start = stack;
    if (items.size() > onStack) {
        heap.resize(items.size() * maxItemBytes);
        start = heap.data();
    }
    std::uint8_t* out = start;
    for (const auto& [name, value] : items) out = putItem(out, name, value);
    return {start, out};
}

}  // namespace

MinuteItems::MinuteItems(const NamedAmounts& items)
    : bytes_(encodeExact(items)), count_(static_cast<std::uint32_t>(items.size())) {}

MinuteItems::MinuteItems(std::span<const Item> items)
    : bytes_(encodeExact(items)), count_(static_cast<std::uint32_t>(items.size())) {}

void MinuteItems::emplace_back(std::string_view name, std::uint64_t value) {
    std::uint8_t buf[maxItemBytes];
    bytes_.insert(bytes_.end(), buf, putItem(buf, name, value));
    ++count_;
}

MinuteItems::reference MinuteItems::at(std::size_t index) const {
    if (index >= count_) throw std::out_of_range("MinuteItems::at");
    auto it = begin();
    while (index-- > 0) ++it;
    return *it;
}

bool operator==(const MinuteItems& a, const NamedAmounts& b) {
    if (a.size() != b.size()) return false;
    return std::equal(a.begin(), a.end(), b.begin(), [](const MinuteItems::reference& x, const NamedAmount& y) {
        return x.first == y.first && x.second == y.second;
    });
}

void NameSums::grow(std::uint32_t id) {
    // Sized for every name there is, so this happens about once per summing.
    const std::size_t size = std::max<std::size_t>(NameTable::size(), std::size_t{id} + 1);
    sums_.resize(size, 0);
    seen_.resize(size, 0);
}

NamedAmounts NameSums::list() const {
    NamedAmounts out;
    out.reserve(order_.size());
    for (const std::uint32_t id : order_) out.emplace_back(NameTable::text(id), sums_[id]);
    return out;
}

}  // namespace sapwell
