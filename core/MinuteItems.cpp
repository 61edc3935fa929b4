#include "MinuteItems.hpp"

#include <algorithm>
#include <cstring>
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

// Encodes the pairs into `out`, which has room for maxItemBytes per pair; returns the end.
template <typename Items>
std::uint8_t* encode(const Items& items, std::uint8_t* out) {
    for (const auto& [name, value] : items) out = putItem(out, name, value);
    return out;
}

}  // namespace

void MinuteItems::store(const std::uint8_t* bytes, std::size_t size, std::size_t count) {
    std::unique_ptr<std::uint8_t[]> copy;
    if (size > 0) {
        copy = std::unique_ptr<std::uint8_t[]>(new std::uint8_t[size]);
        std::memcpy(copy.get(), bytes, size);
    }
    releaseNames();
    bytes_ = std::move(copy);
    size_ = static_cast<std::uint32_t>(size);
    count_ = static_cast<std::uint32_t>(count);
}

void MinuteItems::assign(const std::uint8_t* bytes, std::size_t size, std::size_t count) {
    // Taken before the pairs being replaced let go of theirs, for a name that both hold.
    for (const_iterator it(bytes, bytes + size), end(bytes + size, bytes + size); it != end; ++it)
        NameTable::retain(it.nameId());
    store(bytes, size, count);
}

template <typename Items>
void MinuteItems::encodeAll(const Items& items) {
    // Encoded on the stack and then copied once into a buffer of exactly their size.
    constexpr std::size_t onStack = 32;
    std::uint8_t stack[onStack * maxItemBytes];
    std::unique_ptr<std::uint8_t[]> heap;
    std::uint8_t* start = stack;
    if (items.size() > onStack) {
        heap = std::unique_ptr<std::uint8_t[]>(new std::uint8_t[items.size() * maxItemBytes]);
        start = heap.get();
    }
    // Encoding took a reference to each name already.
    store(start, static_cast<std::size_t>(encode(items, start) - start), items.size());
}

MinuteItems::MinuteItems(const NamedAmounts& items) { encodeAll(items); }

MinuteItems::MinuteItems(std::span<const Item> items) { encodeAll(items); }

void MinuteItems::emplace_back(std::string_view name, std::uint64_t value) {
    std::uint8_t buf[maxItemBytes];
    const std::size_t added = static_cast<std::size_t>(putItem(buf, name, value) - buf);
    auto grown = std::unique_ptr<std::uint8_t[]>(new std::uint8_t[size_ + added]);
    if (size_ > 0) std::memcpy(grown.get(), bytes_.get(), size_);
    std::memcpy(grown.get() + size_, buf, added);
    bytes_ = std::move(grown);
    size_ += static_cast<std::uint32_t>(added);
    ++count_;
}

bool MinuteItems::operator==(const MinuteItems& other) const {
    return count_ == other.count_ && size_ == other.size_ &&
           (size_ == 0 || std::memcmp(bytes_.get(), other.bytes_.get(), size_) == 0);
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
