#include "NameTable.hpp"

#include <algorithm>
#include <cstring>
#include <deque>
#include <vector>

namespace sapwell {

namespace {

// A name's length and its first and last eight bytes (overlapping for short names): a name of
// up to sixteen bytes is wholly in it, so most names compare without reading their text, and it
// hashes in a few instructions.
struct Key {
    std::uint64_t head = 0, tail = 0;
    std::size_t size = 0;

    explicit Key(std::string_view s) : size(s.size()) {
        // Overlapping loads rather than a loop over the bytes: each length range is covered whole.
        if (size >= 8) {
            std::memcpy(&head, s.data(), 8);
            std::memcpy(&tail, s.data() + size - 8, 8);
        } else if (size >= 4) {
            std::uint32_t first = 0, last = 0;
            std::memcpy(&first, s.data(), 4);
            std::memcpy(&last, s.data() + size - 4, 4);
            head = first | std::uint64_t{last} << 32;
        } else if (size > 0) {
            const auto byte = [&](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(s[i])}; };
            head = byte(0) | byte(size / 2) << 8 | byte(size - 1) << 16;
        }
    }
    std::uint64_t hash() const {
        const std::uint64_t h = ((head * 0x9E3779B97F4A7C15u) ^ tail ^ size) * 0xC2B2AE3D27D4EB4Fu;
        return h ^ (h >> 32);
    }
    bool sameAs(const Key& other) const { return head == other.head && tail == other.tail && size == other.size; }
};

// Open addressing with linear probing over a power-of-two table of numbers plus one (0 is a
// free slot), at most half full: a lookup is usually one probe and one comparison. The slot is
// taken from the top bits of the hash, which every byte of the key reaches.
struct Table {
    std::deque<std::string> texts;  // by number; a deque never moves its elements
    std::vector<Key> keys;          // by number
    std::vector<std::uint32_t> refs;  // by number; 0 for a number given back
    std::vector<std::uint32_t> unused;  // numbers given back, to be given out again
    std::size_t live = 0;
    std::vector<std::uint32_t> slots = std::vector<std::uint32_t>(64, 0);
    unsigned shift = 64 - 6;

    std::size_t home(const Key& key) const { return key.hash() >> shift; }

    std::uint32_t* slotFor(std::string_view name, const Key& key) {
        const std::size_t mask = slots.size() - 1;
        for (std::size_t i = home(key);; i = (i + 1) & mask) {
            const std::uint32_t entry = slots[i];
            if (entry == 0) return &slots[i];
            // Bytes 8 to size - 8 are the only ones the key leaves out.
            if (keys[entry - 1].sameAs(key) &&
                (key.size <= 16 || std::memcmp(texts[entry - 1].data() + 8, name.data() + 8, key.size - 16) == 0))
                return &slots[i];
        }
    }

    void grow() {
        std::vector<std::uint32_t> old(slots.size() * 2, 0);
        old.swap(slots);
        --shift;
        for (const std::uint32_t entry : old)
            if (entry != 0) *slotFor(texts[entry - 1], keys[entry - 1]) = entry;
    }

    // Empties the slot of `id` and moves later entries of its probe run back into the gap, so
    // every entry stays reachable from its home slot without markers for removed ones.
    void remove(std::uint32_t id) {
        const std::size_t mask = slots.size() - 1;
        std::size_t gap = home(keys[id]);
        while (slots[gap] != id + 1) gap = (gap + 1) & mask;
        slots[gap] = 0;
        for (std::size_t i = (gap + 1) & mask; slots[i] != 0; i = (i + 1) & mask) {
            const std::size_t want = home(keys[slots[i] - 1]);
            // The entry may move to the gap unless its home lies cyclically in (gap, i].
            const bool homeAfterGap = gap < i ? (want > gap && want <= i) : (want > gap || want <= i);
            if (homeAfterGap) continue;
            slots[gap] = slots[i];
            slots[i] = 0;
            gap = i;
        }
    }
};

Table& table() {
    // Never destroyed: a name may be read by whatever runs last at exit.
    static Table* t = new Table;
    return *t;
}

}  // namespace

std::uint32_t NameTable::intern(std::string_view name) {
    Table& t = table();
    const Key key(name);
    std::uint32_t* slot = t.slotFor(name, key);
    if (*slot != 0) {
        ++t.refs[*slot - 1];
        return *slot - 1;
    }
    std::uint32_t id = 0;
    if (!t.unused.empty()) {
        id = t.unused.back();
        t.unused.pop_back();
        t.texts[id] = name;
        t.keys[id] = key;
        t.refs[id] = 1;
    } else {
        id = static_cast<std::uint32_t>(t.texts.size());
        t.texts.emplace_back(name);
        t.keys.push_back(key);
        t.refs.push_back(1);
    }
    *slot = id + 1;
    ++t.live;
    if (t.live * 2 > t.slots.size()) t.grow();
    return id;
}

void NameTable::retain(std::uint32_t id) { ++table().refs[id]; }

void NameTable::release(std::uint32_t id) {
    Table& t = table();
    if (t.refs[id] == 0 || --t.refs[id] > 0) return;
    t.remove(id);
    std::string().swap(t.texts[id]);
    t.unused.push_back(id);
    --t.live;
}

std::optional<std::uint32_t> NameTable::find(std::string_view name) {
    const std::uint32_t slot = *table().slotFor(name, Key(name));
    if (slot == 0) return std::nullopt;
    return slot - 1;
}

const std::string& NameTable::text(std::uint32_t id) { return table().texts[id]; }

std::size_t NameTable::size() { return table().texts.size(); }

std::size_t NameTable::count() { return table().live; }

}  // namespace sapwell
