#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sapwell {

// What the tray and its chart window say to each other over their socket: one byte for the kind,
// the body's length (four bytes, most significant first), the body.
struct ChartFrame {
    enum Kind : char {
        page = 'P',     // tray → window: the page's HTML
        show = 'S',     // tray → window: show, titled so
        hide = 'H',     // tray → window
        place = 'G',    // either way: where the window was left (placeText)
        message = 'M',  // window → tray: a message of the page
    };
    char kind = 0;
    std::string body;
    bool operator==(const ChartFrame&) const = default;
};

// The largest body a reader takes: an eight-day page is a few megabytes.
inline constexpr std::size_t chartFrameLimit = 64u << 20;

std::string encodeFrame(char kind, std::string_view body);

// Frames from a stream that arrives in pieces of any size.
class FrameReader {
public:
    void feed(std::string_view bytes);
    // The next whole frame; absent until one has arrived, and for good once a frame announced
    // a body over the limit (the stream is then not to be trusted).
    std::optional<ChartFrame> next();
    bool broken() const { return broken_; }

private:
    std::string buffer_;
    std::size_t start_ = 0;
    bool broken_ = false;
};

// A window's place and size on screen.
struct WindowPlace {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WindowPlace&) const = default;
};

// "x y width height"; parsePlace takes only that, with a positive size.
std::string placeText(const WindowPlace& place);
std::optional<WindowPlace> parsePlace(std::string_view text);

}  // namespace sapwell
