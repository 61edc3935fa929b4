#include <gtest/gtest.h>

#include "DesktopEntry.hpp"
#include "Fakes.hpp"
#include "TempDir.hpp"
#include "XdgDirs.hpp"

namespace sapwell::platform {
namespace {

TEST(DesktopEntry, NameOfTheDesktopEntryGroup) {
    struct Case {
        const char* content;
        std::optional<std::string> name;
    };
    const Case cases[] = {
        {"[Desktop Entry]\nType=Application\nName=Text Editor\nExec=edit\n", "Text Editor"},
        {"# comment\n\n[Desktop Entry]\nName[de]=Texteditor\nName = Spaced \nExec=x", "Spaced"},
        {"[Desktop Action new]\nName=New Window\n[Desktop Entry]\nName=Browser\n", "Browser"},
        {"[Desktop Entry]\nExec=x\n[Desktop Action new]\nName=New Window\n", std::nullopt},
        {"Name=Outside\n[Desktop Entry]\nExec=x\n", std::nullopt},
        {"[Desktop Entry]\r\nName=Crlf\r\n", "Crlf"},
        {"[Desktop Entry]\nName=a\\sb\\\\c\\nd\n", "a b\\c\nd"},
        {"[Desktop Entry]\nName=\n", std::nullopt},
        {"[Desktop Entry]\nName=bad\xff\n", "bad\xEF\xBF\xBD"},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        EXPECT_EQ(desktopEntryName(c.content), c.name);
    }
}

TEST(DesktopEntry, FirstFolderWinsAndAnswersAreCached) {
    sapwell::testing::TempDir t;
    const auto home =
        t.write("home/applications/org.x.Edit.desktop", "[Desktop Entry]\nName=Home Edit\n");
    t.write("share/applications/org.x.Edit.desktop", "[Desktop Entry]\nName=System Edit\n");
    const auto noName =
        t.write("share/applications/org.x.Bare.desktop", "[Desktop Entry]\nExec=x\n");
    DesktopEntries entries({t / "home/applications", t / "missing", t / "share/applications"});

    const auto* edit = entries.find("org.x.Edit");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->path, home.string());
    EXPECT_EQ(edit->name, "Home Edit");
    const auto* bare = entries.find("org.x.Bare");
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->path, noName.string());
    EXPECT_EQ(bare->name, std::nullopt);
    EXPECT_EQ(entries.find("org.x.None"), nullptr);

    std::filesystem::remove(home);
    t.write("share/applications/org.x.None.desktop", "[Desktop Entry]\nName=Late\n");
    EXPECT_EQ(entries.find("org.x.Edit")->name, "Home Edit");
    EXPECT_EQ(entries.find("org.x.None"), nullptr);
}

TEST(XdgDirs, DefaultsAndOverrides) {
    using Vars = std::map<std::string, std::string, std::less<>>;
    struct Case {
        Vars vars;
        std::optional<std::string> home;
        std::vector<std::string> dirs;
    };
    const Case cases[] = {
        {{}, std::nullopt, {"/usr/local/share", "/usr/share"}},
        {{{"HOME", "/home/me"}}, "/home/me/.local/share", {"/usr/local/share", "/usr/share"}},
        {{{"HOME", "/home/me"}, {"XDG_DATA_HOME", "/data"}, {"XDG_DATA_DIRS", "/a::rel:/b"}},
         "/data",
         {"/a", "/b"}},
        {{{"HOME", "/home/me"}, {"XDG_DATA_HOME", "relative"}, {"XDG_DATA_DIRS", ""}},
         "/home/me/.local/share",
         {"/usr/local/share", "/usr/share"}},
        {{{"HOME", "relative"}}, std::nullopt, {"/usr/local/share", "/usr/share"}},
    };
    for (const auto& c : cases) {
        sapwell::testing::FakeEnvironment env;
        env.vars = c.vars;
        const auto got = xdgDataFolders(env);
        EXPECT_EQ(got.home, c.home ? std::optional<std::filesystem::path>(*c.home) : std::nullopt);
        EXPECT_EQ(got.dirs, std::vector<std::filesystem::path>(c.dirs.begin(), c.dirs.end()));
    }
    EXPECT_EQ(applicationFolders({"/h", {"/a", "/b"}}),
              (std::vector<std::filesystem::path>{"/h/applications", "/a/applications",
                                                  "/b/applications"}));
}

}  // namespace
}  // namespace sapwell::platform
