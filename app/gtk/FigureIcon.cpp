#include "FigureIcon.hpp"

#include <glib/gstdio.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>

namespace sapwell {

namespace {

// The sizes drawn, each in the folder of the hicolor theme that hosts look in for it.
constexpr std::pair<int, const char*> sizes[] = {{22, "hicolor/22x22/apps"},
                                                 {44, "hicolor/22x22@2/apps"}};

struct Colours {
    double text[4];
    double outline[4];
};
constexpr Colours onDark{{0.99, 0.99, 0.99, 1}, {0, 0, 0, 0.55}};
constexpr Colours onLight{{0.14, 0.15, 0.16, 1}, {1, 1, 1, 0.6}};

std::string trimmed(std::string_view s) {
    const auto start = s.find_first_not_of(" \t\r");
    if (start == std::string_view::npos) return {};
    return std::string(s.substr(start, s.find_last_not_of(" \t\r") - start + 1));
}

// One line centred in a box `height` tall at `top`, as large as fits the icon's width.
void drawLine(cairo_t* cr, const std::string& text, int size, double top, double height,
              const Colours& colours) {
    if (text.empty()) return;
    PangoLayout* layout = pango_cairo_create_layout(cr);
    // Hinted to the pixel grid: at 22 px a smoothed glyph is a blur.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout), options);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(layout);
    PangoFontDescription* font = pango_font_description_from_string("Sans Bold Condensed");
    // A thin outline: one pixel at 22 px, enough to part the text from any panel.
    const double outline = size / 22.0;
    double px = height;
    PangoRectangle ink{};
    pango_layout_set_text(layout, text.c_str(), -1);
    // Shrunk until the ink, with its outline, fits both ways (a few steps at most).
    for (int step = 0; step < 12; ++step) {
        pango_font_description_set_absolute_size(font, px * PANGO_SCALE);
        pango_layout_set_font_description(layout, font);
        pango_layout_get_pixel_extents(layout, &ink, nullptr);
        const double wide = ink.width + outline, tall = ink.height + outline;
        if (wide <= size && tall <= height + 0.5) break;
        px *= std::min(size / wide, (height + 0.5) / tall) * 0.98;
    }
    // Whole pixels for the ink's corner, so strokes fall on the pixel grid where they can.
    const double x = std::round((size - ink.width) / 2.0) - ink.x;
    const double y = std::round(top + (height - ink.height) / 2.0) - ink.y;
    cairo_move_to(cr, x, y);
    pango_cairo_layout_path(cr, layout);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, outline);
    cairo_set_source_rgba(cr, colours.outline[0], colours.outline[1], colours.outline[2],
                          colours.outline[3]);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgba(cr, colours.text[0], colours.text[1], colours.text[2],
                          colours.text[3]);
    cairo_fill(cr);
    pango_font_description_free(font);
    g_object_unref(layout);
}

bool writeIcon(const std::string& file, int size, const std::pair<std::string, std::string>& lines,
               const Colours& colours) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    if (lines.second.empty()) {
        drawLine(cr, lines.first, size, 0, size, colours);
    } else {
        // The number is what the eye looks for: it takes the larger part.
        const double first = std::round(size * 0.58);
        drawLine(cr, lines.first, size, 0, first, colours);
        drawLine(cr, lines.second, size, first, size - first, colours);
    }
    cairo_destroy(cr);
    // Written beside and renamed, so a host never reads half a file.
    const std::string part = file + ".part";
    const bool written = cairo_surface_write_to_png(surface, part.c_str()) == CAIRO_STATUS_SUCCESS &&
                         g_rename(part.c_str(), file.c_str()) == 0;
    cairo_surface_destroy(surface);
    if (!written) g_unlink(part.c_str());
    return written;
}

}  // namespace

FigureIcon::FigureIcon(std::string themePath, bool darkPanel)
    : themePath_(std::move(themePath)), darkPanel_(darkPanel) {}

FigureIcon::~FigureIcon() {
    if (!current_.empty()) remove(current_);
}

std::optional<std::string> FigureIcon::draw(std::string_view text) {
    // Named after the text and the colours, so a name always shows the same picture.
    char hash[17] = {};
    const std::string key = std::string(text) + (darkPanel_ ? "\1dark" : "\1light");
    const auto [end, ec] =
        std::to_chars(hash, hash + 16, static_cast<std::uint64_t>(g_str_hash(key.c_str())), 16);
    const std::string name =
        std::string("sapwell-figure-").append(hash, ec == std::errc() ? end : hash);
    if (name == current_) return name;
    const auto lines = figureLines(text);
    for (const auto& [size, folder] : sizes) {
        const std::string dir = themePath_ + "/" + folder;
        if (g_mkdir_with_parents(dir.c_str(), 0700) != 0 ||
            !writeIcon(dir + "/" + name + ".png", size, lines, darkPanel_ ? onDark : onLight)) {
            remove(name);
            return std::nullopt;
        }
    }
    if (!current_.empty()) remove(current_);
    current_ = name;
    return name;
}

void FigureIcon::remove(const std::string& name) const {
    for (const auto& [size, folder] : sizes) {
        g_unlink((themePath_ + "/" + folder + "/" + name + ".png").c_str());
    }
}

bool desktopHidesLabels(std::string_view currentDesktop) {
    while (!currentDesktop.empty()) {
        const auto colon = currentDesktop.find(':');
        if (currentDesktop.substr(0, colon) == "KDE") return true;
        if (colon == std::string_view::npos) break;
        currentDesktop.remove_prefix(colon + 1);
    }
    return false;
}

std::pair<std::string, std::string> figureLines(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && ((text[n] >= '0' && text[n] <= '9') ||
                               (n > 0 && (text[n] == '.' || text[n] == ',')))) {
        ++n;
    }
    if (n == 0) return {trimmed(text), {}};
    // The unit goes below, without its space: "%CPU" is as wide as the icon allows.
    std::string unit;
    for (char c : text.substr(n)) {
        if (c != ' ') unit += c;
    }
    return {std::string(text.substr(0, n)), unit};
}

std::optional<bool> kdeWindowIsDark(std::string_view kdeglobals) {
    bool inWindow = false;
    while (!kdeglobals.empty()) {
        const auto eol = kdeglobals.find('\n');
        const std::string line = trimmed(kdeglobals.substr(0, eol));
        kdeglobals.remove_prefix(eol == std::string_view::npos ? kdeglobals.size() : eol + 1);
        if (!line.empty() && line.front() == '[') {
            inWindow = line == "[Colors:Window]";
            continue;
        }
        constexpr std::string_view key = "BackgroundNormal=";
        if (!inWindow || !line.starts_with(key)) continue;
        // "r,g,b" in 0..255, perhaps with an alpha after.
        int rgb[3] = {};
        std::string_view rest = std::string_view(line).substr(key.size());
        for (int& c : rgb) {
            const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), c);
            if (ec != std::errc() || c < 0 || c > 255) return std::nullopt;
            rest.remove_prefix(end - rest.data());
            if (&c != &rgb[2]) {
                if (rest.empty() || rest.front() != ',') return std::nullopt;
                rest.remove_prefix(1);
            }
        }
        return 0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2] < 128;
    }
    return std::nullopt;
}

}  // namespace sapwell
