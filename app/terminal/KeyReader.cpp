#include "KeyReader.hpp"

namespace sapwell {

namespace {

constexpr char escape = '\x1b';
// Longer than any key's sequence: a runaway one is dropped rather than kept growing.
constexpr std::size_t longestSequence = 32;

Key::Kind finalKey(char final) {
    switch (final) {
        case 'A': return Key::Kind::up;
        case 'B': return Key::Kind::down;
        case 'H': return Key::Kind::home;
        case 'F': return Key::Kind::end;
        default: return Key::Kind::other;
    }
}

// "ESC [ <n> ~" keys by their first parameter (VT220 and rxvt numbering).
Key::Kind tildeKey(std::string_view params) {
    const std::string_view first = params.substr(0, params.find(';'));
    if (first == "1" || first == "7") return Key::Kind::home;
    if (first == "4" || first == "8") return Key::Kind::end;
    if (first == "5") return Key::Kind::pageUp;
    if (first == "6") return Key::Kind::pageDown;
    return Key::Kind::other;
}

}  // namespace

std::vector<Key> KeyReader::feed(std::string_view bytes) {
    pending_.append(bytes);
    std::vector<Key> keys;
    const std::string_view in = pending_;
    std::size_t i = 0;
    while (i < in.size()) {
        if (in[i] != escape) {
            keys.push_back({Key::Kind::character, in[i]});
            ++i;
            continue;
        }
        if (i + 1 == in.size()) break;  // a lone ESC so far: wait for what follows
        const char introducer = in[i + 1];
        if (introducer == 'O') {
            if (i + 2 == in.size()) break;
            keys.push_back({finalKey(in[i + 2])});
            i += 3;
        } else if (introducer == '[') {
            // Parameter and intermediate bytes (0x20-0x3F), then the final byte (0x40-0x7E).
            std::size_t end = i + 2;
            while (end < in.size() && in[end] >= 0x20 && in[end] <= 0x3F) ++end;
            if (end == in.size()) {
                if (end - i > longestSequence) {
                    keys.push_back({});
                    i = end;
                }
                break;
            }
            const char final = in[end];
            if (final < 0x40 || final > 0x7E) {  // broken off: the byte starts something new
                keys.push_back({});
                i = end;
                continue;
            }
            const std::string_view params = in.substr(i + 2, end - i - 2);
            keys.push_back({final == '~' ? tildeKey(params) : finalKey(final)});
            i = end + 1;
        } else {
            // Escape pressed on its own before another key: that key still counts.
            keys.push_back({});
            ++i;
        }
    }
    pending_.erase(0, i);
    return keys;
}

}  // namespace sapwell
