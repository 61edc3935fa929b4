#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sapwell {

// A key as the terminal sends it: a plain byte, or one of the keys that move the view.
struct Key {
    enum class Kind { character, up, down, pageUp, pageDown, home, end, other };
    Kind kind = Kind::other;
    char ch = 0;  // the byte of a character
    bool operator==(const Key&) const = default;
};

// Turns the bytes read from a terminal into keys. Cursor and editing keys arrive as escape
// sequences, CSI ("ESC [", with parameters and a final byte) or SS3 ("ESC O" and one byte, in
// the terminal's application mode), and a read may end in the middle of one: the rest waits for
// the next read. Sequences of other keys read as `other`, never as their bytes.
class KeyReader {
public:
    std::vector<Key> feed(std::string_view bytes);

private:
    std::string pending_;  // an unfinished escape sequence
};

}  // namespace sapwell
