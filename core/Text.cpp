#include "Text.hpp"

#include <utf8proc.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace sapwell::text {

namespace {

bool isAscii(std::string_view s) {
    // Eight bytes at a time: every history line passes through here at start.
    const char* p = s.data();
    std::size_t n = s.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if (word & 0x8080808080808080u) return false;
    }
    for (; n > 0; ++p, --n)
        if (static_cast<unsigned char>(*p) >= 0x80) return false;
    return true;
}

// Decodes one scalar at `pos`; on an invalid sequence returns -1 and consumes one byte.
utf8proc_int32_t decodeAt(std::string_view s, std::size_t& pos) {
    utf8proc_int32_t cp = -1;
    const auto* p = reinterpret_cast<const utf8proc_uint8_t*>(s.data() + pos);
    utf8proc_ssize_t n = utf8proc_iterate(p, static_cast<utf8proc_ssize_t>(s.size() - pos), &cp);
    if (n <= 0) {
        pos += 1;
        return -1;
    }
    pos += static_cast<std::size_t>(n);
    return cp;
}

}  // namespace

char32_t nextScalar(std::string_view utf8, std::size_t& pos) {
    const utf8proc_int32_t cp = decodeAt(utf8, pos);
    return cp < 0 ? U'\uFFFD' : static_cast<char32_t>(cp);
}

void appendScalar(std::string& out, char32_t scalar) {
    utf8proc_uint8_t buf[4];
    const utf8proc_ssize_t n = utf8proc_encode_char(static_cast<utf8proc_int32_t>(scalar), buf);
    out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(n));
}

bool isValidUtf8(std::string_view bytes) {
    if (isAscii(bytes)) return true;
    std::size_t pos = 0;
    while (pos < bytes.size())
        if (decodeAt(bytes, pos) < 0) return false;
    return true;
}

std::string repairUtf8(std::string_view bytes) {
    if (isValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        appendScalar(out, nextScalar(bytes, pos));
    }
    return out;
}

std::string nfc(std::string_view utf8) {
    if (isAscii(utf8)) return std::string(utf8);
    std::string valid = repairUtf8(utf8);
    utf8proc_uint8_t* composed = utf8proc_NFC(reinterpret_cast<const utf8proc_uint8_t*>(valid.c_str()));
    if (composed == nullptr) return valid;
    std::string out(reinterpret_cast<const char*>(composed));
    std::free(composed);
    return out;
}

int compareNames(std::string_view a, std::string_view b) {
    // UTF-8 byte order equals scalar-value order, so NFC forms compare as bytes.
    if (isAscii(a) && isAscii(b)) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    const std::string na = nfc(a), nb = nfc(b);
    const int c = na.compare(nb);
    if (c != 0) return c < 0 ? -1 : 1;
    // Canonically equal spellings still get a fixed order, so sorting stays deterministic.
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

namespace {

// Calls `f(start, end)` for each grapheme cluster until it returns false.
template <typename F>
void forEachCluster(std::string_view s, F&& f) {
    std::size_t pos = 0, clusterStart = 0;
    utf8proc_int32_t prev = -2, state = 0;
    while (pos < s.size()) {
        std::size_t at = pos;
        utf8proc_int32_t cp = decodeAt(s, pos);
        if (cp < 0) cp = 0xFFFD;
        if (prev != -2 && utf8proc_grapheme_break_stateful(prev, cp, &state)) {
            if (!f(clusterStart, at)) return;
            clusterStart = at;
        }
        prev = cp;
    }
    if (prev != -2) f(clusterStart, s.size());
}

}  // namespace

std::size_t graphemeCount(std::string_view utf8) {
    std::size_t n = 0;
    forEachCluster(utf8, [&](std::size_t, std::size_t) {
        ++n;
        return true;
    });
    return n;
}

std::string graphemePrefix(std::string_view utf8, std::size_t count) {
    std::size_t end = 0, n = 0;
    if (count == 0) return {};
    forEachCluster(utf8, [&](std::size_t, std::size_t e) {
        end = e;
        return ++n < count;
    });
    return std::string(utf8.substr(0, end));
}

std::string cutWithEllipsis(std::string_view utf8, std::size_t room,
                            std::size_t (*measure)(std::string_view cluster)) {
    if (room == 0) return {};
    std::size_t total = 0;
    forEachCluster(utf8, [&](std::size_t start, std::size_t end) {
        total += measure(utf8.substr(start, end - start));
        return total <= room;
    });
    if (total <= room) return std::string(utf8);
    std::size_t used = 0, kept = 0;
    forEachCluster(utf8, [&](std::size_t start, std::size_t end) {
        const std::size_t width = measure(utf8.substr(start, end - start));
        if (used + width > room - 1) return false;
        used += width;
        kept = end;
        return true;
    });
    return std::string(utf8.substr(0, kept)) + "\u2026";
}

std::size_t measureClusters(std::string_view utf8, std::size_t (*measure)(std::string_view cluster)) {
    std::size_t total = 0;
    forEachCluster(utf8, [&](std::size_t start, std::size_t end) {
        total += measure(utf8.substr(start, end - start));
        return true;
    });
    return total;
}

bool isControl(char32_t scalar) {
    return scalar < 0x20 || (scalar >= 0x7F && scalar < 0xA0);
}

bool isIsolate(char32_t scalar) {
    return scalar >= 0x2066 && scalar <= 0x2069;
}

bool isBidiControl(char32_t scalar) {
    return (scalar >= 0x202A && scalar <= 0x202E) || isIsolate(scalar) || scalar == 0x200E ||
           scalar == 0x200F || scalar == 0x061C;
}

std::string replaceControls(std::string_view bytes, char with) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t pos = 0; pos < bytes.size();) {
        const char32_t cp = nextScalar(bytes, pos);
        if (isControl(cp))
            out += with;
        else
            appendScalar(out, cp);
    }
    return out;
}

std::string isolate(std::string_view utf8) {
    constexpr char32_t pdi = 0x2069;
    std::string out = "\u2068";
    out.reserve(utf8.size() + 8);
    std::size_t open = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t cp = nextScalar(utf8, pos);
        if (cp == pdi) {
            if (open == 0) continue;
            --open;
        } else if (isIsolate(cp)) {
            ++open;
        }
        appendScalar(out, cp);
    }
    for (; open > 0; --open) appendScalar(out, pdi);
    appendScalar(out, pdi);
    return out;
}

}  // namespace sapwell::text
