#include <cairo.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "FigureIcon.hpp"
#include "TempDir.hpp"

namespace sapwell {
namespace {

using testing::TempDir;

TEST(FigureIcon, OnlyKdeSessionsGetTheFigureInTheIcon) {
    const std::pair<const char*, bool> cases[] = {
        {"KDE", true}, {"ubuntu:KDE", true}, {"KDE:X-Test", true}, {"XFCE", false},
        {"ubuntu:GNOME", false}, {"", false}, {"KDEX", false}, {"kde", false},
    };
    for (const auto& [desktop, hides] : cases) EXPECT_EQ(desktopHidesLabels(desktop), hides) << desktop;
}

TEST(FigureIcon, TheNumberGoesAboveItsUnit) {
    using Lines = std::pair<std::string, std::string>;
    const std::pair<const char*, Lines> cases[] = {
        {"194% CPU", {"194", "%CPU"}},      {"12.5%/h", {"12.5", "%/h"}},
        {"1,5 Вт", {"1,5", "Вт"}},          {"3%/小时", {"3", "%/小时"}},
        {"\u2026", {"\u2026", ""}},          {".5 W", {".5 W", ""}},
        {"40", {"40", ""}},
    };
    for (const auto& [text, lines] : cases) EXPECT_EQ(figureLines(text), lines) << text;
}

TEST(FigureIcon, KdeWindowColourTellsThePanelsDarkness) {
    const std::pair<const char*, std::optional<bool>> cases[] = {
        {"[Colors:Window]\nBackgroundNormal=49,54,59\n", true},             // Breeze Dark
        {"[General]\nx=1\n[Colors:Window]\r\nBackgroundNormal=239,240,241\r\n", false},
        {"[Colors:View]\nBackgroundNormal=20,20,20\n[Colors:Window]\nForegroundNormal=1,1,1\n",
         std::nullopt},                                                      // another section's
        {"[Colors:Window]\nBackgroundNormal=49,54\n", std::nullopt},
        {"[Colors:Window]\nBackgroundNormal=300,0,0\n", std::nullopt},
        {"[Colors:Window]\nBackgroundNormal=10,10,10,255\n", true},
        {"", std::nullopt},
    };
    for (const auto& [text, dark] : cases) EXPECT_EQ(kdeWindowIsDark(text), dark) << text;
}

// Real files for a host to read: both sizes, one name per text, the previous figure gone.
TEST(FigureIcon, EachFigureIsAnIconOfBothSizesUnderItsOwnName) {
    const TempDir dir;
    const auto file = [&](const std::string& name, const char* folder) {
        return dir.path() / "icons/hicolor" / folder / (name + ".png");
    };
    std::optional<std::string> first;
    {
        FigureIcon icon((dir.path() / "icons").string(), true);
        first = icon.draw("40% CPU");
        ASSERT_TRUE(first);
        EXPECT_EQ(icon.draw("40% CPU"), first);
        for (const auto& [folder, size] : {std::pair("22x22/apps", 22), {"22x22@2/apps", 44}}) {
            cairo_surface_t* png = cairo_image_surface_create_from_png(file(*first, folder).c_str());
            EXPECT_EQ(cairo_image_surface_get_width(png), size) << folder;
            EXPECT_EQ(cairo_image_surface_get_height(png), size) << folder;
            cairo_surface_destroy(png);
        }
        const auto second = icon.draw("41% CPU");
        ASSERT_TRUE(second);
        EXPECT_NE(second, first);
        EXPECT_FALSE(std::filesystem::exists(file(*first, "22x22/apps")));
        EXPECT_TRUE(std::filesystem::exists(file(*second, "22x22@2/apps")));
        // The same text for the other panel is another picture, so another name.
        EXPECT_NE(FigureIcon((dir.path() / "other").string(), false).draw("40% CPU"), first);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "icons/hicolor/22x22/apps"));
    // A folder that cannot be made: no icon, and the shell keeps its own.
    EXPECT_FALSE(FigureIcon((dir.write("file", "") / "icons").string(), true).draw("1% CPU"));
}

}  // namespace
}  // namespace sapwell
