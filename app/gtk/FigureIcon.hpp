#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace sapwell {

// The status figure drawn as the indicator's icon, for panels that show an indicator's icon but
// never its label (KDE Plasma). Each figure is a small icon theme entry of its own, drawn at 22
// and 44 px (22 at scale 2) so neither size is a blurred copy of the other, under a name that
// follows the text: a host that caches icons by name never shows an old figure.
class FigureIcon {
public:
    // `themePath`: the folder the host is told to search ("<runtime>/sapwell/icons");
    // `darkPanel` chooses light text with a dark outline, else the reverse.
    FigureIcon(std::string themePath, bool darkPanel);
    ~FigureIcon();
    FigureIcon(const FigureIcon&) = delete;
    FigureIcon& operator=(const FigureIcon&) = delete;

    // Draws `text` and removes the previous figure's files. The icon's name, or absent when it
    // cannot be written.
    std::optional<std::string> draw(std::string_view text);
    const std::string& themePath() const { return themePath_; }

private:
    void remove(const std::string& name) const;

    std::string themePath_;
    bool darkPanel_;
    std::string current_;
};

// Whether the desktop (XDG_CURRENT_DESKTOP, a colon-separated list) is one whose panel shows
// no indicator labels: KDE.
bool desktopHidesLabels(std::string_view currentDesktop);

// The figure in two lines for a square icon: the number, then its unit without spaces ("194%
// CPU" gives "194" and "%CPU"; "12.5%/h" gives "12.5" and "%/h"). A text without a leading
// number is one line.
std::pair<std::string, std::string> figureLines(std::string_view text);

// Whether KDE's colour settings (the text of kdeglobals) give the window background, which the
// default panel follows, a dark colour; absent when they do not say.
std::optional<bool> kdeWindowIsDark(std::string_view kdeglobals);

}  // namespace sapwell
