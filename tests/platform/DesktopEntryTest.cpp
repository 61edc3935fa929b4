#include <gtest/gtest.h>

#include "DesktopEntry.hpp"
#include "Fakes.hpp"
#include "TempDir.hpp"
#include "XdgDirs.hpp"

namespace sapwell::platform {
namespace {

using Paths = std::vector<std::filesystem::path>;

TEST(DesktopEntry, NameOfTheDesktopEntryGroup) {
    EXPECT_EQ(desktopEntryName("Name=O\n[A]\nName=A\n[Desktop Entry]\nName[de]=D\nName=B\n"), "B");
    EXPECT_EQ(desktopEntryName("[Desktop Entry]\nExec=x\n[Other]\nName=N\n"), std::nullopt);
    EXPECT_EQ(desktopEntryName("# c\n\n[Desktop Entry]\r\nName = a\\sb\\\\c\\nd\xff \r\n"), "a b\\c\nd\xEF\xBF\xBD");
}

// The most exact of the names the locale may use; GenericName is no name of the application.
TEST(DesktopEntry, NameInTheLanguageOfTheLocale) {
    const std::string entry = "[Desktop Entry]\nGenericName[de]=Browser\nName=Files\nName[de]=Dateien\n"
                              "Name[de_AT]=Dateien AT\nName[sr@latin]=Datoteke\nName[sr_RS@latin]=Datoteke RS\n"
                              "Name[ru]=\nName[zh_CN]=\u6587\u4ef6\nX-GNOME-FullName[de]=Voll\n[Other]\nName[fr]=Fichiers\n";
    const std::pair<std::string, std::string> cases[] = {
        {"", "Files"}, {"C", "Files"}, {"de", "Dateien"}, {"de_DE.UTF-8", "Dateien"}, {"de_AT.UTF-8@euro", "Dateien AT"},
        {"sr_RS@latin", "Datoteke RS"}, {"sr_ME.UTF-8@latin", "Datoteke"}, {"sr_RS", "Files"},
        {"ru_RU.UTF-8", "Files"},  // empty counts as none
        {"zh_CN.UTF-8", "\u6587\u4ef6"}, {"zh_TW", "Files"}, {"fr_FR", "Files"}};
    for (const auto& [locale, name] : cases) EXPECT_EQ(desktopEntryName(entry, locale), name) << locale;
    EXPECT_EQ(desktopEntryName("[Desktop Entry]\nName[de]=Nur\n", "de_CH"), "Nur");
    EXPECT_EQ(desktopEntryName("[Desktop Entry]\nName[de]=Nur\n", "en_US"), std::nullopt);
}

TEST(DesktopEntry, FoundInTheXdgFoldersInOrderAndCached) {
    sapwell::testing::FakeEnvironment env;
    const auto folders = [&env] { return applicationFolders(xdgDataFolders(env)); };
    env.vars = {{"HOME", "relative"}, {"XDG_DATA_DIRS", ""}};  // relative and empty are ignored
    EXPECT_EQ(folders(), (Paths{"/usr/local/share/applications", "/usr/share/applications"}));
    env.vars = {{"HOME", "/h"}, {"XDG_DATA_HOME", "relative"}, {"XDG_DATA_DIRS", "rel::/a"}};
    EXPECT_EQ(folders(), (Paths{"/h/.local/share/applications", "/a/applications"}));
    sapwell::testing::TempDir t;
    const auto home = t.write("home/applications/org.x.Edit.desktop", "[Desktop Entry]\nName=H\n");
    const auto bare = t.write("share/applications/org.x.Bare.desktop", "[Desktop Entry]\nName=\n");
    const std::string d = t.path().string();
    env.vars = {{"XDG_DATA_HOME", d + "/home"}, {"XDG_DATA_DIRS", d + "/missing:" + d + "/share"}};
    DesktopEntries entries(folders());
    const auto show = [&](const char* id) { auto* e = entries.find(id); return e ? e->path + "|" + e->name.value_or("-") : ""; };
    EXPECT_EQ(show("org.x.Bare"), bare.string() + "|-");
    EXPECT_EQ(show("org.x.Edit"), home.string() + "|H");
    std::filesystem::remove(home);
    EXPECT_EQ(show("org.x.Edit"), home.string() + "|H");  // cached per id
}

}  // namespace
}  // namespace sapwell::platform
