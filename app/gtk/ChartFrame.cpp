#include "ChartFrame.hpp"

#include <charconv>

namespace sapwell {

namespace {
constexpr std::size_t headerSize = 5;
}

std::string encodeFrame(char kind, std::string_view body) {
    const auto n = static_cast<std::uint32_t>(body.size());
    std::string frame;
    frame.reserve(headerSize + body.size());
    frame += kind;
    for (int shift = 24; shift >= 0; shift -= 8) frame += static_cast<char>((n >> shift) & 0xff);
    frame += body;
    return frame;
}

void FrameReader::feed(std::string_view bytes) {
    if (broken_) return;
    // What was taken is dropped only now and then, so a long page is not copied for every piece.
    if (start_ > 0 && start_ >= buffer_.size() / 2) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    buffer_ += bytes;
}

std::optional<ChartFrame> FrameReader::next() {
    if (broken_ || buffer_.size() - start_ < headerSize) return std::nullopt;
    std::uint32_t n = 0;
    for (std::size_t i = 1; i < headerSize; ++i) {
        n = (n << 8) | static_cast<unsigned char>(buffer_[start_ + i]);
    }
    if (n > chartFrameLimit) {
        broken_ = true;
        buffer_.clear();
        start_ = 0;
        return std::nullopt;
    }
    if (buffer_.size() - start_ - headerSize < n) return std::nullopt;
    ChartFrame frame{buffer_[start_], buffer_.substr(start_ + headerSize, n)};
    start_ += headerSize + n;
    return frame;
}

std::string placeText(const WindowPlace& place) {
    std::string text;
    char digits[16];
    for (int v : {place.x, place.y, place.width, place.height}) {
        if (!text.empty()) text += ' ';
        const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
        text.append(digits, end);
    }
    return text;
}

std::optional<WindowPlace> parsePlace(std::string_view text) {
    int values[4] = {};
    const char* p = text.data();
    const char* const end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (p == end || *p != ' ') return std::nullopt;
            ++p;
        }
        const auto [next, ec] = std::from_chars(p, end, values[i]);
        if (ec != std::errc() || next == p) return std::nullopt;
        p = next;
    }
    if (p != end || values[2] <= 0 || values[3] <= 0) return std::nullopt;
    return WindowPlace{values[0], values[1], values[2], values[3]};
}

}  // namespace sapwell
