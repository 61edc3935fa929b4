#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Amounts.hpp"
#include "NameTable.hpp"

namespace sapwell {

// Seven bits a byte, low bits first; the high bit says another byte follows.
inline std::uint64_t readVarint(const std::uint8_t*& p, const std::uint8_t* end) {
    if (p != end && *p < 0x80) return *p++;
    std::uint64_t n = 0;
    for (unsigned shift = 0; p != end && shift < 64; shift += 7) {
        const std::uint8_t byte = *p++;
        n |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
        if (byte < 0x80) break;
    }
    return n;
}

// The (name, amount) pairs of one closed minute in their stored order, packed: each pair is the
// name's number in the NameTable and the amount, both as variable-length integers of seven bits
// a byte, so a typical pair takes four bytes where a NamedAmount takes forty. Reading yields
// (const std::string&, amount) pairs, as a list of NamedAmount does.
class MinuteItems {
public:
    using Item = std::pair<std::string_view, std::uint64_t>;
    using value_type = NamedAmount;
    using reference = std::pair<const std::string&, std::uint64_t>;

    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = NamedAmount;
        using reference = MinuteItems::reference;
        using pointer = void;
        using difference_type = std::ptrdiff_t;

        const_iterator() = default;
        reference operator*() const { return {NameTable::text(id_), value_}; }
        // The name's number, for readers that sum by name without hashing its text.
        std::uint32_t nameId() const { return id_; }
        std::uint64_t value() const { return value_; }
        const_iterator& operator++() {
            pos_ = next_;
            decode();
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const const_iterator& other) const { return pos_ == other.pos_; }

    private:
        friend class MinuteItems;
        const_iterator(const std::uint8_t* pos, const std::uint8_t* end) : pos_(pos), end_(end) { decode(); }
        // Inline: the chart and the windows decode hundreds of thousands of pairs.
        void decode() {
            if (pos_ == end_) return;
            const std::uint8_t* p = pos_;
            id_ = static_cast<std::uint32_t>(readVarint(p, end_));
            value_ = readVarint(p, end_);
            next_ = p;
        }

        const std::uint8_t* pos_ = nullptr;
        const std::uint8_t* end_ = nullptr;
        const std::uint8_t* next_ = nullptr;
        std::uint32_t id_ = 0;
        std::uint64_t value_ = 0;
    };
    using iterator = const_iterator;

    MinuteItems() = default;
    MinuteItems(const MinuteItems& other) { assign(other.bytes_.get(), other.size_, other.count_); }
    MinuteItems(MinuteItems&& other) noexcept { take(other); }
    MinuteItems& operator=(const MinuteItems& other) {
        if (this != &other) assign(other.bytes_.get(), other.size_, other.count_);
        return *this;
    }
    MinuteItems& operator=(MinuteItems&& other) noexcept {
        if (this != &other) {
            releaseNames();
            take(other);
        }
        return *this;
    }
    // Each pair holds a reference to its name in the NameTable.
    ~MinuteItems() { releaseNames(); }
    // Implicit, so that a list of NamedAmount can stand wherever a minute's items go.
    MinuteItems(const NamedAmounts& items);
    MinuteItems(std::span<const Item> items);
    MinuteItems(std::initializer_list<Item> items) : MinuteItems(std::span<const Item>(items.begin(), items.size())) {}

    void emplace_back(std::string_view name, std::uint64_t value);
    void push_back(const Item& item) { emplace_back(item.first, item.second); }

    const_iterator begin() const { return {bytes_.get(), bytes_.get() + size_}; }
    const_iterator end() const { return {bytes_.get() + size_, bytes_.get() + size_}; }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // The pair at `index`, walking from the first; std::out_of_range past the end, as a vector.
    reference at(std::size_t index) const;

    // The encoding is canonical, so equal bytes are equal pairs.
    bool operator==(const MinuteItems& other) const;
    friend bool operator==(const MinuteItems& a, const NamedAmounts& b);

private:
    // Copies encoded pairs whose names this object already holds references to.
    void store(const std::uint8_t* bytes, std::size_t size, std::size_t count);
    // Copies another object's pairs, taking references to their names.
    void assign(const std::uint8_t* bytes, std::size_t size, std::size_t count);
    void take(MinuteItems& other) noexcept {
        bytes_ = std::move(other.bytes_);
        size_ = std::exchange(other.size_, 0);
        count_ = std::exchange(other.count_, 0);
    }
    void releaseNames() noexcept {
        for (auto it = begin(); it != end(); ++it) NameTable::release(it.nameId());
    }
    template <typename Items>
    void encodeAll(const Items& items);

    // Exactly as many bytes as the pairs take, with no spare capacity: a minute never grows once
    // closed, and eight days hold 11,520 of them.
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::uint32_t size_ = 0;   // bytes
    std::uint32_t count_ = 0;  // pairs
};

// Sums amounts by name number, remembering every name that occurs (one whose amounts are all 0
// included): summing by number spares hashing the text of every pair. It holds a reference to
// each name it has met, so the names outlive the minutes they came from until list().
class NameSums {
public:
    NameSums() = default;
    NameSums(const NameSums&) = delete;
    NameSums& operator=(const NameSums&) = delete;
    ~NameSums() {
        for (const std::uint32_t id : order_) NameTable::release(id);
    }

    void add(std::uint32_t id, std::uint64_t value) {
        if (id >= sums_.size()) grow(id);
        if (!seen_[id]) {
            seen_[id] = 1;
            order_.push_back(id);
            NameTable::retain(id);
        }
        sums_[id] = saturatingAdd(sums_[id], value);
    }
    void add(const MinuteItems& items) {
        for (auto it = items.begin(); it != items.end(); ++it) add(it.nameId(), it.value());
    }
    // Every name that occurred with its saturated sum, in the order first seen.
    NamedAmounts list() const;

private:
    void grow(std::uint32_t id);

    std::vector<std::uint64_t> sums_;  // by name number
    std::vector<std::uint8_t> seen_;   // by name number
    std::vector<std::uint32_t> order_;
};

}  // namespace sapwell
